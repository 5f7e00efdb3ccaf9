// SPDX-License-Identifier: GPL-3.0-or-later
#include "monitor/frame_texts.h"

#include <cstdio>

#include "gain/mod_pub_share.h"

namespace selvar::monitor {

std::string wordText(std::optional<std::uint16_t> word) {
    if (!word) {
        return "----";
    }
    char text[8];
    std::snprintf(text, sizeof text, "%04X", static_cast<unsigned>(*word));
    return text;
}

std::string millisecondsText(std::uint64_t ns) {
    char text[32];
    std::snprintf(text, sizeof text, "%llu.%03llu", static_cast<unsigned long long>(ns / 1'000'000),
                  static_cast<unsigned long long>(ns / 1'000 % 1'000));
    return text;
}

std::string wordDecibels(std::uint16_t word) {
    // The right code is the high byte.
    return "Left " + modPubShare::channelLabel(word & 0xFF) + ", Right " +
           modPubShare::channelLabel(word >> 8) + " dB";
}

std::string frameDecibels(const FrameRecord& frame) {
    const FrameWords words = shownWords(frame);
    const auto chip = [](const char* name, std::optional<std::uint16_t> word) {
        return std::string(name) + ": " + (word ? wordDecibels(*word) : "no word");
    };
    return chip("DUT2", words.dut2) + "\n" + chip("DUT1", words.dut1);
}

FrameRow frameRow(const BusCapture& capture, std::uint64_t n) {
    const FrameRecord& f = capture.frame(n);
    const FrameWords words = shownWords(f);
    return {std::to_string(capture.number(n)),
            millisecondsText(capture.clock().nanoseconds(f.startTick)),
            f.readBack() ? "read-back" : "gain",
            wordText(words.dut2),
            wordText(words.dut1),
            f.readBack() ? std::to_string(f.chainLength) : std::string()};
}

}  // namespace selvar::monitor
