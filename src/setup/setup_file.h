// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "control/instrument.h"

namespace selvar::setup {

// A panel's ramp as its fields show it once validated: stops and step in dB, delay in ms.
struct RampSetup {
    double top = 0.0;
    double bottom = -30.0;
    double step = 0.5;
    double delay = 5.0;
    control::RampTarget target = control::RampTarget::Gang;
};

struct PanelSetup {
    int left = 0;  // codes, 0..255
    int right = 0;
    RampSetup ramp;
};

// The audio side of a measurement: the devices by name and the calibration file in use.
struct AudioSetup {
    std::string output;
    std::string input;
    std::string calibration;
};

// Everything a saved setup restores. Both panels are kept; the DUT2 part is applied only in
// the dual topology, where a second board is there to take it.
struct Setup {
    control::Port port = control::Port::Lpt1;
    control::Topology topology = control::Topology::Single;
    std::array<PanelSetup, 2> panels;  // DUT1, DUT2
    bool mute = false;
    bool zcd = false;
    std::optional<AudioSetup> audio;
};

inline constexpr int kFormatVersion = 1;

// The setup the instrument holds now (ramp fields as their validation would leave them).
Setup capture(const control::Instrument& instrument);

// The file's text: indented JSON, tagged with its kind and kFormatVersion.
std::string toJson(const Setup& setup);

// The whole text checked: a setup, or why the text is none (not JSON, not a setup, a newer
// version, a value out of range), naming the offending key.
struct Parsed {
    std::optional<Setup> setup;
    std::string reason;
};
Parsed fromJson(std::string_view text);

// Puts the setup back through the instrument's gestures, so the chips, panels and traffic
// follow as they would for the same remote commands.
void apply(control::Instrument& instrument, const Setup& setup);

// The files behind "Save Setup..." and "Load Setup...": saving replaces the file whole or
// not at all; loading reads and checks the whole file before it applies anything.
control::SetupFileResult store(const control::Instrument& instrument, const std::string& path);
control::SetupFileResult load(control::Instrument& instrument, const std::string& path);

}  // namespace selvar::setup
