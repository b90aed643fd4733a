#include "ZizEzevo.h"

#include "RepeatFinder.h"
#include "app/Main.h"

#include <QHash>
#include <QListWidget>

namespace ZizEzevo {

namespace {
constexpr qint64 kYieldEveryMilliseconds = 20;
constexpr unsigned kPokesPerClockRead = 256;
} // namespace

YieldThrottle::YieldThrottle(std::function<void()> yield) : m_yield(std::move(yield)) {
    m_sinceYield.start();
}

void YieldThrottle::poke() {
    if (++m_pokes % kPokesPerClockRead == 0)
        check();
}

void YieldThrottle::check() {
    if (!m_yield || m_sinceYield.elapsed() < kYieldEveryMilliseconds)
        return;
    m_yield();
    m_sinceYield.restart();
}

QList<qint64> DuplicatePositions(const QStringList& values, const std::function<void()>& yield) {
    YieldThrottle throttle(yield);
    RepeatFinder finder([&] { throttle.check(); });
    QList<qint64> positions;
    for (qsizetype i = 0; i < values.size(); ++i) {
        throttle.poke();
        const QString& value = values.at(i);
        const QByteArrayView key(reinterpret_cast<const char*>(value.utf16()),
                                 value.size() * static_cast<qsizetype>(sizeof(char16_t)));
        if (finder.offer(key, i + 1) != 0)
            positions.append(i + 1);
    }
    std::reverse(positions.begin(), positions.end());
    return positions;
}

void RemoveItemsListedIn(QListWidget* target, const QListWidget* reference) {
    QHash<QString, QList<int>> rowsByText;
    for (int row = 0; row < target->count(); ++row)
        rowsByText[target->item(row)->text()].append(row);

    // A text the reference names twice yields its rows twice.
    QList<int> rows;
    for (int j = 0; j < reference->count(); ++j)
        rows += rowsByText.value(reference->item(j)->text());
    rows = DistinctValues(rows);
    std::sort(rows.begin(), rows.end(), std::greater<>());
    for (const int row : rows)
        Main::RemoveListItem(target, row);
}

} // namespace ZizEzevo
