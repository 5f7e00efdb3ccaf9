// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <memory>
#include <string>

#include "control/job.h"

class QWidget;

namespace selvar::panel {

// A ramp's wait after one move, made in pieces so that the loop driving the ramp keeps
// serving events between them.
class PendingWait {
  public:
    virtual ~PendingWait() = default;
    // True once the wait is over.
    virtual bool runUntil(std::chrono::steady_clock::time_point deadline) = 0;
};

// What a gain panel needs from the rest of the program: the chip link acting on both panels'
// words, and the common pins. The entry side implements it; tests may fake it.
class PanelLink {
  public:
    virtual ~PanelLink() = default;
    // One frame carrying the DUT2 panel's word, then the DUT1 panel's, as the sliders hold them.
    virtual void sendGainWords() = 0;
    // Reads the chips back and writes the code labels of both panels.
    virtual void readBackGainRegisters() = 0;
    // The ramp's time base: delay x step x 2000 reads of the selected port's data register.
    virtual void waitSteps(int delay, int step) = 0;
    // The same wait, begun here and made in pieces by the caller; null when it is over already.
    // A link with no port to pace by waits at once.
    virtual std::unique_ptr<PendingWait> startWait(int delay, int step) {
        waitSteps(delay, step);
        return nullptr;
    }
    // Runs a long operation of the panel. A link with no loop to drive it runs it to the end
    // here and now.
    virtual void startJob(std::unique_ptr<control::Job> job) {
        control::JobRunner runner;
        runner.start(std::move(job));
        runner.runToEnd();
    }
    // Which DUT the panel stands for, as the operator names it.
    virtual int dutOf(const QWidget& /*panel*/) const { return 1; }
    // Whether the program was asked to end (a termination signal): a running ramp then stops
    // after the move in progress, and its wait ends early. Cheap, never blocks.
    virtual bool stopRequested() const { return false; }
    // The highest code the operator's gain limit lets a channel be sent; 255 while none is set.
    virtual int highestCode() const { return 255; }
    // A move the gain limit refused or held back, in the operator's words, for the status line.
    virtual void reportLimit(const std::string& /*what*/) {}
    virtual void setZcdPin() = 0;
    virtual void clearZcdPin() = 0;
    virtual void clearMutePin() = 0;
    virtual void setMutePin() = 0;
};

}  // namespace selvar::panel
