#include "platform/access_observer.h"

#include <algorithm>
#include <stdexcept>

namespace selvar::platform {

void AccessObservers::attach(AccessObserver& observer) {
    const auto end = list_.begin() + static_cast<std::ptrdiff_t>(count_);
    if (std::find(list_.begin(), end, &observer) != end) {
        return;
    }
    if (count_ == kCapacity) {
        throw std::length_error("too many port observers");
    }
    list_[count_++] = &observer;
}

void AccessObservers::detach(AccessObserver& observer) {
    const auto end = list_.begin() + static_cast<std::ptrdiff_t>(count_);
    const auto found = std::find(list_.begin(), end, &observer);
    if (found == end) {
        return;
    }
    // Keeps the order of the rest: observers hear of an access in the order they attached.
    std::copy(found + 1, end, found);
    list_[--count_] = nullptr;
}

}  // namespace selvar::platform
