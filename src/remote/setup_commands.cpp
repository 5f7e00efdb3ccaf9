// SPDX-License-Identifier: GPL-3.0-or-later
// MMEMory: the saved setups and the measurement's results and report, as files named by a
// string parameter on the program's machine.

#include "remote/command_table.h"

namespace selvar::remote {
namespace {

using control::SetupFileResult;
using Status = SetupFileResult::Status;

int errorOf(Status status) {
    switch (status) {
        case Status::Done:
            return error::kNone;
        case Status::NotFound:
            return error::kFileNameNotFound;
        case Status::Refused:
            return error::kFileNameError;
        case Status::NotWritten:
            return error::kMassStorage;
    }
    return error::kExecution;
}

// A file name is a quoted string: an unquoted word would be read as a keyword elsewhere.
template <SetupFileResult (control::Instrument::*act)(const std::string&)>
Outcome onFile(const Call& call) {
    if (call.param->kind != ParamKind::String) {
        return {.error = error::kDataType, .detail = "the file name is a quoted string"};
    }
    const SetupFileResult result = (call.instrument.*act)(call.param->text);
    return {.error = errorOf(result.status), .detail = result.reason};
}

// The measurement's files are only ever written: a missing folder is -256, anything else -257.
template <SetupFileResult (control::Instrument::*act)(const std::string&)>
Outcome onStore(const Call& call) {
    Outcome outcome = onFile<act>(call);
    if (outcome.error == error::kMassStorage) {
        outcome.error = error::kFileNameError;
    }
    return outcome;
}

Node storeNode(const char* name, Handler set) {
    return {.name = name, .set = std::move(set), .setTakesParam = true};
}

Node stateNode(Handler set) {
    return {.name = "STATe", .set = std::move(set), .setTakesParam = true};
}

}  // namespace

std::vector<Node> massMemoryCommands() {
    return {
        {.name = "STORe",
         .children = {stateNode(onFile<&control::Instrument::saveSetup>), calibrationFile(true),
                      storeNode("RESults", onStore<&control::Instrument::saveResults>),
                      storeNode("REPort", onStore<&control::Instrument::saveReport>)}},
        {.name = "LOAD",
         .children = {stateNode(onFile<&control::Instrument::loadSetup>), calibrationFile(false)}},
    };
}

}  // namespace selvar::remote
