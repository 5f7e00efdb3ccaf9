#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace selvar::platform {

// Receives every port access that was performed: the trace files, the bus monitor, tests.
class AccessObserver {
  public:
    virtual ~AccessObserver() = default;
    // A port was selected: later accesses address base, base + 1 and base + 2.
    virtual void onPortSelected(std::uint16_t /*base*/) {}
    virtual void onRead(std::uint16_t address, std::uint8_t value) = 0;
    virtual void onWrite(std::uint16_t address, std::uint8_t value) = 0;
};

// The observers of one port, attached and detached while the program runs. A fixed table of
// pointers: telling them of an access allocates nothing and takes no lock (every access, and
// every attach and detach, happens on the one thread that owns the port). Observers must not
// attach or detach from inside a notification.
class AccessObservers {
  public:
    static constexpr std::size_t kCapacity = 8;

    // Throws std::length_error when the table is full; attaching one already attached does
    // nothing.
    void attach(AccessObserver& observer);
    // Detaching one that is not attached does nothing.
    void detach(AccessObserver& observer);

    bool empty() const { return count_ == 0; }
    std::size_t size() const { return count_; }

    void portSelected(std::uint16_t base) const {
        for (std::size_t i = 0; i < count_; ++i) {
            list_[i]->onPortSelected(base);
        }
    }
    void read(std::uint16_t address, std::uint8_t value) const {
        for (std::size_t i = 0; i < count_; ++i) {
            list_[i]->onRead(address, value);
        }
    }
    void write(std::uint16_t address, std::uint8_t value) const {
        for (std::size_t i = 0; i < count_; ++i) {
            list_[i]->onWrite(address, value);
        }
    }

  private:
    std::array<AccessObserver*, kCapacity> list_{};
    std::size_t count_ = 0;
};

// Attaches an observer for its own lifetime: detached when the attachment goes, even when the
// scope that made it is left by an exception.
class ObserverAttachment {
  public:
    ObserverAttachment() = default;
    ObserverAttachment(AccessObservers& observers, AccessObserver& observer)
        : observers_(&observers), observer_(&observer) {
        observers.attach(observer);
    }
    ~ObserverAttachment() { reset(); }
    ObserverAttachment(ObserverAttachment&& other) noexcept
        : observers_(other.observers_), observer_(other.observer_) {
        other.observers_ = nullptr;
    }
    ObserverAttachment& operator=(ObserverAttachment&& other) noexcept {
        if (this != &other) {
            reset();
            observers_ = other.observers_;
            observer_ = other.observer_;
            other.observers_ = nullptr;
        }
        return *this;
    }
    ObserverAttachment(const ObserverAttachment&) = delete;
    ObserverAttachment& operator=(const ObserverAttachment&) = delete;

    void reset() {
        if (observers_) {
            observers_->detach(*observer_);
            observers_ = nullptr;
        }
    }

  private:
    AccessObservers* observers_ = nullptr;
    AccessObserver* observer_ = nullptr;
};

}  // namespace selvar::platform
