#pragma once

#include <QStringConverter>
#include <QVariant>

namespace Db {

// A value as the database holds it, read without conversion: texts keep their exact
// bytes in the database's own encoding, whatever they are, so two texts that
// differ only in bytes no conversion keeps apart stay apart.
struct RawValue {
    enum class Kind { Null, Integer, Real, Text, Blob };
    Kind kind = Kind::Null;
    qint64 integer = 0;
    double real = 0;
    const char* data = nullptr;
    int size = 0;
    QStringConverter::Encoding encoding = QStringConverter::Utf8;

    QVariant toVariant() const;
};

} // namespace Db
