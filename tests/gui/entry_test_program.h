// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A whole program (port, chip link, both panels, entry window) on the simulated board, built
// the way main builds it.

#include <QApplication>
#include <QDeadlineTimer>
#include <QWidget>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "access_recorder.h"
#include "entry/frm_entry.h"
#include "entry/program.h"
#include "measure/module/qt_measure_module.h"
#include "measure/window/frm_measure.h"
#include "panel/ui/frm_main.h"
#include "platform/sim_board.h"

namespace selvar::entry::testing {

using selvar::testing::Access;
using selvar::testing::AccessRecorder;
using selvar::testing::busEvents;

inline platform::SimBoardConfig unpacedBoard(int chips = 2) {
    platform::SimBoardConfig config;
    config.chips = chips;
    config.accessNs = 0;
    return config;
}

// Serves the event loop until the program's job (a ramp) has ended; false if it runs on.
inline bool finishJob(Program& program, int timeoutMs = 60000) {
    const QDeadlineTimer deadline(timeoutMs);
    while (program.jobs().running() && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return !program.jobs().running();
}

// The whole program, assembled as main assembles it, started and shown, with every port
// access recorded from the start and port failures collected instead of shown in a box. The
// measurement module is the one linked in, not one loaded.
class TestProgram {
  public:
    explicit TestProgram(platform::SimBoardConfig config = unpacedBoard(), AudioOptions audio = {})
        : TestProgram(new platform::SimPortProvider(config), std::move(audio)) {}
    // extra (may be null) observes every access too, for as long as the program runs.
    explicit TestProgram(std::unique_ptr<platform::PortProvider> provider,
                         std::unique_ptr<platform::AccessObserver> extra = nullptr,
                         AudioOptions audio = {})
        : program_(
              std::move(provider), [this](const std::string& m) { failures_.push_back(m); },
              std::move(audio)) {
        program_.useMeasureModule(module_);
        attachment_ = platform::ObserverAttachment(program_.observers(), log_);
        if (extra) {
            program_.keepObserver(std::move(extra));
        }
        program_.start().show();
    }
    TestProgram(const TestProgram&) = delete;
    TestProgram& operator=(const TestProgram&) = delete;

    Program& program() { return program_; }
    // The measurement window, built as "Measure" builds it.
    measure::frmMeasure& measureWindow() {
        std::string error;
        QWidget* window = program_.measureWindow(error);
        if (window == nullptr) {
            throw std::runtime_error(error);
        }
        return static_cast<measure::frmMeasure&>(*window);
    }
    frmEntry& entry() { return program_.entry(); }
    panel::frmMain& dut1() { return program_.frmDUT1(); }
    panel::frmMain& dut2() { return program_.frmDUT2(); }
    platform::SimBoard& board() {
        if (!sim_) {
            throw std::logic_error("not on the simulated board");
        }
        return sim_->board();
    }
    AccessRecorder& log() { return log_; }
    const std::vector<std::string>& failures() const { return failures_; }

    template <class T>
    T& control(QWidget& window, const char* name) {
        T* found = window.findChild<T*>(name);
        if (!found) {
            throw std::runtime_error(std::string("no control ") + name);
        }
        return *found;
    }

    // Every top-level window of the application that is shown now.
    static std::vector<QWidget*> visibleWindows() {
        std::vector<QWidget*> shown;
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (w->isVisible()) {
                shown.push_back(w);
            }
        }
        return shown;
    }

  private:
    // Owned by the program from here on.
    TestProgram(platform::SimPortProvider* sim, AudioOptions audio)
        : TestProgram(std::unique_ptr<platform::PortProvider>(sim), nullptr, std::move(audio)) {
        sim_ = sim;
    }

    platform::SimPortProvider* sim_ = nullptr;
    std::vector<std::string> failures_;
    AccessRecorder log_;
    measure::QtMeasureModule module_;
    Program program_;
    platform::ObserverAttachment attachment_;
};

}  // namespace selvar::entry::testing
