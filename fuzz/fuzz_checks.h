// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Property checks shared by the fuzz targets: a broken property prints the input and aborts,
// which libFuzzer reports as a crash with the input saved.

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include "ramp/field_validation.h"

namespace selvar::fuzz {

inline void require(bool holds, const char* property, std::string_view input) {
    if (holds) {
        return;
    }
    std::fprintf(stderr, "property broken: %s\ninput (%zu bytes): \"", property, input.size());
    for (const char c : input) {
        std::fprintf(stderr, c >= 0x20 && c < 0x7f ? "%c" : "\\x%02x",
                     static_cast<unsigned char>(c));
    }
    std::fprintf(stderr, "\"\n");
    std::abort();
}

inline std::string_view textOf(const std::uint8_t* data, std::size_t size) {
    return {reinterpret_cast<const char*>(data), size};
}

// Same reading, value and sign of zero included (a NaN never reaches here: it is refused).
inline bool sameReading(std::optional<float> a, std::optional<float> b) {
    if (!a || !b) {
        return !a && !b;
    }
    return *a == *b && std::signbit(*a) == std::signbit(*b);
}

// Step and delay: the text becomes one of the list texts, the first list value equal to its
// number or else the first entry, and the list index agrees with the text.
template <std::size_t N>
void checkListValidation(std::string_view input, std::string (*validate)(std::string_view),
                         int (*indexFor)(std::string_view), const char* const (&list)[N]) {
    const std::string normal = validate(input);
    const int index = indexFor(input);
    require(index >= 0 && static_cast<std::size_t>(index) < N, "index within the list", input);
    require(normal == list[index], "text is the list entry of the index", input);
    require(validate(normal) == normal, "validation is idempotent", input);
    require(indexFor(normal) == index, "normal form selects the same index", input);

    std::size_t expected = 0;
    if (const std::optional<float> number = ramp::readNumber(input)) {
        for (std::size_t i = 0; i < N; ++i) {
            if (*number == *ramp::readNumber(list[i])) {
                expected = i;
                break;
            }
        }
    }
    require(static_cast<std::size_t>(index) == expected, "first equal list value or entry 0",
            input);
}

}  // namespace selvar::fuzz
