// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>

#include "platform/access_observer.h"
#include "platform/bus_batch.h"
#include "platform/port_io.h"

namespace selvar::platform {

// Thrown for an access outside the selected port's three registers. The access is never
// performed: a stray write to a real I/O address could hit another device.
class PortAccessRefused : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// Opens the backend for one LPT when the operator selects it.
// The chips' registers as a board shows them without going through its port: only a simulated
// board can, and the bus monitor shows them beside the traffic.
struct VcdTiming;

class BoardRegisters {
  public:
    virtual ~BoardRegisters() = default;
    virtual int chips() const = 0;
    // The gain register a chip latched on the last rising chip select (right code high byte);
    // chip 0 is DUT1 (PC side), chip 1 is DUT2.
    virtual std::uint16_t gainRegister(int chip) const = 0;
    // The MUTE and ZCD lines as the chips see them, for the simulated analog path.
    virtual bool muted() const = 0;    // MUTE asserted (line low)
    virtual bool zcdHigh() const = 0;  // ZCD line high
};

class PortProvider {
  public:
    struct Opened {
        std::unique_ptr<PortIo> io;  // null when the port could not be opened
        std::string error;           // device or address, strerror and the usual fix
        // What was opened, as the operator knows it: "LPT1 = /dev/parport0 (ppdev)".
        std::string description = {};
    };
    virtual ~PortProvider() = default;
    // lpt is 1..3; base is the port base the program will address (0x378, 0x278, 0x3BC).
    virtual Opened open(int lpt, std::uint16_t base) = 0;

    // The clock its ports' accesses run on, for the waveforms and the monitor's times: a real
    // port's steady clock unless the provider simulates its own.
    virtual VcdTiming timing() const;
    // The board's registers where they can be seen without the port; null on real hardware.
    virtual const BoardRegisters* boardRegisters() const { return nullptr; }
};

// The port the program talks to: the backend of the selected LPT behind the address guard,
// with the observers that see every access performed. Before any selection, and after a
// failed open, the port is absent: writes are dropped and reads return 0xFF, as on a PC whose
// port is empty. The selected base is the one record of where the port is.
class SelectedPort final : public PortIo {
  public:
    using FailureReporter = std::function<void(const std::string& message)>;

    // observer (may be null) is attached from the start, for callers that watch one port for
    // its whole life.
    SelectedPort(PortProvider& provider, FailureReporter reportFailure,
                 AccessObserver* observer = nullptr);
    ~SelectedPort() override;
    SelectedPort(const SelectedPort&) = delete;
    SelectedPort& operator=(const SelectedPort&) = delete;

    // Closes the previous backend and opens the one for lpt at base.
    void select(int lpt, std::uint16_t base);
    bool present() const { return backend_ != nullptr; }
    // The LPT last selected (0 before any); what its backend is while present, else why it
    // could not be opened or was lost.
    int lpt() const { return lpt_; }
    const std::string& description() const { return description_; }
    const std::string& failure() const { return failure_; }
    // The selected port's data register; 0 before any selection.
    std::uint16_t base() const { return base_; }
    AccessObservers& observers() { return observers_; }

    // Inline: the chip link makes a hundred of these per transfer.
    std::uint8_t read(std::uint16_t address) override {
        return readTelling(address, observers_.all());
    }
    void write(std::uint16_t address, std::uint8_t value) override {
        writeTelling(address, value, observers_.all());
    }

    // A frame at the selected port: access by access through the guard, or handed whole to a
    // backend that runs batches. Observers that take frames whole get it once it ran; the rest
    // hear the accesses a parallel port makes for it.
    void run(BusBatch& batch);
    void run(std::uint16_t base, BusBatch& batch) override;
    // A parallel port makes the reads, each guarded and observed; an adapter waits by the
    // clock, its observers hearing the reads a parallel port would have made.
    void wait(std::uint16_t address, long reads, const std::atomic<bool>* stop = nullptr) override;

  private:
    class StepwiseTelling;

    // Before any selection no 16-bit address is within two of this.
    static constexpr std::uint32_t kNothingSelected = 0x20000;

    void guard(std::uint16_t address) const {
        if (static_cast<std::uint32_t>(address) - guardBase_ > 2) {
            refuse(address);
        }
    }
    std::uint8_t readTelling(std::uint16_t address, const ObserverList& told) {
        guard(address);
        std::uint8_t value;
        try {
            value = io_->read(address);
        } catch (const PortLost& lost) {
            value = drop(lost).read(address);
        }
        if (!told.empty()) {
            told.read(address, value);
        }
        return value;
    }
    void writeTelling(std::uint16_t address, std::uint8_t value, const ObserverList& told) {
        guard(address);
        try {
            io_->write(address, value);
        } catch (const PortLost& lost) {
            drop(lost);
        }
        if (!told.empty()) {
            told.write(address, value);
        }
    }
    [[noreturn]] void refuse(std::uint16_t address) const;
    // The backend's device went away: say so once and go on with the port absent.
    PortIo& drop(const PortLost& lost);
    void waitByReading(std::uint16_t address, long reads, const std::atomic<bool>* stop);
    // What an adapter's data register read gave inside the batch: its latch, no bus traffic.
    void fillDataReads(BusBatch& batch);
    void replay(const BusBatch& batch);

    PortProvider& provider_;
    FailureReporter reportFailure_;
    AccessObservers observers_;
    std::unique_ptr<PortIo> backend_;
    PortIo* io_;  // backend_, else the empty port
    std::uint32_t guardBase_ = kNothingSelected;
    std::uint16_t base_ = 0;
    int lpt_ = 0;
    std::string description_;
    std::string failure_;
};

}  // namespace selvar::platform
