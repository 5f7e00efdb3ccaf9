// SPDX-License-Identifier: GPL-3.0-or-later
#include "measure/dsp/click.h"

#include <algorithm>
#include <cmath>

#include "measure/dsp/levels.h"
#include "measure/dsp/power_bins.h"

namespace selvar::dsp {

double clickEnergyDbfs(FftCache& cache, std::span<const float> captured, double sampleRate,
                       std::int64_t centreFrame, const ClickWindow& window) {
    const auto half = static_cast<std::int64_t>(std::lround(0.5 * window.seconds * sampleRate));
    const auto size = static_cast<std::int64_t>(captured.size());
    const std::int64_t first = std::clamp<std::int64_t>(centreFrame - half, 0, size);
    const std::int64_t last = std::clamp<std::int64_t>(centreFrame + half, 0, size);
    const auto block =
        captured.subspan(static_cast<std::size_t>(first), static_cast<std::size_t>(last - first));
    const PowerSpectrum spectrum = powerSpectrum(cache, block, sampleRate);
    return meanSquareToDbfs(spectrum.bandPower(window.fromHz, 0.5 * sampleRate));
}

}  // namespace selvar::dsp
