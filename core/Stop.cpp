#include "Stop.h"

namespace {
// Short enough that the window never feels stuck, long enough that asking
// costs nothing measurable.
constexpr qint64 kAskEveryMilliseconds = 20;
} // namespace

StopCheck::StopCheck(KeepGoing keepGoing) : m_keepGoing(std::move(keepGoing)) {
    m_sinceAsked.start();
}

void StopCheck::check() {
    if (!m_keepGoing || m_sinceAsked.elapsed() < kAskEveryMilliseconds)
        return;
    const bool goOn = m_keepGoing();
    m_sinceAsked.restart();
    if (!goOn)
        throw Stopped{};
}
