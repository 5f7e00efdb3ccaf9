// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>

#include "chiplink/bit_masks.h"
#include "panel/ui/frm_main.h"

namespace selvar::entry {

// What the program holds for its whole run besides the windows' controls: the bit-mask table
// and the two gain panels, frmDUT1 (PC side) and frmDUT2 (far side). The port addresses are
// those of the selected port (SelectedPort::base), read through the chip link.
class modGlblData {
  public:
    modGlblData();
    ~modGlblData();
    modGlblData(const modGlblData&) = delete;
    modGlblData& operator=(const modGlblData&) = delete;

    // The first step of start-up; every line operation needs the table built.
    void buildBitMasks() { bitMasks_.buildBitMasks(); }
    const chiplink::BitMaskTable& bitMasks() const { return bitMasks_; }

    // The panels, handed over once by the program's assembly and kept until the end.
    void adoptPanels(std::unique_ptr<panel::frmMain> dut1, std::unique_ptr<panel::frmMain> dut2);
    panel::frmMain& frmDUT1() const;
    panel::frmMain& frmDUT2() const;

  private:
    chiplink::BitMaskTable bitMasks_;
    std::unique_ptr<panel::frmMain> frmDUT1_;
    std::unique_ptr<panel::frmMain> frmDUT2_;
};

}  // namespace selvar::entry
