// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Reading a frame's runs of data-register writes many steps at once: the bulk of every frame is
// writes that keep chip select as it is, and a step at a time they cost the bus decoder as much
// as the simulated board costs the port. SSE2, which every x86-64 has; elsewhere the decoder
// takes every step one by one.

#if defined(__SSE2__) && defined(__x86_64__)
#include <emmintrin.h>
#define SELVAR_WRITE_RUNS 1
#else
#define SELVAR_WRITE_RUNS 0
#endif

#if SELVAR_WRITE_RUNS

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>

#include "platform/bus_batch.h"
#include "platform/wiring.h"

namespace selvar::chiplink {

// The lines a frame's runs of writes set and cleared, gathered in vectors and folded once.
class RunLines {
  public:
    void add(__m128i values, __m128i taken) {
        high_ = _mm_or_si128(high_, _mm_and_si128(values, taken));
        low_ = _mm_or_si128(low_, _mm_andnot_si128(values, taken));
    }
    // Data-register bits that were high (low) in some write of the runs.
    std::uint8_t high() const { return fold(high_); }
    std::uint8_t low() const { return fold(low_); }

  private:
    static std::uint8_t fold(__m128i v) {
        std::uint64_t word =
            static_cast<std::uint64_t>(_mm_cvtsi128_si64(v)) |
            static_cast<std::uint64_t>(_mm_cvtsi128_si64(_mm_unpackhi_epi64(v, v)));
        word |= word >> 32;
        word |= word >> 16;
        word |= word >> 8;
        return static_cast<std::uint8_t>(word);
    }

    __m128i high_ = _mm_setzero_si128();
    __m128i low_ = _mm_setzero_si128();
};

// A run of writes that keep chip select as it is.
struct WriteRun {
    std::size_t length = 0;       // 0: the first step is no such write
    std::uint32_t clockedIn = 0;  // the data bits clocked in, the first highest
    int clocked = 0;              // how many (only while chip select is low)
    std::uint8_t lastValue = 0;
};

namespace write_runs {

constexpr platform::ParallelWiring kWiring = platform::kParallelWiring;
constexpr std::uint8_t kChipSelect = kWiring.mask(platform::Signal::ChipSelect);
constexpr std::uint8_t kClock = kWiring.mask(platform::Signal::Clock);
constexpr std::uint8_t kData = kWiring.mask(platform::Signal::Data);

// The bits clocked in over eight steps, given which of them raised the clock and which had
// data high (a bit each, the first lowest): two lookups rather than a branch per bit. A rise
// needs the clock low in the step before, so no two rises are neighbours: of the 256 rise
// masks only 55 occur, and the table of results stays small.
class ClockedInTable {
  public:
    constexpr ClockedInTable() {
        std::size_t patterns = 0;
        for (unsigned rises = 0; rises < 256; ++rises) {
            if ((rises & (rises >> 1)) != 0) {
                continue;
            }
            row_[rises] = static_cast<std::uint8_t>(patterns);
            for (unsigned data = 0; data < 256; ++data) {
                unsigned bits = 0, count = 0;
                for (unsigned step = 0; step < 8; ++step) {
                    if ((rises >> step) & 1u) {
                        bits = (bits << 1) | ((data >> step) & 1u);
                        ++count;
                    }
                }
                clocked_[patterns * 256 + data] = static_cast<std::uint8_t>(count << 4 | bits);
            }
            ++patterns;
        }
    }
    // The bits in the low four, their count in the high four.
    std::uint8_t operator()(unsigned rises, unsigned data) const {
        return clocked_[row_[rises] * 256u + data];
    }

