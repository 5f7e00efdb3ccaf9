// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/selected_port.h"

#include <optional>

#include "platform/port_register.h"
#include "platform/vcd_writer.h"
#include "platform/wiring.h"

namespace selvar::platform {

namespace {

// What a PC whose port is empty gives: writes go nowhere, the data lines float high.
class AbsentPort final : public PortIo {
  public:
    std::uint8_t read(std::uint16_t) override { return 0xFF; }
    void write(std::uint16_t, std::uint8_t) override {}
};

PortIo& absentPort() {
    static AbsentPort port;  // stateless
    return port;
}

}  // namespace

VcdTiming PortProvider::timing() const {
    return VcdTiming::hardware();
}

SelectedPort::SelectedPort(PortProvider& provider, FailureReporter reportFailure,
                           AccessObserver* observer)
    : provider_(provider), reportFailure_(std::move(reportFailure)), io_(&absentPort()) {
    if (observer) {
        observers_.attach(*observer);
    }
}

SelectedPort::~SelectedPort() = default;

void SelectedPort::select(int lpt, std::uint16_t base) {
    io_ = &absentPort();
    backend_.reset();  // release the previous port before claiming another
    base_ = base;
    guardBase_ = base;
    lpt_ = lpt;
    observers_.portSelected(base);
    PortProvider::Opened opened = provider_.open(lpt, base);
    backend_ = std::move(opened.io);
    description_ = backend_ ? std::move(opened.description) : std::string();
    failure_ = backend_ ? std::string() : std::move(opened.error);
    if (backend_) {
        io_ = backend_.get();
    } else if (reportFailure_) {
        reportFailure_(failure_);
    }
}

void SelectedPort::run(BusBatch& batch) {
    run(base_, batch);
}

// The port as a batch's steps see it: guarded, telling only the observers that hear a frame
// access by access.
class SelectedPort::StepwiseTelling {
  public:
    StepwiseTelling(SelectedPort& port, const ObserverList& told) : port_(port), told_(told) {}
    std::uint8_t read(std::uint16_t address) { return port_.readTelling(address, told_); }
    void write(std::uint16_t address, std::uint8_t value) {
        port_.writeTelling(address, value, told_);
    }

  private:
    SelectedPort& port_;
    const ObserverList& told_;
};

void SelectedPort::run(std::uint16_t base, BusBatch& batch) {
    guard(base);
    guard(static_cast<std::uint16_t>(base + 1));
    observers_.frameBegin();
    if (!io_->runsBatches()) {
        StepwiseTelling port(*this, observers_.stepwise());
        runSteps(port, base, batch);
    } else {
        try {
            io_->run(base, batch);
        } catch (const PortLost& lost) {
            batch.setProbeCount(0);
            runStepwise(drop(lost), base, batch);
        }
        if (!observers_.empty()) {
            fillDataReads(batch);
            replay(batch);
        }
    }
    observers_.frame(base, batch);
}

void SelectedPort::wait(std::uint16_t address, long reads, const std::atomic<bool>* stop) {
    guard(address);
    if (reads <= 0) {
        return;
    }
    if (!io_->waitsByClock()) {
        waitByReading(address, reads, stop);
        return;
    }
    // An adapter waits by the clock; its observers hear the reads a parallel port would make.
    const bool rest = !observers_.empty() && reads > 1;
    std::uint8_t latch = 0;
    if (!observers_.empty()) {
        latch = read(address);
        for (long i = 1; i < reads; ++i) {
            observers_.stepwise().read(address, latch);
        }
    }
    if (rest) {
        observers_.frameBegin();
    }
    try {
        io_->wait(address, reads, stop);
    } catch (const PortLost& lost) {
        drop(lost);
    }
    if (rest) {
        observers_.repeatedRead(address, latch, reads - 1);
    }
}

// Observers that take frames hear a wait's reads as runs of equal values, after the run.
void SelectedPort::waitByReading(std::uint16_t address, long reads, const std::atomic<bool>* stop) {
    const bool runs = !observers_.framewise().empty();
    const ObserverList& told = runs ? observers_.stepwise() : observers_.all();
    std::uint8_t runValue = 0;
    long runLength = 0;
    for (long i = 0; i < reads && !stopRequested(stop, i); ++i) {
        if (runs && runLength == 0) {
            observers_.frameBegin();
        }
        const std::uint8_t value = readTelling(address, told);
        if (runs && runLength > 0 && value != runValue) {
            observers_.repeatedRead(address, runValue, runLength);
            observers_.frameBegin();  // the next run began with this read, a moment ago
            runLength = 0;
        }
        runValue = value;
        ++runLength;
    }
    if (runs && runLength > 0) {
        observers_.repeatedRead(address, runValue, runLength);
    }
}

PortIo& SelectedPort::drop(const PortLost& lost) {
    io_ = &absentPort();
    backend_.reset();
    description_.clear();
    failure_ = lost.what();
    if (reportFailure_) {
        reportFailure_(failure_);
    }
    return *io_;
}

void SelectedPort::fillDataReads(BusBatch& batch) {
    std::optional<std::uint8_t> latch;
    std::size_t dataRead = 0;
    for (const BusBatch::Step& step : batch) {
        if (step.op == BusBatch::Op::WriteData) {
            latch = step.value;
        } else if (step.op == BusBatch::Op::ReadData) {
            if (!latch) {
                latch = io_->read(base_);
            }
            batch.setDataRead(dataRead++, *latch);
        }
    }
}

// The accesses a parallel port would have made for the batch, with the levels the backend
// sampled, so that traces and the bus monitor read the same whatever carries the bus.
void SelectedPort::replay(const BusBatch& batch) {
    const ObserverList& told = observers_.stepwise();
    if (told.empty()) {
        return;
    }
    ReplayCursor cursor;
    for (std::size_t i = 0; i < batch.size(); ++i) {
        replayStep(batch, i, base_, cursor, told);
    }
}

void SelectedPort::refuse(std::uint16_t address) const {
    refuseAccess(address, guardBase_ == kNothingSelected ? "no port is selected"
                                                         : "outside the selected port");
}

}  // namespace selvar::platform
