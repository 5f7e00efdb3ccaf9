#include "entry/job_driver.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWidget>
#include <QWindow>
#include <algorithm>

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

bool JobDriver::isHeldWindow(const QObject* watched) const {
    if (!watched->isWindowType()) {
        return false;
    }
    const QWindow* window = static_cast<const QWindow*>(watched);
    return std::any_of(heldWindows_.begin(), heldWindows_.end(),
                       [window](const auto& w) { return w && w->windowHandle() == window; });
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
    if (!isHeldWindow(watched) || isStopGesture(window, *event)) {
        return false;
    }
    held_.push_back({&window, std::unique_ptr<QEvent>(event->clone())});
    return true;
}

// Held input runs in order until it is all done or it starts another job, which holds the
// rest (and anything given meanwhile) until that job ends in turn.
void JobDriver::replayHeld() {
    replaying_ = true;
    while (!held_.empty() && !runner_.running()) {
        Held next = std::move(held_.front());
        held_.pop_front();
        if (next.window) {
            QCoreApplication::sendEvent(next.window, next.event.get());
        }
    }
    replaying_ = false;
}

}  // namespace selvar::entry
