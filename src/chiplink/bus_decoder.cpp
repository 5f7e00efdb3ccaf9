#include "chiplink/bus_decoder.h"

#include "platform/wiring.h"

namespace selvar::chiplink {

namespace {

using platform::Signal;
constexpr platform::ParallelWiring kWiring = platform::kParallelWiring;
constexpr std::uint8_t kPinLines = kWiring.mask(Signal::Zcd) | kWiring.mask(Signal::Mute);

}  // namespace

void BusDecoder::portSelected(std::uint16_t base) {
    base_ = base;
    lastWasDataRead_ = false;
    pendingPin_.reset();
}

BusEvent BusDecoder::eventAtLevel(BusEvent::Kind kind) const {
    BusEvent e;
    e.kind = kind;
    e.zcdHigh = kWiring.level(level_, Signal::Zcd);
    e.muteHigh = kWiring.level(level_, Signal::Mute);
    return e;
}

// A write right after a line operation's write belongs to something else (a frame's first
// writes look the same), so the operation counts only when no write follows it.
std::optional<BusEvent> BusDecoder::takePending(bool nextIsWrite) {
    std::optional<BusEvent> pin;
    pin.swap(pendingPin_);
    return nextIsWrite ? std::nullopt : pin;
}

std::optional<BusEvent> BusDecoder::read(std::uint16_t address, std::uint8_t value) {
    std::optional<BusEvent> done = takePending(false);
    lastWasDataRead_ = address == base_;
    if (address == base_) {
        level_ = value;  // a data read shows the levels the port really drives
    } else if (address == base_ + 1 && !kWiring.level(level_, Signal::ChipSelect)) {
        lastSampleHigh_ = kWiring.readBackLevel(value);
        if (samples_ < kReturnedBits) {
            returned_ = (returned_ << 1) | (lastSampleHigh_ ? 1u : 0u);
        }
        ++samples_;
    }
    return done;
}

std::optional<BusEvent> BusDecoder::write(std::uint16_t address, std::uint8_t value) {
    takePending(true);
    const bool afterDataRead = lastWasDataRead_;
    lastWasDataRead_ = false;
    if (address != base_) {
        return std::nullopt;
    }
    const std::uint8_t before = level_;
    level_ = value;
    const bool csLow = !kWiring.level(value, Signal::ChipSelect);
    const bool wasCsLow = !kWiring.level(before, Signal::ChipSelect);
    if (csLow && !wasCsLow) {
        shifted_ = 0;
        clockPulses_ = 0;
        returned_ = 0;
        samples_ = 0;
        lastSampleHigh_ = false;
    }
    if (csLow && !kWiring.level(before, Signal::Clock) && kWiring.level(value, Signal::Clock)) {
        shifted_ = (shifted_ << 1) | (kWiring.level(value, Signal::Data) ? 1u : 0u);
        ++clockPulses_;
    }
    // The data latch powers up at 0, chip select low: the chips see a frame from then on.
    if (!csLow && wasCsLow) {
        BusEvent e = eventAtLevel(samples_ > 0 ? BusEvent::Kind::ReadBack : BusEvent::Kind::Gain);
        e.dut2Word = static_cast<std::uint16_t>(shifted_ >> 16);
        e.dut1Word = static_cast<std::uint16_t>(shifted_ & 0xFFFF);
        e.clockPulses = clockPulses_;
        if (samples_ > 0) {
            e.returnedBits = samples_ < kReturnedBits ? samples_ : kReturnedBits;
            e.returned = returned_;
            const int probes = samples_ - e.returnedBits;
            e.chainLength = lastSampleHigh_ && probes > 0 ? probes : probes + 1;
        }
        return e;
    }
    if (afterDataRead && ((value ^ before) & ~kPinLines) == 0) {
        pendingPin_ = eventAtLevel(BusEvent::Kind::Pin);
    }
    return std::nullopt;
}

std::optional<BusEvent> BusDecoder::finish() {
    return takePending(false);
}

}  // namespace selvar::chiplink
