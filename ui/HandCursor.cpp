#include "HandCursor.h"

#include "core/Values.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
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

// Installed, the file is with the program's data; in the build, beside it.
QString path() {
    const QString folder = QCoreApplication::applicationDirPath();
    const QString installed =
        QDir::cleanPath(folder + QStringLiteral("/../share/varnolt/HAND-M.CUR"));
    return QFileInfo::exists(installed) ? installed : folder + QStringLiteral("/HAND-M.CUR");
}

void load() {
    loaded().reset();
    const QString file = path();
    if (!FileExists(file))
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

const QPoint kHotSpot(5, 0);

namespace {

// X black, . white, blank transparent; the picture's top left is the file's.
const char* const kHand[] = {
    "     XX             ", "    X..X            ", "    X..X            ", "    X..X            ",
    "    X..X            ", "    X..XXX          ", "    X..X..XXX       ", "    X..X..X..XX     ",
    "    X..X..X..X.X    ", "XX  X..X..X..X..X   ", "X..XX........X..X   ", "X...X...........X   ",
    " X..............X   ", "  X.............X   ", "  X............X    ", "   X...........X    ",
    "   X..........X     ", "    X.........X     ", "    X.........X     ", "    XXXXXXXXXXX     "};
constexpr int kSide = 32;

void put16(QByteArray& out, quint16 value) {
    char bytes[2];
    qToLittleEndian(value, bytes);
    out.append(bytes, 2);
}

void put32(QByteArray& out, quint32 value) {
    char bytes[4];
    qToLittleEndian(value, bytes);
    out.append(bytes, 4);
}

char pixelAt(int x, int y) {
    constexpr int rows = sizeof kHand / sizeof kHand[0];
    if (y >= rows || x >= static_cast<int>(qstrlen(kHand[y])))
        return ' ';
    return kHand[y][x];
}

} // namespace

QByteArray fileBytes() {
    constexpr quint32 kColourBytes = kSide * kSide * 4;
    constexpr quint32 kMaskBytes = kSide * kSide / 8;
    constexpr quint32 kHeaderBytes = 40;
    QByteArray out;
    put16(out, 0); // directory: reserved, type 2 = cursor, one image
    put16(out, 2);
    put16(out, 1);
    out.append(char(kSide)).append(char(kSide)).append(char(0)).append(char(0));
    put16(out, static_cast<quint16>(kHotSpot.x()));
    put16(out, static_cast<quint16>(kHotSpot.y()));
    put32(out, kHeaderBytes + kColourBytes + kMaskBytes);
    put32(out, 22); // the image follows the directory
    put32(out, kHeaderBytes);
    put32(out, kSide);
    put32(out, kSide * 2); // colour and mask together
    put16(out, 1);
    put16(out, 32);
    for (int i = 0; i < 6; ++i)
        put32(out, i == 1 ? kColourBytes + kMaskBytes : 0);
    for (int y = kSide - 1; y >= 0; --y) { // bottom-up rows, BGRA
        for (int x = 0; x < kSide; ++x) {
            const char pixel = pixelAt(x, y);
            const char level = pixel == '.' ? char(0xff) : char(0);
            out.append(level).append(level).append(level);
            out.append(pixel == ' ' ? char(0) : char(0xff));
        }
    }
    for (int y = kSide - 1; y >= 0; --y) { // transparency mask, 1 = see through
        for (int byte = 0; byte < kSide / 8; ++byte) {
            uchar bits = 0;
            for (int bit = 0; bit < 8; ++bit) {
                if (pixelAt(byte * 8 + bit, y) == ' ')
                    bits |= uchar(0x80 >> bit);
            }
            out.append(char(bits));
        }
    }
    return out;
}

} // namespace HandCursor
