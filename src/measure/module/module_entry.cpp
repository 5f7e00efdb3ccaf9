// SPDX-License-Identifier: GPL-3.0-or-later
// The measurement module's one exported function, which the program's MeasureModuleLoader
// resolves.
#include "measure/module/qt_measure_module.h"

extern "C" __attribute__((visibility("default"))) selvar::measure::MeasureModule*
selvar_measure_module(int interfaceVersion) {
    if (interfaceVersion != selvar::measure::kMeasureModuleInterface) {
        return nullptr;
    }
    return new selvar::measure::QtMeasureModule;
}
