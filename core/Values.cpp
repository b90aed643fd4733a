#include "Values.h"

#include <QFileInfo>

QVariant NullToDefault(const QVariant& value, const QVariant& fallback) {
    return value.isNull() ? fallback : value;
}

bool FileExists(const QString& path) {
    if (path.isEmpty())
        return false;
    const QFileInfo info(path);
    return info.exists() && info.lastModified().isValid();
}

QString Rows(qint64 count, const QLocale& locale) {
    return locale.toString(count) + (count == 1 ? QStringLiteral(" row") : QStringLiteral(" rows"));
}
