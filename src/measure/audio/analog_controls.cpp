// SPDX-License-Identifier: GPL-3.0-or-later
#include "measure/audio/analog_controls.h"

#include "platform/selected_port.h"

namespace selvar::audio {

std::uint16_t SimBoardControls::gainRegister(int chip) const {
    return chip < board_.chips() ? board_.gainRegister(chip) : 0;
}

bool SimBoardControls::muted() const {
    return board_.muted();
}

bool SimBoardControls::zcdHigh() const {
    return board_.zcdHigh();
}

}  // namespace selvar::audio
