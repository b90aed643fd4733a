#include "HandCursor.h"

#include "Main.h"

#include <QCoreApplication>
#include <QFile>
#include <QPixmap>
#include <QtEndian>
#include <optional>

namespace HandCursor {

namespace {

std::optional<QCursor>& loaded() {
    static std::optional<QCursor> cursor;
    return cursor;
}

// A .cur file keeps the hot spot of its first image in the directory entry,
// where an icon file keeps its colour planes and bit count.
QPoint hotSpot(const QByteArray& file) {
    constexpr int kDirectoryEntry = 6;
    if (file.size() < kDirectoryEntry + 16)
        return {0, 0};
    const auto* entry = reinterpret_cast<const uchar*>(file.constData()) + kDirectoryEntry;
    return {qFromLittleEndian<quint16>(entry + 4), qFromLittleEndian<quint16>(entry + 6)};
}

} // namespace

QString path() {
    return QCoreApplication::applicationDirPath() + QStringLiteral("/HAND-M.CUR");
}

void load() {
    loaded().reset();
    const QString file = path();
    if (!Main::FileExists(file))
        return;
    QFile source(file);
    if (!source.open(QIODevice::ReadOnly))
        return;
    const QByteArray bytes = source.readAll();
    QPixmap picture;
    if (!picture.loadFromData(bytes, "CUR") || picture.isNull())
        return;
    const QPoint hot = hotSpot(bytes);
    loaded() = QCursor(picture, hot.x(), hot.y());
}

QCursor cursor() {
    return loaded().value_or(QCursor(Qt::ArrowCursor));
}

} // namespace HandCursor
