#include "RowKey.h"

#include "Varint.h"

#include <QDateTime>
#include <QStringDecoder>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace {

void appendLength(std::string& key, std::size_t length) {
    unsigned char bytes[Varint::kLongest];
    key.append(reinterpret_cast<const char*>(bytes),
               std::size_t(Varint::Write(bytes, length) - bytes));
}

// A short text or blob, as most are, takes one byte for its kind and length
// together (the kinds' letters are all below 0x80); a longer one its letter
// and its length.
void appendBytes(std::string& key, char tag, const char* data, std::size_t size) {
    constexpr std::size_t kShort = 0x40;
    if (size < kShort) {
        key.push_back(static_cast<char>((tag == 'T' ? 0x80 : 0xC0) | size));
    } else {
        key.push_back(tag);
        appendLength(key, size);
    }
    key.append(data, size);
}

void appendEight(std::string& key, char tag, quint64 bits) {
    key.push_back(tag);
    char bytes[8];
    std::memcpy(bytes, &bits, sizeof bytes);
    key.append(bytes, sizeof bytes);
}

void appendInteger(std::string& key, qint64 number) {
    appendEight(key, 'I', static_cast<quint64>(number));
}

void appendReal(std::string& key, double number) {
    // 2^63 is exact as a double; anything integral below it fits an integer,
    // so 1.0 equals 1 and -0.0 equals 0.
    constexpr double kIntegerLimit = 9223372036854775808.0;
    if (std::isfinite(number) && std::trunc(number) == number && number >= -kIntegerLimit &&
        number < kIntegerLimit) {
        appendInteger(key, static_cast<qint64>(number));
        return;
    }
    if (std::isnan(number))
        number = std::numeric_limits<double>::quiet_NaN();
    quint64 bits = 0;
    std::memcpy(&bits, &number, sizeof bits);
    appendEight(key, 'R', bits);
}

void appendText(std::string& key, const QByteArray& utf8) {
    appendBytes(key, 'T', utf8.constData(), static_cast<std::size_t>(utf8.size()));
}

QByteArray folded(QString text, const KeyFolding& folding) {
    if (folding.trim)
        text = text.trimmed();
    if (folding.ignoreCase)
        text = text.toCaseFolded();
    return text.toUtf8();
}

} // namespace

void AppendKeyValue(std::string& key, const Db::RawValue& value) {
    using Kind = Db::RawValue::Kind;
    switch (value.kind) {
    case Kind::Null:
        appendBytes(key, 'T', nullptr, 0);
        return;
    case Kind::Integer:
        appendInteger(key, value.integer);
        return;
    case Kind::Real:
        appendReal(key, value.real);
        return;
    case Kind::Text:
        appendBytes(key, 'T', value.data, static_cast<std::size_t>(value.size));
        return;
    case Kind::Blob:
        appendBytes(key, 'B', value.data, static_cast<std::size_t>(value.size));
        return;
    }
}

void AppendKeyValue(std::string& key, const Db::RawValue& value, const KeyFolding& folding) {
    if (value.kind != Db::RawValue::Kind::Text || (!folding.ignoreCase && !folding.trim)) {
        AppendKeyValue(key, value);
        return;
    }
    const char* begin = value.data;
    const char* end = value.data + value.size;
    // Most texts are ASCII in UTF-8, where folding is a byte's business; it
    // gives the bytes Unicode folding would.
    if (value.encoding == QStringConverter::Utf8 &&
        std::all_of(begin, end, [](char c) { return static_cast<unsigned char>(c) < 0x80; })) {
        const auto blank = [](char c) { return c == ' ' || (c >= '\t' && c <= '\r'); };
        while (folding.trim && begin != end && blank(*begin))
            ++begin;
        while (folding.trim && begin != end && blank(end[-1]))
            --end;
        appendBytes(key, 'T', begin, std::size_t(end - begin));
        if (folding.ignoreCase)
            std::transform(key.end() - (end - begin), key.end(), key.end() - (end - begin),
                           [](char c) { return c >= 'A' && c <= 'Z' ? char(c + 32) : c; });
        return;
    }
    QStringDecoder decode(value.encoding);
    appendText(key, folded(decode(QByteArrayView(value.data, value.size)), folding));
}

void AppendKeyValue(std::string& key, const QVariant& value, const KeyFolding& folding) {
    if (value.typeId() == QMetaType::QString && (folding.ignoreCase || folding.trim))
        appendText(key, folded(value.toString(), folding));
    else
        AppendKeyValue(key, value);
}

void AppendKeyValue(std::string& key, const QVariant& value) {
    if (value.isNull()) {
        appendBytes(key, 'T', nullptr, 0);
        return;
    }
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::Bool:
        appendInteger(key, value.toLongLong());
        return;
    case QMetaType::ULongLong: {
        const quint64 number = value.toULongLong();
        if (number <= static_cast<quint64>(std::numeric_limits<qint64>::max()))
            appendInteger(key, static_cast<qint64>(number));
        else
            appendEight(key, 'U', number);
        return;
    }
    case QMetaType::Double:
    case QMetaType::Float:
        appendReal(key, value.toDouble());
        return;
    case QMetaType::QByteArray: {
        const QByteArray bytes = value.toByteArray();
        appendBytes(key, 'B', bytes.constData(), static_cast<std::size_t>(bytes.size()));
        return;
    }
    case QMetaType::QDateTime:
        appendText(key, value.toDateTime().toString(Qt::ISODateWithMs).toUtf8());
        return;
    default:
        appendText(key, value.toString().toUtf8());
        return;
    }
}
