// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <vector>

namespace selvar::audio {

// A sound device as the sound server names it (a sink or source name on Linux).
struct AudioDeviceInfo {
    std::string id;
    std::string description;
    bool isDefault = false;
};

struct AudioDeviceList {
    std::vector<AudioDeviceInfo> outputs;
    std::vector<AudioDeviceInfo> inputs;
};

}  // namespace selvar::audio
