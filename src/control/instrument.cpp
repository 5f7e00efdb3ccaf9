// SPDX-License-Identifier: GPL-3.0-or-later
#include "control/instrument.h"

namespace selvar::control {

// Defined here so that the interface's virtual table has one home.
Instrument::~Instrument() = default;

}  // namespace selvar::control
