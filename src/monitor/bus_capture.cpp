// SPDX-License-Identifier: GPL-3.0-or-later
#include "monitor/bus_capture.h"

#include <time.h>

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "platform/wiring.h"

namespace selvar::monitor {

namespace {

// The monotonic clock to a few milliseconds, read in a few nanoseconds: it is read once a
// frame, and the precise clock would cost a tenth of an unpaced frame.
std::chrono::nanoseconds coarseNow() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC_COARSE, &now);
    return std::chrono::seconds(now.tv_sec) + std::chrono::nanoseconds(now.tv_nsec);
}

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

// What passed, kept until it is decoded: an access, a wait's reads, a frame (whose packed
// batch follows the entry) or a port selection.
struct BusCapture::Entry {
    enum class Kind : std::uint8_t { Select, Read, Write, RepeatedRead, Frame };
    Kind kind;
    std::uint8_t value;
    std::uint16_t address;  // the base, for a selection or a frame
    std::uint64_t tick;     // the first access's time
    std::uint64_t step;     // the time between a wait's or a frame's accesses
    std::uint64_t count;    // a wait's or a frame's accesses
};

BusCapture::BusCapture(platform::VcdTiming timing, std::size_t capacity)
    : clock_(timing), history_(ticksPerSlice(timing)), capacity_(capacity) {
    if (capacity == 0) {
        throw std::invalid_argument("a capture keeps at least one frame");
    }
}

BusCapture::~BusCapture() = default;

// Times and records an access fed one at a time.
class BusCapture::AccessSink {
  public:
    AccessSink(BusCapture& capture, std::uint64_t t) : c_(capture), t_(t) {}
    void access(std::uint8_t dataLevel, bool readBackHigh) {
        c_.history_.record(t_, lineLevels(dataLevel, readBackHigh));
    }
    void frameStarted() { c_.frameStart_ = t_; }
    void frameEnded(const chiplink::BusEvent& event) { c_.frameEnded(event); }
    void pin(const chiplink::BusEvent&) {}  // a line operation is no frame

  private:
    BusCapture& c_;
    std::uint64_t t_;
};

// Times and records a frame's accesses as the decoder goes through it: most frames fall in
// one slice of the history, whose lines are then gathered in registers and marked once.
class BusCapture::FrameSink {
  public:
    FrameSink(BusCapture& capture, std::uint64_t start, std::uint64_t step, std::uint64_t last)
        : c_(capture),
          t_(start - step),
          step_(step),
          oneSlice_(capture.history_.inCurrentSlice(start, last)) {}
    FrameSink(const FrameSink&) = delete;
    FrameSink& operator=(const FrameSink&) = delete;
    ~FrameSink() {
        if (oneSlice_) {
            c_.history_.markSeen(t_, seen_);
        }
    }

    void access(std::uint8_t dataLevel, bool readBackHigh) {
        t_ += step_;
        const std::uint8_t levels = lineLevels(dataLevel, readBackHigh);
        if (oneSlice_) {
            seen_.high |= levels;
            seen_.low |= static_cast<std::uint8_t>(~levels);
        } else {
            c_.history_.record(t_, levels);
        }
    }
    bool takesRuns() const { return oneSlice_; }
    void writeRun(std::size_t n, bool readBackHigh) {
        t_ += n * step_;
        (readBackHigh ? seen_.high : seen_.low) |= LineHistory::kReadBackBit;
    }
    void runLines(std::uint8_t high, std::uint8_t low) {
        seen_.high |= static_cast<std::uint8_t>(high & kOutputLines);
        seen_.low |= static_cast<std::uint8_t>(low & kOutputLines);
    }
    void frameStarted() { c_.frameStart_ = t_; }
    void frameEnded(const chiplink::BusEvent& event) { c_.frameEnded(event); }
    void pin(const chiplink::BusEvent&) {}

  private:
    BusCapture& c_;
    std::uint64_t t_;
    std::uint64_t step_;
    bool oneSlice_;
    LineHistory::Slice seen_;
};

// Room for an entry and extra bytes after it, the entry copied in; decodes what is kept
// first when the store is full.
std::byte* BusCapture::keep(const Entry& entry, std::size_t extra) {
    const std::size_t bytes = sizeof(Entry) + extra;
    if (kPendingBytes - pendingUsed_ < bytes || !pending_) {
        decodePending();
    }
    std::byte* p = pending_.get() + pendingUsed_;
    std::memcpy(p, &entry, sizeof entry);
    pendingUsed_ += bytes;
    return p + sizeof entry;
}

void BusCapture::onPortSelected(std::uint16_t base) {
    keep({Entry::Kind::Select, 0, base, 0, 0, 0}, 0);
}

void BusCapture::onRead(std::uint16_t address, std::uint8_t value) {
    ++accesses_;
    keep({Entry::Kind::Read, value, address, clock_.next(), 0, 0}, 0);
}

