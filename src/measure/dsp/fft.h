// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <fftw3.h>

#include <complex>
#include <cstddef>
#include <map>
#include <memory>
#include <span>
#include <type_traits>
#include <vector>

namespace selvar::dsp {

// Thread safety: FFTW's planner is not thread-safe. Making or destroying a plan must never
// overlap with another thread doing the same anywhere in the process, whoever owns the plan.
// Executing a plan that exists is safe. The program therefore keeps one FftCache per
// measurement, used by the one thread that runs it; nothing here plans at start-up.

namespace detail {
struct FftwFree {
    void operator()(void* memory) const noexcept { fftw_free(memory); }
};
struct FftwPlanDestroy {
    void operator()(fftw_plan plan) const noexcept { fftw_destroy_plan(plan); }
};
using PlanHandle = std::unique_ptr<std::remove_pointer_t<fftw_plan>, FftwPlanDestroy>;
template <typename T>
using FftwArray = std::unique_ptr<T[], FftwFree>;
}  // namespace detail

// A real-to-complex transform of one size over buffers of its own (FFTW's aligned memory).
// Move-only: the plan and its buffers have one owner.
class ForwardFft {
  public:
    explicit ForwardFft(std::size_t size);

    std::size_t size() const { return size_; }
    // size() samples to fill before execute().
    std::span<double> input() { return {in_.get(), size_}; }
    // size()/2 + 1 unnormalised bins, valid until the next execute().
    std::span<const std::complex<double>> execute();

  private:
    std::size_t size_;
    detail::FftwArray<double> in_;
    detail::FftwArray<fftw_complex> out_;
    detail::PlanHandle plan_;  // last, so that it goes before the buffers it points into
};

// The complex-to-real inverse, unnormalised (a round trip scales by size()).
class InverseFft {
  public:
    explicit InverseFft(std::size_t size);

    std::size_t size() const { return size_; }
    // size()/2 + 1 bins to fill before execute(); execute() overwrites them.
    std::span<std::complex<double>> input();
    std::span<const double> execute();

  private:
    std::size_t size_;
    detail::FftwArray<fftw_complex> in_;
    detail::FftwArray<double> out_;
    detail::PlanHandle plan_;
};

// Plans and Blackman-Harris windows by size, each made the first time a size is asked for.
class FftCache {
  public:
    ForwardFft& forward(std::size_t size);
    InverseFft& inverse(std::size_t size);
    // The four-term Blackman-Harris window (-92 dB sidelobes), periodic form.
    const std::vector<double>& blackmanHarris(std::size_t size);

  private:
    std::map<std::size_t, ForwardFft> forward_;
    std::map<std::size_t, InverseFft> inverse_;
    std::map<std::size_t, std::vector<double>> windows_;
};

// The smallest size >= n with no prime factor above 5, where FFTW is fastest.
std::size_t goodFftSize(std::size_t n);

}  // namespace selvar::dsp
