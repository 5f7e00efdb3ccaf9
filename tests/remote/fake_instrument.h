// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <map>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "control/instrument.h"
#include "ramp/field_validation.h"

namespace selvar::remote::testing {

using control::Instrument;
using control::PinLine;
using control::Port;
using control::RampDirection;
using control::RampField;
using control::RampTarget;
using control::ReadBackCodes;
using control::Slider;
using control::Topology;

// Holds what the gestures leave behind and records each gesture as a line of text, so that a
// test states both the state a command leaves and the calls it made.
class FakeInstrument : public Instrument {
  public:
    std::vector<std::string> calls;
    std::map<std::pair<int, Slider>, int> sliders;
    std::map<std::pair<int, RampField>, std::string> fields;
    std::map<int, RampTarget> targets;
    std::map<int, bool> shown;
    Topology currentTopology = Topology::Dual;
    Port currentPort = Port::Lpt1;
    bool mute = false;
    bool zcd = false;
    int chain = 0;
    ReadBackCodes readBack{171, -1};
    bool failing = false;                  // every gesture throws, as a failing port would
    control::SetupFileResult setupResult;  // what a setup file's save or load comes to

    void resetAll() override { record("resetAll"); }
    void selectPort(Port port) override {
        record("selectPort " + std::to_string(static_cast<int>(port)));
        currentPort = port;
    }
    Port port() const override { return currentPort; }
    void selectTopology(Topology topology) override {
        record("selectTopology " + std::to_string(static_cast<int>(topology)));
        currentTopology = topology;
    }
    Topology topology() const override { return currentTopology; }
    void moveSlider(int dut, Slider slider, int value) override {
        record(dutCall("moveSlider", dut) + ' ' + std::to_string(static_cast<int>(slider)) + ' ' +
               std::to_string(value));
        sliders[{dut, slider}] = value;
    }
    int sliderValue(int dut, Slider slider) const override {
        const auto found = sliders.find({dut, slider});
        return found == sliders.end() ? 0 : found->second;
    }
    void setMaxAtten(int dut) override { record(dutCall("setMaxAtten", dut)); }
    void set0dB(int dut) override { record(dutCall("set0dB", dut)); }
    ReadBackCodes interrogate(int dut) override {
        record(dutCall("interrogate", dut));
        return readBack;
    }
    int chainLength() const override { return chain; }
    void setPin(PinLine line, bool checked) override {
        record("setPin " + std::to_string(static_cast<int>(line)) + (checked ? " 1" : " 0"));
        (line == PinLine::Mute ? mute : zcd) = checked;
    }
    bool pin(PinLine line) const override { return line == PinLine::Mute ? mute : zcd; }
    void enterRampField(int dut, RampField field, std::string_view text) override {
        record(dutCall("enterRampField", dut) + ' ' + std::to_string(static_cast<int>(field)) +
               " '" + std::string(text) + "'");
        fields[{dut, field}] = validated(field, text);
    }
    std::string rampField(int dut, RampField field) const override {
        const auto found = fields.find({dut, field});
        return found == fields.end() ? "0.0" : found->second;
    }
    void selectRampTarget(int dut, RampTarget target) override {
        record(dutCall("selectRampTarget", dut) + ' ' + std::to_string(static_cast<int>(target)));
        targets[dut] = target;
    }
    RampTarget rampTarget(int dut) const override {
        const auto found = targets.find(dut);
        return found == targets.end() ? RampTarget::None : found->second;
    }
    void ramp(int dut, RampDirection direction) override {
        record(dutCall("ramp", dut) + (direction == RampDirection::Up ? " up" : " down"));
    }
    void showPanel(int dut, bool visible) override {
        record(dutCall("showPanel", dut) + (visible ? " 1" : " 0"));
        shown[dut] = visible;
    }
    bool panelShown(int dut) const override {
        const auto found = shown.find(dut);
        return found != shown.end() && found->second;
    }
    control::SetupFileResult saveSetup(const std::string& path) override {
        record("saveSetup " + path);
        return setupResult;
    }
    control::SetupFileResult loadSetup(const std::string& path) override {
        record("loadSetup " + path);
        return setupResult;
    }
    control::SetupFileResult saveResults(const std::string& path) override {
        record("saveResults " + path);
        return setupResult;
    }
    control::SetupFileResult saveReport(const std::string& path) override {
        record("saveReport " + path);
        return setupResult;
    }
    std::string version() const override { return "0.1.0"; }
    std::vector<std::string> options() const override { return {"SIM", "GPIO"}; }

  private:
    // The field keeps what its validation makes of the text, as a panel's field does.
    static std::string validated(RampField field, std::string_view text) {
        switch (field) {
            case RampField::Step:
                return ramp::validateStepText(text);
            case RampField::Delay:
                return ramp::validateDelayText(text);
            case RampField::Top:
            case RampField::Bottom:
                break;
        }
        return ramp::validateStopText(text);
    }
    static std::string dutCall(const char* name, int dut) {
        return std::string(name) + ' ' + std::to_string(dut);
    }
    void record(std::string call) {
        if (failing) {
            throw std::runtime_error("port gone");
        }
        calls.push_back(std::move(call));
    }
};

}  // namespace selvar::remote::testing
