#include "entry/remote_options.h"

#include <QCommandLineParser>
#include <QHostAddress>
#include <algorithm>

#include "entry/raw_arguments.h"
#include "platform/adapters/adapter_config.h"

namespace selvar::entry {

namespace {

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
    if (!once(parser, scpiPort_, error) || !once(parser, script_, error)) {
        return false;
    }
    if (parser.isSet(scpiPort_)) {
        const QString text = parser.value(scpiPort_);
        bool ok = false;
        const int port = text.toInt(&ok);
        // Digits only: toInt would also take a sign or surrounding blanks.
        const bool digits = !text.isEmpty() && text.size() <= 5 &&
                            std::all_of(text.begin(), text.end(), [](QChar c) {
                                return c >= QLatin1Char('0') && c <= QLatin1Char('9');
                            });
        if (!ok || !digits || port > 65535) {
            error = "--scpi-port: '" + platform::echoed(text.toStdString()) +
                    "' is not a port from 0 to 65535";
            return false;
        }
        out.scpiPort = port;
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
