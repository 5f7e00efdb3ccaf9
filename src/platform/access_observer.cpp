// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/access_observer.h"

#include <algorithm>
#include <stdexcept>

namespace selvar::platform {

bool ObserverList::contains(const AccessObserver& observer) const {
    const auto end = list_.begin() + static_cast<std::ptrdiff_t>(count_);
    return std::find(list_.begin(), end, &observer) != end;
}

void ObserverList::add(AccessObserver& observer) {
    list_[count_++] = &observer;
}

void ObserverList::remove(AccessObserver& observer) {
    const auto end = list_.begin() + static_cast<std::ptrdiff_t>(count_);
    const auto found = std::find(list_.begin(), end, &observer);
    if (found == end) {
        return;
    }
    // Keeps the order of the rest: observers hear of an access in the order they attached.
    std::copy(found + 1, end, found);
    list_[--count_] = nullptr;
}

void AccessObservers::attach(AccessObserver& observer) {
    if (all_.contains(observer)) {
        return;
    }
    if (all_.size() == kCapacity) {
        throw std::length_error("too many port observers");
    }
    all_.add(observer);
    (observer.takesFrames() ? framewise_ : stepwise_).add(observer);
}

void AccessObservers::detach(AccessObserver& observer) {
    all_.remove(observer);
    stepwise_.remove(observer);
    framewise_.remove(observer);
}

}  // namespace selvar::platform
