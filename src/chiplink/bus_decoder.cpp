// SPDX-License-Identifier: GPL-3.0-or-later
#include "chiplink/bus_decoder.h"

namespace selvar::chiplink {

namespace {

// Keeps the one event an access completes, for callers that feed accesses one at a time.
struct LastEvent {
    std::optional<BusEvent> event;
    void access(std::uint8_t, bool) {}
    void frameStarted() {}
    void frameEnded(const BusEvent& e) { event = e; }
    void pin(const BusEvent& e) { event = e; }
};

}  // namespace

void BusDecoder::portSelected(std::uint16_t base) {
    state_.base = base;
    state_.lastWasDataRead = false;
    state_.pendingPin = false;
}

std::optional<BusEvent> BusDecoder::read(std::uint16_t address, std::uint8_t value) {
    LastEvent last;
    state_.read(address, value, last);
    return last.event;
}

std::optional<BusEvent> BusDecoder::write(std::uint16_t address, std::uint8_t value) {
    LastEvent last;
    state_.write(address, value, last);
    return last.event;
}

std::optional<BusEvent> BusDecoder::finish() {
    LastEvent last;
    if (state_.pendingPin) {
        state_.pendingPin = false;
        last.pin(eventAtLevel(BusEvent::Kind::Pin, state_.pendingLevel));
    }
    return last.event;
}

}  // namespace selvar::chiplink
