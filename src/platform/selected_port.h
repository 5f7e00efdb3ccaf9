#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>

#include "platform/port_io.h"

namespace selvar::platform {

// Thrown for an access outside the selected port's three registers. The access is never
// performed: a stray write to a real I/O address could hit another device.
class PortAccessRefused : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// Opens the backend for one LPT when the operator selects it.
class PortProvider {
  public:
    struct Opened {
        std::unique_ptr<PortIo> io;  // null when the port could not be opened
        std::string error;           // device or address, strerror and the usual fix
    };
    virtual ~PortProvider() = default;
    // lpt is 1..3; base is the port base the program will address (0x378, 0x278, 0x3BC).
    virtual Opened open(int lpt, std::uint16_t base) = 0;
};

// Receives every access that was performed (for the access log and the waveform).
class AccessObserver {
  public:
    virtual ~AccessObserver() = default;
    // A port was selected: later accesses address base, base + 1 and base + 2.
    virtual void onPortSelected(std::uint16_t /*base*/) {}
    virtual void onRead(std::uint16_t address, std::uint8_t value) = 0;
    virtual void onWrite(std::uint16_t address, std::uint8_t value) = 0;
};

// The port the program talks to: the backend of the selected LPT behind the address guard.
// Before any selection, and after a failed open, the port is absent: writes are dropped and
// reads return 0xFF, as on a PC whose port is empty.
class SelectedPort final : public PortIo {
  public:
    using FailureReporter = std::function<void(const std::string& message)>;

    SelectedPort(PortProvider& provider, FailureReporter reportFailure,
                 AccessObserver* observer = nullptr);
    ~SelectedPort() override;

    // Closes the previous backend and opens the one for lpt at base.
    void select(int lpt, std::uint16_t base);
    bool present() const;
    std::uint16_t base() const;

    // Inline: the chip link makes a hundred of these per transfer.
    std::uint8_t read(std::uint16_t address) override {
        guard(address);
        return io_->read(address);
    }
    void write(std::uint16_t address, std::uint8_t value) override {
        guard(address);
        io_->write(address, value);
    }

  private:
    // Before any selection no 16-bit address is within two of this.
    static constexpr std::uint32_t kNothingSelected = 0x20000;

    void guard(std::uint16_t address) const {
        if (static_cast<std::uint32_t>(address) - guardBase_ > 2) {
            refuse(address);
        }
    }
    [[noreturn]] void refuse(std::uint16_t address) const;
    void connect();

    PortProvider& provider_;
    FailureReporter reportFailure_;
    AccessObserver* observer_;
    std::unique_ptr<PortIo> backend_;
    std::unique_ptr<PortIo> tracer_;  // reports accesses to observer_, then passes them on
    PortIo* io_;                      // tracer_, else backend_, else the empty port
    std::uint32_t guardBase_ = kNothingSelected;
    std::uint16_t base_ = 0;
};

}  // namespace selvar::platform
