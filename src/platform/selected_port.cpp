#include "platform/selected_port.h"

#include "platform/port_register.h"

namespace selvar::platform {

namespace {

// What a PC whose port is empty gives: writes go nowhere, the data lines float high.
class AbsentPort final : public PortIo {
  public:
    std::uint8_t read(std::uint16_t) override { return 0xFF; }
    void write(std::uint16_t, std::uint8_t) override {}
};

PortIo& absentPort() {
    static AbsentPort port;  // stateless
    return port;
}

// Passes each access on to the port behind it and reports it once performed.
class TracingPort final : public PortIo {
  public:
    TracingPort(AccessObserver& observer, PortIo& port) : observer_(observer), port_(port) {}
    std::uint8_t read(std::uint16_t address) override {
        const std::uint8_t value = port_.read(address);
        observer_.onRead(address, value);
        return value;
    }
    void write(std::uint16_t address, std::uint8_t value) override {
        port_.write(address, value);
        observer_.onWrite(address, value);
    }

  private:
    AccessObserver& observer_;
    PortIo& port_;
};

}  // namespace

SelectedPort::SelectedPort(PortProvider& provider, FailureReporter reportFailure,
                           AccessObserver* observer)
    : provider_(provider),
      reportFailure_(std::move(reportFailure)),
      observer_(observer),
      io_(&absentPort()) {
    connect();
}

SelectedPort::~SelectedPort() = default;

void SelectedPort::select(int lpt, std::uint16_t base) {
    backend_.reset();  // release the previous port before claiming another
    connect();
    base_ = base;
    guardBase_ = base;
    if (observer_) {
        observer_->onPortSelected(base);
    }
    PortProvider::Opened opened = provider_.open(lpt, base);
    backend_ = std::move(opened.io);
    connect();
    if (!backend_ && reportFailure_) {
        reportFailure_(opened.error);
    }
}

// Accesses go to the backend, or to the empty port when there is none, through the tracer
// when someone observes them; without an observer nothing sits in between.
void SelectedPort::connect() {
    PortIo& port = backend_ ? *backend_ : absentPort();
    if (observer_) {
        tracer_ = std::make_unique<TracingPort>(*observer_, port);
        io_ = tracer_.get();
    } else {
        io_ = &port;
    }
}

bool SelectedPort::present() const {
    return backend_ != nullptr;
}

std::uint16_t SelectedPort::base() const {
    return base_;
}

void SelectedPort::refuse(std::uint16_t address) const {
    refuseAccess(address, guardBase_ == kNothingSelected ? "no port is selected"
                                                         : "outside the selected port");
}

}  // namespace selvar::platform
