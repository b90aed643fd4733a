#include "DuplicatePositions.h"

#include "RepeatFinder.h"

#include <algorithm>

QList<qint64> DuplicatePositions(const QStringList& values, const KeepGoing& keepGoing) {
    StopCheck stop(keepGoing);
    RepeatFinder finder({.order = RepeatFinder::Order::Rising, .keptNumbers = false, .pulse = [&] {
                             stop.check();
                         }});
    QList<qint64> positions;
    for (qsizetype i = 0; i < values.size(); ++i) {
        stop.poke();
        const QString& value = values.at(i);
        const QByteArrayView key(reinterpret_cast<const char*>(value.utf16()),
                                 value.size() * static_cast<qsizetype>(sizeof(char16_t)));
        if (finder.offer(key, i + 1))
            positions.append(i + 1);
    }
    std::reverse(positions.begin(), positions.end());
    return positions;
}
