// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <string>

#include "measure/audio/sim_analog_options.h"

namespace selvar::audio {
namespace {

TEST(SimAnalogOptions, EveryKeySetsItsSetting) {
    std::string error;
    const auto options = parseSimAnalog(
        "errors=steps.csv,noise=-110.5,crosstalk=-100,h2=-80,h3=-95,mute-depth=110,"
        "zcd-timeout-ms=8,latency-ms=12.5,drift-ppm=-200,card-gain=-0.73:+0.21,"
        "glitch-every-ms=250",
        error);
    ASSERT_TRUE(options) << error;
    EXPECT_EQ(options->errorsFile, "steps.csv");
    EXPECT_EQ(options->noiseDbfs, -110.5);
    EXPECT_EQ(options->crosstalkDb, -100.0);
    EXPECT_EQ(options->h2Dbc, -80.0);
    EXPECT_EQ(options->h3Dbc, -95.0);
    EXPECT_EQ(options->muteDepthDb, 110.0);
    EXPECT_EQ(options->zcdTimeoutMs, 8.0);
    EXPECT_EQ(options->latencyMs, 12.5);
    EXPECT_EQ(options->driftPpm, -200.0);
    EXPECT_EQ(options->cardGainLeftDb, -0.73);
    EXPECT_EQ(options->cardGainRightDb, 0.21);
    EXPECT_EQ(options->glitchEveryMs, 250.0);
}

TEST(SimAnalogOptions, UnsetKeysKeepTheirDefaults) {
    std::string error;
    const auto options = parseSimAnalog("noise=-100", error);
    ASSERT_TRUE(options) << error;
    EXPECT_EQ(options->crosstalkDb, -140.0);
    EXPECT_EQ(options->muteDepthDb, 120.0);
    EXPECT_EQ(options->zcdTimeoutMs, 16.0);
    EXPECT_EQ(options->latencyMs, 5.0);
    EXPECT_EQ(options->driftPpm, 0.0);
    EXPECT_FALSE(options->h2Dbc || options->h3Dbc || options->glitchEveryMs);
    EXPECT_TRUE(options->errorsFile.empty());
}

// A bad setting is refused with a message that names it.
struct Bad {
    const char* value;
    const char* named;
};

class SimAnalogRefuses : public testing::TestWithParam<Bad> {};

TEST_P(SimAnalogRefuses, NamingTheKeyOrValue) {
    std::string error;
    EXPECT_FALSE(parseSimAnalog(GetParam().value, error));
    EXPECT_NE(error.find(GetParam().named), std::string::npos) << error;
}

INSTANTIATE_TEST_SUITE_P(
    Values, SimAnalogRefuses,
    testing::Values(Bad{"hum=-60", "'hum'"}, Bad{"noise", "noise"}, Bad{"noise=loud", "'loud'"},
                    Bad{"noise=-90dB", "'-90dB'"}, Bad{"noise=5", "'5'"},
                    Bad{"latency-ms=-1", "latency-ms"}, Bad{"mute-depth=nan", "mute-depth"},
                    Bad{"card-gain=1", "card-gain"}, Bad{"card-gain=1:x", "card-gain"},
                    Bad{"glitch-every-ms=0", "glitch-every-ms"}, Bad{"errors=", "errors"},
                    Bad{"noise=-90,noise=-80", "noise given twice"}, Bad{"noise=-90,", "''"},
                    Bad{"", "''"}));

TEST(GainErrors, LinesAddToTheirCodes) {
    std::string error;
    const auto table = parseGainErrors("# code,left,right\n172,0.25,-0.4\r\n\n1,0,1.5\n", error);
    ASSERT_TRUE(table) << error;
    EXPECT_EQ((*table)[172].leftDb, 0.25);
    EXPECT_EQ((*table)[172].rightDb, -0.4);
    EXPECT_EQ((*table)[1].rightDb, 1.5);
    EXPECT_EQ((*table)[2].leftDb, 0.0);
}

class GainErrorsRefuse : public testing::TestWithParam<Bad> {};

TEST_P(GainErrorsRefuse, NamingTheLine) {
    std::string error;
    EXPECT_FALSE(parseGainErrors(GetParam().value, error));
    EXPECT_NE(error.find(GetParam().named), std::string::npos) << error;
}

INSTANTIATE_TEST_SUITE_P(Lines, GainErrorsRefuse,
                         testing::Values(Bad{"1,0,0\n256,0,0\n", "line 2"}, Bad{"-1,0,0", "line 1"},
                                         Bad{"1.5,0,0", "line 1"}, Bad{"1,0", "line 1"},
                                         Bad{"1,0,0,0", "line 1"},
                                         Bad{"\n3,0,0\n3,1,1", "line 3: code given twice"}));

TEST(GainErrors, AFileThatCannotBeReadIsNamed) {
    std::string error;
    EXPECT_FALSE(readGainErrors("/nonexistent/steps.csv", error));
    EXPECT_NE(error.find("/nonexistent/steps.csv"), std::string::npos) << error;
}

}  // namespace
}  // namespace selvar::audio
