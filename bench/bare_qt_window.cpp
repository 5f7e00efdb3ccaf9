// SPDX-License-Identifier: GPL-3.0-or-later
// The yardstick for start-up time and memory: a bare Qt Widgets program that opens one empty
// window and, with --quit-after-start, exits as soon as it has been shown. With --label the
// window shows one line of text, which separates the cost of fonts from the rest.
#include <QApplication>
#include <QLabel>
#include <QTimer>
#include <QWidget>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle("bare");
    window.resize(277, 161);
    if (QApplication::arguments().contains("--label")) {
        new QLabel(QStringLiteral("Port 378h:  LPT1"), &window);
    }
    window.show();
    if (QApplication::arguments().contains("--quit-after-start")) {
        QTimer::singleShot(0, &app, &QApplication::quit);
    }
    return QApplication::exec();
}
