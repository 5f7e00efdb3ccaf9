// SPDX-License-Identifier: GPL-3.0-or-later
// The setup file's JSON: written indented for a person to read, read back with every value
// checked against what its control takes, so that a damaged or hand-edited file is refused
// whole, naming the first offending key, before anything is applied.

#include <QByteArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QLocale>
#include <cmath>

#include "gain/mod_pub_share.h"
#include "ramp/field_validation.h"
#include "setup/setup_file.h"

namespace selvar::setup {

namespace {

using control::Port;
using control::RampTarget;
using control::Topology;

constexpr const char* kKind = "selvar-control-setup";

// A setup's words and the values they stand for, side by side.
template <typename Value>
struct Word {
    const char* text;
    Value value;
};
constexpr Word<Port> kPorts[] = {{"LPT1", Port::Lpt1}, {"LPT2", Port::Lpt2}, {"LPT3", Port::Lpt3}};
constexpr Word<Topology> kTopologies[] = {{"single", Topology::Single}, {"dual", Topology::Dual}};
constexpr Word<RampTarget> kTargets[] = {{"none", RampTarget::None},
                                         {"left", RampTarget::Left},
                                         {"right", RampTarget::Right},
                                         {"gang", RampTarget::Gang}};

template <typename Value, std::size_t N>
QString wordOf(const Word<Value> (&words)[N], Value value) {
    for (const Word<Value>& w : words) {
        if (w.value == value) {
            return QString::fromLatin1(w.text);
        }
    }
    return {};
}

QJsonObject panelJson(const PanelSetup& p) {
    const RampSetup& r = p.ramp;
    return {{"left", p.left},
            {"right", p.right},
            {"ramp", QJsonObject{{"top", r.top},
                                 {"bottom", r.bottom},
                                 {"step", r.step},
                                 {"delay", r.delay},
                                 {"target", wordOf(kTargets, r.target)}}}};
}

// Reads one object's keys, keeping the first complaint with the key's whole name.
class Reader {
  public:
    Reader(const QJsonObject& object, QString path, QString& error)
        : object_(object), path_(std::move(path)), error_(error) {}

    QJsonValue value(const char* key) {
        const QJsonValue v = object_.value(QLatin1String(key));
        if (v.isUndefined()) {
            fail(key, QStringLiteral("missing"));
        }
        return v;
    }
    Reader object(const char* key) {
        const QJsonValue v = value(key);
        if (!v.isUndefined() && !v.isObject()) {
            fail(key, QStringLiteral("not an object"));
        }
        return Reader(v.toObject(), name(key) + '.', error_);
    }
    bool boolean(const char* key) {
        const QJsonValue v = value(key);
        if (!v.isUndefined() && !v.isBool()) {
            fail(key, QStringLiteral("not true or false"));
        }
        return v.toBool();
    }
    int integer(const char* key, int lo, int hi) {
        const double v = number(key);
        if (v != std::floor(v) || v < lo || v > hi) {
            fail(key, QStringLiteral("%1 is not a whole number %2..%3").arg(v).arg(lo).arg(hi));
            return lo;
        }
        return static_cast<int>(v);
    }
    double number(const char* key) {
        const QJsonValue v = value(key);
        if (!v.isUndefined() && !v.isDouble()) {
            fail(key, QStringLiteral("not a number"));
        }
        return v.toDouble();
    }
    // A ramp field's value, which its validation must keep as it is.
    double field(const char* key, std::string (*validate)(std::string_view)) {
        const double v = number(key);
        const QByteArray text = QByteArray::number(v, 'g', QLocale::FloatingPointShortest);
        const std::optional<float> kept = ramp::readNumber(validate(text.toStdString()));
        if (!kept || *kept != static_cast<float>(v)) {
            fail(key, QStringLiteral("%1 is not a value the field takes").arg(v));
        }
        return v;
    }
    template <typename Value, std::size_t N>
    Value word(const char* key, const Word<Value> (&words)[N]) {
        const QString text = value(key).toString();
        for (const Word<Value>& w : words) {
            if (text == QLatin1String(w.text)) {
                return w.value;
            }
        }
        fail(key, QStringLiteral("not one of the words it takes"));
        return words[0].value;
    }
    void fail(const char* key, const QString& why) {
        if (error_.isEmpty()) {
            error_ = name(key) + QStringLiteral(": ") + why;
        }
    }
    bool has(const char* key) const { return object_.contains(QLatin1String(key)); }

