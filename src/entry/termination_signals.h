// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <atomic>
#include <functional>

class QSocketNotifier;

namespace selvar::entry {

// Turns SIGINT, SIGTERM and SIGHUP into an orderly close on the event loop, so that Ctrl+C in
// a terminal or a session logout ends the program as closing its window does and a trace file
// is complete. A signal handler may only write to a pipe; the notifier does the rest.
// One instance per process (the handlers are process-wide); it restores them on destruction.
class TerminationSignals : public QObject {
    Q_OBJECT
  public:
    explicit TerminationSignals(std::function<void()> onTermination, QObject* parent = nullptr);
    ~TerminationSignals() override;

    // Set by the signal handler itself, so that work holding the event loop (a ramp) can see
    // the request without waiting for the loop.
    const std::atomic<bool>& request() const;

  private:
    std::function<void()> onTermination_;
    QSocketNotifier* notifier_ = nullptr;
};

}  // namespace selvar::entry
