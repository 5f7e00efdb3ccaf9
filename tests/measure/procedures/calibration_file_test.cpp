// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "session_bench.h"

namespace selvar::measure {
namespace {

const std::filesystem::path kFolder =
    std::filesystem::temp_directory_path() / "selvar_calibration_test";

std::string write(const std::string& name, const std::string& text) {
    std::filesystem::create_directories(kFolder);
    const std::string path = (kFolder / name).string();
    std::ofstream(path) << text;
    return path;
}

Calibration sample() {
    Calibration c;
    c.createdAt = "2026-12-08T04:00:00Z";
    c.outputDevice = "alsa_output.usb-card.analog-stereo";
    c.inputDevice = "card in";
    c.sampleRate = 48000.0;
    c.gainDb = {-0.731, 0.209};
    c.noiseDbfs = {-118.5, -119.25};
    c.thdnDb = {-95.5, -96.0};
    c.crosstalkDb = {-110.0, -111.5};
    c.latencyMs = 5.125;
    return c;
}

// Saved and loaded again, a calibration keeps every value; the file reads as text.
TEST(CalibrationFile, RoundTrips) {
    test::SimBench bench;
    MeasurementSession saved(bench);
    std::string error;
    EXPECT_FALSE(saved.saveCalibration((kFolder / "none.cal").string(), error));
    saved.setCalibration(sample());
    std::filesystem::create_directories(kFolder);
    const std::string path = (kFolder / "card.cal").string();
    ASSERT_TRUE(saved.saveCalibration(path, error)) << error;
    EXPECT_EQ(saved.calibration()->file, path);  // what the operator is shown

    MeasurementSession loaded(bench);
    ASSERT_TRUE(loaded.loadCalibration(path, error)) << error;
    const Calibration& c = *loaded.calibration();
    const Calibration expected = sample();
    EXPECT_EQ(c.createdAt, expected.createdAt);
    EXPECT_EQ(c.outputDevice, expected.outputDevice);
    EXPECT_EQ(c.inputDevice, expected.inputDevice);
    EXPECT_EQ(c.sampleRate, expected.sampleRate);
    EXPECT_EQ(c.gainDb, expected.gainDb);
    EXPECT_EQ(c.noiseDbfs, expected.noiseDbfs);
    EXPECT_EQ(c.thdnDb, expected.thdnDb);
    EXPECT_EQ(c.crosstalkDb, expected.crosstalkDb);
    EXPECT_EQ(c.latencyMs, expected.latencyMs);
    EXPECT_EQ(c.file, path);
}

// A file that is not a sound calibration is refused with a reason and changes nothing.
TEST(CalibrationFile, RefusesWhatIsNotACalibration) {
    const std::string good =
        "format 1\ncreated x\noutput-device a\ninput-device b\nsample-rate 48000\n"
        "gain-db -0.5 0.5\nnoise-dbfs -120 -120\nthdn-db -90 -90\ncrosstalk-db -100 -100\n"
        "latency-ms 5\n";
    struct Row {
        const char* name;
        std::string text;
        const char* reason;
    };
    for (const Row& row :
         {Row{"newer", "format 2\n" + good.substr(9), "newer"},
          Row{"no format", good.substr(9), "not a calibration"},
          Row{"no gain", "format 1\nlatency-ms 5\n", "gain-db"},
          Row{"one gain", std::string(good).replace(good.find("-0.5 0.5"), 8, "-0.5"), "gain-db"},
          Row{"not a number",
              std::string(good).replace(good.find("latency-ms 5"), 12, "latency-ms x"),
              "latency-ms"}}) {
        SCOPED_TRACE(row.name);
        test::SimBench bench;
        MeasurementSession session(bench);
        session.setCalibration(sample());
        std::string error;
        EXPECT_FALSE(session.loadCalibration(write("bad.cal", row.text), error));
        EXPECT_NE(error.find(row.reason), std::string::npos) << error;
        EXPECT_EQ(session.calibration()->gainDb, sample().gainDb);
    }
    test::SimBench bench;
    MeasurementSession session(bench);
    std::string error;
    EXPECT_TRUE(session.loadCalibration(write("good.cal", good), error)) << error;
    EXPECT_FALSE(session.loadCalibration((kFolder / "missing.cal").string(), error));
    EXPECT_FALSE(error.empty());
}

}  // namespace
}  // namespace selvar::measure
