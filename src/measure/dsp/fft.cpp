// SPDX-License-Identifier: GPL-3.0-or-later
#include "measure/dsp/fft.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <numbers>
#include <stdexcept>

namespace selvar::dsp {

namespace {

template <typename T>
detail::FftwArray<T> allocate(std::size_t count) {
    detail::FftwArray<T> memory(static_cast<T*>(fftw_malloc(sizeof(T) * count)));
    if (!memory) {
        throw std::bad_alloc();
    }
    return memory;
}

detail::PlanHandle checked(fftw_plan plan) {
    if (plan == nullptr) {
        throw std::runtime_error("FFTW could not plan a transform");
    }
    return detail::PlanHandle(plan);
}

int planSize(std::size_t size) {
    if (size < 2 || size > (1U << 30)) {
        throw std::invalid_argument("FFT size out of range");
    }
    return static_cast<int>(size);
}

}  // namespace

// FFTW_ESTIMATE: planning by measurement would cost tens of milliseconds on first use and make
// the plan, and so the last bits of every result, depend on the machine's timing.
ForwardFft::ForwardFft(std::size_t size)
    : size_(size), in_(allocate<double>(size)), out_(allocate<fftw_complex>(size / 2 + 1)) {
    plan_ = checked(fftw_plan_dft_r2c_1d(planSize(size), in_.get(), out_.get(), FFTW_ESTIMATE));
}

std::span<const std::complex<double>> ForwardFft::execute() {
    fftw_execute(plan_.get());
    // FFTW documents fftw_complex as layout-compatible with std::complex<double>.
    return {reinterpret_cast<const std::complex<double>*>(out_.get()), size_ / 2 + 1};
}

InverseFft::InverseFft(std::size_t size)
    : size_(size), in_(allocate<fftw_complex>(size / 2 + 1)), out_(allocate<double>(size)) {
    plan_ = checked(fftw_plan_dft_c2r_1d(planSize(size), in_.get(), out_.get(), FFTW_ESTIMATE));
}

std::span<std::complex<double>> InverseFft::input() {
    return {reinterpret_cast<std::complex<double>*>(in_.get()), size_ / 2 + 1};
}

std::span<const double> InverseFft::execute() {
    fftw_execute(plan_.get());
    return {out_.get(), size_};
}

ForwardFft& FftCache::forward(std::size_t size) {
    auto found = forward_.find(size);
    if (found == forward_.end()) {
        found = forward_.emplace(size, ForwardFft(size)).first;
    }
    return found->second;
}

InverseFft& FftCache::inverse(std::size_t size) {
    auto found = inverse_.find(size);
    if (found == inverse_.end()) {
        found = inverse_.emplace(size, InverseFft(size)).first;
    }
    return found->second;
}

const std::vector<double>& FftCache::blackmanHarris(std::size_t size) {
    auto found = windows_.find(size);
    if (found != windows_.end()) {
        return found->second;
    }
    constexpr double a0 = 0.35875, a1 = 0.48829, a2 = 0.14128, a3 = 0.01168;
    std::vector<double> window(size);
    const double step = 2.0 * std::numbers::pi / static_cast<double>(size);
    for (std::size_t n = 0; n < size; ++n) {
        const double x = step * static_cast<double>(n);
        window[n] = a0 - a1 * std::cos(x) + a2 * std::cos(2 * x) - a3 * std::cos(3 * x);
    }
    return windows_.emplace(size, std::move(window)).first->second;
}

std::size_t goodFftSize(std::size_t n) {
    for (std::size_t candidate = std::max<std::size_t>(n, 2);; ++candidate) {
        std::size_t rest = candidate;
        for (const std::size_t factor : {2U, 3U, 5U}) {
            while (rest % factor == 0) {
                rest /= factor;
            }
        }
        if (rest == 1) {
            return candidate;
        }
    }
}

}  // namespace selvar::dsp
