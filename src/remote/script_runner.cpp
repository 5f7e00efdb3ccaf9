// SPDX-License-Identifier: GPL-3.0-or-later
#include "remote/script_runner.h"

#include <ostream>

namespace selvar::remote {

ScriptRunner::ScriptRunner(std::string name, control::Instrument& instrument, ReplySink reply,
                           std::ostream& err)
    : name_(std::move(name)),
      session_(instrument),
      reply_(std::move(reply)),
      err_(err),
      handler_([this](const LineResult& line) { onLine(line); }) {}

void ScriptRunner::onLine(const LineResult& line) {
    ++lineNumber_;
    if (!line.reply.empty()) {
        reply_(line.reply);
    }
    for (std::size_t i = 0; i < line.errors.size(); ++i) {
        err_ << name_ << ':' << lineNumber_ << ": " << errorReply(line.errors[i], line.details[i])
             << '\n';
    }
    if (line.refusedAsHttp) {
        err_ << name_ << ':' << lineNumber_ << ": looks like HTTP; the script stops here\n";
    }
    if (!line.errors.empty() || line.refusedAsHttp) {
        result_.status = 1;
    }
    if (line.exitRequested) {
        result_.exitRequested = true;
        session_.close();
    }
}

void ScriptRunner::receive(std::string_view bytes) {
    session_.receive(bytes, handler_);
}

void ScriptRunner::finish() {
    session_.finish(handler_);
}

}  // namespace selvar::remote
