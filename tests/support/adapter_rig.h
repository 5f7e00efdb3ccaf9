// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The chip link on the selected port, with LPT1 carried by a parallel port or by an adapter
// double, the same simulated boards behind either: what the adapter tests and the adapter
// benchmark both build.

#include <array>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "access_recorder.h"
#include "adapter_doubles.h"
#include "chiplink/mod_selvar_hw.h"
#include "platform/adapters/adapter_provider.h"
#include "platform/pacer.h"
#include "platform/sim_board.h"

namespace selvar::testing {

using chiplink::modSelvarHw;
using platform::AdapterConfig;
using platform::AdapterPins;
using platform::AdapterPortProvider;
using platform::Pacer;
using platform::PortIo;
using platform::PortProvider;
using platform::SelectedPort;
using platform::SimBoard;

// How LPT1 reaches the simulated boards: a parallel port, or an adapter given as on the
// command line (empty: the parallel port).
struct Carrier {
    const char* where;
    FakeFtdi::Setup ftdi{};
};

// The chip link over the selected port, LPT1 carried as given, every access recorded.
struct AdapterRig {
    // parallelAccessNs paces the parallel port (0: unpaced), as a real one takes its time.
    AdapterRig(const Carrier& carrier, int chips, std::int64_t parallelAccessNs = 0)
        : board({chips, true, 0}), gpio(board, pins(carrier), count) {
        masks.buildBitMasks();
        std::array<std::optional<AdapterConfig>, 3> adapters;
        if (*carrier.where) {
            std::string error;
            adapters[0] = platform::parseAdapterConfig(carrier.where, error);
            if (!adapters[0]) {
                failures.push_back(error);
            }
        }
        const AdapterPins p = pins(carrier);
        provider = std::make_unique<AdapterPortProvider>(
            adapters, std::make_unique<ParallelView>(board, parallelAccessNs),
            [this, p, setup = carrier.ftdi] {
                return std::make_unique<FakeFtdi>(board, p, setup, count);
            },
            gpio);
        port = std::make_unique<SelectedPort>(
            *provider, [this](const std::string& m) { failures.push_back(m); }, &traffic);
        hw = std::make_unique<modSelvarHw>(*port, masks);
    }
    static AdapterPins pins(const Carrier& c) {
        std::string error;
        const auto config = *c.where ? platform::parseAdapterConfig(c.where, error) : std::nullopt;
        return config ? config->pins : platform::kFtdiDefaultPins;
    }
    // A parallel port with the same board behind it.
    struct ParallelView : PortProvider {
        ParallelView(SimBoard& b, std::int64_t accessNs) : board(b), pacer(accessNs) {}
        Opened open(int, std::uint16_t base) override {
            struct View : PortIo {
                View(ParallelView& p, std::uint16_t a) : port(p), base(a) {}
                std::uint8_t read(std::uint16_t a) override {
                    port.pacer.pace();
                    return port.board.readRegister(a - base);
                }
                void write(std::uint16_t a, std::uint8_t v) override {
                    port.pacer.pace();
                    port.board.writeRegister(a - base, v);
                }
                ParallelView& port;
                std::uint16_t base;
            };
            return {std::make_unique<View>(*this, base), {}};
        }
        SimBoard& board;
        Pacer pacer;
    };

    SimBoard board;
    SeamCount count;
    FakeGpio gpio;
    AccessRecorder traffic;
    std::vector<std::string> failures;
    chiplink::BitMaskTable masks;
    std::unique_ptr<PortProvider> provider;
    std::unique_ptr<SelectedPort> port;
    std::unique_ptr<modSelvarHw> hw;
};

}  // namespace selvar::testing
