// The yardstick for start-up time and memory: a bare Qt Widgets program that opens one empty
// window and, with --quit-after-start, exits as soon as it has been shown.
#include <QApplication>
#include <QTimer>
#include <QWidget>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle("bare");
    window.resize(277, 161);
    window.show();
    if (QApplication::arguments().contains("--quit-after-start")) {
        QTimer::singleShot(0, &app, &QApplication::quit);
    }
    return QApplication::exec();
}
