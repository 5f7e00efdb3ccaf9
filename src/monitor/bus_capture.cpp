#include "monitor/bus_capture.h"

#include <algorithm>
#include <stdexcept>

#include "platform/wiring.h"

namespace selvar::monitor {

namespace {

using platform::Signal;
constexpr platform::ParallelWiring kWiring = platform::kParallelWiring;

std::uint64_t ticksPerSlice(const platform::VcdTiming& timing) {
    return std::max<std::uint64_t>(1, LineHistory::kSliceNs / timing.nsPerTick);
}

}  // namespace

FrameWords shownWords(const FrameRecord& frame) {
    if (!frame.readBack()) {
        return {frame.dut2Word, frame.dut1Word};
    }
    // The samples are the low returnedBits bits, the first highest; the far chip's word comes
    // out first, and a lone chip's word is DUT1's.
    const auto word = [&](int index) {
        return static_cast<std::uint16_t>(frame.returned >>
                                          (frame.returnedBits - 16 * (index + 1)));
    };
    if (frame.chainLength == 32 && frame.returnedBits >= 32) {
        return {word(0), word(1)};
    }
    if (frame.chainLength == 16 && frame.returnedBits >= 16) {
        return {std::nullopt, word(0)};
    }
    return {};
}

BusCapture::BusCapture(platform::VcdTiming timing, std::size_t capacity)
    : clock_(timing), history_(ticksPerSlice(timing)), ring_(capacity) {
    if (capacity == 0) {
        throw std::invalid_argument("a capture keeps at least one frame");
    }
}

void BusCapture::onPortSelected(std::uint16_t base) {
    base_ = base;
    decoder_.portSelected(base);
}

void BusCapture::onRead(std::uint16_t address, std::uint8_t value) {
    const std::uint64_t t = clock_.next();
    ++accesses_;
    // A read completes at most a line operation, which is no frame.
    decoder_.read(address, value);
    if (address == base_ + 1) {
        readBackHigh_ = kWiring.readBackLevel(value);
    }
    history_.record(t, lineLevels());
}

void BusCapture::onWrite(std::uint16_t address, std::uint8_t value) {
    const std::uint64_t t = clock_.next();
    ++accesses_;
    const bool csWasHigh = kWiring.level(decoder_.dataLevel(), Signal::ChipSelect);
    const std::optional<chiplink::BusEvent> event = decoder_.write(address, value);
    if (csWasHigh && !kWiring.level(decoder_.dataLevel(), Signal::ChipSelect)) {
        frameStart_ = t;
    }
    history_.record(t, lineLevels());
    if (event && event->kind != chiplink::BusEvent::Kind::Pin) {
        frameEnded(*event);
    }
}

void BusCapture::frameEnded(const chiplink::BusEvent& event) {
    FrameRecord& r = ring_[end_ % ring_.size()];
    r.startTick = frameStart_;
    r.dut2Word = event.dut2Word;
    r.dut1Word = event.dut1Word;
    r.returned = event.returned;
    r.returnedBits = static_cast<std::uint8_t>(event.returnedBits);
    r.chainLength = static_cast<std::uint8_t>(std::min(event.chainLength, 255));
    r.zcdHigh = event.zcdHigh;
    r.muteHigh = event.muteHigh;
    ++end_;
    if (end_ - first_ > ring_.size()) {
        ++first_;
    }
    // A frame is the natural moment to show news; the clock is read once a frame, not per
    // access, and views hear at most thirty times a second however fast frames come.
    if (listeners_.empty()) {
        return;
    }
    const auto now = std::chrono::steady_clock::now();
    if (now - lastNotified_ >= kNotifyInterval) {
        lastNotified_ = now;
        for (CaptureListener* l : listeners_) {
            l->captureChanged();
        }
    }
}

void BusCapture::clear() {
    first_ = end_;
    clearedAt_ = end_;
    history_.clear();
}

void BusCapture::addListener(CaptureListener& listener) {
    if (std::find(listeners_.begin(), listeners_.end(), &listener) == listeners_.end()) {
        listeners_.push_back(&listener);
    }
}

void BusCapture::removeListener(CaptureListener& listener) {
    listeners_.erase(std::remove(listeners_.begin(), listeners_.end(), &listener),
                     listeners_.end());
}

}  // namespace selvar::monitor
