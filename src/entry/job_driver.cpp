// SPDX-License-Identifier: GPL-3.0-or-later
#include "entry/job_driver.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWheelEvent>
#include <QWidget>
#include <QWindow>
#include <algorithm>
#include <functional>

namespace selvar::entry {

namespace {

// What the operator gives: it waits for the job, exactly as it waited for a program that was
// busy in a handler.
bool isOperatorInput(QEvent::Type type) {
    switch (type) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseMove:
        case QEvent::Wheel:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::TouchBegin:
        case QEvent::TouchUpdate:
        case QEvent::TouchEnd:
        case QEvent::TouchCancel:
        case QEvent::TabletPress:
        case QEvent::TabletRelease:
        case QEvent::TabletMove:
        case QEvent::ContextMenu:
        case QEvent::Close:
            return true;
        default:
            return false;
    }
}

bool isEscape(const QEvent& event) {
    return (event.type() == QEvent::KeyPress || event.type() == QEvent::KeyRelease) &&
           static_cast<const QKeyEvent&>(event).key() == Qt::Key_Escape;
}

// What to deliver later. A pointer event's points share the device's live state, which the
// input that follows moves on, so a held click is kept as its values and made afresh when it
// is delivered; anything else is kept as a copy.
std::function<std::unique_ptr<QEvent>()> heldCopy(const QEvent& event) {
    if (const auto* m = dynamic_cast<const QMouseEvent*>(&event)) {
        return [type = m->type(), at = m->position(), scene = m->scenePosition(),
                global = m->globalPosition(), button = m->button(), buttons = m->buttons(),
                keys = m->modifiers(), device = m->pointingDevice()] {
            return std::make_unique<QMouseEvent>(type, at, scene, global, button, buttons, keys,
                                                 device);
        };
    }
    if (const auto* w = dynamic_cast<const QWheelEvent*>(&event)) {
        return [at = w->position(), global = w->globalPosition(), pixels = w->pixelDelta(),
                angle = w->angleDelta(), buttons = w->buttons(), keys = w->modifiers(),
                phase = w->phase(), inverted = w->inverted(), source = w->source(),
                device = w->pointingDevice()] {
            return std::make_unique<QWheelEvent>(at, global, pixels, angle, buttons, keys, phase,
                                                 inverted, source, device);
        };
    }
    return [copy = std::shared_ptr<QEvent>(event.clone())] {
        return std::unique_ptr<QEvent>(copy->clone());
    };
}

// A press moves the focus as the window system's press does (a click on a button validates
// the field it leaves first): to the widget under it, or the nearest parent, that takes focus
// by click.
void giveFocusAsAClickDoes(QWidget& window, const QMouseEvent& press) {
    QPoint at = press.position().toPoint();
    QWidget* under = window.childAt(at);
    if (under) {
        at = under->mapFrom(&window, at);
    }
    for (QWidget* w = under; w != nullptr; w = w->isWindow() ? nullptr : w->parentWidget()) {
        if (w->isEnabled() && w->rect().contains(at) &&
            (w->focusPolicy() & Qt::ClickFocus) == Qt::ClickFocus) {
            w->setFocus(Qt::MouseFocusReason);
            return;
        }
        at += w->pos();
    }
}

}  // namespace

JobDriver::JobDriver(QObject* parent) : QObject(parent) {
    // A zero interval: the next slice follows as soon as the loop has served what is pending.
    slices_.setInterval(0);
    connect(&slices_, &QTimer::timeout, this, &JobDriver::runSlice);
    runner_.setListener({.started =
                             [this](const control::Job& job) {
                                 emit started(QString::fromStdString(job.description()));
                             },
                         .finished = [this](const control::Job&) { slices_.stop(); }});
    qApp->installEventFilter(this);
}

JobDriver::~JobDriver() = default;

void JobDriver::holdInputTo(QWidget& window) {
    heldWindows_.emplace_back(&window);
}

void JobDriver::letThrough(QWidget& stopButton) {
    stopButton_ = &stopButton;
}

void JobDriver::start(std::unique_ptr<control::Job> job) {
    runner_.start(std::move(job));
    slices_.start();
}

QString JobDriver::description() const {
    const control::Job* job = runner_.current();
    return job ? QString::fromStdString(job->description()) : QString();
}

void JobDriver::finishNow() {
    if (runner_.running()) {
        runner_.runToEnd();
        emit finished();
        replayHeld();
    }
}

void JobDriver::runSlice() {
    if (!runner_.runSlice()) {
        emit finished();
        // After the handlers of the end, as the loop's next turn.
        QTimer::singleShot(0, this, &JobDriver::replayHeld);
    }
}

QWidget* JobDriver::widgetOf(const QWindow& window) const {
    const auto found =
        std::find_if(heldWindows_.begin(), heldWindows_.end(),
                     [&window](const auto& w) { return w && w->windowHandle() == &window; });
    return found == heldWindows_.end() ? nullptr : found->data();
}

// A press or release on the stop button itself goes through, so that it can be clicked.
bool JobDriver::isStopGesture(QWindow& window, const QEvent& event) const {
    if (isEscape(event)) {
        return true;
    }
    if (!stopButton_ || stopButton_->window()->windowHandle() != &window) {
        return false;
    }
    if (event.type() != QEvent::MouseButtonPress && event.type() != QEvent::MouseButtonRelease &&
        event.type() != QEvent::MouseMove) {
        return false;
    }
    const auto& mouse = static_cast<const QMouseEvent&>(event);
    const QPoint at = stopButton_->mapFromGlobal(mouse.globalPosition().toPoint());
    return stopButton_->isVisible() && stopButton_->rect().contains(at);
}

bool JobDriver::eventFilter(QObject* watched, QEvent* event) {
    const bool holding = runner_.running() || (!held_.empty() && !replaying_);
    if (!holding || !isOperatorInput(event->type()) || !watched->isWindowType()) {
        return false;
    }
    auto& window = static_cast<QWindow&>(*watched);
    if (isEscape(*event)) {
        if (event->type() == QEvent::KeyPress) {
            stop();
        }
        return true;
    }
    if (widgetOf(window) == nullptr || isStopGesture(window, *event)) {
        return false;
    }
    held_.push_back({&window, heldCopy(*event)});
    return true;
}

// Held input runs in order until it is all done or it starts another job, which holds the
// rest (and anything given meanwhile) until that job ends in turn.
void JobDriver::replayHeld() {
    replaying_ = true;
    while (!held_.empty() && !runner_.running()) {
        Held next = std::move(held_.front());
        held_.pop_front();
        QWidget* widget = next.window ? widgetOf(*next.window) : nullptr;
        if (widget == nullptr) {
            continue;
        }
        const std::unique_ptr<QEvent> event = next.event();
        if (event->type() == QEvent::MouseButtonPress) {
            giveFocusAsAClickDoes(*widget, static_cast<const QMouseEvent&>(*event));
        }
        QCoreApplication::sendEvent(next.window, event.get());
    }
    replaying_ = false;
}

}  // namespace selvar::entry
