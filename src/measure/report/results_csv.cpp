// SPDX-License-Identifier: GPL-3.0-or-later
#include "measure/report/results_csv.h"

#include <cstdio>
#include <cstdlib>
#include <sstream>

#include "measure/report/saved_bytes.h"

namespace selvar::measure {
namespace {

const char* const kColumns =
    "code,set dB,measured Left dB,measured Right dB,error Left dB,error Right dB,step dB,"
    "THD+N dB,result";

std::string number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.4f", value);
    return text;
}

std::string cell(const std::optional<double>& value, bool floor = false) {
    return value ? number(*value) : (floor ? "floor" : "");
}

// A text cell quoted as RFC 4180 has it, so device names with commas survive.
std::string quoted(const std::string& text) {
    if (text.find_first_of(",\"\n") == std::string::npos) {
        return text;
    }
    std::string out = "\"";
    for (char c : text) {
        out += c == '"' ? std::string("\"\"") : std::string(1, c == '\n' ? ' ' : c);
    }
    return out + "\"";
}

std::string resultText(const SweepRow& row) {
    if (row.passes()) {
        return "pass";
    }
    std::string text = "fail:";
    for (const auto& [check, name] :
         {std::pair{Check::GainError, " gain"}, std::pair{Check::StepError, " step"},
          std::pair{Check::Matching, " matching"}, std::pair{Check::Thdn, " THD+N"}}) {
        if (row.fails(check)) {
            text += name;
        }
    }
    return text;
}

void writeHeader(std::ostringstream& out, const ReportSetup& s, const Limits& l) {
    auto line = [&out](const std::string& key, const std::string& value) {
        out << "# " << key << ',' << quoted(value) << '\n';
    };
    line("program", "Selvar Control " + s.version);
    line("date", s.date);
    line("port", s.port);
    line("chain", s.chain);
    line("board", s.board);
    line("output device", s.outputDevice);
    line("input device", s.inputDevice);
    line("sample rate Hz", number(s.sampleRate));
    if (s.calibration) {
        line("calibration date", s.calibration->createdAt);
        line("card gain Left dB", number(s.calibration->gainDb[0]));
        line("card gain Right dB", number(s.calibration->gainDb[1]));
    } else {
        line("calibration", "none");
    }
    line("limit gain error dB", number(l.gainErrorDb));
    line("limit step error dB", number(l.stepErrorDb));
    line("limit matching dB", number(l.matchingDb));
    line("limit mute depth dB", number(l.muteDepthDb));
    line("limit THD+N dB", number(l.thdnDb));
}

std::vector<std::string> splitCells(const std::string& line) {
    std::vector<std::string> cells(1);
    bool inQuotes = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (c == '"') {
            if (inQuotes && i + 1 < line.size() && line[i + 1] == '"') {
                cells.back() += '"';
                ++i;
            } else {
                inQuotes = !inQuotes;
            }
        } else if (c == ',' && !inQuotes) {
            cells.emplace_back();
        } else {
            cells.back() += c;
        }
    }
    return cells;
}

bool readValue(const std::string& text, std::optional<double>& value, bool* floor = nullptr) {
    if (text.empty() || text == "floor") {
        if (floor) {
            *floor = text == "floor";
        }
        return true;
    }
    char* end = nullptr;
    value = std::strtod(text.c_str(), &end);
    return end != text.c_str() && *end == '\0';
}

bool readRow(const std::vector<std::string>& c, SweepRow& row) {
    std::optional<double> code, set;
    bool ok = c.size() == 9 && readValue(c[0], code) && readValue(c[1], set) && code && set &&
              readValue(c[2], row.gainDb[0], &row.floorLimited[0]) &&
              readValue(c[3], row.gainDb[1], &row.floorLimited[1]) &&
              readValue(c[4], row.errorDb[0]) && readValue(c[5], row.errorDb[1]) &&
              readValue(c[6], row.stepDb) && readValue(c[7], row.thdnDb);
    if (!ok) {
        return false;
    }
    row.code = static_cast<int>(*code);
    row.setDb = *set;
    for (const auto& [check, name] :
         {std::pair{Check::GainError, "gain"}, std::pair{Check::StepError, "step"},
          std::pair{Check::Matching, "matching"}, std::pair{Check::Thdn, "THD+N"}}) {
        if (c[8].find(name) != std::string::npos) {
            row.failed |= static_cast<int>(check);
        }
    }
    return c[8] == "pass" || c[8].starts_with("fail:");
}

}  // namespace

std::string resultsCsv(const ReportSetup& setup, const Limits& limits,
                       const std::vector<SweepRow>& rows) {
    std::ostringstream out;
    writeHeader(out, setup, limits);
    out << kColumns << '\n';
    for (const SweepRow& r : rows) {
        out << r.code << ',' << number(r.setDb) << ',' << cell(r.gainDb[0], r.floorLimited[0])
            << ',' << cell(r.gainDb[1], r.floorLimited[1]) << ',' << cell(r.errorDb[0]) << ','
            << cell(r.errorDb[1]) << ',' << cell(r.stepDb) << ',' << cell(r.thdnDb) << ','
            << resultText(r) << '\n';
    }
    return out.str();
}

bool readResultsCsv(const std::string& text, ResultsFile& file, std::string& error) {
    std::istringstream in(text);
    std::string line;
    bool columnsSeen = false;
    for (int number = 1; std::getline(in, line); ++number) {
        if (line.starts_with("# ")) {
            const auto cells = splitCells(line.substr(2));
            file.header.emplace_back(cells[0], cells.size() > 1 ? cells[1] : "");
            continue;
        }
        SweepRow row;
        if (!columnsSeen && line == kColumns) {
            columnsSeen = true;
        } else if (!columnsSeen || !readRow(splitCells(line), row)) {
            error = "line " + std::to_string(number) + " is not a results row: " + line;
            return false;
        } else {
            file.rows.push_back(row);
        }
    }
    if (!columnsSeen) {
        error = "no results table in the file";
    }
    return columnsSeen;
}

bool saveResultsCsv(const std::string& path, const ReportSetup& setup, const Limits& limits,
                    const std::vector<SweepRow>& rows, std::string& error) {
    const std::string text = resultsCsv(setup, limits, rows);
    return saveBytes(path, text, error);
}

}  // namespace selvar::measure
