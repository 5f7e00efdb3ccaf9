#pragma once

// A whole program (port, chip link, both panels, entry window) on the simulated board, built
// the way main builds it, with every port access recorded and port failures collected instead
// of shown in a message box.

#include <QApplication>
#include <QWidget>
#include <cstdio>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "entry/frm_entry.h"
#include "entry/mod_glbl_data.h"
#include "panel/ui/frm_main.h"
#include "platform/sim_board.h"

namespace selvar::entry::testing {

struct Access {
    bool write;
    std::uint16_t address;
    std::uint8_t value;
};

// Every access performed, in order.
class AccessLog : public platform::AccessObserver {
  public:
    void onRead(std::uint16_t address, std::uint8_t value) override {
        accesses.push_back({false, address, value});
    }
    void onWrite(std::uint16_t address, std::uint8_t value) override {
        accesses.push_back({true, address, value});
    }

    // As the access log file writes them: "W 379 00".
    std::vector<std::string> lines() const {
        std::vector<std::string> out;
        for (const Access& a : accesses) {
            char line[16];
            std::snprintf(line, sizeof line, "%c %03x %02x", a.write ? 'W' : 'R', a.address,
                          a.value);
            out.emplace_back(line);
        }
        return out;
    }

    std::vector<Access> accesses;
};

// What the accesses did to the chips' lines, decoded independently of the chip link:
//   "pin zcd=Z mute=M"   a single-line operation (one read, one write of the data register
//                        that may change ZCD or MUTE only); Z and M are the levels it left
//   "send DUT2 DUT1"     a gain-word frame; the last 32 bits clocked in, as hex words
//   "readback DUT2 DUT1" the same for a frame that sampled the read-back line
inline std::vector<std::string> busEvents(const std::vector<Access>& log, std::uint16_t base) {
    std::vector<std::string> events;
    std::uint8_t previous = 0;
    bool sampled = false;
    std::uint32_t shifted = 0;
    char text[48];
    for (std::size_t i = 0; i < log.size(); ++i) {
        const Access& a = log[i];
        if (a.address == base + 1 && !a.write) {
            sampled = true;
            continue;
        }
        if (a.address != base) {
            continue;
        }
        if (!a.write) {
            previous = a.value;
            continue;
        }
        const std::uint8_t v = a.value;
        const bool csLow = (v & 0x02) == 0;
        const bool wasCsLow = (previous & 0x02) == 0;
        if (csLow && !wasCsLow) {
            shifted = 0;
            sampled = false;
        }
        if (csLow && (previous & 0x08) == 0 && (v & 0x08) != 0) {
            shifted = (shifted << 1) | ((v >> 2) & 1u);
        }
        if (!csLow && wasCsLow) {
            std::snprintf(text, sizeof text, "%s %04x %04x", sampled ? "readback" : "send",
                          static_cast<unsigned>(shifted >> 16),
                          static_cast<unsigned>(shifted & 0xFFFF));
            events.emplace_back(text);
        }
        // One read, then one write changing nothing but ZCD or MUTE, then no further write.
        const bool afterRead = i > 0 && !log[i - 1].write && log[i - 1].address == base;
        const bool lastWrite = i + 1 == log.size() || !log[i + 1].write;
        if (afterRead && lastWrite && ((v ^ previous) & ~0x11) == 0) {
            std::snprintf(text, sizeof text, "pin zcd=%d mute=%d", v & 1, (v >> 4) & 1);
            events.emplace_back(text);
        }
        previous = v;
    }
    return events;
}

inline platform::SimBoardConfig unpacedBoard(int chips = 2) {
    platform::SimBoardConfig config;
    config.chips = chips;
    config.accessNs = 0;
    return config;
}

class TestProgram {
  public:
    explicit TestProgram(platform::SimBoardConfig config = unpacedBoard()) {
        auto sim = std::make_unique<platform::SimPortProvider>(config);
        sim_ = sim.get();
        build(std::move(sim), std::make_unique<AccessLog>());
    }
    TestProgram(std::unique_ptr<platform::PortProvider> provider,
                std::unique_ptr<platform::AccessObserver> observer) {
        build(std::move(provider), std::move(observer));
    }
    TestProgram(const TestProgram&) = delete;
    TestProgram& operator=(const TestProgram&) = delete;

    modGlblData& glbl() { return *glbl_; }
    frmEntry& entry() { return *entry_; }
    panel::frmMain& dut1() { return glbl_->frmDUT1(); }
    panel::frmMain& dut2() { return glbl_->frmDUT2(); }
    platform::SimBoard& board() { return sim_->board(); }
    AccessLog& log() { return *log_; }
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
    void build(std::unique_ptr<platform::PortProvider> provider,
               std::unique_ptr<platform::AccessObserver> observer) {
        log_ = dynamic_cast<AccessLog*>(observer.get());
        glbl_ = std::make_unique<modGlblData>(
            std::move(provider), [this](const std::string& m) { failures_.push_back(m); },
            std::move(observer));
        entry_ = std::make_unique<frmEntry>(*glbl_);
        entry_->show();
    }

    platform::SimPortProvider* sim_ = nullptr;
    AccessLog* log_ = nullptr;
    std::vector<std::string> failures_;
    std::unique_ptr<modGlblData> glbl_;
    std::unique_ptr<frmEntry> entry_;
};

}  // namespace selvar::entry::testing
