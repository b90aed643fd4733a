#include "MakerPage.h"

#include <QDesktopServices>
#include <QRandomGenerator>

const QUrl kMakerPage(QStringLiteral("https://www.kestrelby.example/varnolt"));

StartupServices StartupServices::system() {
    return {[](const QUrl& url) { QDesktopServices::openUrl(url); },
            [] { return static_cast<int>(QRandomGenerator::global()->bounded(1, 101)); }};
}

void MaybeShowMakerPage(const StartupServices& services) {
    // A browser that cannot be started must not keep the wizard from starting.
    if (services.draw && services.openUrl && services.draw() == 7)
        services.openUrl(kMakerPage);
}
