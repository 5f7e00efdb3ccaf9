// SPDX-License-Identifier: GPL-3.0-or-later
// Round trips of SCPI commands on loopback against the real program, started windowless as a
// child process on the simulated board at its default pacing (1000 ns a port access), as a
// lab script sees them: p50 and p99 over 10,000 commands.

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <benchmark/benchmark.h>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <regex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "loopback_client.h"

namespace {

constexpr int kCommands = 10'000;

// The program serving SCPI on a free loopback port, and one client connected to it.
class ServingProgram {
  public:
    ServingProgram() {
        int err[2];
        if (pipe(err) != 0) {
            throw std::runtime_error("pipe");
        }
        pid_ = fork();
        if (pid_ == 0) {
            dup2(err[1], STDERR_FILENO);
            close(err[0]);
            execl(SELVAR_BINARY, SELVAR_BINARY, "--no-gui", "--scpi-port", "0", "--sim-access-ns",
                  "1000", static_cast<char*>(nullptr));
            _exit(127);
        }
        close(err[1]);
        client_.connectTo(portFrom(err[0]));
        close(err[0]);
    }
    ~ServingProgram() {
        exchange("SYSTem:EXIT\n*OPC?\n");
        int status = 0;
        waitpid(pid_, &status, 0);
    }
    ServingProgram(const ServingProgram&) = delete;
    ServingProgram& operator=(const ServingProgram&) = delete;

    std::string exchange(const std::string& line) { return client_.exchange(line); }

  private:
    static int portFrom(int fd) {
        const std::regex serving("serving SCPI on 127\\.0\\.0\\.1 port (\\d+)");
        std::string seen;
        char c = 0;
        std::smatch m;
        while (read(fd, &c, 1) == 1) {
            seen += c;
            if (c == '\n' && std::regex_search(seen, m, serving)) {
                return std::stoi(m[1]);
            }
        }
        throw std::runtime_error("the program did not serve: " + seen);
    }
    pid_t pid_ = -1;
    selvar::bench::LoopbackClient client_;
};

// Times each command's round trip and reports the percentiles in microseconds.
// pause: time between commands, outside the timing.
template <class Next>
void roundTrips(benchmark::State& state, Next nextLine, const std::string& expected,
                std::chrono::microseconds pause = {}) {
    ServingProgram program;
    std::vector<double> micros;
    micros.reserve(kCommands);
    for (auto _ : state) {
        const std::string line = nextLine(micros.size());
        if (pause.count() > 0) {
            std::this_thread::sleep_for(pause);
        }
        const auto t0 = std::chrono::steady_clock::now();
        const std::string reply = program.exchange(line);
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - t0;
        if (reply != expected) {
            state.SkipWithError(("unexpected reply: " + reply).c_str());
            break;
        }
        state.SetIterationTime(took.count());
        micros.push_back(took.count() * 1e6);
    }
    std::sort(micros.begin(), micros.end());
    if (!micros.empty()) {
        state.counters["p50_us"] = micros[micros.size() / 2];
        state.counters["p99_us"] = micros[micros.size() * 99 / 100];
    }
}

void BM_IdnRoundTrip(benchmark::State& state) {
    roundTrips(
        state, [](std::size_t) { return std::string("*IDN?\n"); },
        "Orvane,Selvar Control,0," SELVAR_VERSION);
    state.counters["goal_p50_us"] = 100;
}

std::string nextGainCommand(std::size_t i) {
    return i % 2 ? "DUT1:GAIN:LEFT -10.5;*OPC?\n" : "DUT1:GAIN:LEFT -10;*OPC?\n";
}

// Each command moves the slider (alternating values), so it causes the operator's two gain
// frames of 101 accesses: 202 us on the bus. Back to back, the simulated port's pacing absorbs
// the time between frames (under 50 us) into its access period, as it does for any caller.
void BM_GainCommandRoundTrip(benchmark::State& state) {
    roundTrips(state, nextGainCommand, "1");
    state.counters["bus_us"] = 202;
    state.counters["goal_us"] = 202 * 1.3;
}

// With a pause longer than the pacing's idle limit before each command, the pacing starts
// afresh: the round trip is the frames' full bus time plus all of the remote path.
void BM_GainCommandAfterPause(benchmark::State& state) {
    roundTrips(state, nextGainCommand, "1", std::chrono::microseconds(200));
    state.counters["bus_us"] = 202;
    state.counters["goal_us"] = 202 * 1.3;
}

}  // namespace

BENCHMARK(BM_IdnRoundTrip)->Iterations(kCommands)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_GainCommandRoundTrip)
    ->Iterations(kCommands)
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_GainCommandAfterPause)
    ->Iterations(kCommands)
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond);
