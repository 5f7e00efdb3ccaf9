// SPDX-License-Identifier: GPL-3.0-or-later
// The session's checks of mute depth, crosstalk and the zero-crossing detector.
#include <algorithm>
#include <cstdint>
#include <limits>

#include "measure/procedures/check_job.h"
#include "measure/procedures/crosstalk.h"
#include "measure/procedures/mute_depth.h"
#include "measure/procedures/session_state.h"
#include "measure/procedures/zcd_click.h"
#include "measure/procedures/zcd_timeout.h"

namespace selvar::measure {
namespace {

using control::PinLine;

// The phases of the ZCD checks' changes are drawn, but drawn the same each time, so that a
// check repeated on one board compares like with like.
constexpr std::uint64_t kPhaseSeed = 0x5e1a2cd;

// Code 0 dB less 20 dB, the step the ZCD checks make.
constexpr int kStepCodes = 40;
// How late a change may take effect: a 5 Hz tone's next crossing and then some. (The click
// check's changes wait 5 ms at most, which the timing follows through.)
constexpr double kTimeoutLateSeconds = 0.11;

// The card's own narrow-band floor for a block of `frames`, from its calibration.
double cardFloorDbfs(const std::optional<Calibration>& calibration, Channel channel,
                     double sampleRate, std::size_t frames) {
    if (!calibration) {
        return -std::numeric_limits<double>::infinity();
    }
    return narrowBandFloorDbfs(calibration->noiseDbfs[std::size_t(index(channel))], sampleRate,
                               double(frames));
}

std::vector<Gesture> codeGestures(const CodeSchedule& schedule) {
    std::vector<Gesture> gestures;
    for (const ScheduledCode& change : schedule) {
        gestures.push_back(
            {change.frame, [code = change.code](DutAccess& dut) { setBoth(dut, code); }});
    }
    return gestures;
}

// Around each change, from as early as it may land to as late as a wait for a zero crossing
// may hold it: there the output departs from the stimulus's shape, so the run's search for
// slipped frames must not follow the timing there.
FaintSpans aroundChanges(const CodeSchedule& schedule, double sampleRate, double lateSeconds) {
    FaintSpans spans;
    const std::size_t early = framesOf(kUnknownLatencySeconds, sampleRate);
    const std::size_t late = framesOf(lateSeconds, sampleRate);
    for (const ScheduledCode& change : schedule) {
        spans.emplace_back(change.frame - std::min(change.frame, early), change.frame + late);
    }
    return spans;
}

class MuteJob final : public CheckJob {
  public:
    MuteJob(SessionState& state, int dut, bool byPin, ReplyHandler done)
        : CheckJob(state, dut,
                   dutName(dut) + (byPin ? " mute depth by MUTE" : " mute depth by code 0"),
                   std::move(done)),
          byPin_(byPin) {}

  private:
    void begin() override {
        plan_ = mutePlan(sampleRate());
        const int reference = referenceCode();
        const auto mute = [byPin = byPin_, reference](bool muted) {
            return [=](DutAccess& dut) {
                if (byPin) {
                    dut.setPin(PinLine::Mute, muted);
                } else {
                    setBoth(dut, muted ? 0 : reference);
                }
            };
        };
        startRun(plan_.body,
                 [reference](DutAccess& dut) {
                     dut.setPin(PinLine::Mute, false);
                     setBoth(dut, reference);
                 },
                 {{plan_.muteFrame, mute(true)}, {plan_.unmuteFrame, mute(false)}},
                 {{plan_.faintFrom, plan_.body.frames()}});
    }

    void captured(const dsp::StereoBuffer& body) override {
        const double cardFloor =
            std::max(cardFloorDbfs(calibration(), Channel::Left, sampleRate(), plan_.blockFrames),
                     cardFloorDbfs(calibration(), Channel::Right, sampleRate(), plan_.blockFrames));
        const Attenuation depth = muteDepth(plan_, body, sampleRate(), cardFloor);
        MuteResult result = state().mute.value_or(MuteResult{});
        (byPin_ ? result.pinDb : result.codeDb) = depth.db;
        (byPin_ ? result.pinFloorLimited : result.codeFloorLimited) = depth.floorLimited;
        result.floorDb = depth.floorDb;
        state().mute = result;
        state().resultsChanged();
        finish({.failure = Failure::None,
                .detail = {},
                .values = {depth.db, depth.floorLimited ? 1.0 : 0.0}});
    }

    bool byPin_;
    MutePlan plan_;
};

class CrosstalkJob final : public CheckJob {
  public:
    CrosstalkJob(SessionState& state, int dut, Channel into, ReplyHandler done)
        : CheckJob(state, dut,
                   dutName(dut) +
                       (into == Channel::Left ? " crosstalk into Left" : " crosstalk into Right"),
                   std::move(done)),
          into_(into) {}

  private:
    Channel from() const { return into_ == Channel::Left ? Channel::Right : Channel::Left; }

