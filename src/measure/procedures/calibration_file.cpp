// SPDX-License-Identifier: GPL-3.0-or-later
#include "measure/procedures/calibration_file.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <map>
#include <sstream>
#include <vector>

namespace selvar::measure {

namespace {

constexpr std::string_view kHeading = "# Selvar Control loop-through calibration";

std::string number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.6f", value);
    return text;
}

std::string pair(const std::array<double, kChannels>& values) {
    return number(values[0]) + " " + number(values[1]);
}

// A device name on one line, whatever the sound server calls it.
std::string oneLine(std::string text) {
    for (char& c : text) {
        if (c == '\n' || c == '\r') {
            c = ' ';
        }
    }
    return text;
}

std::vector<double> numbers(std::string_view text) {
    std::vector<double> out;
    std::istringstream in{std::string(text)};
    std::string word;
    while (in >> word) {
        double value = 0.0;
        const auto [end, ec] = std::from_chars(word.data(), word.data() + word.size(), value);
        if (ec != std::errc{} || end != word.data() + word.size() || !std::isfinite(value)) {
            return {};
        }
        out.push_back(value);
    }
    return out;
}

}  // namespace

std::string formatCalibration(const Calibration& c) {
    return std::string(kHeading) + "\nformat " + std::to_string(kCalibrationFormat) + "\ncreated " +
           oneLine(c.createdAt) + "\noutput-device " + oneLine(c.outputDevice) + "\ninput-device " +
           oneLine(c.inputDevice) + "\nsample-rate " + number(c.sampleRate) + "\ngain-db " +
           pair(c.gainDb) + "\nnoise-dbfs " + pair(c.noiseDbfs) + "\nthdn-db " + pair(c.thdnDb) +
           "\ncrosstalk-db " + pair(c.crosstalkDb) + "\nlatency-ms " + number(c.latencyMs) + "\n";
}

std::optional<Calibration> parseCalibration(std::string_view text, std::string& error) {
    std::map<std::string, std::string, std::less<>> fields;
    std::istringstream in{std::string(text)};
    for (std::string line; std::getline(in, line);) {
        if (line.empty() || line.front() == '#') {
            continue;
        }
        const auto space = line.find(' ');
        fields[line.substr(0, space)] = space == std::string::npos ? "" : line.substr(space + 1);
    }
    const std::vector<double> format = numbers(fields["format"]);
    if (format.size() != 1) {
        error = "not a calibration file";
        return std::nullopt;
    }
    if (format[0] > kCalibrationFormat) {
        error = "made by a newer version of the program";
        return std::nullopt;
    }
    Calibration c;
    c.createdAt = fields["created"];
    c.outputDevice = fields["output-device"];
    c.inputDevice = fields["input-device"];
    const std::pair<const char*, std::array<double, kChannels>*> pairs[] = {
        {"gain-db", &c.gainDb},
        {"noise-dbfs", &c.noiseDbfs},
        {"thdn-db", &c.thdnDb},
        {"crosstalk-db", &c.crosstalkDb}};
    for (const auto& [key, values] : pairs) {
        const std::vector<double> read = numbers(fields[key]);
        if (read.size() != 2) {
            error = std::string("no valid ") + key + " line";
            return std::nullopt;
        }
        *values = {read[0], read[1]};
    }
    for (const auto& [key, value] :
         {std::pair{"sample-rate", &c.sampleRate}, std::pair{"latency-ms", &c.latencyMs}}) {
        const std::vector<double> read = numbers(fields[key]);
        if (read.size() != 1) {
            error = std::string("no valid ") + key + " line";
            return std::nullopt;
        }
        *value = read[0];
    }
    return c;
}

}  // namespace selvar::measure
