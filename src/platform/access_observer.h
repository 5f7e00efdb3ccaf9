// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace selvar::platform {

class BusBatch;

// Receives every port access that was performed: the trace files, the bus monitor, tests.
class AccessObserver {
  public:
    virtual ~AccessObserver() = default;
    // A port was selected: later accesses address base, base + 1 and base + 2.
    virtual void onPortSelected(std::uint16_t /*base*/) {}
    virtual void onRead(std::uint16_t address, std::uint8_t value) = 0;
    virtual void onWrite(std::uint16_t address, std::uint8_t value) = 0;

    // An observer that takes frames whole hears a batch's accesses through one onFrame, after
    // the batch ran (its results filled in), instead of one call per access: a frame is a
    // hundred accesses, and a call each costs as much as the access on a fast port. It is told
    // when the frame begins, so that it can time it. Asked once, when it is attached.
    virtual bool takesFrames() const { return false; }
    virtual void onFrameBegin() {}
    virtual void onFrame(std::uint16_t /*base*/, const BusBatch& /*batch*/) {}
    // And a wait's `count` reads of one register in a row that all gave `value`, told after
    // them, onFrameBegin before them.
    virtual void onRepeatedRead(std::uint16_t address, std::uint8_t value, long count) {
        for (long i = 0; i < count; ++i) {
            onRead(address, value);
        }
    }
};

// Some of a port's observers, in the order they attached. A fixed table of pointers: telling
// them of an access allocates nothing and takes no lock.
class ObserverList {
  public:
    static constexpr std::size_t kCapacity = 8;

    bool empty() const { return count_ == 0; }
    std::size_t size() const { return count_; }
    bool contains(const AccessObserver& observer) const;

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
    template <class Call>
    void each(Call call) const {
        for (std::size_t i = 0; i < count_; ++i) {
            call(*list_[i]);
        }
    }

  private:
    friend class AccessObservers;
    void add(AccessObserver& observer);
    void remove(AccessObserver& observer);

    std::array<AccessObserver*, kCapacity> list_{};
    std::size_t count_ = 0;
};

// The observers of one port, attached and detached while the program runs (every access, and
// every attach and detach, happens on the one thread that owns the port). Observers must not
// attach or detach from inside a notification.
class AccessObservers {
  public:
    static constexpr std::size_t kCapacity = ObserverList::kCapacity;

    // Throws std::length_error when the table is full; attaching one already attached does
    // nothing.
    void attach(AccessObserver& observer);
    // Detaching one that is not attached does nothing.
    void detach(AccessObserver& observer);

    bool empty() const { return all_.empty(); }
    std::size_t size() const { return all_.size(); }

    // Every observer: accesses made one at a time.
    const ObserverList& all() const { return all_; }
    // Those that hear a frame's accesses one by one, and those that take it whole.
    const ObserverList& stepwise() const { return stepwise_; }
    const ObserverList& framewise() const { return framewise_; }

    void portSelected(std::uint16_t base) const {
        all_.each([base](AccessObserver& o) { o.onPortSelected(base); });
    }
    void read(std::uint16_t address, std::uint8_t value) const { all_.read(address, value); }
    void write(std::uint16_t address, std::uint8_t value) const { all_.write(address, value); }
    void frameBegin() const {
        framewise_.each([](AccessObserver& o) { o.onFrameBegin(); });
    }
    void frame(std::uint16_t base, const BusBatch& batch) const {
        framewise_.each([&](AccessObserver& o) { o.onFrame(base, batch); });
    }
    void repeatedRead(std::uint16_t address, std::uint8_t value, long count) const {
        framewise_.each([&](AccessObserver& o) { o.onRepeatedRead(address, value, count); });
    }

  private:
    ObserverList all_;
    ObserverList stepwise_;
    ObserverList framewise_;
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
