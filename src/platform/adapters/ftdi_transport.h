// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace selvar::platform {

// What went wrong at the USB seam, in the terms the messages need.
enum class FtdiFailure {
    None,
    NotFound,     // no such device plugged in
    NoAccess,     // the device node is not ours to open (udev rule missing)
    Busy,         // another program or a kernel driver holds the interface
    Unsupported,  // the device lacks what the wiring needs
    Gone,         // the device stopped answering or was unplugged
};

struct FtdiStatus {
    FtdiFailure failure = FtdiFailure::None;
    std::string detail;  // the library's own words
    explicit operator bool() const { return failure == FtdiFailure::None; }
};

// One FTDI device as the adapter backend uses it: opened once, put in a mode, then bytes out
// and bytes back. The real one sits on libftdi; tests put a device model behind it that
// interprets the bytes. Counting calls here counts USB transfers.
class FtdiTransport {
  public:
    enum class Mode {
        Mpsse,        // command processor: SET_BITS_LOW / GET_BITS_LOW
        SyncBitbang,  // one byte out per pin update, one byte back per byte out
    };
    virtual ~FtdiTransport() = default;

    // device: libftdi's string form, or empty for the first device with an MPSSE.
    virtual FtdiStatus open(const std::string& device) = 0;
    virtual bool hasMpsse() const = 0;
    // The open device as the operator names it, chip and serial number ("FT232H FT6XYZ12");
    // empty when the device does not tell.
    virtual std::string identity() const { return {}; }
    // outputs: the pins to drive (bit-bang; an MPSSE takes them with each command).
    // bytesPerSecond: the bit-bang update rate.
    virtual FtdiStatus setMode(Mode mode, std::uint8_t outputs, int bytesPerSecond) = 0;
    virtual FtdiStatus write(const std::uint8_t* bytes, std::size_t count) = 0;
    // Exactly count bytes, or a failure after the device's time-out.
    virtual FtdiStatus read(std::uint8_t* bytes, std::size_t count) = 0;
};

// The real transport, through libftdi (the interface is released when it is destroyed).
std::unique_ptr<FtdiTransport> makeLibftdiTransport();

// What is plugged in, for --list-adapters: one line per FTDI device.
std::vector<std::string> listFtdiDevices();

}  // namespace selvar::platform
