// SPDX-License-Identifier: GPL-3.0-or-later
#include "remote/session.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <exception>
#include <utility>

#include "remote/command_table.h"
#include "remote/scpi_lexer.h"

namespace selvar::remote {
namespace {

bool startsWithIgnoringCase(std::string_view text, std::string_view upperPrefix) {
    return text.size() >= upperPrefix.size() &&
           std::equal(upperPrefix.begin(), upperPrefix.end(), text.begin(), [](char p, char c) {
               return p == std::toupper(static_cast<unsigned char>(c));
           });
}

// Browsers can reach loopback ports, and a web page's request must never move the chips: a
// request line ("POST / HTTP/1.1", "GET /x") or a Host:/Origin: header gives HTTP away. No
// SCPI command starts like that. Decided by the first few bytes only, so that a line too long
// to keep is judged alike however its bytes arrived.
bool startsLikeHttp(std::string_view line) {
    if (startsWithIgnoringCase(line, "HOST:") || startsWithIgnoringCase(line, "ORIGIN:")) {
        return true;
    }
    static constexpr std::array<std::string_view, 9> kMethods = {
        "GET ", "POST ", "PUT ", "DELETE ", "HEAD ", "OPTIONS ", "PATCH ", "CONNECT ", "TRACE "};
    return std::any_of(kMethods.begin(), kMethods.end(),
                       [line](std::string_view method) { return line.starts_with(method); });
}

// A whole line is also a request line when it ends in an HTTP version ("PRI * HTTP/2.0").
bool looksLikeHttp(std::string_view line) {
    if (startsLikeHttp(line)) {
        return true;
    }
    const std::size_t lastWord = line.find_last_of(' ');
    return lastWord != std::string_view::npos && line.find(' ') < lastWord &&
           line.substr(lastWord + 1).starts_with("HTTP/");
}

struct Resolved {
    const Node* node = nullptr;
    const Node* parent = nullptr;
    int dut = 1;
    bool viaDut = false;
    int error = error::kNone;
};

const Node* findChild(const std::vector<Node>& children, std::string_view name) {
    for (const Node& child : children) {
        if (matchesKeyword(name, child.name)) {
            return &child;
        }
    }
    return nullptr;
}

Resolved resolveFrom(const Node& start, int dut, bool viaDut, const Unit& unit) {
    Resolved resolved{nullptr, &start, dut, viaDut};
    const Node* current = &start;
    for (const std::string_view mnemonic : unit.mnemonics) {
        const auto [name, suffix] = splitSuffix(mnemonic);
        const Node* child = findChild(current->children, name);
        if (child == nullptr || (!suffix.empty() && !child->numbered)) {
            return {.error = error::kUndefinedHeader};
        }
        if (child->numbered) {
            if (!suffix.empty() && suffix != "1" && suffix != "2") {
                return {.error = error::kSuffixOutOfRange};
            }
            resolved.dut = suffix == "2" ? 2 : 1;
            resolved.viaDut = true;
        }
        resolved.parent = current;
        current = child;
    }
    resolved.node = current;
    return resolved;
}

// A header without a leading ':' continues from where the previous command of the line left
// off (DUT1:RAMP:TOP 0;BOTTom -30); when that names nothing, it is tried from the root.
Resolved resolve(const Unit& unit, const Node& root, const Node& from, int dut, bool viaDut) {
    if (unit.common) {
        const Node* node = unit.mnemonics.size() == 1
                               ? findChild(commonCommands(), unit.mnemonics.front())
                               : nullptr;
        return node ? Resolved{node, nullptr} : Resolved{.error = error::kUndefinedHeader};
    }
    if (!unit.rooted && &from != &root) {
        const Resolved relative = resolveFrom(from, dut, viaDut, unit);
        if (relative.error != error::kUndefinedHeader) {
            return relative;
        }
    }
    return resolveFrom(root, 1, false, unit);
}

// The parameter count a form takes, checked before any handler sees the parameters.
int countError(const Node& node, const Unit& unit) {
    const std::size_t most = unit.query           ? static_cast<std::size_t>(node.queryMax)
                             : node.setTakesParam ? 1
                                                  : 0;
    const std::size_t least = unit.query ? static_cast<std::size_t>(node.queryMin) : most;
    if (unit.params.size() > most) {
        return error::kParameterNotAllowed;
    }
    return unit.params.size() < least ? error::kMissingParameter : error::kNone;
}

// The header as the client wrote it, for the detail of a header the tree does not hold.
std::string headerText(const Unit& unit) {
    std::string text = unit.common ? "*" : unit.rooted ? ":" : "";
    for (const std::string_view mnemonic : unit.mnemonics) {
        text += std::string(mnemonic) + ':';
    }
    text.pop_back();
    return text + (unit.query ? "?" : "");
}

bool isCommandError(int code) {
    return code <= -100 && code > -200;
}

// What waits for a running job: everything that reaches the port, the commands that wait for
// the job's end (*OPC?, *OPC, *WAI) and whatever changes the program's state. Queries of the
// state as it stands, the status commands and ABORt go on at once.
bool touchesPort(const Node& node, bool query) {
    if (node.job) {
        return true;
    }
    if (query) {
        return node.name == "READback" || node.name == "OPC";
    }
    return node.name != "ABORt" && node.name != "CLS" && node.name != "ESE" && node.name != "SRE";
}

// A line whose first command is ABORt (or DUT<n>:RAMP:ABORt).
bool isAbortLine(std::string_view line) {
    std::size_t pos = 0;
    const LexedUnit lexed = readUnit(line, pos);
    if (lexed.error != error::kNone || lexed.empty || lexed.unit.query) {
        return false;
    }
    const Resolved resolved = resolve(lexed.unit, commandTree(), commandTree(), 1, false);
    return resolved.node != nullptr && resolved.node->name == "ABORt";
}

}  // namespace

void Session::queue(int code, UnitResult& unit, LineResult& line, std::string detail) {
    line.details.push_back(detail);
    status_.push(code, std::move(detail));
    unit.errors.push_back(code);
    line.errors.push_back(code);
}

void Session::settle(Outcome outcome, UnitResult& result, LineResult& line) {
    if (outcome.error != error::kNone) {
        queue(outcome.error, result, line, std::move(outcome.detail));
    } else if (outcome.reply) {
        line.reply += (line.reply.empty() ? "" : ";") + *outcome.reply;
        result.replied = true;
    }
    line.exitRequested = line.exitRequested || outcome.exit;
}

// A deferred outcome is settled once its job has ended. A script waits for that where it
// stands; a held connection is resumed by its front end when the job is over.
bool Session::settleDeferred(Progress& p) {
    if (!p.deferred) {
        return true;
    }
    if (!p.deferred->outcome && jobWait_ == JobWait::Await) {
        instrument_.awaitJob();
    }
    if (!p.deferred->outcome && instrument_.jobRunning()) {
        return false;
    }
    // A job that ended without answering is a fault of its own, never a silent query.
    Outcome outcome = p.deferred->outcome.value_or(
        Outcome{.error = error::kExecution, .detail = "the measurement gave no result"});
    p.deferred.reset();
    settle(std::move(outcome), p.result.units.back(), p.result);
    return true;
}

UnitResult Session::execute(const Unit& unit, Path& path, LineResult& line,
                            std::shared_ptr<Deferred>& deferred) {
    UnitResult result{.query = unit.query};
    const Node& root = commandTree();
    const Resolved resolved = resolve(unit, root, *path.node, path.dut, path.viaDut);
    const Handler* handler = resolved.node == nullptr ? nullptr
                             : unit.query             ? &resolved.node->query
                                                      : &resolved.node->set;
    const int code = resolved.error != error::kNone    ? resolved.error
                     : handler == nullptr || !*handler ? error::kUndefinedHeader
                                                       : countError(*resolved.node, unit);
    if (code != error::kNone) {
        const bool badHeader = code == error::kUndefinedHeader || code == error::kSuffixOutOfRange;
        queue(code, result, line, badHeader ? headerText(unit) : std::string());
        return result;
    }
    if (!unit.common) {
        path = {resolved.parent, resolved.dut, resolved.viaDut};
    }
    Outcome outcome;
    try {
        const Call call{instrument_,  status_,
                        resolved.dut, unit.params.empty() ? nullptr : &unit.params.front(),
                        unit.params,  measurements_};
        const bool dut2Absent = resolved.viaDut && resolved.dut == 2 &&
                                instrument_.topology() == control::Topology::Single;
        outcome = dut2Absent ? Outcome{.error = error::kSettingsConflict,
                                       .detail = "DUT2 needs the dual topology"}
                             : (*handler)(call);
    } catch (const control::GainLimitExceeded& refused) {
        outcome = {.error = error::kOutOfRange, .detail = refused.what()};  // nothing moved
    } catch (const std::exception&) {
        outcome = {error::kExecution, std::nullopt};  // the gesture failed; say so, keep serving
    }
    deferred = std::move(outcome.deferred);
    settle(std::move(outcome), result, line);
    return result;
}

bool Session::mayRunNow(const Node& node, bool query) {
    if (!instrument_.jobRunning()) {
        ownsJob_ = false;
        return true;
    }
    if (node.name == "ABORt") {
        return true;  // the stop gesture acts at once, for the job's own client too
    }
    if (jobWait_ == JobWait::Await) {
        instrument_.awaitJob();
        return true;
    }
    return !ownsJob_ && !touchesPort(node, query);
}

bool Session::runUnits(Progress& p) {
    if (!settleDeferred(p)) {
        return false;
    }
    while (p.pos < p.line.size()) {
        const std::size_t start = p.pos;
        const LexedUnit lexed = readUnit(p.line, p.pos);
        if (lexed.error != error::kNone) {
            UnitResult unit;
            queue(lexed.error, unit, p.result);
            p.result.units.push_back(std::move(unit));
            break;
        }
        if (lexed.empty) {
            continue;
        }
        const Resolved resolved =
            resolve(lexed.unit, commandTree(), *p.path.node, p.path.dut, p.path.viaDut);
        if (resolved.node != nullptr && !mayRunNow(*resolved.node, lexed.unit.query)) {
            p.pos = start;
            return false;
        }
        const bool jobBefore = instrument_.jobRunning();
        p.result.units.push_back(execute(lexed.unit, p.path, p.result, p.deferred));
        ownsJob_ = ownsJob_ || (!jobBefore && instrument_.jobRunning());
        if (!settleDeferred(p)) {
            return false;
        }
        // After a command error the rest of the line cannot be read reliably: it is dropped.
        const std::vector<int>& errors = p.result.units.back().errors;
        if (!errors.empty() && isCommandError(errors.front())) {
            break;
        }
    }
    return true;
}

LineResult Session::runLine(std::string_view line) {
    LineResult result;
    if (looksLikeHttp(line)) {
        closed_ = true;
        result.refusedAsHttp = true;
        return result;
    }
    Progress progress{std::string(line), 0, {&commandTree(), 1, false}};
    runUnits(progress);
    return std::move(progress.result);
}

void Session::advance(Progress progress, const LineHandler& onLine) {
    if (looksLikeHttp(progress.line)) {
        closed_ = true;
        onLine(LineResult{.refusedAsHttp = true});
        return;
    }
    if (!runUnits(progress)) {
        held_ = std::move(progress);
        return;
    }
    onLine(progress.result);
}

// Bytes that wait behind a held command. Lines just read are looked through for ABORt, which
// acts at once, ahead of the commands queued before it (it runs again, harmlessly, in turn).
void Session::keep(std::string_view bytes, bool read) {
    backlog_.append(bytes.substr(0, kMaxHeldBytes - std::min(backlog_.size(), kMaxHeldBytes)));
    if (!read) {
        const std::size_t lastEnd = backlog_.rfind('\n');
        scanned_ = lastEnd == std::string::npos ? 0 : lastEnd + 1;
        return;
    }
    for (std::size_t end = backlog_.find('\n', scanned_); end != std::string::npos;
         end = backlog_.find('\n', scanned_)) {
        if (isAbortLine(std::string_view(backlog_).substr(scanned_, end - scanned_))) {
            instrument_.abortJob();
        }
        scanned_ = end + 1;
    }
}

void Session::resume(const LineHandler& onLine) {
    if (!held_) {
        return;
    }
    Progress progress = std::move(*held_);
    held_.reset();
    advance(std::move(progress), onLine);
    if (held_) {
        return;
    }
    const std::string waiting = std::exchange(backlog_, {});
    scanned_ = 0;
    receiveFrom(waiting, onLine, false);
}

void Session::append(std::string_view piece, const LineHandler& onLine) {
    if (discarding_) {
        return;
    }
    pending_.append(piece.substr(0, kMaxLine + 2 - std::min(pending_.size(), kMaxLine + 2)));
    // One byte more is a carriage return that ends the line with its line feed.
    const bool overrun = pending_.size() > kMaxLine + 1 ||
                         (pending_.size() == kMaxLine + 1 && pending_.back() != '\r');
    if (overrun) {
        if (startsLikeHttp(pending_)) {
            closed_ = true;
            onLine(LineResult{.refusedAsHttp = true});
        }
        discarding_ = true;
        pending_.clear();
    }
}

void Session::endLine(const LineHandler& onLine) {
    if (discarding_) {
        discarding_ = false;
        LineResult result;
        UnitResult unit;
        queue(error::kInputOverrun, unit, result);
        result.units.push_back(std::move(unit));
        onLine(result);
        return;
    }
    if (pending_.ends_with('\r')) {
        pending_.pop_back();
    }
    Progress progress{std::move(pending_), 0, {&commandTree(), 1, false}};
    pending_.clear();
    advance(std::move(progress), onLine);
}

void Session::receive(std::string_view bytes, const LineHandler& onLine) {
    receiveFrom(bytes, onLine, true);
}

void Session::receiveFrom(std::string_view bytes, const LineHandler& onLine, bool read) {
    while (!closed_ && !bytes.empty()) {
        if (held_) {
            keep(bytes, read);
            return;
        }
        const std::size_t end = bytes.find('\n');
        append(bytes.substr(0, end), onLine);
        if (end == std::string_view::npos || closed_) {
            return;
        }
        endLine(onLine);
        bytes.remove_prefix(end + 1);
    }
}

void Session::finish(const LineHandler& onLine) {
    if (!closed_ && !held_ && (discarding_ || !pending_.empty())) {
        endLine(onLine);
    }
}

}  // namespace selvar::remote
