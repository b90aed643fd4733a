#include "pages/Wizard.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QGuiApplication>
#include <cstdio>

namespace {

// Qt aborts with a long plugin report when it finds no display; one plain line
// says what to do instead.
bool displayAvailable() {
    if (!qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        return true;
    return !qEnvironmentVariableIsEmpty("DISPLAY") ||
           !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

// --version and --help answer without a window, so they work without a
// display too.
void answerWithoutWindow(int argc, char* argv[]) {
    for (int i = 1; i < argc; ++i) {
        const QByteArray argument(argv[i]);
        if (argument != "--version" && argument != "-v" && argument != "--help" && argument != "-h")
            continue;
        QCoreApplication application(argc, argv);
        QCoreApplication::setApplicationName(QStringLiteral("varnolt"));
        QCoreApplication::setApplicationVersion(QStringLiteral(VARNOLT_VERSION));
        QCommandLineParser options;
        options.setApplicationDescription(
            QStringLiteral("A wizard that copies one table of a database without its duplicate "
                           "rows. It starts on the connection stored from the last time."));
        options.addHelpOption();
        options.addVersionOption();
        options.process(application);
    }
}

} // namespace

int main(int argc, char* argv[]) {
    answerWithoutWindow(argc, argv);
    if (!displayAvailable()) {
        std::fprintf(stderr,
                     "Varnolt needs a display: none is set here. Run it as "
                     "'xvfb-run -a %s' to use a virtual one.\n",
                     argv[0]);
        return 1;
    }
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Varnolt"));
    QGuiApplication::setQuitOnLastWindowClosed(false);
    Wizard wizard(StartupServices::system());
    wizard.start();
    return QApplication::exec();
}
