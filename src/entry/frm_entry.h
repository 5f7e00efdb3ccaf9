#pragma once

#include <QWidget>

#include "chiplink/port_choice.h"

class QGroupBox;
class QLabel;
class QPushButton;
class QRadioButton;

namespace selvar::panel {
class frmMain;
class PanelLink;
}  // namespace selvar::panel

namespace selvar::chiplink {
class modSelvarHw;
}

namespace selvar::entry {

class modGlblData;

// The entry window: port choice, single or daisy-chained boards, a button per gain panel and
// the global reset. Constructing it runs the whole start-up, port traffic included, before it
// is first shown; closing it ends the program.
class frmEntry : public QWidget {
    Q_OBJECT
  public:
    // busMonitor: the bus monitor window, shown by the fourth button.
    frmEntry(modGlblData& glbl, chiplink::modSelvarHw& hw, panel::PanelLink& link,
             QWidget& busMonitor);
    ~frmEntry() override;

    // The operator's gestures, for remote control, through the same handlers.
    void selectPort(chiplink::PortChoice choice);  // the port option; selected already: nothing
    chiplink::PortChoice selectedPort() const;
    void selectTopology(bool dual);  // the topology option
    bool dualTopology() const;
    void pressPanelButton(int dut);  // "DUT1 Panel" / "DUT2 Panel"
    void pressResetAll();

    // What the running job does, with the stop button beside it; an empty text: no job runs.
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
    void resetPanels();
    void resetPanelUnderMute(panel::frmMain& panel);

    struct TwipsRect {
        int left, top, width, height;
    };
    template <class Control>
    Control* addControl(QWidget* parent, const char* caption, const char* name, const char* tooltip,
                        TwipsRect r);
    int pixels(int twips) const;
    void placeWindow(QWidget& window, long long leftTwips, long long topTwips) const;

    modGlblData& glbl_;
    chiplink::modSelvarHw& hw_;
    panel::PanelLink& link_;
    QWidget& busMonitor_;
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
    QLabel* lblJob_ = nullptr;
    QPushButton* btnStop_ = nullptr;
};

}  // namespace selvar::entry
