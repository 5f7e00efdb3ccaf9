#include "platform/bus_trace.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/access_log.h"

namespace selvar::platform {

std::unique_ptr<AccessObserver> openBusTrace(const std::string& path, long long /*accessNs*/,
                                             std::string& error) {
    std::FILE* out = std::fopen(path.c_str(), "w");
    if (!out) {
        error = "cannot create trace file " + path + ": " + std::strerror(errno);
        return nullptr;
    }
    // The trace format follows the file name; every name gives the access log for now.
    return std::make_unique<AccessLog>(out);
}

}  // namespace selvar::platform
