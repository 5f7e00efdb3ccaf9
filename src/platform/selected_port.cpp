#include "platform/selected_port.h"

#include "platform/port_register.h"

namespace selvar::platform {

namespace {
// What an empty PC port gives back: the data lines float high.
constexpr std::uint8_t kAbsentRead = 0xFF;
}  // namespace

SelectedPort::SelectedPort(PortProvider& provider, FailureReporter reportFailure,
                           AccessObserver* observer)
    : provider_(provider), reportFailure_(std::move(reportFailure)), observer_(observer) {}

SelectedPort::~SelectedPort() = default;

void SelectedPort::select(int lpt, std::uint16_t base) {
    backend_.reset();  // release the previous port before claiming another
    base_ = base;
    selected_ = true;
    if (observer_) {
        observer_->onPortSelected(base);
    }
    PortProvider::Opened opened = provider_.open(lpt, base);
    backend_ = std::move(opened.io);
    if (!backend_ && reportFailure_) {
        reportFailure_(opened.error);
    }
}

bool SelectedPort::present() const {
    return backend_ != nullptr;
}

std::uint16_t SelectedPort::base() const {
    return base_;
}

void SelectedPort::guard(std::uint16_t address) const {
    if (!selected_) {
        refuseAccess(address, "no port is selected");
    }
    registerOffset(base_, address);
}

std::uint8_t SelectedPort::read(std::uint16_t address) {
    guard(address);
    const std::uint8_t value = backend_ ? backend_->read(address) : kAbsentRead;
    if (observer_) {
        observer_->onRead(address, value);
    }
    return value;
}

void SelectedPort::write(std::uint16_t address, std::uint8_t value) {
    guard(address);
    if (backend_) {
        backend_->write(address, value);
    }
    if (observer_) {
        observer_->onWrite(address, value);
    }
}

}  // namespace selvar::platform
