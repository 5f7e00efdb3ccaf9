// SPDX-License-Identifier: GPL-3.0-or-later
#include "entry/mod_glbl_data.h"

#include <stdexcept>

namespace selvar::entry {

modGlblData::modGlblData() = default;
modGlblData::~modGlblData() = default;

void modGlblData::adoptPanels(std::unique_ptr<panel::frmMain> dut1,
                              std::unique_ptr<panel::frmMain> dut2) {
    if (frmDUT1_ || frmDUT2_) {
        throw std::logic_error("the gain panels are made once");
    }
    frmDUT1_ = std::move(dut1);
    frmDUT2_ = std::move(dut2);
}

panel::frmMain& modGlblData::frmDUT1() const {
    if (!frmDUT1_) {
        throw std::logic_error("DUT1 panel used before the program was assembled");
    }
    return *frmDUT1_;
}

panel::frmMain& modGlblData::frmDUT2() const {
    if (!frmDUT2_) {
        throw std::logic_error("DUT2 panel used before the program was assembled");
    }
    return *frmDUT2_;
}

}  // namespace selvar::entry
