#pragma once

#include <cstdint>
#include <ostream>
#include <vector>

#include "platform/selected_port.h"

namespace selvar::testing {

// One port access as the program made it.
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

// Records every access a SelectedPort performs, in order.
class TrafficRecorder : public platform::AccessObserver {
  public:
    void onRead(std::uint16_t address, std::uint8_t value) override {
        accesses.push_back({'R', address, value});
    }
    void onWrite(std::uint16_t address, std::uint8_t value) override {
        accesses.push_back({'W', address, value});
    }
    std::vector<Access> accesses;
};

}  // namespace selvar::testing
