#pragma once

#include <QList>
#include <QLocale>
#include <QSet>
#include <QString>
#include <QVariant>
#include <algorithm>

// `fallback` when `value` is NULL, otherwise `value` itself, of its own type.
QVariant NullToDefault(const QVariant& value, const QVariant& fallback);

// "1 row", "2 rows": a count of rows as a message says it.
QString Rows(qint64 count, const QLocale& locale = QLocale::c());

// True when the file system can tell the file's time of last change; false on
// any error (no such file or folder, a bad path, no access).
bool FileExists(const QString& path);

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
