#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "chiplink/bus_decoder.h"
#include "monitor/line_history.h"
#include "platform/access_observer.h"
#include "platform/vcd_writer.h"
#include "platform/wiring.h"

namespace selvar::monitor {

// One chip-select frame as the decoder told it, kept small: a hundred thousand of them stay.
struct FrameRecord {
    std::uint64_t startTick = 0;  // when chip select fell, on the capture's clock
    std::uint32_t returned = 0;   // read-back: the first 32 samples of the line, first highest
    std::uint16_t dut2Word = 0;   // the last 32 bits clocked in: DUT2's word, then DUT1's
    std::uint16_t dut1Word = 0;
    std::uint8_t returnedBits = 0;  // 0 for a gain frame
    std::uint8_t chainLength = 0;   // read-back only
    bool zcdHigh = false;
    bool muteHigh = false;

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

// Watches every access of the port through the program's one bus decoder and keeps the last
// frames in a ring, the lines' current levels and their recent history. Owns that state; views
// read it and send it commands (clear). Per access it allocates nothing and takes no lock.
class BusCapture : public platform::AccessObserver {
  public:
    static constexpr std::size_t kCapacity = 100'000;
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

    void onPortSelected(std::uint16_t base) override;
    void onRead(std::uint16_t address, std::uint8_t value) override;
    void onWrite(std::uint16_t address, std::uint8_t value) override;
    // A frame is decoded whole: a call per access would cost as much as the access.
    bool takesFrames() const override { return true; }
    void onFrameBegin() override;
    void onFrame(std::uint16_t base, const platform::BusBatch& batch) override;
    void onRepeatedRead(std::uint16_t address, std::uint8_t value, long count) override;

    // Frames are numbered from 0 since the capture began; those from first() to end() - 1
    // are kept. A Clear starts the count shown to the operator again: number() is 1-based.
    std::uint64_t first() const { return first_; }
    std::uint64_t end() const { return end_; }
    const FrameRecord& frame(std::uint64_t n) const { return ring_[n % ring_.size()]; }
    std::uint64_t number(std::uint64_t n) const { return n - clearedAt_ + 1; }
    std::size_t capacity() const { return ring_.size(); }
    // Forgets every kept frame and the lines' history.
    void clear();

    const platform::AccessClock& clock() const { return clock_; }
    std::uint8_t dataLevel() const { return decoder_.dataLevel(); }
    bool readBackHigh() const { return decoder_.readBackHigh(); }
    const LineHistory& history() const { return history_; }
    // Grows with every access: a view that saw the same value has nothing new to show.
    std::uint64_t accesses() const { return accesses_; }

    // Listeners are added while nothing is being captured (at assembly), not per access.
    void addListener(CaptureListener& listener);
    void removeListener(CaptureListener& listener);

  private:
    class AccessSink;
    class FrameSink;

    void frameEnded(const chiplink::BusEvent& event);
    static std::uint8_t lineLevels(std::uint8_t dataLevel, bool readBackHigh) {
        return static_cast<std::uint8_t>((dataLevel & kOutputLines) |
                                         (readBackHigh ? LineHistory::kReadBackBit : 0));
    }

    chiplink::BusDecoder decoder_;
    platform::AccessClock clock_;
    LineHistory history_;
    std::vector<FrameRecord> ring_;
    std::uint64_t first_ = 0;
    std::uint64_t end_ = 0;
    std::size_t endSlot_ = 0;  // where frame end_ goes in the ring
    std::uint64_t clearedAt_ = 0;
    std::uint64_t frameStart_ = 0;
    std::uint64_t frameBegun_ = 0;  // the first access of the frame being run
    std::uint64_t accesses_ = 0;
    std::vector<CaptureListener*> listeners_;
    std::chrono::nanoseconds lastNotified_{};  // on the coarse clock
};

}  // namespace selvar::monitor
