// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/bus_trace.h"

#include <utility>

#include "platform/access_log.h"
#include "platform/trace_open.h"
#include "platform/vcd_writer.h"

namespace selvar::platform {

namespace {

bool endsWith(const std::string& text, const std::string& suffix) {
    return text.size() >= suffix.size() &&
           text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

}  // namespace

std::unique_ptr<AccessObserver> openBusTrace(const std::string& path, long long accessNs,
                                             std::string& error, bool* lost) {
    std::FILE* out = createTraceFile(path, error);
    if (!out) {
        return nullptr;
    }
    TraceReport report{"selvar: trace file " + path, lost};
    // The trace format follows the file name.
    if (endsWith(path, ".vcd")) {
        return std::make_unique<VcdWriter>(
            out,
            accessNs == kHardwareAccessNs ? VcdTiming::hardware() : VcdTiming::simulated(accessNs),
            std::move(report));
    }
    return std::make_unique<AccessLog>(out, std::move(report));
}

}  // namespace selvar::platform
