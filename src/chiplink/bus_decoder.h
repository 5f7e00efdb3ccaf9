#pragma once

#include <cstdint>
#include <optional>

namespace selvar::chiplink {

// What a stretch of port accesses did on the chips' bus, told from the accesses alone (not
// from the chip link's own account): the one decoder behind the bus monitor, the saved
// captures and the tests.
struct BusEvent {
    enum class Kind {
        Pin,       // one line operation: a data-register read, then one write that changes at
                   // most ZCD and MUTE
        Gain,      // a chip-select frame that sampled nothing: a gain-word transfer
        ReadBack,  // a chip-select frame that sampled the read-back line
    };
    Kind kind = Kind::Pin;
    bool zcdHigh = false;  // ZCD and MUTE levels after the event
    bool muteHigh = false;
    // Frames: the last 32 bits clocked in, first bit highest: the DUT2 word, then the DUT1 word.
    std::uint16_t dut2Word = 0;
    std::uint16_t dut1Word = 0;
    int clockPulses = 0;
    // Read-backs: the first 32 samples of the line, first highest, and how many there were.
    std::uint32_t returned = 0;
    int returnedBits = 0;
    // Read-backs: the pulses the marker took to come out (16 a chip), or the probe's limit + 1
    // when it never did.
    int chainLength = 0;
};

// Fed every access of one port in order; gives each event as it completes. At most one event
// completes per access; a line operation is known to be complete only at the next access, so
// finish() gives the last one.
class BusDecoder {
  public:
    void portSelected(std::uint16_t base);
    std::optional<BusEvent> read(std::uint16_t address, std::uint8_t value);
    std::optional<BusEvent> write(std::uint16_t address, std::uint8_t value);
    std::optional<BusEvent> finish();

    // Data-register level as the accesses left it.
    std::uint8_t dataLevel() const { return level_; }

  private:
    static constexpr int kReturnedBits = 32;

    std::optional<BusEvent> takePending(bool nextIsWrite);
    BusEvent eventAtLevel(BusEvent::Kind kind) const;

    std::uint16_t base_ = 0;
    std::uint8_t level_ = 0;
    bool lastWasDataRead_ = false;
    std::optional<BusEvent> pendingPin_;
    std::uint32_t shifted_ = 0;
    int clockPulses_ = 0;
    std::uint32_t returned_ = 0;
    int samples_ = 0;
    bool lastSampleHigh_ = false;
};

}  // namespace selvar::chiplink
