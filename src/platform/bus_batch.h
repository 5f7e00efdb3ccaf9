// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <bitset>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <stdexcept>

#include "platform/wiring.h"

namespace selvar::platform {

class PortIo;

// One frame's bus activity, handed down to the port at once: a sequence of data-register
// writes and reads and samples of the read-back line. A parallel port performs it access by
// access, exactly as if the steps had been made one at a time; a USB adapter turns it into
// one transfer instead of a round trip per access. Values are data-register values in the
// parallel-port wiring; an adapter maps them onto its pins. Fixed capacity: building and
// running a batch never allocates.
class BusBatch {
  public:
    static constexpr std::size_t kCapacity = 256;
    static constexpr std::size_t kMaxSamples = 128;
    static constexpr std::size_t kMaxDataReads = 16;

    enum class Op : std::uint8_t {
        WriteData,  // write value to the data register
        ReadData,   // read the data register (a parallel port's latch; the value is not used)
        Sample,     // sample the read-back line
        Probe,      // count pulses until the read-back line is high (see probe())
    };
    struct Step {
        Op op;
        std::uint8_t value;  // WriteData: the value; Probe: the data register between pulses
    };

    void writeData(std::uint8_t value) { push({Op::WriteData, value}); }
    // The index under which dataRead() will report the value read.
    std::size_t readData() {
        if (dataReads_ == kMaxDataReads) {
            throw std::length_error("bus batch: too many data reads");
        }
        push({Op::ReadData, 0});
        return dataReads_++;
    }
    // The index under which sampled() will report this sample.
    std::size_t sample() {
        if (samples_ == kMaxSamples) {
            throw std::length_error("bus batch: too many samples");
        }
        push({Op::Sample, 0});
        return samples_++;
    }
    // For n = 1 to limit: sample the read-back line; when it is high the probe ends with n;
    // else one clock pulse from `between` (clock high, then back to `between`). A line that
    // never goes high ends it with limit + 1. A port may clock all the pulses and count
    // afterwards: the chips keep only the last bits shifted before chip select rises.
    // One probe a batch: it has one count.
    void probe(std::uint8_t between, std::uint8_t limit) {
        if (probeLimit_ >= 0) {
            throw std::length_error("bus batch: a second probe");
        }
        push({Op::Probe, between});
        probeLimit_ = limit;
    }

    std::size_t size() const { return size_; }
    const Step& operator[](std::size_t i) const { return steps_[i]; }
    const Step* begin() const { return steps_.data(); }
    const Step* end() const { return steps_.data() + size_; }
    // The probe's most pulses (-1 without a probe).
    int probeLimit() const { return probeLimit_; }

    // Results, filled in by whoever runs the batch.
    void setSampled(std::size_t index, bool high) { sampled_[index] = high; }
    bool sampled(std::size_t index) const { return sampled_[index]; }
    void setProbeCount(int n) { probeCount_ = n; }
    int probeCount() const { return probeCount_; }
    void setDataRead(std::size_t index, std::uint8_t value) { dataRead_[index] = value; }
    std::uint8_t dataRead(std::size_t index) const { return dataRead_[index]; }

    // The port accesses the batch made once run: one a step, but a probe makes three for
    // every pulse and one for the high sample that ended it.
    std::size_t accesses() const {
        if (probeLimit_ < 0) {
            return size_;
        }
        const int n = probeCount_;
        const int probeAccesses = n < 1 ? 0 : 3 * (n - 1) + (n <= probeLimit_ ? 1 : 0);
        return size_ - 1 + static_cast<std::size_t>(probeAccesses);
    }

    // A compact copy of a batch that has run, for whoever keeps batches to look at later: the
    // steps in use and the results, packedSize() bytes (a gain frame's take a quarter of the
    // whole batch). Plain stores: packing costs a copy, nothing more.
    std::size_t packedSize() const { return sizeof(Packed) + size_ * sizeof(Step); }
    void pack(std::byte* out) const {
        const Packed head{static_cast<std::uint16_t>(size_),
                          static_cast<std::uint16_t>(samples_),
                          static_cast<std::uint16_t>(dataReads_),
                          probeCount_,
                          probeLimit_,
                          sampled_,
                          dataRead_};
        std::memcpy(out, &head, sizeof head);
        std::memcpy(out + sizeof head, steps_.data(), size_ * sizeof(Step));
    }

    void clear() {
        size_ = 0;
        samples_ = 0;
        dataReads_ = 0;
        sampled_.reset();
        probeCount_ = 0;
        probeLimit_ = -1;
    }

    // The head of a packed batch; its steps follow it.
    struct Packed {
        std::uint16_t size, samples, dataReads;
        int probeCount, probeLimit;
        std::bitset<kMaxSamples> sampled;
        std::array<std::uint8_t, kMaxDataReads> dataRead;
    };

