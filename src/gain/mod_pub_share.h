// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>

namespace selvar::modPubShare {

// The gain code of 0.0 dB and the highest code, +31.5 dB; code 0 is the chip's full attenuation.
inline constexpr int kUnityCode = 192;
inline constexpr int kMaxCode = 255;

// A code as a count of 0.5 dB steps from 0.0 dB, and back: exact, no rounding, no clamping.
constexpr int halfDbOfCode(int code) {
    return code - kUnityCode;
}
constexpr int codeOfHalfDb(int halfDb) {
    return halfDb + kUnityCode;
}

// Gain in dB of a gain code: (code - 192) / 2. No clamping, code 0 is not special here.
float codeToDb(std::int16_t code);

// Gain code of a dB value: doubled (single precision), rounded half to even, plus 192.
// No clamping. Throws std::overflow_error for a non-finite value or a result outside int16.
std::int16_t dbToCode(float db);

// A dB value counted in 0.5 dB steps: doubled in single precision and rounded to the nearest
// integer, halves to even (10.5 -> 10, 11.5 -> 12). nullopt when the value or its double is not
// finite. The one rounding rule shared by the stop conversion, the stop snapping and the step.
std::optional<float> halfDbSteps(float db);

// The "0.0" pattern: at least one integer digit, exactly one decimal, '-' for negatives.
// A value that rounds to zero shows "0.0", never "-0.0".
std::string formatDb(double db);

// A channel's gain as messages name it, signed: "+6.0", "0.0", "-10.5"; "-Inf" for code 0.
std::string signedChannelDb(int code);

// Value-label texts of the gain panel.
std::string channelLabel(int code);  // Left / Right: "-Inf" for 0
std::string gangLabel(int gang);     // Gang 0..510: "-Inf" only for Gang 0 itself
std::string panLabel(int pan);       // Pan -255..255 in half-dB steps, never "-Inf"

}  // namespace selvar::modPubShare
