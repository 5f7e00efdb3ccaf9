// SPDX-License-Identifier: GPL-3.0-or-later
#include "measure/dsp/noise.h"

#include <numeric>
#include <vector>

#include "measure/dsp/levels.h"
#include "measure/dsp/power_bins.h"

namespace selvar::dsp {

double noiseLevelDbfs(FftCache& cache, std::span<const float> samples, double sampleRate,
                      const NoiseBand& band) {
    const double mean =
        std::accumulate(samples.begin(), samples.end(), 0.0) / static_cast<double>(samples.size());
    std::vector<double> centred(samples.begin(), samples.end());
    for (double& x : centred) {
        x -= mean;
    }
    const PowerSpectrum spectrum = powerSpectrum(cache, centred, sampleRate);
    return meanSquareToDbfs(spectrum.bandPower(band.lowHz, band.highHz, band.weighting));
}

}  // namespace selvar::dsp
