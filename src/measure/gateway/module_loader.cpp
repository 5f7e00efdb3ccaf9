// SPDX-License-Identifier: GPL-3.0-or-later
#include "measure/gateway/module_loader.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLibrary>
#include <algorithm>

namespace selvar::measure {

namespace {

std::string unsafeEntry(const std::string& path) {
    struct stat status {};
    if (::lstat(path.c_str(), &status) != 0) {
        return path + " is not there";
    }
    if (status.st_uid != 0) {
        return path + " is not owned by root";
    }
    if ((status.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
        return path + " is writable by others than root";
    }
    return {};
}

}  // namespace

std::vector<std::string> measureModulePaths(const QString& applicationDir) {
    const QDir dir(applicationDir);
    std::vector<std::string> paths;
    for (const QString& path : {dir.filePath(QStringLiteral(SELVAR_MODULE_FILE)),
                                QDir::cleanPath(dir.filePath(QStringLiteral(
                                    SELVAR_MODULE_FROM_PROGRAM "/" SELVAR_MODULE_FILE)))}) {
        paths.push_back(path.toStdString());
    }
    return paths;
}

// A link is judged by what it leads to, and the folder too: whoever may write there may put
// another file in the module's place.
std::string unsafeModuleReason(const std::string& path) {
    const QString real = QFileInfo(QString::fromStdString(path)).canonicalFilePath();
    if (real.isEmpty()) {
        return path + " is not there";
    }
    const std::string file = real.toStdString();
    std::string reason = unsafeEntry(file);
    if (reason.empty()) {
        reason = unsafeEntry(QFileInfo(real).absolutePath().toStdString());
    }
    return reason;
}

MeasureModuleLoader::MeasureModuleLoader(std::vector<std::string> paths, bool asRoot)
    : paths_(std::move(paths)), asRoot_(asRoot) {}

// The module is never unloaded: code from it may still be on the stack of whatever ends last.
MeasureModuleLoader::~MeasureModuleLoader() {
    module_.reset();
}

MeasureModule* MeasureModuleLoader::module(std::string& error) {
    if (!tried_) {
        tried_ = true;
        const auto found = std::find_if(paths_.begin(), paths_.end(), [](const std::string& p) {
            return QFileInfo::exists(QString::fromStdString(p));
        });
        if (found == paths_.end()) {
            failure_ = "the measurement module " SELVAR_MODULE_FILE " is not installed";
        } else {
            load(*found, failure_);
        }
    }
    error = failure_;
    return module_.get();
}

bool MeasureModuleLoader::load(const std::string& path, std::string& error) {
    if (asRoot_) {
        error = unsafeModuleReason(path);
        if (!error.empty()) {
            error = "refusing to load the measurement module as root: " + error;
            return false;
        }
    }
    library_ = std::make_unique<QLibrary>(QString::fromStdString(path));
    library_->setLoadHints(QLibrary::PreventUnloadHint);
    const auto entry = reinterpret_cast<MeasureModuleEntry>(library_->resolve(kMeasureModuleEntry));
    if (entry == nullptr) {
        error = "the measurement module cannot be loaded: " + library_->errorString().toStdString();
        return false;
    }
    module_.reset(entry(kMeasureModuleInterface));
    if (!module_) {
        error = "the measurement module " + path + " belongs to another version of the program";
        return false;
    }
    return true;
}

std::unique_ptr<MeasureModuleLoader> programMeasureModule() {
    return std::make_unique<MeasureModuleLoader>(
        measureModulePaths(QCoreApplication::applicationDirPath()), ::geteuid() == 0);
}

}  // namespace selvar::measure
