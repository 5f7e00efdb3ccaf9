// SPDX-License-Identifier: GPL-3.0-or-later
#include "gain/mod_pub_share.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

namespace selvar::modPubShare {
namespace {

TEST(ValueLabels, ShowTheDecibelsOfEachScale) {
    struct Case {
        std::string (*label)(int);
        int value;
        const char* text;
    };
    const Case cases[] = {
        {channelLabel, 0, "-Inf"},   {channelLabel, 1, "-95.5"}, {channelLabel, 132, "-30.0"},
        {channelLabel, 191, "-0.5"}, {channelLabel, 192, "0.0"}, {channelLabel, 193, "0.5"},
        {channelLabel, 255, "31.5"}, {gangLabel, 0, "-Inf"},     {gangLabel, 1, "-96.0"},
        {gangLabel, 2, "-95.5"},     {gangLabel, 384, "0.0"},    {gangLabel, 385, "0.0"},
        {gangLabel, 509, "31.0"},    {gangLabel, 510, "31.5"},   {panLabel, -255, "-127.5"},
        {panLabel, -1, "-0.5"},      {panLabel, 0, "0.0"},       {panLabel, 1, "0.5"},
        {panLabel, 255, "127.5"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.label(c.value), c.text) << "value " << c.value;
    }
}

TEST(ValueLabels, ChannelLabelNeverShowsTheFormulaValueOfCodeZero) {
    for (int code = 0; code <= 255; ++code) {
        EXPECT_NE(channelLabel(code), "-96.0") << code;
    }
}

TEST(DbToCode, DoublesRoundsHalfToEvenAndOffsetsByUnity) {
    struct Case {
        float db;
        int code;
    };
    const Case cases[] = {{0.0f, 192},        {-30.0f, 132}, {-96.0f, 0},   {31.5f, 255},
                          {0.25f, 192},       {0.75f, 194},  {-0.25f, 192}, {-0.75f, 190},
                          {1.25f, 194},       {40.0f, 272},  {-0.5f, 191},  {16287.5f, 32767},
                          {-16480.0f, -32768}};
    for (const auto& c : cases) {
        EXPECT_EQ(dbToCode(c.db), c.code) << c.db;
    }
}

TEST(DbToCode, RefusesValuesOutsideTheSixteenBitRangeAndNonFiniteValues) {
    constexpr float kHuge = std::numeric_limits<float>::max();
    const float cases[] = {16288.0f,
                           -16480.5f,
                           1.0e9f,
                           kHuge,
                           -kHuge,
                           std::numeric_limits<float>::infinity(),
                           std::numeric_limits<float>::quiet_NaN()};
    for (const float db : cases) {
        EXPECT_THROW(dbToCode(db), std::overflow_error) << db;
    }
}

TEST(DbToCode, InvertsCodeToDbForEveryGainCode) {
    for (int code = 0; code <= 255; ++code) {
        const float db = codeToDb(static_cast<std::int16_t>(code));
        EXPECT_EQ(db, (code - 192) / 2.0f);
        EXPECT_EQ(dbToCode(db), code);
    }
}

TEST(HalfDbSteps, RoundsTiesToTheEvenNeighbour) {
    struct Case {
        float db;
        float steps;
    };
    const Case cases[] = {{0.25f, 0.0f},     {0.75f, 2.0f},  {1.25f, 2.0f},     {5.25f, 10.0f},
                          {5.75f, 12.0f},    {-0.25f, 0.0f}, {-0.75f, -2.0f},   {-96.25f, -192.0f},
                          {-96.3f, -193.0f}, {5.3f, 11.0f},  {1.0e30f, 2.0e30f}};
    for (const auto& c : cases) {
        EXPECT_EQ(halfDbSteps(c.db), c.steps) << c.db;
    }
    EXPECT_FALSE(halfDbSteps(std::numeric_limits<float>::max()));
    EXPECT_FALSE(halfDbSteps(std::numeric_limits<float>::quiet_NaN()));
}

TEST(FormatDb, KeepsOneIntegerDigitOneDecimalAndNoNegativeZero) {
    struct Case {
        double db;
        const char* text;
    };
    const Case cases[] = {{0.5, "0.5"},     {-0.5, "-0.5"},     {0.0, "0.0"},
                          {-0.0, "0.0"},    {-0.04, "0.0"},     {31.5, "31.5"},
                          {-96.0, "-96.0"}, {1234.5, "1234.5"}, {-127.5, "-127.5"}};
    for (const auto& c : cases) {
        EXPECT_EQ(formatDb(c.db), c.text) << c.db;
    }
}

}  // namespace
}  // namespace selvar::modPubShare
