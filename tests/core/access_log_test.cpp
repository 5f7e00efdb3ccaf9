// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>

#include "platform/bus_trace.h"

namespace selvar::platform {
namespace {

std::string slurp(const std::string& path) {
    std::ifstream in(path);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

TEST(AccessLog, OneLinePerAccessInOrder) {
    const std::string path = ::testing::TempDir() + "access_log_format.log";
    {
        std::string error;
        auto log = openBusTrace(path, 1000, error);
        ASSERT_NE(log, nullptr) << error;
        log->onWrite(0x378, 0x1B);
        log->onRead(0x379, 0x7F);
        log->onWrite(0x37A, 0x00);
        log->onRead(0x278, 0xFF);
        log->onWrite(0x3BC, 0xA0);
    }
    EXPECT_EQ(slurp(path), "W 378 1b\nR 379 7f\nW 37a 00\nR 278 ff\nW 3bc a0\n");
}

TEST(AccessLog, LongRunsStreamThroughWithoutLosingOrReorderingLines) {
    const std::string path = ::testing::TempDir() + "access_log_long.log";
    constexpr int kAccesses = 50'000;  // several times the buffer
    {
        std::string error;
        auto log = openBusTrace(path, 0, error);
        ASSERT_NE(log, nullptr) << error;
        for (int i = 0; i < kAccesses; ++i) {
            log->onWrite(0x378, static_cast<std::uint8_t>(i));
        }
    }
    std::ifstream in(path);
    std::string line;
    int n = 0;
    char expected[16];
    while (std::getline(in, line)) {
        std::snprintf(expected, sizeof expected, "W 378 %02x", n & 0xFF);
        ASSERT_EQ(line, expected) << "line " << n;
        ++n;
    }
    EXPECT_EQ(n, kAccesses);
}

TEST(AccessLog, AFileThatCannotBeCreatedGivesNoTraceAndSaysWhy) {
    const std::string path = ::testing::TempDir() + "no-such-dir/trace.log";
    std::string error;
    EXPECT_EQ(openBusTrace(path, 0, error), nullptr);
    EXPECT_NE(error.find(path), std::string::npos) << error;
    EXPECT_NE(error.find("No such file or directory"), std::string::npos) << error;
}

// A full disk must neither stop the program nor flood its standard error: each trace says once
// that it stopped recording.
TEST(BusTrace, AFullDiskIsSaidOnceAndTheRunGoesOn) {
    const std::string waveform = ::testing::TempDir() + "full-disk.vcd";
    ::unlink(waveform.c_str());
    ASSERT_EQ(::symlink("/dev/full", waveform.c_str()), 0);
    for (const std::string& path : {std::string("/dev/full"), waveform}) {
        ::testing::internal::CaptureStderr();
        {
            std::string error;
            auto trace = openBusTrace(path, 1000, error);
            ASSERT_NE(trace, nullptr) << error;
            trace->onPortSelected(0x378);
            for (int i = 0; i < 100'000; ++i) {
                trace->onWrite(0x378, static_cast<std::uint8_t>(i));
            }
        }
        const std::string said = ::testing::internal::GetCapturedStderr();
        EXPECT_NE(said.find("No space left on device"), std::string::npos) << path << ": " << said;
        EXPECT_EQ(said.find("writing failed"), said.rfind("writing failed"))
            << path << ": " << said;
    }
    ::unlink(waveform.c_str());
}

}  // namespace
}  // namespace selvar::platform
