// SPDX-License-Identifier: GPL-3.0-or-later
#include "measure/procedures/dut_access.h"

#include <limits>

#include "measure/procedures/results.h"

namespace selvar::measure {

double idealGainDb(int code) {
    return code <= 0 ? -std::numeric_limits<double>::infinity() : (code - 192) / 2.0;
}

namespace {

control::Slider sliderOf(Channel channel) {
    return channel == Channel::Left ? control::Slider::Left : control::Slider::Right;
}

// The chip's Left and Right sliders: a set is the operator's gesture, so the panel, the bus
// monitor and a trace show it as they show a remote gain command.
class InstrumentDut final : public DutAccess {
  public:
    InstrumentDut(control::Instrument& instrument, int dut) : instrument_(instrument), dut_(dut) {}

    int dut() const override { return dut_; }
    int code(Channel channel) const override {
        return instrument_.sliderValue(dut_, sliderOf(channel));
    }
    void setCode(Channel channel, int code) override {
        instrument_.moveSlider(dut_, sliderOf(channel), code);
    }
    bool pin(control::PinLine line) const override { return instrument_.pin(line); }
    void setPin(control::PinLine line, bool checked) override { instrument_.setPin(line, checked); }
    int highestCode() const override { return instrument_.highestCode(); }

  private:
    control::Instrument& instrument_;
    int dut_;
};

}  // namespace

std::unique_ptr<DutAccess> instrumentDut(control::Instrument& instrument, int dut) {
    return std::make_unique<InstrumentDut>(instrument, dut);
}

}  // namespace selvar::measure
