#include "platform/bus_trace.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/access_log.h"
#include "platform/vcd_writer.h"

namespace selvar::platform {

namespace {

bool endsWith(const std::string& text, const std::string& suffix) {
    return text.size() >= suffix.size() &&
           text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

}  // namespace

std::unique_ptr<AccessObserver> openBusTrace(const std::string& path, long long accessNs,
                                             std::string& error) {
    std::FILE* out = std::fopen(path.c_str(), "w");
    if (!out) {
        error = "cannot create trace file " + path + ": " + std::strerror(errno);
        return nullptr;
    }
    // The trace format follows the file name.
    if (endsWith(path, ".vcd")) {
        return std::make_unique<VcdWriter>(out, accessNs == kHardwareAccessNs
                                                    ? VcdTiming::hardware()
                                                    : VcdTiming::simulated(accessNs));
    }
    return std::make_unique<AccessLog>(out);
}

}  // namespace selvar::platform