  private:
    static constexpr std::size_t kPatterns = 55;
    std::array<std::uint8_t, 256> row_{};
    std::array<std::uint8_t, kPatterns * 256> clocked_{};
};
inline constexpr ClockedInTable kClockedIn;

// One line's level in thirty-two data-register values, as the bits of a mask, the first
// lowest: the line's bit moved to the top of each byte, where a mask is taken from.
template <std::uint8_t kLine>
std::uint32_t lineLevels(const __m128i (&values)[2]) {
    constexpr int kBit = std::countr_zero(kLine);
    const auto half = [](__m128i v) {
        return static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_slli_epi16(v, 7 - kBit)));
    };
    return half(values[0]) | half(values[1]) << 16;
}

// Sixteen steps of two bytes (operation, value): their operations and values, a byte each.
inline void unzip(const __m128i* memory, __m128i& ops, __m128i& values) {
    const __m128i lowBytes = _mm_set1_epi16(0x00FF);
    const __m128i first = _mm_loadu_si128(memory);
    const __m128i second = _mm_loadu_si128(memory + 1);
    ops = _mm_packus_epi16(_mm_and_si128(first, lowBytes), _mm_and_si128(second, lowBytes));
    values = _mm_packus_epi16(_mm_srli_epi16(first, 8), _mm_srli_epi16(second, 8));
}

}  // namespace write_runs

// The run of writes at steps, at most `most` long, starting from the data-register level
// `level`: reads the next kRunSteps steps, which must all lie within the batch's array.
inline constexpr std::size_t kRunSteps = 32;

[[gnu::always_inline]] inline WriteRun readWriteRun(const platform::BusBatch::Step* steps,
                                                    std::size_t most, std::uint8_t level,
                                                    RunLines& lines) {
    using namespace write_runs;
    using Step = platform::BusBatch::Step;
    static_assert(static_cast<int>(platform::BusBatch::Op::WriteData) == 0);
    static_assert(sizeof(Step) == 2 && offsetof(Step, value) == 1);
    const auto* memory = reinterpret_cast<const __m128i*>(steps);
    __m128i ops[2], values[2];
    unzip(memory, ops[0], values[0]);
    unzip(memory + 2, ops[1], values[1]);
    const auto writes = [&](int half) {
        return static_cast<std::uint32_t>(
            _mm_movemask_epi8(_mm_cmpeq_epi8(ops[half], _mm_setzero_si128())));
    };
    const std::uint32_t cs = lineLevels<kChipSelect>(values);
    const std::uint32_t csBefore = (cs << 1) | ((level & kChipSelect) != 0 ? 1u : 0u);
    // The run ends at the first step that is no write or changes chip select.
    const std::uint32_t ends = ~(writes(0) | writes(1) << 16) | (cs ^ csBefore);
    std::size_t n = ends == 0 ? kRunSteps : static_cast<std::size_t>(std::countr_zero(ends));
    n = n < most ? n : most;
    WriteRun run;
    if (n == 0) {
        return run;
    }
    run.length = n;
    run.lastValue = steps[n - 1].value;
    if ((level & kChipSelect) == 0) {
        const std::uint32_t clock = lineLevels<kClock>(values);
        const std::uint32_t data = lineLevels<kData>(values);
        const std::uint32_t taken = n == kRunSteps ? ~0u : (1u << n) - 1;
        const std::uint32_t rises =
            clock & ~((clock << 1) | ((level & kClock) != 0 ? 1u : 0u)) & taken;
        // At most sixteen rises in a run, so no shift below reaches the width of the word.
        for (int byte = 0; byte < 32; byte += 8) {
            const std::uint8_t in = kClockedIn((rises >> byte) & 255, (data >> byte) & 255);
            run.clockedIn = (run.clockedIn << (in >> 4)) | (in & 15u);
            run.clocked += in >> 4;
        }
    }
    const __m128i index = _mm_setr_epi8(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
    for (int half = 0; half < 2; ++half) {
        const auto inRun = static_cast<char>(static_cast<int>(n) - 16 * half);
        lines.add(values[half], _mm_cmpgt_epi8(_mm_set1_epi8(inRun), index));
    }
    return run;
}

}  // namespace selvar::chiplink

#endif
