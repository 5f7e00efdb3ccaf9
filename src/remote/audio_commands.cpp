// SPDX-License-Identifier: GPL-3.0-or-later
// AUDio: the measurement's sound card (its devices, the board it is cabled to, its calibration)
// and MMEMory's calibration files.

#include <array>
#include <filesystem>
#include <span>
#include <system_error>

#include "remote/command_table.h"
#include "remote/measurement_jobs.h"
#include "remote/params.h"

namespace selvar::remote {
namespace {

constexpr std::array<std::string_view, 2> kEnds = {"OUTPut", "INPut"};
constexpr std::array<std::string_view, 2> kChannels = {"LEFT", "RIGHt"};

std::string quoted(const std::string& id) {
    return '"' + id + '"';
}

Outcome fromChecked(Checked checked) {
    return {.error = checked.error, .detail = std::move(checked.detail)};
}

Handler chooseDevice(AudioEnd end) {
    return [end](const Call& call) {
        Outcome outcome;
        MeasurementHost* host = hostOf(call, outcome);
        if (host == nullptr) {
            return outcome;
        }
        if (call.param->kind != ParamKind::String) {
            return Outcome{.error = error::kDataType, .detail = "the device is a quoted string"};
        }
        if (std::string why; !host->chooseAudioDevice(end, call.param->text, why)) {
            return Outcome{.error = error::kHardwareMissing, .detail = std::move(why)};
        }
        return Outcome{};
    };
}

Handler queryDevice(AudioEnd end) {
    return [end](const Call& call) {
        Outcome outcome;
        MeasurementHost* host = hostOf(call, outcome);
        return host ? Outcome{.reply = quoted(host->audioDevice(end))} : outcome;
    };
}

// The host and the keyword a query's parameter names, or the error that ends the query.
struct Keyed {
    MeasurementHost* host = nullptr;
    int index = 0;
    Outcome error = {};
};

Keyed keyed(const Call& call, std::span<const std::string_view> words) {
    Keyed result;
    result.host = hostOf(call, result.error);
    const Checked word = keywordParam(*call.param, words);
    if (result.host != nullptr) {
        result.error = fromChecked(word);
    }
    result.index = word.value;
    return result;
}

Outcome listDevices(const Call& call) {
    const Keyed end = keyed(call, kEnds);
    if (end.error.error != error::kNone) {
        return end.error;
    }
    std::string list;
    for (const std::string& id :
         end.host->audioDevices(end.index == 0 ? AudioEnd::Output : AudioEnd::Input)) {
        if (!list.empty()) {
            list += ',';
        }
        list += quoted(id);
    }
    return {.reply = list};
}

Outcome setDut(const Call& call) {
    Outcome outcome;
    MeasurementHost* host = hostOf(call, outcome);
    const Checked dut = numberParam(*call.param, {.lo = 1, .hi = 2, .def = 1});
    if (host != nullptr && dut.error == error::kNone) {
        host->setCabledDut(dut.value);
    }
    return host ? fromChecked(dut) : outcome;
}

Outcome queryDut(const Call& call) {
    Outcome outcome;
    MeasurementHost* host = hostOf(call, outcome);
    return host ? Outcome{.reply = std::to_string(host->cabledDut())} : outcome;
}

Outcome calibrate(const Call& call) {
    return runMeasurement(call, {.kind = MeasurementRequest::Kind::Calibrate});
}

// What the card adds to a channel, as the calibration in use found it.
Outcome calibrationGain(const Call& call) {
    const Keyed channel = keyed(call, kChannels);
    if (channel.error.error != error::kNone) {
        return channel.error;
    }
    const auto& calibration = channel.host->session().calibration();
    if (!calibration) {
        return {.error = error::kExecution, .detail = "no calibration"};
    }
    return {.reply = decimal(calibration->gainDb[static_cast<std::size_t>(channel.index)])};
}

template <bool save>
Outcome calibrationFileCommand(const Call& call) {
    Outcome outcome;
    MeasurementHost* host = hostOf(call, outcome);
    if (host == nullptr) {
        return outcome;
    }
    if (call.param->kind != ParamKind::String) {
        return {.error = error::kDataType, .detail = "the file name is a quoted string"};
    }
    std::string why;
    if constexpr (save) {
        if (!host->session().calibration()) {
            return {.error = error::kExecution, .detail = "no calibration"};
        }
        if (!host->saveCalibration(call.param->text, why)) {
            return {.error = error::kMassStorage, .detail = std::move(why)};
        }
    } else if (std::error_code absent; !std::filesystem::exists(call.param->text, absent)) {
        return {.error = error::kFileNameNotFound, .detail = "No such file or directory"};
    } else if (!host->loadCalibration(call.param->text, why)) {
        return {.error = error::kFileNameError, .detail = std::move(why)};
    }
    return {};
}

}  // namespace

Node audioCommands() {
    const auto device = [](std::string_view name, AudioEnd end) {
        return settable(name, chooseDevice(end), queryDevice(end));
    };
    return {
        .name = "AUDio",
        .children = {
            {.name = "DEVice",
             .children = {device("OUTPut", AudioEnd::Output),
                          device("INPut", AudioEnd::Input),
                          {.name = "LIST", .query = listDevices, .queryMin = 1, .queryMax = 1}}},
            settable("DUT", setDut, queryDut),
            {.name = "CALibrate",
             .children = {{.name = "GAIN", .query = calibrationGain, .queryMin = 1, .queryMax = 1}},
             .set = calibrate,
             .job = true},
        }};
}

Node calibrationFile(bool save) {
    return {.name = "CALibration",
            .set = save ? calibrationFileCommand<true> : calibrationFileCommand<false>,
            .setTakesParam = true};
}

}  // namespace selvar::remote