void BusCapture::onWrite(std::uint16_t address, std::uint8_t value) {
    ++accesses_;
    keep({Entry::Kind::Write, value, address, clock_.next(), 0, 0}, 0);
}

void BusCapture::onRepeatedRead(std::uint16_t address, std::uint8_t value, long count) {
    if (count <= 0) {
        return;
    }
    const auto n = static_cast<std::uint64_t>(count);
    const std::uint64_t step = clock_.spread(frameBegun_, n);
    accesses_ += n;
    keep({Entry::Kind::RepeatedRead, value, address, frameBegun_, step, n}, 0);
    notifyListeners();
}

void BusCapture::onFrameBegin() {
    frameBegun_ = clock_.next();
}

void BusCapture::onFrame(std::uint16_t base, const platform::BusBatch& batch) {
    const std::uint64_t n = batch.accesses();
    if (n == 0) {
        return;
    }
    const std::uint64_t step = clock_.spread(frameBegun_, n);
    accesses_ += n;
    batch.pack(keep({Entry::Kind::Frame, 0, base, frameBegun_, step, n}, batch.packedSize()));
    notifyListeners();
}

void BusCapture::decodePending() {
    if (!ring_) {
        // Allocated, not written: their pages are taken as they fill.
        ring_ = std::make_unique_for_overwrite<FrameRecord[]>(capacity_);
        pending_ = std::make_unique_for_overwrite<std::byte[]>(kPendingBytes + kPendingSlack);
    }
    // The decoder may read a little past the last batch kept: those bytes are known, not left
    // as they were.
    std::memset(pending_.get() + pendingUsed_, 0, kPendingSlack);
    for (std::size_t at = 0; at < pendingUsed_;) {
        Entry entry;
        std::memcpy(&entry, pending_.get() + at, sizeof entry);
        at += sizeof entry;
        if (entry.kind == Entry::Kind::Frame) {
            const platform::PackedBatch batch(pending_.get() + at);
            at += batch.packedSize();
            FrameSink sink(*this, entry.tick, entry.step,
                           entry.tick + (entry.count - 1) * entry.step);
            decoder_.frame(entry.address, batch, sink);
        } else {
            decode(entry);
        }
    }
    pendingUsed_ = 0;
}

void BusCapture::decode(const Entry& entry) {
    switch (entry.kind) {
        case Entry::Kind::Select:
            decoder_.portSelected(entry.address);
            break;
        case Entry::Kind::Read: {
            AccessSink sink(*this, entry.tick);
            decoder_.read(entry.address, entry.value, sink);
            break;
        }
        case Entry::Kind::Write: {
            AccessSink sink(*this, entry.tick);
            decoder_.write(entry.address, entry.value, sink);
            break;
        }
        case Entry::Kind::RepeatedRead:
            decodeRepeatedRead(entry);
            break;
        case Entry::Kind::Frame:
            break;  // decoded where it lies
    }
}

// A wait: after the first read only the time moves on.
void BusCapture::decodeRepeatedRead(const Entry& entry) {
    const std::uint64_t n = entry.count;
    const bool onlyTime = decoder_.readAgainChangesNothing(entry.address);
    for (std::uint64_t i = 0; i < (onlyTime ? 1 : n); ++i) {
        AccessSink sink(*this, entry.tick + i * entry.step);
        decoder_.read(entry.address, entry.value, sink);
    }
    if (onlyTime && n > 1) {
        history_.recordSpan(entry.tick + entry.step, entry.step, n - 1,
                            lineLevels(decoder_.dataLevel(), decoder_.readBackHigh()));
    }
}

void BusCapture::frameEnded(const chiplink::BusEvent& event) {
    FrameRecord& r = ring_[endSlot_];
    endSlot_ = endSlot_ + 1 == capacity_ ? 0 : endSlot_ + 1;  // end_ % size, without a division
    r.startTick = frameStart_;
    r.dut2Word = event.dut2Word;
    r.dut1Word = event.dut1Word;
    r.returned = event.returned;
    r.returnedBits = static_cast<std::uint8_t>(event.returnedBits);
    r.chainLength = static_cast<std::uint8_t>(std::min(event.chainLength, 255));
    r.zcdHigh = event.zcdHigh;
    r.muteHigh = event.muteHigh;
    ++end_;
    if (end_ - first_ > capacity_) {
        ++first_;
    }
}

// A frame is the natural moment to show news; the clock is read once a frame, not per access,
// and views hear at most thirty times a second however fast frames come.
void BusCapture::notifyListeners() {
    if (listeners_.empty()) {
        return;
    }
    const std::chrono::nanoseconds now = coarseNow();
    if (now - lastNotified_ >= kNotifyInterval) {
        lastNotified_ = now;
        for (CaptureListener* l : listeners_) {
            l->captureChanged();
        }
    }
}

void BusCapture::clear() {
    decodePending();
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
