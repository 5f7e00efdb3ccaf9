// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/adapters/ftdi_port.h"

#include <algorithm>
#include <array>
#include <vector>

#include "platform/adapters/adapter_port.h"

namespace selvar::platform {

namespace {

constexpr std::uint8_t kSetBitsLow = 0x80;
constexpr std::uint8_t kGetBitsLow = 0x81;
constexpr std::uint8_t kSendImmediate = 0x87;

// A parallel port's data register and status reads carried by an FTDI chip. A frame becomes
// one USB write (and one read when it samples the read-back line); the chain-length probe
// clocks all its pulses and is counted afterwards.
class FtdiPort final : public AdapterPort {
  public:
    FtdiPort(std::unique_ptr<FtdiTransport> transport, int lpt, std::uint16_t base,
             const AdapterPins& pins, bool mpsse)
        : AdapterPort(base),
          transport_(std::move(transport)),
          lpt_(lpt),
          pins_(pins),
          outputs_(static_cast<std::uint8_t>(pins.outputMask())),
          mpsse_(mpsse) {
        out_.reserve(16 * 1024);
        in_.reserve(1024);
        samples_.reserve(BusBatch::kMaxSamples + 256);
    }

    void run(std::uint16_t, BusBatch& batch) override {
        begin();
        std::size_t batchSamples = 0;
        std::size_t probeFirst = 0;
        int probeLimit = -1;  // no probe in this batch
        for (const BusBatch::Step& step : batch) {
            switch (step.op) {
                case BusBatch::Op::WriteData:
                    setLatch(step.value);
                    level(step.value);
                    break;
                case BusBatch::Op::ReadData:
                    break;  // the latch, known here
                case BusBatch::Op::Sample:
                    sampleOf_[batchSamples++] = samples_.size();
                    samples_.push_back(sample());
                    break;
                case BusBatch::Op::Probe:
                    probeFirst = samples_.size();
                    probeLimit = batch.probeLimit();
                    for (int n = 1; n <= batch.probeLimit(); ++n) {
                        samples_.push_back(sample());
                        level(static_cast<std::uint8_t>(step.value |
                                                        kParallelWiring.mask(Signal::Clock)));
                        level(step.value);
                    }
                    setLatch(step.value);
                    break;
            }
        }
        transfer();
        for (std::size_t i = 0; i < batchSamples; ++i) {
            batch.setSampled(i, readBack(sampleOf_[i]));
        }
        if (probeLimit >= 0) {
            int n = 1;
            while (n <= probeLimit && !readBack(probeFirst + static_cast<std::size_t>(n - 1))) {
                ++n;
            }
            batch.setProbeCount(n);
        }
    }

  protected:
    void drive(std::uint8_t dataRegister) override {
        begin();
        level(dataRegister);
        transfer();
    }
    bool sampleReadBack() override {
        begin();
        samples_.push_back(sample());
        transfer();
        return readBack(0);
    }

  private:
    void begin() {
        out_.clear();
        samples_.clear();
        replies_ = 0;
    }
    void level(std::uint8_t dataRegister) {
        const auto pins = static_cast<std::uint8_t>(pins_.levels(dataRegister));
        pinsNow_ = pins;
        if (!mpsse_) {
            out_.push_back(pins);
            return;
        }
        for (int i = 0; i < kMpsseHoldCommands; ++i) {
            out_.insert(out_.end(), {kSetBitsLow, pins, outputs_});
        }
    }
    // Where the sampled pins will be among the bytes that come back.
    std::size_t sample() {
        if (!mpsse_) {
            // Synchronous bit-bang reads the pins as each byte goes out: resend the levels.
            out_.push_back(pinsNow_);
            return out_.size() - 1;
        }
        out_.push_back(kGetBitsLow);
        return replies_++;
    }
    bool readBack(std::size_t sampleIndex) const {
        return pins_.readBack(in_[samples_[sampleIndex]]);
    }

    void transfer() {
        if (mpsse_) {
            if (replies_ > 0) {
                out_.push_back(kSendImmediate);
            }
            check(transport_->write(out_.data(), out_.size()));
            in_.resize(replies_);
            if (replies_ > 0) {
                check(transport_->read(in_.data(), replies_));
            }
            return;
        }
        in_.resize(out_.size());
        for (std::size_t at = 0; at < out_.size(); at += kBitbangChunk) {
            const std::size_t n = std::min(kBitbangChunk, out_.size() - at);
            check(transport_->write(out_.data() + at, n));
            check(transport_->read(in_.data() + at, n));
        }
    }
    void check(const FtdiStatus& status) const {
        if (!status) {
            throw PortLost(adapterFailure(lpt_, "the FTDI adapter stopped answering", status.detail,
                                          "Check its USB cable, then select the port again."));
        }
    }

    std::unique_ptr<FtdiTransport> transport_;
    int lpt_;
    AdapterPins pins_;
    std::uint8_t outputs_;
    bool mpsse_;
    std::vector<std::uint8_t> out_;
    std::vector<std::uint8_t> in_;
    std::vector<std::size_t> samples_;  // per sample: its byte among the answers
    std::array<std::size_t, BusBatch::kMaxSamples> sampleOf_{};  // a batch sample's place there
    std::size_t replies_ = 0;
    std::uint8_t pinsNow_ = 0;  // the output levels last sent
};

std::string openFix(FtdiFailure failure, int lpt) {
    switch (failure) {
        case FtdiFailure::NotFound:
            return "Plug the adapter in (`selvar --list-adapters` shows what is there), or name "
                   "it with --parport LPT" +
                   std::to_string(lpt) + "=ftdi:s:VID:PID:SERIAL.";
        case FtdiFailure::NoAccess:
            return "Install the udev rule 60-selvar-adapters.rules in /etc/udev/rules.d, run "
                   "`sudo udevadm control --reload && sudo udevadm trigger`, join group plugdev "
                   "(`sudo usermod -aG plugdev $USER`), log in again and replug the adapter.";
        case FtdiFailure::Busy:
            return "Another program has the adapter open: close it. The kernel's serial driver "
                   "is detached automatically; if it cannot be, unbind it with `sudo rmmod "
                   "ftdi_sio`.";
        default:
            return {};
    }
}

}  // namespace

PortProvider::Opened openFtdiPort(int lpt, std::uint16_t base, const AdapterConfig& config,
                                  const FtdiTransportFactory& makeTransport) {
    auto transport = makeTransport();
    const std::string what =
        "cannot open the FTDI adapter " +
        (config.device.empty() ? std::string("(the first with an MPSSE)") : echoed(config.device));
    FtdiStatus status = transport->open(config.device);
    const bool mpsse = status && transport->hasMpsse();
    if (status) {
        status = transport->setMode(
            mpsse ? FtdiTransport::Mode::Mpsse : FtdiTransport::Mode::SyncBitbang,
            static_cast<std::uint8_t>(config.pins.outputMask()), kBitbangBytesPerSecond);
    }
    if (!status) {
        return {nullptr, adapterFailure(lpt, what, status.detail, openFix(status.failure, lpt))};
    }
    const std::string identity = transport->identity();
    auto port = std::make_unique<FtdiPort>(std::move(transport), lpt, base, config.pins, mpsse);
    try {
        port->write(base, 0);  // every output low, as a parallel port's latch powers up
    } catch (const PortLost& lost) {
        return {nullptr, lost.what()};
    }
    return {std::move(port),
            {},
            "LPT" + std::to_string(lpt) + " = FTDI " +
                (identity.empty() ? std::string("adapter") : identity)};
}

}  // namespace selvar::platform
