// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "remote/command_table.h"
#include "remote/measurement_host.h"

namespace selvar::remote {

// The reply to the values a query's job gave; none for a command that answers nothing.
using ReplyFormat = std::function<std::string(const std::vector<double>& values)>;

// Runs the request in the program's job slot and defers the command's outcome to its end: the
// reply, or the error its failure maps to (-241, -240, -221, -200 "aborted").
Outcome runMeasurement(const Call& call, const MeasurementRequest& request,
                       ReplyFormat format = {});

// The sound card's side of the program, or the -241 a command without one queues.
MeasurementHost* hostOf(const Call& call, Outcome& missing);

// A dB (or ms) value as every reply gives it: fixed, with three decimals; 9.91E37 (not a
// number) for a value not measured.
std::string decimal(double value);

}  // namespace selvar::remote
