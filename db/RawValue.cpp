#include "RawValue.h"

#include <QByteArray>
#include <QString>

namespace Db {

QVariant RawValue::toVariant() const {
    switch (kind) {
    case Kind::Integer:
        return integer;
    case Kind::Real:
        return real;
    case Kind::Text: {
        QStringDecoder decode(encoding);
        return QString(decode(QByteArrayView(data, size)));
    }
    case Kind::Blob:
        return QByteArray(data, size);
    case Kind::Null:
        break;
    }
    return QVariant(QMetaType::fromType<QString>());
}

} // namespace Db
