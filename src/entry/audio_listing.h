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

// Loads the measurement module, asks the sound server (Qt Multimedia starts here, not before)
// and describes what it offers; false, with only the simulated path described and error saying
// why, when the module cannot be loaded. Needs a QCoreApplication; no display.
bool describeAudioDevices(std::string& text, std::string& error);

}  // namespace selvar::entry
