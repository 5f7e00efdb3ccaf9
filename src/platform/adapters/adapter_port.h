// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <string>

#include "platform/pacer.h"
#include "platform/port_io.h"

namespace selvar::platform {

// What the adapters share: they stand in for a parallel port's three registers. The data
// register is a latch whose value drives the output pins; a status read samples the read-back
// line and shows it as a parallel port's status register would (so the chip link reads it the
// same); the control register drives nothing and only keeps its value. Reading the latch costs
// no device traffic. Waits last as long as the parallel port's reads would, by the clock.
class AdapterPort : public PortIo {
  public:
    explicit AdapterPort(std::uint16_t base, Clock& clock = steadyClock())
        : base_(base), clock_(clock) {}

    std::uint8_t read(std::uint16_t address) final;
    void write(std::uint16_t address, std::uint8_t value) final;
    bool runsBatches() const final { return true; }
    bool waitsByClock() const final { return true; }
    void wait(std::uint16_t address, long reads, const std::atomic<bool>* stop) final;

    // How long one parallel-port access takes, which the chips' timing and the ramp rely on.
    static constexpr long kAccessNs = 1000;

  protected:
    // Puts the output pins at the levels of a data-register value.
    virtual void drive(std::uint8_t dataRegister) = 0;
    // The read-back line's level now.
    virtual bool sampleReadBack() = 0;

    void setLatch(std::uint8_t value) { latch_ = value; }

  private:
    std::uint16_t base_;
    Clock& clock_;            // what waits go by
    std::uint8_t latch_ = 0;  // a parallel port's data latch powers up at 0
    std::uint8_t control_ = 0;
};

// "LPTn: <what>: <why>. <fix>" - as a parallel port's open failure says it.
std::string adapterFailure(int lpt, const std::string& what, const std::string& why,
                           const std::string& fix);

}  // namespace selvar::platform
