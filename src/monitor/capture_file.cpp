#include "monitor/capture_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "monitor/frame_texts.h"
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

bool saveVcd(const BusCapture& capture, std::FILE* file, const std::string& path) {
    platform::VcdTiming timing = capture.clock().timing();
    if (timing.steadyClock) {
        timing = {"1ns", kNominalAccessNs, false, 1};
    }
    bool lost = false;  // set by the writer up to its closing of the file
    {
        platform::VcdWriter out(file, timing, {path, &lost});
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
    return !lost;
}

bool saveCsv(const BusCapture& capture, std::FILE* file) {
    bool ok = std::fputs("#,Time (ms),Kind,DUT2,DUT1,Chain\n", file) >= 0;
    for (std::uint64_t n = capture.first(); ok && n < capture.end(); ++n) {
        const FrameRow r = frameRow(capture, n);
        ok = std::fprintf(file, "%s,%s,%s,%s,%s,%s\n", r.number.c_str(), r.time.c_str(),
                          r.kind.c_str(), r.dut2.c_str(), r.dut1.c_str(), r.chain.c_str()) > 0;
    }
    return std::fclose(file) == 0 && ok;
}

}  // namespace

bool saveCapture(const BusCapture& capture, const std::string& path, std::string& error) {
    std::FILE* file = std::fopen(path.c_str(), "w");
    if (!file) {
        error = "cannot create " + path + ": " + std::strerror(errno);
        return false;
    }
    // Both take the file and close it.
    if (!(endsWith(path, ".vcd") ? saveVcd(capture, file, path) : saveCsv(capture, file))) {
        error = "cannot write " + path + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

}  // namespace selvar::monitor
