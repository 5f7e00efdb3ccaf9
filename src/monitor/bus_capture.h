// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "chiplink/bus_decoder.h"
#include "monitor/line_history.h"
#include "platform/access_observer.h"
#include "platform/vcd_writer.h"
#include "platform/wiring.h"

namespace selvar::monitor {

// One chip-select frame as the decoder told it, kept small: a hundred thousand of them stay.
// No member initialisers: the ring is allocated without touching its pages, which are then
// used as frames come (FrameRecord{} is all zero).
struct FrameRecord {
    std::uint64_t startTick;  // when chip select fell, on the capture's clock
    std::uint32_t returned;   // read-back: the first 32 samples of the line, first highest
    std::uint16_t dut2Word;   // the last 32 bits clocked in: DUT2's word, then DUT1's
    std::uint16_t dut1Word;
    std::uint8_t returnedBits;  // 0 for a gain frame
    std::uint8_t chainLength;   // read-back only
    bool zcdHigh;
    bool muteHigh;

    bool readBack() const { return returnedBits > 0; }
    bool operator==(const FrameRecord&) const = default;
};

// The words a row shows: what a gain frame sent, or what the chips returned in a read-back,
// attributed as the panels attribute them (a chain of one chip is DUT1 alone); none where the
// chain gave none.
struct FrameWords {
    std::optional<std::uint16_t> dut2, dut1;
};
FrameWords shownWords(const FrameRecord& frame);

// Told when the capture has news: at most thirty times a second, at the end of a frame.
class CaptureListener {
  public:
    virtual ~CaptureListener() = default;
    virtual void captureChanged() = 0;
};

// Watches every access of the port and keeps the last frames in a ring, the lines' current
// levels and their recent history. Owns that state; views read it and send it commands (clear).
//
// Off the access path it only keeps what passed, timed: a frame's batch as a compact copy, a
// wait's reads as one entry, no decoding. decodePending() runs them through the program's one
// bus decoder: a view calls it when it ticks, a save before it writes, and the capture itself
// when its store is full. What the reading functions below give is as of the last
// decodePending(). Per access it allocates nothing and takes no lock; the store and the ring
// are allocated when first used, and the ring's pages are touched only as frames fill them.
class BusCapture : public platform::AccessObserver {
  public:
    static constexpr std::size_t kCapacity = 100'000;
    static constexpr std::size_t kPendingBytes = 128 * 1024;  // five hundred gain frames
    static constexpr std::chrono::milliseconds kNotifyInterval{33};
    // The driven lines' bits in the data register; the read-back's is LineHistory's own.
    static constexpr std::uint8_t kOutputLines = [] {
        std::uint8_t mask = 0;
        for (const platform::Signal s : platform::kOutputSignals) {
            mask = static_cast<std::uint8_t>(mask | platform::kParallelWiring.mask(s));
        }
        return mask;
    }();
    static_assert((kOutputLines & LineHistory::kReadBackBit) == 0);

    explicit BusCapture(platform::VcdTiming timing, std::size_t capacity = kCapacity);
    ~BusCapture() override;
    BusCapture(const BusCapture&) = delete;
    BusCapture& operator=(const BusCapture&) = delete;

    void onPortSelected(std::uint16_t base) override;
    void onRead(std::uint16_t address, std::uint8_t value) override;
    void onWrite(std::uint16_t address, std::uint8_t value) override;
    // A frame is kept whole: a call per access would cost as much as the access.
    bool takesFrames() const override { return true; }
    void onFrameBegin() override;
    void onFrame(std::uint16_t base, const platform::BusBatch& batch) override;
    void onRepeatedRead(std::uint16_t address, std::uint8_t value, long count) override;

    // Decodes everything kept since the last call.
    void decodePending();

    // Frames are numbered from 0 since the capture began; those from first() to end() - 1
    // are kept. A Clear starts the count shown to the operator again: number() is 1-based.
    std::uint64_t first() const { return first_; }
    std::uint64_t end() const { return end_; }
    const FrameRecord& frame(std::uint64_t n) const { return ring_[n % capacity_]; }
    std::uint64_t number(std::uint64_t n) const { return n - clearedAt_ + 1; }
    std::size_t capacity() const { return capacity_; }
    // Forgets every kept frame and the lines' history (what passed since the last decoding
    // included).
    void clear();

    const platform::AccessClock& clock() const { return clock_; }
    std::uint8_t dataLevel() const { return decoder_.dataLevel(); }
    bool readBackHigh() const { return decoder_.readBackHigh(); }
    const LineHistory& history() const { return history_; }
    // Grows with every access, decoded or not: a view that saw the same value has nothing new
    // to show.
    std::uint64_t accesses() const { return accesses_; }

    // Listeners are added while nothing is being captured (at assembly), not per access.
    void addListener(CaptureListener& listener);
    void removeListener(CaptureListener& listener);

  private:
    // What the decoder may read past the last batch kept: runs of writes are read in blocks.
    static constexpr std::size_t kPendingSlack = 64 * sizeof(platform::BusBatch::Step);

    class AccessSink;
    class FrameSink;
    struct Entry;

    std::byte* keep(const Entry& entry, std::size_t extra);
    void decode(const Entry& entry);
    void decodeRepeatedRead(const Entry& entry);
    void notifyListeners();
    void frameEnded(const chiplink::BusEvent& event);
    static std::uint8_t lineLevels(std::uint8_t dataLevel, bool readBackHigh) {
        return static_cast<std::uint8_t>((dataLevel & kOutputLines) |
                                         (readBackHigh ? LineHistory::kReadBackBit : 0));
    }

    chiplink::BusDecoder decoder_;
    platform::AccessClock clock_;
    LineHistory history_;
    std::size_t capacity_;
    std::unique_ptr<FrameRecord[]> ring_;
    std::unique_ptr<std::byte[]> pending_;
    std::size_t pendingUsed_ = 0;
    std::uint64_t first_ = 0;
    std::uint64_t end_ = 0;
    std::size_t endSlot_ = 0;  // where frame end_ goes in the ring
    std::uint64_t clearedAt_ = 0;
    std::uint64_t frameStart_ = 0;
    std::uint64_t frameBegun_ = 0;  // the first access of the frame being run (when kept)
    std::uint64_t accesses_ = 0;
    std::vector<CaptureListener*> listeners_;
    std::chrono::nanoseconds lastNotified_{};  // on the coarse clock
};

}  // namespace selvar::monitor
