// SPDX-License-Identifier: GPL-3.0-or-later
// Delay validation: always one of the seven list texts, the right one, and idempotent.

#include "fuzz_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace selvar::ramp;
    selvar::fuzz::checkListValidation(selvar::fuzz::textOf(data, size), validateDelayText,
                                      delayIndexFor, kDelayList);
    return 0;
}
