#include <QApplication>
#include <QCommandLineParser>

// Start-up of the program; the entry window arrives with the entry layer.
int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("selvar");
    QApplication::setApplicationVersion(SELVAR_VERSION);
    QCommandLineParser parser;
    parser.addHelpOption();
    parser.addVersionOption();
    parser.process(app);
    return 0;
}
