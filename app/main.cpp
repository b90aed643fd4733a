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
        options.addPositionalArgument(QStringLiteral("DATABASE"),
                                      QStringLiteral("a database to open, as typed as the SID"),
                                      QStringLiteral("[DATABASE]"));
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
    // What Qt takes for itself is gone from the arguments by now.
    QCommandLineParser options;
    options.addPositionalArgument(QStringLiteral("DATABASE"),
                                  QStringLiteral("a database to open, as typed as the SID"),
                                  QStringLiteral("[DATABASE]"));
    if (!options.parse(QCoreApplication::arguments()) || options.positionalArguments().size() > 1) {
        std::fprintf(stderr, "varnolt: %s\nTry 'varnolt --help'.\n",
                     qPrintable(options.errorText().isEmpty()
                                    ? QStringLiteral("one database at most")
                                    : options.errorText()));
        return 2;
    }
    Wizard wizard(StartupServices::system());
    wizard.start(options.positionalArguments().value(0));
    return QApplication::exec();
}
