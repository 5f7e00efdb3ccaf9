// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <functional>

#include "session_bench.h"

namespace selvar::measure {
namespace {

using test::Answer;
using test::SimBench;
using Clock = control::Job::Clock;

// However a procedure ends, the chip is left with the codes, MUTE and ZCD it had, and the
// caller hears of the end exactly once, with the reason.
TEST(PutBack, EveryEndLeavesTheChipAsFound) {
    enum class End { Finished, Stopped, DeviceLost, Refused, Dropped, NoDevice, Slipping };
    struct Row {
        const char* name;
        End end;
        Failure failure;
    };
    for (const Row row :
         {Row{"finished", End::Finished, Failure::None},
          Row{"stopped", End::Stopped, Failure::Stopped},
          Row{"device lost", End::DeviceLost, Failure::DeviceLost},
          Row{"code above the limit", End::Refused, Failure::NotAvailable},
          Row{"dropped unfinished", End::Dropped, Failure::Stopped},
          Row{"no device", End::NoDevice, Failure::NoDevice},
          Row{"card slipping in every run", End::Slipping, Failure::NotAvailable}}) {
        SCOPED_TRACE(row.name);
        audio::SimAnalogOptions options;
        if (row.end == End::Slipping) {
            options.glitchEveryMs = 300.0;
        }
        SimBench bench(options, row.end != End::NoDevice);
        bench.board.reg = audio::test::codes(100, 120);
        bench.board.mute = bench.board.zcd = true;
        bench.highest = 200;
        MeasurementSession session(bench);
        Answer answer;
        auto job = row.end == End::Finished
                       ? session.measureGain(1, Channel::Left, 180, test::into(answer))
                   : row.end == End::Refused
                       ? session.measureGain(1, Channel::Left, 201, test::into(answer))
                       : session.sweepGain(1, test::into(answer));
        // Into the middle of the sweep: the codes are moving and MUTE and ZCD are off.
        for (int slice = 0;
             slice < 10 && job->runSlice(Clock::now() + std::chrono::milliseconds(1)); ++slice) {
        }
        if (row.end == End::Stopped) {
            job->requestStop();
        } else if (row.end == End::DeviceLost) {
            bench.port().loseDevice();
        } else if (row.end == End::Dropped) {
            EXPECT_NE(bench.board.reg, audio::test::codes(100, 120));
            job.reset();
        }
        if (job) {
            test::runToEnd(*job);
        }
        EXPECT_EQ(answer.calls, 1);
        EXPECT_EQ(answer.reply.failure, row.failure) << answer.reply.detail;
        EXPECT_EQ(bench.board.reg, audio::test::codes(100, 120));
        EXPECT_TRUE(bench.board.mute);
        EXPECT_TRUE(bench.board.zcd);
    }
}

}  // namespace
}  // namespace selvar::measure
