// SPDX-License-Identifier: GPL-3.0-or-later
#include "measure/dsp/glitch.h"

#include <algorithm>
#include <cmath>
#include <optional>

namespace selvar::dsp {

namespace {

struct BlockLag {
    std::int64_t referenceFrame;
    double lag;
};

double dot(std::span<const float> a, std::span<const float> b) {
    double sum = 0.0;
    for (std::size_t i = 0; i < a.size(); ++i) {
        sum += static_cast<double>(a[i]) * b[i];
    }
    return sum;
}

// The lag of one block near a guess, refined between frames; nullopt when the block's
// neighbourhood runs off the capture.
std::optional<double> blockLag(std::span<const float> block, std::span<const float> captured,
                               std::int64_t referenceFrame, std::int64_t guess, int search) {
    const std::int64_t start = referenceFrame + guess - search;
    const auto width = static_cast<std::int64_t>(block.size()) + 2 * search;
    if (start < 0 || start + width > static_cast<std::int64_t>(captured.size())) {
        return std::nullopt;
    }
    std::vector<double> c(static_cast<std::size_t>(2 * search + 1));
    for (std::size_t i = 0; i < c.size(); ++i) {
        c[i] = dot(block, captured.subspan(static_cast<std::size_t>(start) + i, block.size()));
    }
    const auto best = static_cast<std::size_t>(std::max_element(c.begin(), c.end()) - c.begin());
    double lag = static_cast<double>(guess - search) + static_cast<double>(best);
    if (best > 0 && best + 1 < c.size()) {
        const double curvature = c[best - 1] - 2.0 * c[best] + c[best + 1];
        lag += curvature < 0.0 ? 0.5 * (c[best - 1] - c[best + 1]) / curvature : 0.0;
    }
    return lag;
}

std::vector<BlockLag> trackLag(std::span<const float> reference, std::span<const float> captured,
                               std::int64_t lagFrames, const GlitchSearch& search) {
    const std::size_t size = search.blockFrames;
    const std::size_t blocks = reference.size() / size;
    double total = 0.0;
    for (std::size_t i = 0; i < blocks * size; ++i) {
        total += static_cast<double>(reference[i]) * reference[i];
    }
    const double silent = 1e-6 * total / static_cast<double>(std::max<std::size_t>(blocks, 1));
    std::vector<BlockLag> lags;
    double tracked = static_cast<double>(lagFrames);
    for (std::size_t b = 0; b < blocks; ++b) {
        const auto block = reference.subspan(b * size, size);
        if (dot(block, block) <= silent) {
            continue;
        }
        // A periodic block's correlation is lopsided, which pulls the refined peak off by up
        // to half a frame. The pull is the same in the block's correlation with the reference
        // itself, whose lag is 0, so that one is taken off.
        const auto frame = static_cast<std::int64_t>(b * size);
        const auto lag =
            blockLag(block, captured, frame, std::llround(tracked), search.searchFrames);
        const auto bias = blockLag(block, reference, frame, 0, search.searchFrames);
        if (lag && bias) {
            tracked = *lag - *bias;
            lags.push_back({frame, tracked});
        }
    }
    return lags;
}

// The steady drift in frames of lag per frame: the median step, which a few glitches cannot
// move.
double steadyDrift(const std::vector<BlockLag>& lags) {
    std::vector<double> rates;
    for (std::size_t i = 1; i < lags.size(); ++i) {
        rates.push_back((lags[i].lag - lags[i - 1].lag) /
                        static_cast<double>(lags[i].referenceFrame - lags[i - 1].referenceFrame));
    }
    const auto middle = rates.begin() + static_cast<std::ptrdiff_t>(rates.size() / 2);
    std::nth_element(rates.begin(), middle, rates.end());
    return *middle;
}

}  // namespace

std::vector<Glitch> findGlitches(std::span<const float> reference, std::span<const float> captured,
                                 std::int64_t lagFrames, const GlitchSearch& search) {
    const std::vector<BlockLag> lags = trackLag(reference, captured, lagFrames, search);
    if (lags.size() < 3) {
        return {};
    }
    const double drift = steadyDrift(lags);
    std::vector<Glitch> glitches;
    std::optional<Glitch> open;  // a jump being summed, over the blocks that straddle it
    double jump = 0.0;
    for (std::size_t i = 1; i <= lags.size(); ++i) {
        double step = 0.0;
        if (i < lags.size()) {
            const auto frames = lags[i].referenceFrame - lags[i - 1].referenceFrame;
            step = lags[i].lag - lags[i - 1].lag - drift * static_cast<double>(frames);
        }
        if (std::abs(step) >= search.stepFrames) {
            if (!open) {
                open = Glitch{lags[i].referenceFrame + std::llround(lags[i].lag), 0};
                jump = 0.0;
            }
            jump += step;
        } else if (open) {
            open->frames = static_cast<int>(std::lround(jump));
            if (open->frames != 0) {
                glitches.push_back(*open);
            }
            open.reset();
        }
    }
    return glitches;
}

}  // namespace selvar::dsp
