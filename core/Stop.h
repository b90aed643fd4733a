#pragma once

#include <QElapsedTimer>
#include <functional>

// How long-running work is stopped, one way for every front end: the work asks
// `KeepGoing` now and then (the wizard repaints and takes clicks there, the
// command line looks whether Ctrl+C came), and once it answers false the work
// throws `Stopped`, taking back what it changed on its way out.
using KeepGoing = std::function<bool()>;

struct Stopped {};

// Asks `KeepGoing` at most every few milliseconds however often it is poked, so
// a tight loop stays responsive without paying for a clock read on every step.
class StopCheck {
public:
    explicit StopCheck(KeepGoing keepGoing);
    // Cheap enough for every row: reads the clock only now and then.
    void poke() {
        if (++m_pokes % kPokesPerClockRead == 0)
            check();
    }
    // Asks when the last question is long enough ago; throws Stopped on false.
    void check();

private:
    static constexpr unsigned kPokesPerClockRead = 256;

    KeepGoing m_keepGoing;
    QElapsedTimer m_sinceAsked;
    unsigned m_pokes = 0;
};
