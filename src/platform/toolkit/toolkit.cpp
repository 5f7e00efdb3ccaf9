// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/toolkit/toolkit.h"

#include <QAbstractButton>
#include <QApplication>
#include <QEvent>
#include <QFocusEvent>
#include <QPainter>
#include <QRadioButton>
#include <QStyleOptionSlider>
#include <array>
#include <cmath>
#include <utility>

namespace selvar::platform {

namespace {

// The windows number the states 0 unchecked, 1 checked, 2 grey; Qt numbers them
// Unchecked 0, PartiallyChecked 1, Checked 2.
constexpr std::array<Qt::CheckState, 3> kQtStateOfValue = {Qt::Unchecked, Qt::Checked,
                                                           Qt::PartiallyChecked};

// Runs a field's Validate handler when the focus leaves it for another control of its own
// window. Popups (the combo box's list) and window activation take the focus without the
// operator leaving the field, so they validate nothing.
class ValidateFilter : public QObject {
  public:
    ValidateFilter(QWidget& field, std::function<void()> handler)
        : QObject(&field), field_(field), handler_(std::move(handler)) {}

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == &field_ && event->type() == QEvent::FocusOut && leavesForSameWindow(event)) {
            handler_();
        }
        return false;
    }

  private:
    bool leavesForSameWindow(QEvent* event) const {
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason == Qt::PopupFocusReason || reason == Qt::ActiveWindowFocusReason) {
            return false;
        }
        // Qt has made the receiving widget the focus widget before it sends FocusOut.
        const QWidget* next = QApplication::focusWidget();
        return next != nullptr && next != &field_ && !field_.isAncestorOf(next) &&
               next->window() == field_.window();
    }

    QWidget& field_;
    std::function<void()> handler_;
};

}  // namespace

int checkValue(const QCheckBox& box) {
    const Qt::CheckState state = box.checkState();
    for (std::size_t value = 0; value < kQtStateOfValue.size(); ++value) {
        if (kQtStateOfValue[value] == state) {
            return static_cast<int>(value);
        }
    }
    return 0;
}

void setCheckValue(QCheckBox& box, int value) {
    const auto index = static_cast<std::size_t>(value);
    box.setCheckState(index < kQtStateOfValue.size() ? kQtStateOfValue[index] : Qt::Unchecked);
}

void CheckBox::nextCheckState() {
    setCheckState(checkState() == Qt::Unchecked ? Qt::Checked : Qt::Unchecked);
}

Slider::Slider(QWidget* parent) : QSlider(Qt::Horizontal, parent) {
    setTickPosition(QSlider::NoTicks);
    // Qt moves the position before it announces the action and applies the value after it.
    // An action that leaves the position on the value changes nothing and raises nothing.
    // Qt applies the position after the action is announced, so a limited move is held back
    // before the handle is drawn there or any value is sent.
    connect(this, &QAbstractSlider::actionTriggered, this, [this](int action) {
        if (limit_ && action != SliderNoAction && sliderPosition() != value()) {
            setSliderPosition(limit_(sliderPosition()));
        }
        operatorActionPending_ = action != SliderNoAction && sliderPosition() != value();
    });
    connect(this, &QAbstractSlider::valueChanged, this, [this] { emit change(); });
}

void Slider::setSelectionRange(int low, int high) {
    selectionLow_ = low;
    selectionHigh_ = high;
    update();
}

// Called inside setValue with the new value stored and before valueChanged, so Scroll sees
// the value the operator moved to and runs before Change.
void Slider::sliderChange(SliderChange change) {
    QSlider::sliderChange(change);
    if (change == SliderValueChange && operatorActionPending_) {
        operatorActionPending_ = false;  // cleared first: Scroll may assign this slider again
        emit scroll();
    }
}

void Slider::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    QStyleOptionSlider option;
    initStyleOption(&option);

    // The groove is drawn as if the handle stood at the minimum: some styles fill the groove
    // up to the handle, and the selection range is to be the only highlight on it.
    QStyleOptionSlider groove = option;
    groove.subControls = QStyle::SC_SliderGroove;
    groove.sliderPosition = minimum();
    style()->drawComplexControl(QStyle::CC_Slider, &groove, &painter, this);

    if (selectionLow_ <= selectionHigh_) {
        // The band runs between the handle centres the two ends would have, so it lines up
        // with the handle exactly as the slider maps values to positions.
        const QRect grooveRect =
            style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderGroove, this);
        auto centreAt = [&](int value) {
            QStyleOptionSlider at = option;
            at.sliderPosition = value;
            return style()
                ->subControlRect(QStyle::CC_Slider, &at, QStyle::SC_SliderHandle, this)
                .center()
                .x();
        };
        const int x0 = centreAt(selectionLow_);
        const int x1 = centreAt(selectionHigh_);
        const int thickness = std::max(3, grooveRect.height() / 2);
        const QRect band(QPoint(std::min(x0, x1), grooveRect.center().y() - thickness / 2),
                         QSize(std::abs(x1 - x0) + 1, thickness));
        painter.fillRect(band, palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled,
                                               QPalette::Highlight));
    }

    option.subControls = QStyle::SC_SliderHandle;
    if (tickPosition() != QSlider::NoTicks) {
        option.subControls |= QStyle::SC_SliderTickmarks;
    }
    style()->drawComplexControl(QStyle::CC_Slider, &option, &painter, this);
}

void onClick(QCheckBox& box, std::function<void()> handler) {
    QObject::connect(&box, &QCheckBox::stateChanged, &box,
                     [handler = std::move(handler)](int) { handler(); });
}

void onClick(QRadioButton& option, std::function<void()> handler) {
    QObject::connect(&option, &QRadioButton::toggled, &option,
                     [handler = std::move(handler)](bool on) {
                         if (on) {
                             handler();
                         }
                     });
}

void onClick(QAbstractButton& button, std::function<void()> handler) {
    QObject::connect(&button, &QAbstractButton::clicked, &button,
                     [handler = std::move(handler)] { handler(); });
}

void onValidate(QWidget& field, std::function<void()> handler) {
    field.installEventFilter(new ValidateFilter(field, std::move(handler)));
}

int twipsToPixels(int twips, double logicalDpi) {
    return static_cast<int>(std::lround(twips * logicalDpi / 1440.0));
}

int pixelsToTwips(int pixels, double logicalDpi) {
    return static_cast<int>(std::lround(pixels * 1440.0 / logicalDpi));
}

}  // namespace selvar::platform
