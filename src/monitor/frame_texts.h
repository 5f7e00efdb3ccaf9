// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "monitor/bus_capture.h"

namespace selvar::monitor {

// One row of the frame table, as the table and the CSV file show it.
struct FrameRow {
    std::string number;  // 1-based since the start or the last Clear
    std::string time;    // milliseconds since the start, three decimals
    std::string kind;    // "gain" or "read-back"
    std::string dut2, dut1;
    std::string chain;  // a read-back's chain length; empty for a gain frame
};

FrameRow frameRow(const BusCapture& capture, std::uint64_t n);

// Four upper-case hex digits, or "----" for no word.
std::string wordText(std::optional<std::uint16_t> word);
// Nanoseconds as milliseconds with three decimals: 1234567 -> "1.234".
std::string millisecondsText(std::uint64_t ns);
// A word's two codes in decibels as the panels label them: "Left -Inf, Right 0.0 dB".
std::string wordDecibels(std::uint16_t word);
// A row's tooltip: each chip's word in decibels.
std::string frameDecibels(const FrameRecord& frame);

}  // namespace selvar::monitor
