// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

namespace selvar::audio {
struct AudioDeviceList;
}

namespace selvar::entry {

// For --list-audio: the sound server's outputs and inputs under their headings, each line as
// --audio-out and --audio-in name it, "none on the sound server" when it offers none (or no
// server runs), and the simulated path under both.
std::string describeAudioDevices(const audio::AudioDeviceList& devices);

// Asks the sound server (Qt Multimedia starts here, not before) and describes what it offers.
// Needs a QCoreApplication; no display.
std::string describeAudioDevices();

}  // namespace selvar::entry
