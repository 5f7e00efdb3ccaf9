// SPDX-License-Identifier: GPL-3.0-or-later
#include "entry/audio_listing.h"

#include <vector>

#include "entry/audio_options.h"
#include "measure/audio/audio_devices.h"
#include "measure/gateway/module_loader.h"

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

bool describeAudioDevices(std::string& text, std::string& error) {
    const std::unique_ptr<measure::MeasureModuleLoader> loader = measure::programMeasureModule();
    measure::MeasureModule* module = loader->module(error);
    text = describeAudioDevices(module ? module->listAudioDevices() : audio::AudioDeviceList{});
    return module != nullptr;
}

}  // namespace selvar::entry
