// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "control/instrument.h"
#include "measure/procedures/measurement_session.h"

namespace selvar::entry {

class AudioSetup;

// The program's sound card as the procedures see it. The simulated path is routed through the
// chip the procedure names (every board has one); a real card reaches only the board it is
// cabled to, and plays straight into its input for a calibration once the operator has cabled
// it so.
class ProgramAudioBench final : public measure::AudioBench {
  public:
    // instrument: the program as the procedures act on it, asked for when a procedure starts.
    ProgramAudioBench(AudioSetup& setup, std::function<control::Instrument&()> instrument);

    audio::AudioPort* portFor(int dut, measure::Failure& failure) override;
    audio::AudioPort* loopThroughPort(measure::Failure& failure) override;
    std::unique_ptr<measure::DutAccess> dut(int dut) override;
    std::string outputDevice() const override;
    std::string inputDevice() const override;

  private:
    AudioSetup& setup_;
    std::function<control::Instrument&()> instrument_;
};

}  // namespace selvar::entry
