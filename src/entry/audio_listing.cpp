// SPDX-License-Identifier: GPL-3.0-or-later
#include "entry/audio_listing.h"

#include <vector>

#include "entry/audio_options.h"
#include "measure/audio/qt_audio_port.h"

namespace selvar::entry {

namespace {

void section(std::string& text, const char* heading,
             const std::vector<audio::AudioDeviceInfo>& devices) {
    text += std::string(heading) + "\n";
    for (const audio::AudioDeviceInfo& device : devices) {
        text += "  " + device.id;
        if (!device.description.empty()) {
            text += "  " + device.description;
        }
        text += device.isDefault ? " (default)\n" : "\n";
    }
    if (devices.empty()) {
        text += "  none on the sound server\n";
    }
    text += std::string("  ") + kSimAudioDevice +
            "  the simulated board's analog path (with --port-io sim)\n";
}

}  // namespace

std::string describeAudioDevices(const audio::AudioDeviceList& devices) {
    std::string text;
    section(text, "Outputs (--audio-out DEVICE):", devices.outputs);
    section(text, "Inputs (--audio-in DEVICE):", devices.inputs);
    return text;
}

std::string describeAudioDevices() {
    return describeAudioDevices(audio::listAudioDevices());
}

}  // namespace selvar::entry
