// SPDX-License-Identifier: GPL-3.0-or-later
#include "monitor/capture_file.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "monitor/frame_texts.h"
#include "platform/atomic_save.h"
#include "platform/vcd_writer.h"
#include "platform/wiring.h"

namespace selvar::monitor {

namespace {

using platform::Signal;
constexpr platform::ParallelWiring kWiring = platform::kParallelWiring;
constexpr std::uint16_t kBase = 0x378;  // any base: the waveform names lines, not addresses
// A real port's frames are redrawn at a nominal microsecond per access.
constexpr std::uint64_t kNominalAccessNs = 1000;

bool endsWith(const std::string& text, const std::string& suffix) {
    return text.size() >= suffix.size() &&
           text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

// Redraws one frame as the accesses of a parallel port: chip select falls, the read-back's
// samples and probe come first, the 32 bits clocked in last, chip select rises. Decoded again,
// it gives the same frame.
class FrameRedraw {
  public:
    explicit FrameRedraw(platform::VcdWriter& out) : out_(out) {}

    void frame(const FrameRecord& f) {
        level_ = static_cast<std::uint8_t>((f.zcdHigh ? kWiring.mask(Signal::Zcd) : 0) |
                                           (f.muteHigh ? kWiring.mask(Signal::Mute) : 0));
        write(level_);  // chip select, clock and data low
        for (int i = 0; i < f.returnedBits; ++i) {
            sample((f.returned >> (f.returnedBits - 1 - i)) & 1u);
            pulse();
        }
        if (f.readBack()) {
            setData(true);  // the marker, then the probe until it comes out
            pulse();
            setData(false);
            for (int i = 1; i <= f.chainLength; ++i) {
                sample(i == f.chainLength);
                pulse();
            }
        }
        const std::uint32_t bits = (std::uint32_t{f.dut2Word} << 16) | f.dut1Word;
        for (int i = 31; i >= 0; --i) {
            setData((bits >> i) & 1u);
            pulse();
        }
        write(static_cast<std::uint8_t>(level_ | kWiring.mask(Signal::ChipSelect)));
    }

  private:
    void write(std::uint8_t v) {
        level_ = v;
        out_.onWrite(kBase, v);
    }
    void setData(bool high) {
        const std::uint8_t m = kWiring.mask(Signal::Data);
        write(static_cast<std::uint8_t>(high ? level_ | m : level_ & ~m));
    }
    void pulse() {
        const std::uint8_t m = kWiring.mask(Signal::Clock);
        write(static_cast<std::uint8_t>(level_ | m));
        write(static_cast<std::uint8_t>(level_ & ~m));
    }
    void sample(bool high) { out_.onRead(kBase + 1, kWiring.statusFor(high)); }

    platform::VcdWriter& out_;
    std::uint8_t level_ = 0;
};

// The writer owns and closes a file of its own; it shares the saved file's descriptor, and
// writes straight through, so the save syncs all it wrote.
bool saveVcd(const BusCapture& capture, std::FILE* file) {
    platform::VcdTiming timing = capture.clock().timing();
    if (timing.steadyClock) {
        timing = {"1ns", kNominalAccessNs, false, 1};
    }
    const int fd = ::dup(::fileno(file));
    std::FILE* own = fd < 0 ? nullptr : ::fdopen(fd, "w");
    if (!own) {
        if (fd >= 0) {
            ::close(fd);
        }
        return false;
    }
    bool lost = false;  // set by the writer up to its closing of the file
    int reason = 0;
    {
        platform::VcdWriter out(own, timing, {"", &lost, &reason, true});
        out.onPortSelected(kBase);
        FrameRedraw redraw(out);
        for (std::uint64_t n = capture.first(); n < capture.end(); ++n) {
            const FrameRecord& f = capture.frame(n);
            // Chip select falls at the frame's own time, or right after the last frame.
            if (f.startTick >= timing.ticksPerAccess) {
                out.skipTo(f.startTick - timing.ticksPerAccess);
            }
            redraw.frame(f);
        }
    }
    errno = reason;
    return !lost;
}

bool saveCsv(const BusCapture& capture, std::FILE* file) {
    bool ok = std::fputs("#,Time (ms),Kind,DUT2,DUT1,Chain\n", file) >= 0;
    for (std::uint64_t n = capture.first(); ok && n < capture.end(); ++n) {
        const FrameRow r = frameRow(capture, n);
        ok = std::fprintf(file, "%s,%s,%s,%s,%s,%s\n", r.number.c_str(), r.time.c_str(),
                          r.kind.c_str(), r.dut2.c_str(), r.dut1.c_str(), r.chain.c_str()) > 0;
    }
    return ok;
}

}  // namespace

bool saveCapture(BusCapture& capture, const std::string& path, std::string& error) {
    capture.decodePending();
    const bool waveform = endsWith(path, ".vcd");
    return platform::saveAtomically(
        path,
        [&](std::FILE* file) { return waveform ? saveVcd(capture, file) : saveCsv(capture, file); },
        error);
}

}  // namespace selvar::monitor
