// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <span>

#include "measure/dsp/fft.h"
#include "measure/dsp/weighting.h"

namespace selvar::dsp {

struct NoiseBand {
    double lowHz = 20.0;
    double highHz = 20000.0;
    Weighting weighting = Weighting::None;
};

// The level of what a block holds within a band, in dBFS (a full-scale sine's mean square is
// 0 dBFS): the noise floor of a silent input, or of a loop with its stimulus muted. The block's
// mean is taken out first, so a DC offset does not leak into the band's lowest bins.
double noiseLevelDbfs(FftCache& cache, std::span<const float> samples, double sampleRate,
                      const NoiseBand& band = {});

}  // namespace selvar::dsp
