#pragma once

#include <QElapsedTimer>
#include <QList>
#include <QSet>
#include <QStringList>
#include <algorithm>
#include <functional>

class QListWidget;

namespace ZizEzevo {

// Calls `yield` at most every few milliseconds however often it is poked, so a
// tight loop keeps the window responsive without paying for it on every step.
class YieldThrottle {
public:
    explicit YieldThrottle(std::function<void()> yield);
    // Cheap enough for every row: reads the clock only now and then.
    void poke();
    // Reads the clock and yields when the last yield is long enough ago.
    void check();

private:
    std::function<void()> m_yield;
    QElapsedTimer m_sinceYield;
    unsigned m_pokes = 0;
};

// The 1-based positions of every element that repeats an earlier one, highest
// first. Values compare exactly (case-sensitive, no trimming).
QList<qint64> DuplicatePositions(const QStringList& values,
                                 const std::function<void()>& yield = {});

// Each distinct value once, taken at its last occurrence, in the order of those
// last occurrences.
template <typename T> QList<T> DistinctValues(const QList<T>& values) {
    QList<T> distinct;
    QSet<T> seen;
    for (auto it = values.crbegin(); it != values.crend(); ++it) {
        if (!seen.contains(*it)) {
            seen.insert(*it);
            distinct.append(*it);
        }
    }
    std::reverse(distinct.begin(), distinct.end());
    return distinct;
}

// Removes from `target` every item whose text equals the text of an item of
// `reference`, each occurrence; `reference` is not changed. A removed selected
// item leaves `target` without a selection; otherwise the selected item stays.
void RemoveItemsListedIn(QListWidget* target, const QListWidget* reference);

} // namespace ZizEzevo
