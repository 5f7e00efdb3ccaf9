// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <memory>
#include <string>
#include <vector>

#include "measure/gateway/measure_module.h"

class QLibrary;

namespace selvar::measure {

// Where the measurement module is looked for, first found first: beside the program (the build
// tree), then where the package installs it, relative to the program so that an unpacked or
// relocated tree finds its own. Never the current directory or a variable of the environment:
// the program may run as root for direct I/O, and whoever sets those could make it load code.
std::vector<std::string> measureModulePaths(const QString& applicationDir);

// Why root must not load the file at path: not owned by root, or writable by group or others
// (the file or its folder), or not there; empty when it may.
std::string unsafeModuleReason(const std::string& path);

// The measurement module, loaded on first use and kept until the program ends (its code runs in
// the windows and jobs made from it).
class MeasureModuleLoader {
  public:
    // asRoot: refuse a file unsafeModuleReason() objects to.
    MeasureModuleLoader(std::vector<std::string> paths, bool asRoot);
    ~MeasureModuleLoader();
    MeasureModuleLoader(const MeasureModuleLoader&) = delete;
    MeasureModuleLoader& operator=(const MeasureModuleLoader&) = delete;

    // The module, loaded on the first call; null, with why, when it cannot be (every later call
    // gives the same answer).
    MeasureModule* module(std::string& error);

  private:
    bool load(const std::string& path, std::string& error);

    std::vector<std::string> paths_;
    bool asRoot_;
    bool tried_ = false;
    std::string failure_;
    std::unique_ptr<QLibrary> library_;
    std::unique_ptr<MeasureModule> module_;
};

// The loader for this program: the paths above from QCoreApplication::applicationDirPath(),
// checked as root when the program runs as root.
std::unique_ptr<MeasureModuleLoader> programMeasureModule();

}  // namespace selvar::measure
