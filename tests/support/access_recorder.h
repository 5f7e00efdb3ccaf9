// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// One port access as the program made it, a recorder that keeps them all, and the bus they
// add up to, told by the program's own decoder: what every traffic test compares.

#include <cstdint>
#include <cstdio>
#include <ostream>
#include <string>
#include <vector>

#include "chiplink/bus_decoder.h"
#include "platform/access_observer.h"

namespace selvar::testing {

struct Access {
    char kind;  // 'R' or 'W'
    std::uint16_t address;
    std::uint8_t value;
    bool operator==(const Access&) const = default;
};

inline std::ostream& operator<<(std::ostream& os, const Access& a) {
    return os << a.kind << ' ' << std::hex << a.address << ' ' << static_cast<unsigned>(a.value)
              << std::dec;
}

// Every access performed, in order, and the base of the port selected last.
class AccessRecorder : public platform::AccessObserver {
  public:
    void onPortSelected(std::uint16_t selected) override { base = selected; }
    void onRead(std::uint16_t address, std::uint8_t value) override {
        accesses.push_back({'R', address, value});
    }
    void onWrite(std::uint16_t address, std::uint8_t value) override {
        accesses.push_back({'W', address, value});
    }

    // As the access log file writes them: "W 379 00".
    std::vector<std::string> lines() const {
        std::vector<std::string> out;
        for (const Access& a : accesses) {
            char line[16];
            std::snprintf(line, sizeof line, "%c %03x %02x", a.kind, a.address, a.value);
            out.emplace_back(line);
        }
        return out;
    }
    long count(char kind, std::uint16_t address) const {
        long n = 0;
        for (const Access& a : accesses) {
            n += a.kind == kind && a.address == address;
        }
        return n;
    }

    std::uint16_t base = 0;
    std::vector<Access> accesses;
};

// The events the accesses make on the bus of the port at base.
inline std::vector<chiplink::BusEvent> decodeBus(const std::vector<Access>& accesses,
                                                 std::uint16_t base) {
    chiplink::BusDecoder decoder;
    decoder.portSelected(base);
    std::vector<chiplink::BusEvent> events;
    for (const Access& a : accesses) {
        auto e =
            a.kind == 'R' ? decoder.read(a.address, a.value) : decoder.write(a.address, a.value);
        if (e) {
            events.push_back(*e);
        }
    }
    if (auto e = decoder.finish()) {
        events.push_back(*e);
    }
    return events;
}

// The same events as short texts, for tables of expected traffic:
//   "pin zcd=Z mute=M"    a line operation and the ZCD and MUTE levels it left
//   "send DUT2 DUT1"      a gain-word frame; the last 32 bits clocked in, as hex words
//   "readback DUT2 DUT1"  the same for a frame that sampled the read-back line
inline std::vector<std::string> busEvents(const std::vector<Access>& accesses, std::uint16_t base) {
    std::vector<std::string> texts;
    for (const chiplink::BusEvent& e : decodeBus(accesses, base)) {
        char text[48];
        if (e.kind == chiplink::BusEvent::Kind::Pin) {
            std::snprintf(text, sizeof text, "pin zcd=%d mute=%d", e.zcdHigh, e.muteHigh);
        } else {
            std::snprintf(text, sizeof text, "%s %04x %04x",
                          e.kind == chiplink::BusEvent::Kind::Gain ? "send" : "readback",
                          e.dut2Word, e.dut1Word);
        }
        texts.emplace_back(text);
    }
    return texts;
}

}  // namespace selvar::testing
