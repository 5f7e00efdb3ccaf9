// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "measure/gateway/measure_module.h"

namespace selvar::measure {

// The measurement module's work, over Qt Multimedia (QtAudioPort) and Qt Charts (frmMeasure,
// the PDF report). The program has it from the module this folder builds; tests, which link the
// libraries directly, hand it to the program themselves.
class QtMeasureModule final : public MeasureModule {
  public:
    audio::AudioDeviceList listAudioDevices() override;
    std::unique_ptr<audio::AudioPort> makeAudioPort(const std::string& output,
                                                    const std::string& input) override;
    std::unique_ptr<QWidget> makeWindow(MeasurementSession& session, MeasureHooks hooks) override;
    void setJobRunning(QWidget& window, bool running) override;
    bool saveReport(const MeasurementSession& session, const ReportSetup& setup,
                    const std::string& path, std::string& error) override;
};

}  // namespace selvar::measure
