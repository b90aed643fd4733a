#include "pages/Wizard.h"

#include <QApplication>
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

} // namespace

int main(int argc, char* argv[]) {
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