  private:
    QString name(const char* key) const { return path_ + QLatin1String(key); }

    QJsonObject object_;
    QString path_;
    QString& error_;
};

PanelSetup readPanel(Reader panel) {
    PanelSetup p;
    p.left = panel.integer("left", 0, modPubShare::kMaxCode);
    p.right = panel.integer("right", 0, modPubShare::kMaxCode);
    Reader r = panel.object("ramp");
    p.ramp.top = r.field("top", ramp::validateStopText);
    p.ramp.bottom = r.field("bottom", ramp::validateStopText);
    p.ramp.step = r.field("step", ramp::validateStepText);
    p.ramp.delay = r.field("delay", ramp::validateDelayText);
    p.ramp.target = r.word("target", kTargets);
    return p;
}

AudioSetup readAudio(Reader audio) {
    const auto text = [&](const char* key) {
        const QJsonValue v = audio.value(key);
        if (!v.isUndefined() && !v.isString()) {
            audio.fail(key, QStringLiteral("not a text"));
        }
        return v.toString().toStdString();
    };
    return {text("output"), text("input"), text("calibration")};
}

// The kind and version come first: a newer file is refused as such, not for a key it renamed.
// Reasons hold no double quote, as they end up inside a quoted SCPI error string.
QString checkKind(const QJsonObject& top) {
    if (top.value(QLatin1String("format")).toString() != QLatin1String(kKind)) {
        return QStringLiteral("not a setup (its format is not %1)").arg(QLatin1String(kKind));
    }
    const QJsonValue version = top.value(QLatin1String("version"));
    const double v = version.toDouble(-1);
    if (!version.isDouble() || v != std::floor(v) || v < 1) {
        return QStringLiteral("damaged: version is not a format version");
    }
    if (v > kFormatVersion) {
        return QStringLiteral("format version %1 is newer than this program reads (%2)")
            .arg(v)
            .arg(kFormatVersion);
    }
    return {};
}

}  // namespace

std::string toJson(const Setup& setup) {
    QJsonObject top{{"format", kKind},
                    {"version", kFormatVersion},
                    {"port", wordOf(kPorts, setup.port)},
                    {"topology", wordOf(kTopologies, setup.topology)},
                    {"mute", setup.mute},
                    {"zcd", setup.zcd},
                    {"dut1", panelJson(setup.panels[0])},
                    {"dut2", panelJson(setup.panels[1])}};
    if (setup.audio) {
        top.insert("audio",
                   QJsonObject{{"output", QString::fromStdString(setup.audio->output)},
                               {"input", QString::fromStdString(setup.audio->input)},
                               {"calibration", QString::fromStdString(setup.audio->calibration)}});
    }
    return QJsonDocument(top).toJson(QJsonDocument::Indented).toStdString();
}

Parsed fromJson(std::string_view text) {
    QJsonParseError parseError{};
    const QJsonDocument document = QJsonDocument::fromJson(
        QByteArray(text.data(), static_cast<qsizetype>(text.size())), &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        return {std::nullopt, QStringLiteral("not JSON (%1 at byte %2)")
                                  .arg(parseError.errorString())
                                  .arg(parseError.offset)
                                  .toStdString()};
    }
    if (!document.isObject()) {
        return {std::nullopt, "not a setup (not a JSON object)"};
    }
    if (const QString wrong = checkKind(document.object()); !wrong.isEmpty()) {
        return {std::nullopt, wrong.toStdString()};
    }
    QString error;
    Reader top(document.object(), {}, error);
    Setup setup;
    setup.port = top.word("port", kPorts);
    setup.topology = top.word("topology", kTopologies);
    setup.mute = top.boolean("mute");
    setup.zcd = top.boolean("zcd");
    setup.panels[0] = readPanel(top.object("dut1"));
    setup.panels[1] = readPanel(top.object("dut2"));
    if (top.has("audio")) {
        setup.audio = readAudio(top.object("audio"));
    }
    if (!error.isEmpty()) {
        return {std::nullopt, "damaged: " + error.toStdString()};
    }
    return {setup, {}};
}

}  // namespace selvar::setup
