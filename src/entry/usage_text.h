// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QCommandLineOption>
#include <QString>
#include <string>
#include <vector>

namespace selvar::entry {

// Options shown together under one heading of the usage.
struct OptionGroup {
    QString heading;
    std::vector<const QCommandLineOption*> options;
};

// The usage laid out as QCommandLineParser lays it out (the names in one column, each
// description wrapped beside them), but with the options under their groups' headings: a flat
// list of sixteen options hides which ones belong together.
std::string usageText(const QString& program, const QString& description,
                      const std::vector<OptionGroup>& groups);

}  // namespace selvar::entry
