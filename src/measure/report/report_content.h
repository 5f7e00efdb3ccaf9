// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>

#include "measure/procedures/results.h"
#include "measure/report/results_csv.h"

namespace selvar::measure {

// Everything a report prints, all of it already in memory: nothing is measured for it.
struct ReportContent {
    ReportSetup setup;
    Limits limits;
    const SweepResult* sweep = nullptr;  // none: the report says nothing was swept
    std::optional<MuteResult> mute;
    std::optional<ZcdClickResult> zcdClick;
    int spectrumCode = 192;  // whose spectrum the report plots: 0 dB unless chosen
};

}  // namespace selvar::measure
