// SPDX-License-Identifier: GPL-3.0-or-later
// The SCPI session over bytes from the network. The input is one connection's byte stream, run
// once whole and once cut into small pieces: both runs must agree (line assembly does not depend
// on how the bytes arrive). Every query gets either its reply or an error, never both and never
// neither; every other command never replies; errors are the standard ones and the queue stays
// bounded; a reply never breaks the line framing; the instrument only ever sees arguments within
// its controls' ranges and no DUT2 gesture in the single topology; a line that looks like HTTP
// runs nothing, and nothing runs after it.

#include <algorithm>
#include <cstdint>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_checks.h"
#include "remote/fake_instrument.h"
#include "remote/session.h"

namespace {

using namespace selvar::remote;
using namespace selvar::control;
using selvar::fuzz::require;

// The shared recording fake (which validates the ramp fields as the panel does), checking
// every argument.
class CheckingInstrument : public testing::FakeInstrument {
  public:
    explicit CheckingInstrument(std::string_view input) : input_(input) {}

    void moveSlider(int dut, Slider slider, int value) override {
        checkDut(dut);
        const int lo = slider == Slider::Pan ? -255 : 0;
        const int hi = slider == Slider::Gang ? 510 : 255;
        require(value >= lo && value <= hi, "slider value within the slider's range", input_);
        FakeInstrument::moveSlider(dut, slider, value);
    }
    void setMaxAtten(int dut) override {
        checkDut(dut);
        FakeInstrument::setMaxAtten(dut);
    }
    void set0dB(int dut) override {
        checkDut(dut);
        FakeInstrument::set0dB(dut);
    }
    ReadBackCodes interrogate(int dut) override {
        checkDut(dut);
        return FakeInstrument::interrogate(dut);
    }
    void enterRampField(int dut, RampField field, std::string_view text) override {
        checkDut(dut);
        FakeInstrument::enterRampField(dut, field, text);
    }
    void selectRampTarget(int dut, RampTarget target) override {
        checkDut(dut);
        require(target != RampTarget::None, "a target is selected, never cleared", input_);
        FakeInstrument::selectRampTarget(dut, target);
    }
    void ramp(int dut, RampDirection direction) override {
        checkDut(dut);
        FakeInstrument::ramp(dut, direction);
    }
    void showPanel(int dut, bool shown) override {
        checkDut(dut);
        FakeInstrument::showPanel(dut, shown);
    }

  private:
    void checkDut(int dut) const {
        require(dut == 1 || (dut == 2 && currentTopology == Topology::Dual),
                "DUT 1, or DUT 2 in the dual topology", input_);
    }
    std::string_view input_;
};

const std::set<int> kKnownErrors = {-102, -104, -108, -109, -113, -114, -131,
                                    -200, -221, -222, -224, -350, -363};

struct Transcript {
    std::vector<std::string> replies;
    std::vector<int> errors;
    std::vector<std::string> calls;
    bool closed = false;
    bool operator==(const Transcript&) const = default;
};

void checkLine(const LineResult& line, std::string_view input) {
    std::vector<int> unitErrors;
    bool anyReply = false;
    for (const UnitResult& unit : line.units) {
        require(!(unit.replied && !unit.errors.empty()), "never a reply and an error", input);
        require(!unit.query || unit.replied || !unit.errors.empty(), "a query is answered", input);
        require(unit.query || !unit.replied, "only queries reply", input);
        unitErrors.insert(unitErrors.end(), unit.errors.begin(), unit.errors.end());
        anyReply = anyReply || unit.replied;
    }
    require(unitErrors == line.errors, "the line's errors are its units' errors", input);
    require(anyReply != line.reply.empty(), "a reply text exactly when a unit replied", input);
    require(line.reply.find_first_of("\r\n") == std::string::npos, "replies keep framing", input);
    for (const int code : line.errors) {
        require(kKnownErrors.contains(code), "a standard error number", input);
    }
    require(!line.refusedAsHttp || (line.units.empty() && line.errors.empty()),
            "an HTTP line runs nothing", input);
}

Transcript run(std::string_view input, std::size_t pieceSize) {
    CheckingInstrument instrument(input);
    Session session(instrument);
    Transcript transcript;
    std::size_t callsBefore = 0;
    const LineHandler onLine = [&](const LineResult& line) {
        checkLine(line, input);
        require(!line.refusedAsHttp || instrument.calls.size() == callsBefore,
                "an HTTP line changes nothing", input);
        callsBefore = instrument.calls.size();
        require(session.status().errorCount() <= StatusModel::kQueueCapacity,
                "the error queue stays bounded", input);
        if (!line.reply.empty()) {
            transcript.replies.push_back(line.reply);
        }
        transcript.errors.insert(transcript.errors.end(), line.errors.begin(), line.errors.end());
    };
    for (std::size_t pos = 0; pos < input.size(); pos += pieceSize) {
        session.receive(input.substr(pos, pieceSize), onLine);
    }
    session.finish(onLine);
    require(!session.closed() || instrument.calls.size() == callsBefore,
            "nothing runs after an HTTP line", input);
    transcript.calls = instrument.calls;
    transcript.closed = session.closed();
    return transcript;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input = selvar::fuzz::textOf(data, size);
    const std::size_t pieceSize = size == 0 ? 1 : 1 + data[0] % 7;
    require(run(input, input.size() + 1) == run(input, pieceSize),
            "the same result however the bytes arrive", input);
    return 0;
}
