// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstdint>
#include <stdexcept>
#include <string>

namespace selvar::chiplink {

namespace detail {

struct BitMasks {
    static constexpr int kSize = 16;
    std::array<std::int32_t, kSize> mask{};
    std::array<std::int32_t, kSize> inverse{};
    bool built = false;
};

constexpr BitMasks makeBitMasks() {
    BitMasks m;
    for (int i = 0; i < BitMasks::kSize; ++i) {
        m.mask[i] = std::int32_t{1} << i;
        m.inverse[i] = ~m.mask[i];
    }
    m.built = true;
    return m;
}

}  // namespace detail

// The bit-mask table every line change uses: bitMask(i) = 2^i and bitMaskInv(i) its
// complement, i = 0..15. It is built once, as the first step of start-up; until then it refuses
// to be read, so no line operation can run on masks that are not there.
class BitMaskTable {
  public:
    static constexpr int kSize = detail::BitMasks::kSize;

    // Fills both tables; makes no port access.
    void buildBitMasks() { masks_ = kBuilt; }
    bool built() const { return masks_.built; }

    std::int32_t bitMask(int i) const { return table().mask[index(i)]; }
    std::int32_t bitMaskInv(int i) const { return table().inverse[index(i)]; }

  private:
    static constexpr detail::BitMasks kBuilt = detail::makeBitMasks();

    const detail::BitMasks& table() const {
        if (!masks_.built) {
            throw std::logic_error("bit-mask table read before buildBitMasks");
        }
        return masks_;
    }
    static std::size_t index(int i) {
        if (i < 0 || i >= kSize) {
            throw std::out_of_range("bit-mask table has no entry " + std::to_string(i));
        }
        return static_cast<std::size_t>(i);
    }

    detail::BitMasks masks_;
};

}  // namespace selvar::chiplink
