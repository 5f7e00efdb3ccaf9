#include "platform/vcd_writer.h"

namespace selvar::platform {

namespace {

// Line order in the header; identifiers are single printable characters.
constexpr const char* kWireNames[] = {"cs", "clk", "mosi", "miso", "mute", "zcd"};
constexpr char kWireIds[] = {'A', 'B', 'C', 'D', 'E', 'F'};

// Data-register bits of the lines and the read-back bit of the status register.
constexpr int kZcdBit = 0;
constexpr int kCsBit = 1;
constexpr int kMosiBit = 2;
constexpr int kClkBit = 3;
constexpr int kMuteBit = 4;
constexpr int kMisoBit = 7;

bool bit(std::uint8_t value, int n) {
    return ((value >> n) & 1) != 0;
}

}  // namespace

VcdTiming VcdTiming::simulated(long long accessNs) {
    // A decimal timescale of exactly one access keeps the numbers small and readable.
    static constexpr struct {
        long long ns;
        const char* scale;
    } kExact[] = {{1, "1ns"},       {10, "10ns"},       {100, "100ns"},
                  {1000, "1us"},    {10000, "10us"},    {100000, "100us"},
                  {1000000, "1ms"}, {10000000, "10ms"}, {100000000, "100ms"}};
    if (accessNs <= 0) {
        return {"1ns", 1, false};  // no simulated duration: one nominal tick per access
    }
    for (const auto& e : kExact) {
        if (e.ns == accessNs) {
            return {e.scale, 1, false};
        }
    }
    return {"1ns", static_cast<std::uint64_t>(accessNs), false};
}

VcdTiming VcdTiming::hardware() {
    return {"1ns", 1, true};
}

VcdWriter::VcdWriter(std::FILE* out, VcdTiming timing)
    : out_(out), timing_(std::move(timing)), start_(std::chrono::steady_clock::now()) {
    std::setvbuf(out_, nullptr, _IOFBF, 64 * 1024);
    std::fprintf(out_, "$version Selvar Control bus trace $end\n");
    std::fprintf(out_, "$timescale %s $end\n", timing_.timescale.c_str());
    std::fprintf(out_, "$scope module lpt $end\n");
    for (int w = 0; w < kWireCount; ++w) {
        std::fprintf(out_, "$var wire 1 %c %s $end\n", kWireIds[w], kWireNames[w]);
    }
    std::fprintf(out_, "$upscope $end\n$enddefinitions $end\n#0\n$dumpvars\n");
    // The data latch powers up at 0; the read-back line is unknown until the first status
    // read and starts as 0.
    for (int w = 0; w < kWireCount; ++w) {
        std::fprintf(out_, "0%c\n", kWireIds[w]);
    }
    std::fprintf(out_, "$end\n");
}

VcdWriter::~VcdWriter() {
    // One tick after the last access, so a decoder sees the last chip-select rise complete.
    std::fprintf(out_, "#%llu\n", static_cast<unsigned long long>(lastTime_ + 1));
    // A full disk must not stop the program mid-run; say once, at the end, that the
    // waveform is incomplete.
    const bool failed = std::ferror(out_) != 0;
    if (std::fclose(out_) != 0 || failed) {
        std::fprintf(stderr, "waveform trace: writing failed; the file is incomplete\n");
    }
}

void VcdWriter::onPortSelected(std::uint16_t base) {
    base_ = base;
}

std::uint64_t VcdWriter::nextTime() {
    std::uint64_t t;
    if (timing_.steadyClock) {
        const auto elapsed = std::chrono::steady_clock::now() - start_;
        t = static_cast<std::uint64_t>(
            std::chrono::duration_cast<std::chrono::nanoseconds>(elapsed).count());
        if (t <= lastTime_) {
            t = lastTime_ + 1;  // every access on its own tick, strictly increasing
        }
    } else {
        t = lastTime_ + timing_.ticksPerAccess;
    }
    lastTime_ = t;
    return t;
}

void VcdWriter::setWire(Wire wire, bool level, std::uint64_t time) {
    if (levels_[wire] == level) {
        return;
    }
    if (writtenTime_ != time) {
        std::fprintf(out_, "#%llu\n", static_cast<unsigned long long>(time));
        writtenTime_ = time;
    }
    levels_[wire] = level;
    std::fprintf(out_, "%c%c\n", level ? '1' : '0', kWireIds[wire]);
}

void VcdWriter::setDataLines(std::uint8_t value, std::uint64_t time) {
    setWire(kCs, bit(value, kCsBit), time);
    setWire(kClk, bit(value, kClkBit), time);
    setWire(kMosi, bit(value, kMosiBit), time);
    setWire(kMute, bit(value, kMuteBit), time);
    setWire(kZcd, bit(value, kZcdBit), time);
}

void VcdWriter::onRead(std::uint16_t address, std::uint8_t value) {
    const std::uint64_t t = nextTime();
    if (address == base_) {
        setDataLines(value, t);  // a data read shows the levels the port really drives
    } else if (address == base_ + 1) {
        setWire(kMiso, !bit(value, kMisoBit), t);  // the read-back line is inverted
    }
}

void VcdWriter::onWrite(std::uint16_t address, std::uint8_t value) {
    const std::uint64_t t = nextTime();
    if (address == base_) {
        setDataLines(value, t);
    }
}

}  // namespace selvar::platform
