// SPDX-License-Identifier: GPL-3.0-or-later
#include "entry/audio_bench.h"

#include "entry/audio_setup.h"
#include "measure/audio/sim_audio_port.h"

namespace selvar::entry {

using measure::Failure;

ProgramAudioBench::ProgramAudioBench(AudioSetup& setup,
                                     std::function<control::Instrument&()> instrument)
    : setup_(setup), instrument_(std::move(instrument)) {}

audio::AudioPort* ProgramAudioBench::portFor(int dut, Failure& failure) {
    audio::AudioPort* port = setup_.port();
    if (port == nullptr) {
        failure = Failure::NoDevice;
        return nullptr;
    }
    if (audio::SimAudioPort* sim = setup_.simulatedPort()) {
        sim->setChip(dut - 1);
        sim->setRoute(audio::SimAudioPort::Route::ThroughChip);
        return sim;
    }
    if (dut != setup_.cabledDut()) {
        failure = Failure::WrongDut;
        return nullptr;
    }
    return port;
}

audio::AudioPort* ProgramAudioBench::loopThroughPort(Failure& failure) {
    audio::AudioPort* port = setup_.port();
    if (port == nullptr) {
        failure = Failure::NoDevice;
        return nullptr;
    }
    if (audio::SimAudioPort* sim = setup_.simulatedPort()) {
        sim->setRoute(audio::SimAudioPort::Route::LoopThrough);
    }
    return port;
}

std::unique_ptr<measure::DutAccess> ProgramAudioBench::dut(int dut) {
    return measure::instrumentDut(instrument_(), dut);
}

std::string ProgramAudioBench::outputDevice() const {
    return setup_.outputDevice();
}

std::string ProgramAudioBench::inputDevice() const {
    return setup_.inputDevice();
}

}  // namespace selvar::entry
