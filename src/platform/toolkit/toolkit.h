// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The event rules the windows rely on, given by Qt in one place, so that the windows are
// written one handler per event and never fight the toolkit.

#include <QCheckBox>
#include <QSlider>
#include <functional>

class QAbstractButton;
class QRadioButton;
class QWidget;

namespace selvar::platform {

// Check-box values as the windows speak of them: 0 unchecked, 1 checked, 2 grey.
int checkValue(const QCheckBox& box);
// Runs the box's Click handler when the value changes, also on a disabled box.
void setCheckValue(QCheckBox& box, int value);

// A check box the operator only toggles between unchecked and checked, even after code has
// set it grey.
class CheckBox : public QCheckBox {
    Q_OBJECT
  public:
    using QCheckBox::QCheckBox;

  protected:
    void nextCheckState() override;
};

// A horizontal slider with Scroll (operator movement only, raised with the new value in
// place) and Change (every real change of value, also by code, inside setValue), and a
// highlighted selection range painted on the groove.
class Slider : public QSlider {
    Q_OBJECT
  public:
    explicit Slider(QWidget* parent = nullptr);
    void setSelectionRange(int low, int high);  // low > high: no range
    // The operator's moves (drag, click, key, wheel) go no further than `limit` lets them: it
    // takes the value a move would reach and answers the value the slider takes instead. Code
    // that sets the value is not limited.
    void limitMoves(std::function<int(int)> limit) { limit_ = std::move(limit); }

  signals:
    void scroll();
    void change();

  protected:
    void sliderChange(SliderChange change) override;
    void paintEvent(QPaintEvent* event) override;

  private:
    std::function<int(int)> limit_;
    bool operatorActionPending_ = false;
    int selectionLow_ = 1;
    int selectionHigh_ = 0;
};

// Click of a check box (any change of value, by operator or code, also while disabled).
void onClick(QCheckBox& box, std::function<void()> handler);
// Click of an option button: it became selected, by operator or code.
void onClick(QRadioButton& option, std::function<void()> handler);
// Click of a command button.
void onClick(QAbstractButton& button, std::function<void()> handler);
// Validate: the focus leaves the field for another control of the same window.
void onValidate(QWidget& field, std::function<void()> handler);

// Window geometry is given in twips (1/1440 inch).
int twipsToPixels(int twips, double logicalDpi);
int pixelsToTwips(int pixels, double logicalDpi);

}  // namespace selvar::platform
