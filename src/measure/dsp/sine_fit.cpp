// SPDX-License-Identifier: GPL-3.0-or-later
#include "measure/dsp/sine_fit.h"

#include <array>
#include <cmath>
#include <numbers>
#include <optional>
#include <utility>

namespace selvar::dsp {

namespace {

constexpr double kTwoPi = 2.0 * std::numbers::pi;
constexpr int kMaxIterations = 40;

template <std::size_t K>
using Vector = std::array<double, K>;
template <std::size_t K>
using Matrix = std::array<Vector<K>, K>;

// Gaussian elimination with partial pivoting; nullopt for a singular system.
template <std::size_t K>
std::optional<Vector<K>> solve(Matrix<K> a, Vector<K> b) {
    for (std::size_t col = 0; col < K; ++col) {
        std::size_t pivot = col;
        for (std::size_t r = col + 1; r < K; ++r) {
            if (std::abs(a[r][col]) > std::abs(a[pivot][col])) {
                pivot = r;
            }
        }
        if (std::abs(a[pivot][col]) < 1e-300) {
            return std::nullopt;
        }
        std::swap(a[col], a[pivot]);
        std::swap(b[col], b[pivot]);
        for (std::size_t r = col + 1; r < K; ++r) {
            const double f = a[r][col] / a[col][col];
            for (std::size_t c = col; c < K; ++c) {
                a[r][c] -= f * a[col][c];
            }
            b[r] -= f * b[col];
        }
    }
    Vector<K> x{};
    for (std::size_t i = K; i-- > 0;) {
        double s = b[i];
        for (std::size_t c = i + 1; c < K; ++c) {
            s -= a[i][c] * x[c];
        }
        x[i] = s / a[i][i];
    }
    return x;
}

// Calls f(n, t, cos ωt, sin ωt) for every frame, with t = n - centre so that the normal
// equations stay well conditioned. A rotation recurrence, restarted exactly every 1024 frames,
// saves two library calls per frame and keeps the error near double precision.
template <typename F>
void forEachPhase(std::size_t frames, double omega, F&& f) {
    const double centre = 0.5 * static_cast<double>(frames - 1);
    const double stepCos = std::cos(omega), stepSin = std::sin(omega);
    double c = 0.0, s = 0.0;
    for (std::size_t n = 0; n < frames; ++n) {
        const double t = static_cast<double>(n) - centre;
        if (n % 1024 == 0) {
            c = std::cos(omega * t);
            s = std::sin(omega * t);
        }
        f(n, t, c, s);
        const double next = c * stepCos - s * stepSin;
        s = s * stepCos + c * stepSin;
        c = next;
    }
}

// Least squares for x ≈ a·cos ωt + b·sin ωt + c [+ d·(t/N)·(b·cos ωt - a·sin ωt)]: the last
// column, present when K is 4, is the model's derivative in ω (scaled by N), given the current
// a and b; d is then the frequency correction in radians per block.
template <std::size_t K>
std::optional<Vector<K>> normalSolve(std::span<const float> x, double omega, double a, double b) {
    Matrix<K> ata{};
    Vector<K> atx{};
    const double scale = 1.0 / static_cast<double>(x.size());
    forEachPhase(x.size(), omega, [&](std::size_t n, double t, double c, double s) {
        Vector<K> g{};
        g[0] = c;
        g[1] = s;
        g[2] = 1.0;
        if constexpr (K == 4) {
            g[3] = t * scale * (b * c - a * s);
        }
        for (std::size_t i = 0; i < K; ++i) {
            for (std::size_t j = i; j < K; ++j) {
                ata[i][j] += g[i] * g[j];
            }
            atx[i] += g[i] * static_cast<double>(x[n]);
        }
    });
    for (std::size_t i = 1; i < K; ++i) {
        for (std::size_t j = 0; j < i; ++j) {
            ata[i][j] = ata[j][i];
        }
    }
    return solve<K>(ata, atx);
}

SineFit toFit(std::span<const float> x, double sampleRate, double omega, const Vector<3>& abc) {
    SineFit fit;
    fit.amplitude = std::hypot(abc[0], abc[1]);
    fit.offset = abc[2];
    fit.frequencyHz = omega * sampleRate / kTwoPi;
    const double centre = 0.5 * static_cast<double>(x.size() - 1);
    fit.phaseRad = std::remainder(std::atan2(abc[0], abc[1]) - omega * centre, kTwoPi);
    double sumSquares = 0.0;
    forEachPhase(x.size(), omega, [&](std::size_t n, double, double c, double s) {
        const double e = static_cast<double>(x[n]) - (abc[0] * c + abc[1] * s + abc[2]);
        sumSquares += e * e;
    });
    fit.residualRms = std::sqrt(sumSquares / static_cast<double>(x.size()));
    return fit;
}

}  // namespace

double SineFit::valueAt(double frame, double sampleRate) const {
    return amplitude * std::sin(kTwoPi * frequencyHz * frame / sampleRate + phaseRad) + offset;
}

SineFit fitSineAt(std::span<const float> samples, double sampleRate, double frequencyHz) {
    const double omega = kTwoPi * frequencyHz / sampleRate;
    if (samples.size() < 4) {
        return SineFit{.frequencyHz = frequencyHz, .converged = false};
    }
    const auto abc = normalSolve<3>(samples, omega, 0.0, 0.0);
    if (!abc) {
        return SineFit{.frequencyHz = frequencyHz, .converged = false};
    }
    return toFit(samples, sampleRate, omega, *abc);
}

SineFit fitSine(std::span<const float> samples, double sampleRate, double startHz) {
    const double frames = static_cast<double>(samples.size());
    const double startOmega = kTwoPi * startHz / sampleRate;
    double omega = startOmega;
    auto abc = samples.size() < 8 ? std::nullopt : normalSolve<3>(samples, omega, 0.0, 0.0);
    for (int i = 0; abc && i < kMaxIterations; ++i) {
        // A Gauss-Newton step: a and b at the current frequency, and its correction.
        const auto step = normalSolve<4>(samples, omega, (*abc)[0], (*abc)[1]);
        if (!step) {
            break;
        }
        omega += (*step)[3] / frames;
        if (std::abs(omega - startOmega) * frames > 2.0 * kTwoPi) {
            break;  // wandered more than two bins: no tone near the start
        }
        abc = Vector<3>{(*step)[0], (*step)[1], (*step)[2]};
        // A last correction this small moves the phase across the block by under a
        // microradian, and the level by far less than a microdecibel.
        if (std::abs((*step)[3]) < 1e-6) {  // radians over the whole block
            return toFit(samples, sampleRate, omega, *abc);
        }
    }
    SineFit fallback = fitSineAt(samples, sampleRate, startHz);
    fallback.converged = false;
    return fallback;
}

std::vector<double> fitResidual(std::span<const float> samples, double sampleRate,
                                const SineFit& fit) {
    std::vector<double> out(samples.size());
    for (std::size_t n = 0; n < samples.size(); ++n) {
        out[n] = static_cast<double>(samples[n]) - fit.valueAt(static_cast<double>(n), sampleRate);
    }
    return out;
}

}  // namespace selvar::dsp
