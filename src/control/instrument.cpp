#include "control/instrument.h"

namespace selvar::control {

// Defined here so that the interface's virtual table has one home.
Instrument::~Instrument() = default;

}  // namespace selvar::control
