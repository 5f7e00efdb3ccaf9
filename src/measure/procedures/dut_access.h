// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>

#include "control/instrument.h"

namespace selvar::measure {

enum class Channel { Left, Right };
inline constexpr int kChannels = 2;
inline int index(Channel channel) {
    return channel == Channel::Left ? 0 : 1;
}

// The chip a procedure measures, acted on through the same gestures as the remote gain
// commands, so that the panels, the bus monitor and a trace see every code a procedure sets.
// A procedure notes what it found before its first change and puts it back however it ends.
class DutAccess {
  public:
    virtual ~DutAccess() = default;
    virtual int dut() const = 0;  // 1 or 2
    virtual int code(Channel channel) const = 0;
    // Sends the code (0..highestCode()); returns once the frame has gone out.
    virtual void setCode(Channel channel, int code) = 0;
    virtual bool pin(control::PinLine line) const = 0;
    virtual void setPin(control::PinLine line, bool checked) = 0;
    // The highest code the operator's gain limit allows, 255 while no limit is set: a
    // procedure never sends a code above it and reports the codes above it as not measured.
    virtual int highestCode() const = 0;
};

// A DutAccess over the instrument's Left and Right sliders and its pin check boxes.
std::unique_ptr<DutAccess> instrumentDut(control::Instrument& instrument, int dut);

}  // namespace selvar::measure