    void begin() override {
        plan_ = crosstalkPlan(sampleRate(), into_);
        startRun(plan_.body,
                 [reference = referenceCode()](DutAccess& dut) {
                     dut.setPin(PinLine::Mute, false);
                     setBoth(dut, reference);
                 },
                 {});
    }

    void captured(const dsp::StereoBuffer& body) override {
        CardPath card{.noiseFloorDbfs =
                          cardFloorDbfs(calibration(), into_, sampleRate(), plan_.blockFrames)};
        if (calibration()) {
            card.intoGainDb = calibration()->gainDb[std::size_t(index(into_))];
            card.fromGainDb = calibration()->gainDb[std::size_t(index(from()))];
            card.crosstalkDb = calibration()->crosstalkDb[std::size_t(index(into_))];
        }
        const CrosstalkReading reading = crosstalk(plan_, body, sampleRate(), card);
        CrosstalkResult result = state().crosstalk.value_or(CrosstalkResult{});
        result.db[std::size_t(index(into_))] = reading.db;
        result.floorLimited[std::size_t(index(into_))] = reading.floorLimited;
        state().crosstalk = result;
        state().resultsChanged();
        finish({.failure = Failure::None, .detail = {}, .values = {reading.db}});
    }

    Channel into_;
    CrosstalkPlan plan_;
};

// The chip at the high code with MUTE released and ZCD as given, before a ZCD run.
std::function<void(DutAccess&)> zcdSetup(int high, bool zcd) {
    return [=](DutAccess& dut) {
        dut.setPin(PinLine::Mute, false);
        dut.setPin(PinLine::Zcd, false);  // so that the codes take effect at once
        setBoth(dut, high);
        dut.setPin(PinLine::Zcd, zcd);
    };
}

// Two runs of one plan: ZCD low, then high.
class ZcdClickJob final : public CheckJob {
  public:
    ZcdClickJob(SessionState& state, int dut, ReplyHandler done)
        : CheckJob(state, dut, dutName(dut) + " ZCD click", std::move(done)) {
        setRunCount(2);
    }

  private:
    void begin() override {
        plan_ = zcdClickPlan(sampleRate(), referenceCode(),
                             std::max(1, referenceCode() - kStepCodes), kPhaseSeed);
        startRun(plan_.body, zcdSetup(referenceCode(), false), codeGestures(plan_.changes));
    }

    void captured(const dsp::StereoBuffer& body) override {
        auto energies = clickEnergies(cache_, plan_, body, sampleRate());
        if (!offDb_) {
            offDb_ = std::move(energies);
            startRun(plan_.body, zcdSetup(referenceCode(), true), codeGestures(plan_.changes));
            return;
        }
        const ZcdClickResult result = zcdClickResult(std::move(*offDb_), std::move(energies));
        state().zcdClick = result;
        state().resultsChanged();
        finish({.failure = Failure::None,
                .detail = {},
                .values = {result.medianOffDb, result.medianOnDb}});
    }

    ZcdClickPlan plan_;
    dsp::FftCache cache_;
    std::optional<std::vector<double>> offDb_;
};

class ZcdTimeoutJob final : public CheckJob {
  public:
    ZcdTimeoutJob(SessionState& state, int dut, ReplyHandler done)
        : CheckJob(state, dut, dutName(dut) + " ZCD timeout", std::move(done)) {}

  private:
    void begin() override {
        plan_ = zcdTimeoutPlan(sampleRate(), referenceCode(),
                               std::max(1, referenceCode() - kStepCodes), kPhaseSeed);
        startRun(plan_.body, zcdSetup(referenceCode(), true), codeGestures(plan_.changes),
                 aroundChanges(plan_.changes, sampleRate(), kTimeoutLateSeconds));
    }

    void captured(const dsp::StereoBuffer& body) override {
        const ZcdTimeoutResult result = zcdTimeoutResult(plan_, body, sampleRate());
        state().zcdTimeout = result;
        state().resultsChanged();
        finish({.failure = Failure::None, .detail = {}, .values = {result.timeoutMs}});
    }

    ZcdTimeoutPlan plan_;
};

}  // namespace

std::unique_ptr<MeasurementJob> MeasurementSession::measureMute(int dut, bool byPin,
                                                                ReplyHandler done) {
    return std::make_unique<MuteJob>(*state_, dut, byPin, std::move(done));
}

std::unique_ptr<MeasurementJob> MeasurementSession::measureCrosstalk(int dut, Channel into,
                                                                     ReplyHandler done) {
    return std::make_unique<CrosstalkJob>(*state_, dut, into, std::move(done));
}

std::unique_ptr<MeasurementJob> MeasurementSession::measureZcdClick(int dut, ReplyHandler done) {
    return std::make_unique<ZcdClickJob>(*state_, dut, std::move(done));
}

std::unique_ptr<MeasurementJob> MeasurementSession::measureZcdTimeout(int dut, ReplyHandler done) {
    return std::make_unique<ZcdTimeoutJob>(*state_, dut, std::move(done));
}

}  // namespace selvar::measure
