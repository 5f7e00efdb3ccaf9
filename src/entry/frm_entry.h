// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>
#include <array>
#include <functional>
#include <string>

#include "chiplink/port_choice.h"

class QGroupBox;
class QLabel;
class QPushButton;
class QRadioButton;

namespace selvar::panel {
class frmMain;
}  // namespace selvar::panel

namespace selvar::chiplink {
class modSelvarHw;
}

namespace selvar::control {
class Instrument;
}

namespace selvar::entry {

class modGlblData;
class PanelsLink;

// The entry window: port choice, single or daisy-chained boards, a button per gain panel and
// the global reset; below them a row for further buttons and the status line, which says what
// the selected port is and how many chips answered the last read-back. Constructing it runs the
// whole start-up, port traffic included, before it is first shown; closing it ends the program.
class frmEntry : public QWidget {
    Q_OBJECT
  public:
    // busMonitor: gives the bus monitor window, shown by the fourth button (built when first
    // asked for).
    frmEntry(modGlblData& glbl, chiplink::modSelvarHw& hw, PanelsLink& link,
             std::function<QWidget&()> busMonitor);
    ~frmEntry() override;

    // The operator's gestures, for remote control, through the same handlers.
    void selectPort(chiplink::PortChoice choice);  // the port option; selected already: nothing
    chiplink::PortChoice selectedPort() const;
    void selectTopology(bool dual);  // the topology option
    bool dualTopology() const;
    void pressPanelButton(int dut);  // "DUT1 Panel" / "DUT2 Panel"
    void pressResetAll();
    // The instrument "Save Setup..." and "Load Setup..." save and load through, once it is
    // built over this window; until then they do nothing.
    void attachInstrument(control::Instrument& instrument) { instrument_ = &instrument; }
    // Gives the measurement window, shown by "Measure" (built when first asked for), or null
    // with why there is none, which the button then says; until attached it is disabled.
    void attachMeasureWindow(std::function<QWidget*(std::string& error)> measure);
    void pressMeasureButton();  // "Measure"; nothing while it is disabled

    // What a running job does, shown on the status line's last line; empty when none runs.
    void setJobText(const QString& text);
    // What the running job does, on the status line, with the stop button at its right end;
    // an empty text: no job runs, and the button is hidden.
    void showJob(const QString& description);
    QPushButton& stopButton() { return *btnStop_; }

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    void buildControls();
    void buildJobControls();
    void connectHandlers();
    void Form_Initialize();

    void choosePort(chiplink::PortChoice choice);
    void opt378h_Click();
    void opt278h_Click();
    void opt3BCh_Click();
    void opt1DUT_Click();
    void opt2DUT_Click();
    void btnDUT1_Click();
    void btnDUT2_Click();
    void btnResetAll_Click();
    void btnBus_Click();
    void btnMeasure_Click();
    void btnSaveSetup_Click();
    void btnLoadSetup_Click();
    void reportSetupFailure(const QString& action, const QString& path, const std::string& reason);
    void resetPanels();
    void resetPanelUnderMute(panel::frmMain& panel);
    void showStatus();

    struct TwipsRect {
        int left, top, width, height;
    };
    // The row below the specified controls, for the buttons of further functions, left to
    // right, each as tall as "Bus Monitor" and an equal share of the width the controls above
    // span (three of its width do not fit the window).
    static constexpr std::array<TwipsRect, 3> kButtonRow = {
        {{30, 2430, 1335, 375}, {1410, 2430, 1335, 375}, {2790, 2430, 1335, 375}}};
    // The status line, below the row: room for four lines (port and chain, a warning, the job,
    // one of them wrapped). A Stop button for the job belongs at its right end.
    static constexpr TwipsRect kStatusLine = {30, 2880, 4095, 855};
    template <class Control>
    Control* addControl(QWidget* parent, const char* caption, const char* name, const char* tooltip,
                        TwipsRect r);
    int pixels(int twips) const;
    void placeWindow(QWidget& window, long long leftTwips, long long topTwips) const;

    modGlblData& glbl_;
    chiplink::modSelvarHw& hw_;
    PanelsLink& link_;
    std::function<QWidget&()> busMonitor_;
    std::function<QWidget*(std::string& error)> measure_;
    double dpi_;
    QGroupBox* fraPCItfc_ = nullptr;
    QRadioButton* opt378h_ = nullptr;
    QRadioButton* opt278h_ = nullptr;
    QRadioButton* opt3BCh_ = nullptr;
    QGroupBox* fraCBus_ = nullptr;
    QRadioButton* opt1DUT_ = nullptr;
    QRadioButton* opt2DUT_ = nullptr;
    QPushButton* btnResetAll_ = nullptr;
    QPushButton* btnDUT1_ = nullptr;
    QPushButton* btnDUT2_ = nullptr;
    QPushButton* btnBus_ = nullptr;
    QPushButton* btnMeasure_ = nullptr;
    QPushButton* btnSaveSetup_ = nullptr;
    QPushButton* btnLoadSetup_ = nullptr;
    QLabel* lblStatus_ = nullptr;
    QString jobText_;
    QPushButton* btnStop_ = nullptr;
    QString setupFolder_;  // where the last setup was saved or loaded, for the next dialog
    control::Instrument* instrument_ = nullptr;
};

}  // namespace selvar::entry
