#pragma once

#include <QUrl>
#include <functional>

// What the start-up needs from outside the program: opening the maker's web
// page and a random draw from 1 to 100. Tests pass their own, so no test opens
// anything.
struct StartupServices {
    std::function<void(const QUrl&)> openUrl;
    std::function<int()> draw;

    static StartupServices system();
};

// The maker's web page, opened on about one start in a hundred.
extern const QUrl kMakerPage;

// Opens the maker's web page when the draw is 7; any other draw opens nothing.
void MaybeShowMakerPage(const StartupServices& services);
