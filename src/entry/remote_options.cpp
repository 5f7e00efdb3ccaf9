// SPDX-License-Identifier: GPL-3.0-or-later
#include "entry/remote_options.h"

#include <QCommandLineParser>
#include <QHostAddress>
#include <algorithm>

#include "entry/raw_arguments.h"
#include "platform/adapters/adapter_config.h"

namespace selvar::entry {

namespace {

constexpr int kMaxIdleS = 1'000'000;  // well within a timer's range in milliseconds

// Decimal digits only, 0 to max: toInt alone would also take a sign or surrounding blanks.
std::optional<int> numberUpTo(const QString& text, int max) {
    const bool digits = !text.isEmpty() && text.size() <= QString::number(max).size() &&
                        std::all_of(text.begin(), text.end(), [](QChar c) {
                            return c >= QLatin1Char('0') && c <= QLatin1Char('9');
                        });
    const int value = digits ? text.toInt() : -1;
    return value >= 0 && value <= max ? std::optional<int>(value) : std::nullopt;
}

bool once(const QCommandLineParser& parser, const QCommandLineOption& option, std::string& error) {
    if (parser.values(option).size() > 1) {
        error = "--" + option.names().constLast().toStdString() + " given more than once";
        return false;
    }
    return true;
}

}  // namespace

bool RemoteOptionSet::interpret(const QCommandLineParser& parser, RemoteOptions& out,
                                std::string& error) const {
    if (!once(parser, scpiPort_, error) || !once(parser, scpiIdleTimeout_, error) ||
        !once(parser, script_, error)) {
        return false;
    }
    if (parser.isSet(scpiPort_)) {
        const std::optional<int> port = numberUpTo(parser.value(scpiPort_), 65535);
        if (!port) {
            error = "--scpi-port: '" + platform::echoed(parser.value(scpiPort_).toStdString()) +
                    "' is not a port from 0 to 65535";
            return false;
        }
        out.scpiPort = port;
    }
    if (parser.isSet(scpiIdleTimeout_)) {
        const std::optional<int> seconds = numberUpTo(parser.value(scpiIdleTimeout_), kMaxIdleS);
        if (!seconds) {
            error = "--scpi-idle-timeout: '" +
                    platform::echoed(parser.value(scpiIdleTimeout_).toStdString()) +
                    "' is not a number of seconds from 0 to 1000000";
            return false;
        }
        out.idleTimeoutS = *seconds;
    }
    for (const QString& address : parser.values(scpiListen_)) {
        if (QHostAddress(address).isNull()) {
            error = "--scpi-listen: '" + platform::echoed(address.toStdString()) +
                    "' is not an IP address";
            return false;
        }
        out.listen.push_back(address.toStdString());
    }
    if (!out.listen.empty() && !out.scpiPort) {
        error = "--scpi-listen needs --scpi-port";
        return false;
    }
    if (parser.isSet(scpiIdleTimeout_) && !out.scpiPort) {
        error = "--scpi-idle-timeout needs --scpi-port";
        return false;
    }
    out.noGui = parser.isSet(noGui_);
    if (parser.isSet(script_)) {
        out.scriptPath = bytesFromArgument(parser.value(script_));
        if (out.scriptPath.empty()) {
            error = "--script: the file name is empty";
            return false;
        }
    }
    if (out.noGui && !out.scpiPort && out.scriptPath.empty()) {
        error = "--no-gui needs --scpi-port or --script: nothing could drive the program";
        return false;
    }
    return true;
}

}  // namespace selvar::entry
