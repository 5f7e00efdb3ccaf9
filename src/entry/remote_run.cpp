// SPDX-License-Identifier: GPL-3.0-or-later
#include "entry/remote_run.h"

#include <QHostAddress>
#include <chrono>
#include <cstdio>

#include "entry/script_feed.h"
#include "remote/scpi_server.h"

namespace selvar::entry {

RemoteRun::RemoteRun(const RemoteOptions& options, control::Instrument& instrument,
                     std::function<void()> end)
    : options_(options), instrument_(instrument), end_(std::move(end)) {}

RemoteRun::~RemoteRun() = default;

bool RemoteRun::start(std::string& error) {
    if (!options_.scriptPath.empty()) {
        // Once it has ended, the feed stays until the run ends: this is called from its reads.
        script_ = ScriptFeed::open(
            options_.scriptPath, instrument_,
            [this](const ScriptFeed::Outcome& outcome) {
                status_ = outcome.status;
                // A windowless run with no server has nothing left to do.
                if (outcome.exitRequested || outcome.outputGone || (options_.noGui && !server_)) {
                    end_();
                }
            },
            error);
        if (!script_) {
            return false;
        }
        script_->setMeasurements(measurements_);
    }
    return !options_.scpiPort || listen(error);
}

// Loopback unless told otherwise: a control port moves real hardware. The port is said on
// standard error, so that a caller that asked for any free one learns which.
bool RemoteRun::listen(std::string& error) {
    QList<QHostAddress> addresses = remote::ScpiServer::loopback();
    if (!options_.listen.empty()) {
        addresses.clear();
        for (const std::string& a : options_.listen) {
            addresses << QHostAddress(QString::fromStdString(a));
        }
    }
    server_ = std::make_unique<remote::ScpiServer>(instrument_);
    server_->setMeasurements(measurements_);
    server_->setIdleTimeout(std::chrono::seconds(options_.idleTimeoutS));
    QObject::connect(server_.get(), &remote::ScpiServer::exitRequested, &context_,
                     [this] { end_(); });
    QString reason;
    if (!server_->listen(static_cast<quint16>(*options_.scpiPort), addresses, &reason)) {
        error = "--scpi-port " + std::to_string(*options_.scpiPort) + ": " + reason.toStdString();
        return false;
    }
    for (const QHostAddress& a : addresses) {
        const std::string address = a.toString().toStdString();
        std::fprintf(stderr, "selvar: serving SCPI on %s port %u\n", address.c_str(),
                     static_cast<unsigned>(server_->port()));
        if (!a.isLoopback()) {
            std::fprintf(stderr,
                         "selvar: warning: anyone who can reach %s controls the chips, "
                         "gains up to +31.5 dB included\n",
                         address.c_str());
        }
    }
    return true;
}

}  // namespace selvar::entry