  private:
    void push(Step step) {
        if (size_ == kCapacity) {
            throw std::length_error("bus batch: too many steps");
        }
        steps_[size_++] = step;
    }

    std::array<Step, kCapacity> steps_{};
    std::size_t size_ = 0;
    std::size_t samples_ = 0;
    std::size_t dataReads_ = 0;
    std::bitset<kMaxSamples> sampled_;
    std::array<std::uint8_t, kMaxDataReads> dataRead_{};
    int probeCount_ = 0;
    int probeLimit_ = -1;
};

// A packed batch read where it lies, with the reading functions of a batch: a replay or a
// decoding of it needs no copy back. A decoder that reads steps in blocks may read a few dozen
// past the last; the memory it lies in must go on that far.
class PackedBatch {
  public:
    using Step = BusBatch::Step;

    explicit PackedBatch(const std::byte* packed)
        : steps_(reinterpret_cast<const Step*>(packed + sizeof(BusBatch::Packed))) {
        std::memcpy(&head_, packed, sizeof head_);
    }

    std::size_t size() const { return head_.size; }
    const Step& operator[](std::size_t i) const { return steps_[i]; }
    const Step* begin() const { return steps_; }
    int probeLimit() const { return head_.probeLimit; }
    int probeCount() const { return head_.probeCount; }
    bool sampled(std::size_t index) const { return head_.sampled[index]; }
    std::uint8_t dataRead(std::size_t index) const { return head_.dataRead[index]; }
    std::size_t packedSize() const { return sizeof(BusBatch::Packed) + size() * sizeof(Step); }

  private:
    BusBatch::Packed head_;
    const Step* steps_;
};

// Runs a batch access by access on a parallel port whose data register is at base: every
// step is the port access it names (a sample reads the status register at base + 1, the
// read-back line being the wiring's status bit), in order, and the probe stops at the first
// high sample. This is the traffic the chips' protocol makes when written one access at a time.
// A template so that a final port class gets its accesses inlined.
template <class Port>
void runSteps(Port& port, std::uint16_t base, BusBatch& batch) {
    constexpr ParallelWiring w = kParallelWiring;
    const auto status = static_cast<std::uint16_t>(base + 1);
    std::size_t sample = 0;
    std::size_t dataRead = 0;
    for (const BusBatch::Step& step : batch) {
        switch (step.op) {
            case BusBatch::Op::WriteData:
                port.write(base, step.value);
                break;
            case BusBatch::Op::ReadData:
                batch.setDataRead(dataRead++, port.read(base));
                break;
            case BusBatch::Op::Sample:
                batch.setSampled(sample++, w.readBackLevel(port.read(status)));
                break;
            case BusBatch::Op::Probe: {
                const auto high = static_cast<std::uint8_t>(step.value | w.mask(Signal::Clock));
                int n = 1;
                for (; n <= batch.probeLimit(); ++n) {
                    if (w.readBackLevel(port.read(status))) {
                        break;
                    }
                    port.write(base, high);
                    port.write(base, step.value);
                }
                batch.setProbeCount(n);
                break;
            }
        }
    }
}

void runStepwise(PortIo& port, std::uint16_t base, BusBatch& batch);

// Where a replay of a batch that has run stands: the results its next steps take.
struct ReplayCursor {
    std::size_t sample = 0;
    std::size_t dataRead = 0;
};

// The accesses a parallel port made for step `index` of a batch that has run, with the results
// it recorded, as `accesses.read(address, value)` and `accesses.write(address, value)`: what
// observers and the bus decoder are told of a batch run whole.
template <class Batch, class Accesses>
void replayStep(const Batch& batch, std::size_t index, std::uint16_t base, ReplayCursor& cursor,
                Accesses&& accesses) {
    constexpr ParallelWiring w = kParallelWiring;
    const auto status = static_cast<std::uint16_t>(base + 1);
    const BusBatch::Step& step = batch[index];
    switch (step.op) {
        case BusBatch::Op::WriteData:
            accesses.write(base, step.value);
            break;
        case BusBatch::Op::ReadData:
            accesses.read(base, batch.dataRead(cursor.dataRead++));
            break;
        case BusBatch::Op::Sample:
            accesses.read(status, w.statusFor(batch.sampled(cursor.sample++)));
            break;
        case BusBatch::Op::Probe:
            for (int n = 1; n <= batch.probeLimit(); ++n) {
                const bool high = n == batch.probeCount();
                accesses.read(status, w.statusFor(high));
                if (high) {
                    break;
                }
                accesses.write(base, static_cast<std::uint8_t>(step.value | w.mask(Signal::Clock)));
                accesses.write(base, step.value);
            }
            break;
    }
}

}  // namespace selvar::platform
