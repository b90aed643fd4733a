#include "RowKey.h"

#include <QDateTime>
#include <QtEndian>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace {

template <typename Number> void appendRaw(QByteArray& key, Number number) {
    char bytes[sizeof(Number)];
    qToLittleEndian(number, bytes);
    key.append(bytes, sizeof(Number));
}

void appendTagged(QByteArray& key, char tag, const char* data, qsizetype size) {
    key.append(tag);
    appendRaw(key, static_cast<quint32>(size));
    key.append(data, size);
}

// A text is stored one byte a character when every character fits a byte, and
// as UTF-16 otherwise; each text has exactly one form, so equal texts give
// equal keys, and the tag keeps the two forms apart.
void appendText(QByteArray& key, const QString& text, char narrowTag = 'L', char wideTag = 'S') {
    const bool narrow =
        std::all_of(text.cbegin(), text.cend(), [](QChar c) { return c.unicode() <= 0xff; });
    if (!narrow) {
        appendTagged(key, wideTag, reinterpret_cast<const char*>(text.utf16()),
                     text.size() * static_cast<qsizetype>(sizeof(char16_t)));
        return;
    }
    key.append(narrowTag);
    appendRaw(key, static_cast<quint32>(text.size()));
    for (const QChar c : text)
        key.append(static_cast<char>(c.unicode()));
}

void appendInteger(QByteArray& key, qint64 number) {
    key.append('I');
    appendRaw(key, number);
}

void appendReal(QByteArray& key, double number) {
    // 2^63 is exact as a double; anything integral below it fits an integer.
    constexpr double kIntegerLimit = 9223372036854775808.0;
    if (std::isfinite(number) && std::trunc(number) == number && number >= -kIntegerLimit &&
        number < kIntegerLimit) {
        appendInteger(key, static_cast<qint64>(number));
        return;
    }
    quint64 bits = 0;
    std::memcpy(&bits, &number, sizeof bits);
    key.append('R');
    appendRaw(key, bits);
}

} // namespace

void AppendKeyValue(QByteArray& key, const QVariant& value) {
    if (value.isNull()) {
        appendText(key, QString());
        return;
    }
    switch (value.typeId()) {
    case QMetaType::QString:
        appendText(key, value.toString());
        return;
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::Bool:
        appendInteger(key, value.toLongLong());
        return;
    case QMetaType::ULongLong: {
        const quint64 number = value.toULongLong();
        if (number <= static_cast<quint64>(std::numeric_limits<qint64>::max())) {
            appendInteger(key, static_cast<qint64>(number));
        } else {
            key.append('U');
            appendRaw(key, number);
        }
        return;
    }
    case QMetaType::Double:
    case QMetaType::Float:
        appendReal(key, value.toDouble());
        return;
    case QMetaType::QByteArray: {
        const QByteArray bytes = value.toByteArray();
        appendTagged(key, 'B', bytes.constData(), bytes.size());
        return;
    }
    case QMetaType::QDateTime:
        appendText(key, value.toDateTime().toString(Qt::ISODateWithMs), 'D', 'E');
        return;
    default:
        appendText(key, value.toString());
        return;
    }
}
