// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace selvar::dsp {

// A jump in the capture's timing against what was played: frames the device inserted (a
// buffer repeated or padded) or dropped (an overrun).
struct Glitch {
    std::int64_t frame = 0;  // capture frame of the first block that saw the jump
    int frames = 0;          // positive: inserted; negative: dropped

    bool operator==(const Glitch&) const = default;
};

struct GlitchSearch {
    std::size_t blockFrames = 256;
    // The largest jump from one block to the next that is followed. A periodic stimulus must
    // have a period above twice this, or a jump of a whole period would go unseen.
    int searchFrames = 8;
    // A block-to-block change of the lag, beyond the steady drift, that is counted as part of
    // a jump; a jump's parts are summed and rounded to whole frames.
    double stepFrames = 0.3;
};

// Follows the lag block by block (blocks of the reference that hold no signal are skipped),
// starting from lagFrames (from align()), and reports every place where it steps. A steady
// drift, up to searchFrames per block, is taken out first, so clock drift is no glitch. Jumps
// closer than three blocks apart may merge into one.
std::vector<Glitch> findGlitches(std::span<const float> reference, std::span<const float> captured,
                                 std::int64_t lagFrames, const GlitchSearch& search = {});

}  // namespace selvar::dsp
