// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/adapters/ftdi_transport.h"

#include <ftdi.h>
#include <libusb.h>

#include <chrono>
#include <cstdio>
#include <memory>

namespace selvar::platform {

namespace {

constexpr int kFtdiVendor = 0x0403;
// Products with an MPSSE: FT2232C/D/H (0x6010), FT4232H (0x6011), FT232H (0x6014).
constexpr int kMpsseProducts[] = {0x6014, 0x6010, 0x6011};
constexpr int kUsbTimeoutMs = 1000;
constexpr auto kReadDeadline = std::chrono::milliseconds(kUsbTimeoutMs);

struct ContextDeleter {
    void operator()(ftdi_context* c) const { ftdi_free(c); }
};
using Context = std::unique_ptr<ftdi_context, ContextDeleter>;

struct ListDeleter {
    void operator()(ftdi_device_list* l) const { ftdi_list_free2(l); }
};
using DeviceList = std::unique_ptr<ftdi_device_list, ListDeleter>;

// libftdi's open results: -3 no device, -4 libusb_open failed (in practice the device node's
// permissions), -5 the interface could not be claimed (another program, or a kernel driver
// that could not be detached).
FtdiFailure openFailure(int code) {
    switch (code) {
        case -3:
            return FtdiFailure::NotFound;
        case -4:
            return FtdiFailure::NoAccess;
        case -5:
            return FtdiFailure::Busy;
        default:
            return FtdiFailure::NotFound;
    }
}

std::string chipName(ftdi_chip_type type) {
    switch (type) {
        case TYPE_AM:
            return "FT8U232AM";
        case TYPE_BM:
            return "FT232BM";
        case TYPE_2232C:
            return "FT2232C";
        case TYPE_R:
            return "FT232R";
        case TYPE_2232H:
            return "FT2232H";
        case TYPE_4232H:
            return "FT4232H";
        case TYPE_232H:
            return "FT232H";
        case TYPE_230X:
            return "FT230X";
    }
    return {};
}

class LibftdiTransport final : public FtdiTransport {
  public:
    LibftdiTransport() : ctx_(ftdi_new()) {}
    ~LibftdiTransport() override {
        if (open_) {
            ftdi_set_bitmode(ctx_.get(), 0, BITMODE_RESET);
            ftdi_usb_close(ctx_.get());
        }
    }
    LibftdiTransport(const LibftdiTransport&) = delete;
    LibftdiTransport& operator=(const LibftdiTransport&) = delete;

    FtdiStatus open(const std::string& device) override {
        if (!ctx_) {
            return {FtdiFailure::NotFound, "libftdi could not start"};
        }
        const int code =
            device.empty() ? openFirstMpsse() : ftdi_usb_open_string(ctx_.get(), device.c_str());
        if (code < 0) {
            return {code == -11 ? FtdiFailure::NotFound : openFailure(code), error()};
        }
        open_ = true;
        ctx_->usb_read_timeout = kUsbTimeoutMs;
        ctx_->usb_write_timeout = kUsbTimeoutMs;
        return {};
    }
    bool hasMpsse() const override {
        const ftdi_chip_type t = ctx_->type;
        return t == TYPE_2232C || t == TYPE_2232H || t == TYPE_4232H || t == TYPE_232H;
    }
    std::string identity() const override {
        std::string name = chipName(ctx_->type);
        char serial[128] = "";
        libusb_device* device = ctx_->usb_dev ? libusb_get_device(ctx_->usb_dev) : nullptr;
        if (device &&
            ftdi_usb_get_strings2(ctx_.get(), device, nullptr, 0, nullptr, 0, serial,
                                  sizeof serial) == 0 &&
            serial[0] != '\0') {
            // Appended piece by piece: a temporary built with operator+ trips GCC 12's
            // -Wrestrict false positive at -O3.
            if (!name.empty()) {
                name += ' ';
            }
            name += serial;
        }
        return name;
    }
    FtdiStatus setMode(Mode mode, std::uint8_t outputs, int bytesPerSecond) override {
        const bool mpsse = mode == Mode::Mpsse;
        if (ftdi_set_bitmode(ctx_.get(), 0, BITMODE_RESET) < 0 || ftdi_tcioflush(ctx_.get()) < 0 ||
            ftdi_set_latency_timer(ctx_.get(), 1) < 0 ||
            (!mpsse && ftdi_set_baudrate(ctx_.get(), bytesPerSecond) < 0) ||
            ftdi_set_bitmode(ctx_.get(), mpsse ? 0 : outputs,
                             mpsse ? BITMODE_MPSSE : BITMODE_SYNCBB) < 0) {
            return {FtdiFailure::Unsupported, error()};
        }
        return {};
    }
    FtdiStatus write(const std::uint8_t* bytes, std::size_t count) override {
        const int n = ftdi_write_data(ctx_.get(), bytes, static_cast<int>(count));
        if (n != static_cast<int>(count)) {
            return {FtdiFailure::Gone, n < 0 ? error() : "short write"};
        }
        return {};
    }
    // libftdi returns what has arrived so far; the answer to a batch may come in pieces.
    FtdiStatus read(std::uint8_t* bytes, std::size_t count) override {
        const auto deadline = std::chrono::steady_clock::now() + kReadDeadline;
        std::size_t got = 0;
        while (got < count) {
            const int n = ftdi_read_data(ctx_.get(), bytes + got, static_cast<int>(count - got));
            if (n < 0) {
                return {FtdiFailure::Gone, error()};
            }
            got += static_cast<std::size_t>(n);
            if (got < count && std::chrono::steady_clock::now() > deadline) {
                return {FtdiFailure::Gone, "no answer within a second"};
            }
        }
        return {};
    }

  private:
    int openFirstMpsse() {
        for (const int product : kMpsseProducts) {
            const int code = ftdi_usb_open(ctx_.get(), kFtdiVendor, product);
            if (code != -3) {
                return code;
            }
        }
        return -3;
    }
    std::string error() const { return ctx_ ? ftdi_get_error_string(ctx_.get()) : std::string(); }

    Context ctx_;
    bool open_ = false;
};

}  // namespace

std::unique_ptr<FtdiTransport> makeLibftdiTransport() {
    return std::make_unique<LibftdiTransport>();
}

std::vector<std::string> listFtdiDevices() {
    std::vector<std::string> lines;
    const Context ctx(ftdi_new());
    ftdi_device_list* raw = nullptr;
    // Vendor and product 0: libftdi's own list of FTDI products.
    if (!ctx || ftdi_usb_find_all(ctx.get(), &raw, 0, 0) < 0) {
        return lines;
    }
    const DeviceList list(raw);
    for (ftdi_device_list* d = raw; d; d = d->next) {
        char maker[128] = "", description[128] = "", serial[128] = "";
        if (ftdi_usb_get_strings(ctx.get(), d->dev, maker, sizeof maker, description,
                                 sizeof description, serial, sizeof serial) < 0) {
            lines.push_back("ftdi  (cannot read its strings: " +
                            std::string(ftdi_get_error_string(ctx.get())) + ")");
            continue;
        }
        libusb_device_descriptor descriptor{};
        libusb_get_device_descriptor(d->dev, &descriptor);
        char id[32];
        std::snprintf(id, sizeof id, "s:0x%04x:0x%04x:", descriptor.idVendor, descriptor.idProduct);
        lines.push_back("ftdi:" + std::string(id) + serial + "  \"" + description + "\" (" + maker +
                        ")");
    }
    return lines;
}

}  // namespace selvar::platform
