// SPDX-License-Identifier: GPL-3.0-or-later
#include "remote/scpi_lexer.h"

#include <algorithm>
#include <cctype>
#include <optional>

#include "remote/scpi_errors.h"
#include "remote/scpi_number.h"

namespace selvar::remote {
namespace {

bool isAlpha(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}
bool isDigit(char c) {
    return c >= '0' && c <= '9';
}
bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

void skipBlanks(std::string_view line, std::size_t& pos) {
    while (pos < line.size() && isBlank(line[pos])) {
        ++pos;
    }
}

// A mnemonic: a letter, then letters, digits or underscores.
std::string_view readMnemonic(std::string_view line, std::size_t& pos) {
    const std::size_t start = pos;
    if (pos < line.size() && isAlpha(line[pos])) {
        ++pos;
        while (pos < line.size() &&
               (isAlpha(line[pos]) || isDigit(line[pos]) || line[pos] == '_')) {
            ++pos;
        }
    }
    return line.substr(start, pos - start);
}

bool readHeader(std::string_view line, std::size_t& pos, Unit& unit) {
    if (line[pos] == '*') {
        unit.common = true;
        ++pos;
        const std::string_view name = readMnemonic(line, pos);
        if (name.empty()) {
            return false;
        }
        unit.mnemonics.push_back(name);
    } else {
        unit.rooted = line[pos] == ':';
        do {
            pos += line[pos] == ':' ? 1 : 0;
            const std::string_view name = readMnemonic(line, pos);
            if (name.empty()) {
                return false;
            }
            unit.mnemonics.push_back(name);
        } while (pos < line.size() && line[pos] == ':');
    }
    if (pos < line.size() && line[pos] == '?') {
        unit.query = true;
        ++pos;
    }
    return pos == line.size() || line[pos] == ';' || isBlank(line[pos]);
}

// A quoted string; a doubled quote stands for one.
std::optional<std::string> readString(std::string_view line, std::size_t& pos) {
    const char quote = line[pos++];
    std::string text;
    while (pos < line.size()) {
        const char c = line[pos++];
        if (c != quote) {
            text += c;
        } else if (pos < line.size() && line[pos] == quote) {
            text += quote;
            ++pos;
        } else {
            return text;
        }
    }
    return std::nullopt;
}

bool isWord(std::string_view token) {
    if (token.size() > 1 && (token[0] == '-' || token[0] == '+')) {
        token.remove_prefix(1);  // -INF, the SCPI negative infinity, is a word with a sign
    }
    std::size_t pos = 0;
    return readMnemonic(token, pos).size() == token.size() && !token.empty();
}

// A unit suffix after a number and blanks ("-10 dB"); nothing, and `pos` unmoved, when none.
std::string_view readSpacedSuffix(std::string_view line, std::size_t& pos) {
    std::size_t next = pos;
    skipBlanks(line, next);
    if (next == pos || next == line.size() || !isAlpha(line[next])) {
        return {};
    }
    const std::string_view suffix = readMnemonic(line, next);
    pos = next;
    return suffix;
}

// A number with its unit suffix written on ("-10dB"). A suffix cannot begin with E: "1e" is a
// number whose exponent is missing, not 1 in some unit E.
std::optional<Param> numberWithSuffix(std::string_view token) {
    std::size_t split = token.size();
    while (split > 0 && isAlpha(token[split - 1])) {
        --split;
    }
    const std::string_view number = token.substr(0, split);
    const std::string_view suffix = token.substr(split);
    if (suffix.empty() || suffix.front() == 'e' || suffix.front() == 'E' || !parseDecimal(number)) {
        return std::nullopt;
    }
    return Param{ParamKind::Number, std::string(number), std::string(suffix)};
}

std::optional<Param> readParam(std::string_view line, std::size_t& pos) {
    if (line[pos] == '\'' || line[pos] == '"') {
        std::optional<std::string> text = readString(line, pos);
        if (!text) {
            return std::nullopt;
        }
        return Param{ParamKind::String, std::move(*text)};
    }
    const std::size_t start = pos;
    while (pos < line.size() && line[pos] != ',' && line[pos] != ';' && !isBlank(line[pos])) {
        ++pos;
    }
    const std::string_view token = line.substr(start, pos - start);
    if (parseDecimal(token)) {
        return Param{ParamKind::Number, std::string(token),
                     std::string(readSpacedSuffix(line, pos))};
    }
    if (isWord(token)) {
        return Param{ParamKind::Word, std::string(token)};
    }
    return numberWithSuffix(token);
}

bool readParams(std::string_view line, std::size_t& pos, Unit& unit) {
    skipBlanks(line, pos);
    if (pos == line.size() || line[pos] == ';') {
        return true;
    }
    while (true) {
        std::optional<Param> param = readParam(line, pos);
        if (!param) {
            return false;
        }
        unit.params.push_back(std::move(*param));
        skipBlanks(line, pos);
        if (pos == line.size() || line[pos] == ';') {
            return true;
        }
        if (line[pos] != ',') {
            return false;
        }
        ++pos;
        skipBlanks(line, pos);
        if (pos == line.size()) {
            return false;
        }
    }
}

}  // namespace

LexedUnit readUnit(std::string_view line, std::size_t& pos) {
    LexedUnit lexed;
    skipBlanks(line, pos);
    if (pos == line.size() || line[pos] == ';') {
        lexed.empty = true;
    } else if (!readHeader(line, pos, lexed.unit) || !readParams(line, pos, lexed.unit)) {
        lexed.error = error::kSyntax;
        pos = line.size();
        return lexed;
    }
    pos += pos < line.size() ? 1 : 0;  // the ';'
    return lexed;
}

std::string_view shortForm(std::string_view keyword) {
    std::size_t end = 0;
    while (end < keyword.size() && !(keyword[end] >= 'a' && keyword[end] <= 'z')) {
        ++end;
    }
    return keyword.substr(0, end);
}

bool matchesKeyword(std::string_view text, std::string_view keyword) {
    const auto sameIgnoringCase = [](std::string_view a, std::string_view b) {
        return a.size() == b.size() &&
               std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
                   return std::toupper(static_cast<unsigned char>(x)) ==
                          std::toupper(static_cast<unsigned char>(y));
               });
    };
    return sameIgnoringCase(text, shortForm(keyword)) || sameIgnoringCase(text, keyword);
}

std::pair<std::string_view, std::string_view> splitSuffix(std::string_view mnemonic) {
    std::size_t end = mnemonic.size();
    while (end > 0 && isDigit(mnemonic[end - 1])) {
        --end;
    }
    return {mnemonic.substr(0, end), mnemonic.substr(end)};
}

}  // namespace selvar::remote
