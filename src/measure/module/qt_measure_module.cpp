// SPDX-License-Identifier: GPL-3.0-or-later
#include "measure/module/qt_measure_module.h"

#include "measure/audio/qt_audio_port.h"
#include "measure/charts/report_pdf.h"
#include "measure/window/frm_measure.h"

namespace selvar::measure {

audio::AudioDeviceList QtMeasureModule::listAudioDevices() {
    return audio::listAudioDevices();
}

std::unique_ptr<audio::AudioPort> QtMeasureModule::makeAudioPort(const std::string& output,
                                                                 const std::string& input) {
    return std::make_unique<audio::QtAudioPort>(QByteArray::fromStdString(output),
                                                QByteArray::fromStdString(input));
}

std::unique_ptr<QWidget> QtMeasureModule::makeWindow(MeasurementSession& session,
                                                     MeasureHooks hooks) {
    return std::make_unique<frmMeasure>(session, std::move(hooks));
}

void QtMeasureModule::setJobRunning(QWidget& window, bool running) {
    static_cast<frmMeasure&>(window).setJobRunning(running);
}

bool QtMeasureModule::saveReport(const MeasurementSession& session, const ReportSetup& setup,
                                 const std::string& path, std::string& error) {
    return saveSessionReport(session, setup, path, error);
}

}  // namespace selvar::measure
