// SPDX-License-Identifier: GPL-3.0-or-later
#include "measure/procedures/gain_step.h"

#include "measure/dsp/sine_fit.h"

namespace selvar::measure {

std::size_t locateGainChange(std::span<const float> block, double sampleRate, double frequencyHz,
                             std::size_t fitFrames) {
    const std::size_t size = block.size();
    if (size < 2 * fitFrames || fitFrames == 0) {
        return size / 2;
    }
    const std::size_t afterStart = size - fitFrames;
    const dsp::SineFit before = dsp::fitSineAt(block.first(fitFrames), sampleRate, frequencyHz);
    const dsp::SineFit after = dsp::fitSineAt(block.last(fitFrames), sampleRate, frequencyHz);
    // The squared error of "before up to k, after from k" changes from k to k + 1 by the
    // difference of the two models' errors at k: its running sum is lowest at the change.
    double sum = 0.0;
    double best = 0.0;
    std::size_t change = fitFrames;
    for (std::size_t n = fitFrames; n < afterStart; ++n) {
        const double x = block[n];
        const double eBefore = x - before.valueAt(double(n), sampleRate);
        const double eAfter = x - after.valueAt(double(n) - double(afterStart), sampleRate);
        sum += eBefore * eBefore - eAfter * eAfter;
        if (sum < best) {
            best = sum;
            change = n + 1;
        }
    }
    return change;
}

}  // namespace selvar::measure
