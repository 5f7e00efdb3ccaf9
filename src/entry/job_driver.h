// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <deque>
#include <functional>
#include <memory>
#include <vector>

#include "control/job.h"

class QWidget;
class QWindow;

namespace selvar::entry {

// Runs the program's jobs on the event loop, one slice per turn of the loop with no timer gap
// between slices, so that painting, the bus monitor and remote clients are served meanwhile.
// While a job runs, the operator's input to the held windows (the entry window and the gain
// panels) is held, and it runs after the job, in the order given, as if the program had been
// busy all along; only the stop gestures act at once: Esc in any window of the program, and a
// click on the stop button.
class JobDriver : public QObject {
    Q_OBJECT
  public:
    explicit JobDriver(QObject* parent = nullptr);
    ~JobDriver() override;

    // Input to these windows is held while a job runs.
    void holdInputTo(QWidget& window);
    // Clicks on this button go through while a job runs: it stops the job.
    void letThrough(QWidget& stopButton);

    // Throws std::logic_error while a job runs.
    void start(std::unique_ptr<control::Job> job);
    bool running() const { return runner_.running(); }
    QString description() const;
    // The stop gesture: the job ends at the end of the step in progress.
    void stop() { runner_.stop(); }
    // For a caller with no loop to return to: runs the job in progress to its end at once.
    void finishNow();

  signals:
    void started(const QString& description);
    // The job is over; held input runs right after.
    void finished();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    struct Held {
        QPointer<QWindow> window;
        std::function<std::unique_ptr<QEvent>()> event;  // makes the event to deliver
    };

    void runSlice();
    QWidget* widgetOf(const QWindow& window) const;  // a held window's widget, or null
    bool isStopGesture(QWindow& window, const QEvent& event) const;
    void replayHeld();

    control::JobRunner runner_;
    QTimer slices_;
    std::vector<QPointer<QWidget>> heldWindows_;
    QPointer<QWidget> stopButton_;
    std::deque<Held> held_;
    bool replaying_ = false;
};

}  // namespace selvar::entry
