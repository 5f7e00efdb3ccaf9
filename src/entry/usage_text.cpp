// SPDX-License-Identifier: GPL-3.0-or-later
#include "entry/usage_text.h"

#include <QStringList>
#include <algorithm>

namespace selvar::entry {

namespace {

constexpr qsizetype kLineWidth = 79;
// Names wider than this put their description on the next line rather than squeeze every
// description into a narrow column.
constexpr qsizetype kWidestNames = 32;
constexpr qsizetype kIndent = 2;
constexpr qsizetype kGap = 2;

// "-h, --help", "--trace <FILE>".
QString namesOf(const QCommandLineOption& option) {
    QStringList names;
    for (const QString& name : option.names()) {
        names << (name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + name;
    }
    QString text = names.join(QStringLiteral(", "));
    if (!option.valueName().isEmpty()) {
        text += QStringLiteral(" <") + option.valueName() + QLatin1Char('>');
    }
    return text;
}

// The words of text in lines of at most width characters (a longer word has a line of its own).
QStringList wrapped(const QString& text, qsizetype width) {
    QStringList lines;
    QString line;
    for (const QString& word : text.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        if (!line.isEmpty() && line.size() + 1 + word.size() > width) {
            lines << line;
            line.clear();
        }
        line += (line.isEmpty() ? QString() : QStringLiteral(" ")) + word;
    }
    if (!line.isEmpty()) {
        lines << line;
    }
    return lines;
}

QString optionLines(const QCommandLineOption& option, qsizetype column) {
    const QString names = QString(kIndent, QLatin1Char(' ')) + namesOf(option);
    QStringList lines = wrapped(option.description(), kLineWidth - column);
    QString out;
    if (names.size() + kGap > column || lines.isEmpty()) {
        out += names + QLatin1Char('\n');
    } else {
        out += names.leftJustified(column) + lines.takeFirst() + QLatin1Char('\n');
    }
    for (const QString& line : lines) {
        out += QString(column, QLatin1Char(' ')) + line + QLatin1Char('\n');
    }
    return out;
}

}  // namespace

std::string usageText(const QString& program, const QString& description,
                      const std::vector<OptionGroup>& groups) {
    qsizetype widest = 0;
    for (const OptionGroup& group : groups) {
        for (const QCommandLineOption* option : group.options) {
            widest = std::max(widest, std::min(namesOf(*option).size(), kWidestNames));
        }
    }
    const qsizetype column = kIndent + widest + kGap;
    QString out = QStringLiteral("Usage: ") + program + QStringLiteral(" [options]\n") +
                  description + QLatin1Char('\n');
    for (const OptionGroup& group : groups) {
        out += QLatin1Char('\n') + group.heading + QStringLiteral(":\n");
        for (const QCommandLineOption* option : group.options) {
            out += optionLines(*option, column);
        }
    }
    return out.toStdString();
}

}  // namespace selvar::entry
