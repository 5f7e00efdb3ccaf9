// SPDX-License-Identifier: GPL-3.0-or-later
#include "ramp/field_validation.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "gain/mod_pub_share.h"

namespace selvar::ramp {
namespace {

const std::string kFourHundredDigits = "1" + std::string(399, '0');
const std::string kTinyNumber = "0." + std::string(60, '0') + "1";

TEST(ReadNumber, ReadsDecimalTextWithBlanksAndOnePlus) {
    struct Case {
        std::string text;
        float value;
    };
    const Case cases[] = {{"5", 5.0f},
                          {" 5 ", 5.0f},
                          {"\t-2.5\t", -2.5f},
                          {"+5", 5.0f},
                          {" +0.5", 0.5f},
                          {".5", 0.5f},
                          {"-.5", -0.5f},
                          {"5.", 5.0f},
                          {"1e1", 10.0f},
                          {"1E1", 10.0f},
                          {"2.50", 2.5f},
                          {"05", 5.0f},
                          {"1e38", 1e38f},
                          {"-1e-3", -1e-3f},
                          {"0.0000001", 1e-7f},
                          // A decimal comma and the Unicode minus sign, whatever the locale.
                          {"-20,5", -20.5f},
                          {",5", 0.5f},
                          {"\u22122.5", -2.5f},
                          {" \u221220,5 ", -20.5f}};
    for (const auto& c : cases) {
        EXPECT_EQ(readNumber(c.text), c.value) << '"' << c.text << '"';
    }
    const auto negativeZero = readNumber("-0");
    ASSERT_TRUE(negativeZero);
    EXPECT_TRUE(std::signbit(*negativeZero));
}

TEST(ReadNumber, RefusesJunkOverflowAndNonFiniteValues) {
    const std::string cases[] = {"",          "   ",      "+",      "-",     "+-5",
                                 "++5",       "- 5",      "5 5",    "5a",    "e5",
                                 "1e",        "1,5,5",    "0x10",   "inf",   "nan",
                                 "-inf",      "Infinity", "1e39",   "-1e39", kFourHundredDigits,
                                 kTinyNumber, "5\n",      "\xff",   "1.5,5", "\u2212\u22125",
                                 "+\u22125",  "\xe2\x88", "2\u2212"};
    for (const auto& text : cases) {
        EXPECT_FALSE(readNumber(text)) << '"' << text << '"';
    }
}

struct ValidationCase {
    std::string text;
    std::string normal;
};

void expectNormalForms(std::string (*validate)(std::string_view),
                       const std::vector<ValidationCase>& cases) {
    for (const auto& c : cases) {
        EXPECT_EQ(validate(c.text), c.normal) << '"' << c.text << '"';
        EXPECT_EQ(validate(validate(c.text)), validate(c.text)) << '"' << c.text << '"';
    }
}

TEST(StepValidation, KeepsListValuesAndFallsBackToTheSmallestStep) {
    expectNormalForms(validateStepText, {{"1", "1.0"},
                                         {"2.50", "2.5"},
                                         {"3", "3.0"},
                                         {"0.7", "0.5"},
                                         {"4", "0.5"},
                                         {"0", "0.5"},
                                         {"-0.5", "0.5"},
                                         {"abc", "0.5"},
                                         {"", "0.5"},
                                         {" 1.5 ", "1.5"},
                                         {"+2", "2.0"},
                                         {".5", "0.5"},
                                         {"3.", "3.0"},
                                         {"1e0", "1.0"},
                                         {"25e-1", "2.5"},
                                         {"1,5", "1.5"},
                                         {"inf", "0.5"},
                                         {"nan", "0.5"},
                                         {"0x1", "0.5"},
                                         {"1e39", "0.5"},
                                         {"2.50001", "0.5"},
                                         {kFourHundredDigits, "0.5"},
                                         // Compared in single precision, where this is 2.5 exactly.
                                         {"2.5000001", "2.5"}});
}

TEST(DelayValidation, KeepsListValuesAndFallsBackToNoDelay) {
    expectNormalForms(validateDelayText, {{"05", "5"},
                                          {"5.0", "5"},
                                          {"50", "50"},
                                          {"3", "0"},
                                          {"100", "0"},
                                          {"-1", "0"},
                                          {"x", "0"},
                                          {"", "0"},
                                          {" 20 ", "20"},
                                          {"+10", "10"},
                                          {"1e1", "10"},
                                          {"2.", "2"},
                                          {"-0", "0"},
                                          {"5,0", "5"},
                                          {"inf", "0"},
                                          {"0x2", "0"},
                                          {kFourHundredDigits, "0"}});
}

TEST(StopValidation, SnapsToTheHalfDbGridWithinTheGainRange) {
    expectNormalForms(validateStopText, {{"-30", "-30.0"},
                                         {"5.3", "5.5"},
                                         {"5.25", "5.0"},
                                         {"5.75", "6.0"},
                                         {"31.5", "31.5"},
                                         {"31.7", "31.5"},
                                         {"31.8", "0.0"},
                                         {"-96", "-96.0"},
                                         {"-96.2", "-96.0"},
                                         {"-96.3", "0.0"},
                                         {"abc", "0.0"},
                                         {"", "0.0"},
                                         {"-0.2", "0.0"},
                                         {"-0.25", "0.0"},
                                         {"-0.3", "-0.5"},
                                         {"-96.25", "-96.0"},
                                         {"31.75", "0.0"},
                                         {"31.25", "31.0"},
                                         {" 5 ", "5.0"},
                                         {"+5", "5.0"},
                                         {"1e1", "10.0"},
                                         {".5", "0.5"},
                                         {"5.", "5.0"},
                                         {"inf", "0.0"},
                                         {"nan", "0.0"},
                                         {"-inf", "0.0"},
                                         {"0x10", "0.0"},
                                         {"1,5", "1.5"},
                                         {"-20,5", "-20.5"},
                                         {"\u221220.5", "-20.5"},
                                         {"1e39", "0.0"},
                                         {"1e38", "0.0"},
                                         {"2e38", "0.0"},
                                         {"0.0000001", "0.0"},
                                         {kFourHundredDigits, "0.0"},
                                         {"-" + kFourHundredDigits, "0.0"}});
}

TEST(Validation, LeavesEveryNormalFormUnchanged) {
    for (const char* step : kStepList) {
        EXPECT_EQ(validateStepText(step), step);
    }
    for (const char* delay : kDelayList) {
        EXPECT_EQ(validateDelayText(delay), delay);
    }
    for (int code = 0; code <= 255; ++code) {
        const std::string stop = modPubShare::formatDb((code - 192) / 2.0);
        EXPECT_EQ(validateStopText(stop), stop);
    }
}

TEST(Validation, SelectsTheListIndexOfTheNormalForm) {
    struct Case {
        int (*indexFor)(std::string_view);
        const char* text;
        int index;
    };
    const Case cases[] = {{stepIndexFor, "0.5", 0},   {stepIndexFor, "2.50", 4},
                          {stepIndexFor, "3", 5},     {stepIndexFor, "abc", 0},
                          {stepIndexFor, "4", 0},     {delayIndexFor, "0", 0},
                          {delayIndexFor, "05", 3},   {delayIndexFor, "50", 6},
                          {delayIndexFor, "20.0", 5}, {delayIndexFor, "3", 0}};
    for (const auto& c : cases) {
        EXPECT_EQ(c.indexFor(c.text), c.index) << c.text;
    }
}

}  // namespace
}  // namespace selvar::ramp
