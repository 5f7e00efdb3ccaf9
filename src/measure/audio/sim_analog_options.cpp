// SPDX-License-Identifier: GPL-3.0-or-later
#include "measure/audio/sim_analog_options.h"

#include <charconv>
#include <cmath>
#include <fstream>
#include <functional>
#include <set>
#include <sstream>

#include "platform/adapters/adapter_config.h"

namespace selvar::audio {
namespace {

// A whole token as a finite number; std::from_chars accepts no leading '+' or spaces.
std::optional<double> number(std::string_view text) {
    if (!text.empty() && text.front() == '+') {
        text.remove_prefix(1);
    }
    double value = 0.0;
    const char* end = text.data() + text.size();
    const auto result = std::from_chars(text.data(), end, value);
    if (text.empty() || result.ec != std::errc{} || result.ptr != end || !std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}

struct Range {
    double low;
    double high;
};

// A number within [low, high], or a message naming the key and what it takes.
std::optional<double> ranged(std::string_view key, std::string_view text, Range range,
                             std::string& error) {
    const auto value = number(text);
    if (!value || *value < range.low || *value > range.high) {
        std::ostringstream out;
        out << "invalid value '" << platform::echoed(text) << "' for " << key << " (a number from "
            << range.low << " to " << range.high << ")";
        error = out.str();
        return std::nullopt;
    }
    return value;
}

// LEFT_DB:RIGHT_DB
bool cardGain(std::string_view text, SimAnalogOptions& options, std::string& error) {
    const auto colon = text.find(':');
    constexpr Range kGain{-40.0, 40.0};
    std::string ignored;
    const auto left = colon == std::string_view::npos
                          ? std::nullopt
                          : ranged("card-gain", text.substr(0, colon), kGain, ignored);
    const auto right =
        left ? ranged("card-gain", text.substr(colon + 1), kGain, ignored) : std::nullopt;
    if (!right) {
        error = "invalid value '" + platform::echoed(text) +
                "' for card-gain (LEFT_DB:RIGHT_DB, each from -40 to 40)";
        return false;
    }
    options.cardGainLeftDb = *left;
    options.cardGainRightDb = *right;
    return true;
}

using Setter = std::function<bool(std::string_view, SimAnalogOptions&, std::string&)>;

// A key whose value is one number in a range, stored by assign.
template <typename Assign>
Setter numeric(std::string_view key, Range range, Assign assign) {
    return
        [key, range, assign](std::string_view text, SimAnalogOptions& options, std::string& error) {
            const auto value = ranged(key, text, range, error);
            if (value) {
                assign(options, *value);
            }
            return value.has_value();
        };
}

struct Key {
    std::string_view name;
    Setter set;
};

const std::array<Key, 11>& keys() {
    static const std::array<Key, 11> table{{
        {"errors",
         [](std::string_view text, SimAnalogOptions& o, std::string& error) {
             if (text.empty()) {
                 error = "invalid value '' for errors (a file name)";
                 return false;
             }
             o.errorsFile = std::string(text);
             return true;
         }},
        {"noise", numeric("noise", {-200.0, 0.0}, [](auto& o, double v) { o.noiseDbfs = v; })},
        {"crosstalk",
         numeric("crosstalk", {-200.0, 0.0}, [](auto& o, double v) { o.crosstalkDb = v; })},
        {"h2", numeric("h2", {-200.0, 0.0}, [](auto& o, double v) { o.h2Dbc = v; })},
        {"h3", numeric("h3", {-200.0, 0.0}, [](auto& o, double v) { o.h3Dbc = v; })},
        {"mute-depth",
         numeric("mute-depth", {0.0, 200.0}, [](auto& o, double v) { o.muteDepthDb = v; })},
        {"zcd-timeout-ms",
         numeric("zcd-timeout-ms", {0.0, 1000.0}, [](auto& o, double v) { o.zcdTimeoutMs = v; })},
        {"latency-ms",
         numeric("latency-ms", {0.0, 2000.0}, [](auto& o, double v) { o.latencyMs = v; })},
        {"drift-ppm",
         numeric("drift-ppm", {-10000.0, 10000.0}, [](auto& o, double v) { o.driftPpm = v; })},
        {"card-gain", cardGain},
        {"glitch-every-ms", numeric("glitch-every-ms", {1.0, 3600000.0},
                                    [](auto& o, double v) { o.glitchEveryMs = v; })},
    }};
    return table;
}

}  // namespace

std::optional<SimAnalogOptions> parseSimAnalog(std::string_view value, std::string& error) {
    SimAnalogOptions options;
    std::set<std::string_view> seen;
    while (true) {
        const auto comma = value.find(',');
        const std::string_view item = value.substr(0, comma);
        const auto equals = item.find('=');
        const std::string_view key = item.substr(0, equals);
        const Key* found = nullptr;
        for (const Key& candidate : keys()) {
            found = candidate.name == key ? &candidate : found;
        }
        if (found == nullptr || equals == std::string_view::npos) {
            error = found == nullptr ? "unknown setting '" + platform::echoed(key) + "'"
                                     : "no value for " + std::string(key) + " (KEY=VALUE)";
            return std::nullopt;
        }
        if (!seen.insert(found->name).second) {
            error = std::string(found->name) + " given twice";
            return std::nullopt;
        }
        if (!found->set(item.substr(equals + 1), options, error)) {
            return std::nullopt;
        }
        if (comma == std::string_view::npos) {
            return options;
        }
        value.remove_prefix(comma + 1);
    }
}

std::optional<GainErrorTable> parseGainErrors(std::string_view csv, std::string& error) {
    GainErrorTable table{};
    std::array<bool, kCodes> given{};
    int lineNumber = 0;
    while (!csv.empty()) {
        const auto newline = csv.find('\n');
        std::string_view line = csv.substr(0, newline);
        csv.remove_prefix(newline == std::string_view::npos ? csv.size() : newline + 1);
        ++lineNumber;
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        if (line.empty() || line.front() == '#') {
            continue;
        }
        const auto first = line.find(',');
        const auto second = first == std::string_view::npos ? first : line.find(',', first + 1);
        const auto code = number(line.substr(0, first));
        const auto left = second == std::string_view::npos
                              ? std::nullopt
                              : number(line.substr(first + 1, second - first - 1));
        const auto right = left ? number(line.substr(second + 1)) : std::nullopt;
        const bool codeOk = code && *code >= 0 && *code < kCodes && *code == std::floor(*code);
        if (!codeOk || !right || given[std::size_t(*code)]) {
            error = "line " + std::to_string(lineNumber) + ": " +
                    (codeOk && right ? "code given twice" : "expected code,left_db,right_db") +
                    " (code 0 to 255)";
            return std::nullopt;
        }
        given[std::size_t(*code)] = true;
        table[std::size_t(*code)] = {*left, *right};
    }
    return table;
}

std::optional<GainErrorTable> readGainErrors(const std::string& path, std::string& error) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    if (file.is_open()) {
        text << file.rdbuf();
    }
    if (!file.is_open() || file.bad()) {
        error = path + ": cannot read";
        return std::nullopt;
    }
    auto table = parseGainErrors(text.str(), error);
    if (!table) {
        error = path + ": " + error;
    }
    return table;
}

}  // namespace selvar::audio
