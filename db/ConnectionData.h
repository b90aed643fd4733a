#pragma once

#include "DatabaseKind.h"

#include <QString>

namespace Db {

// The three items the user types on the connection page. Sessions open from
// these values; nothing parses them back out of a text.
struct ConnectionData {
    QString sid;
    QString user;
    QString password;

    DatabaseKind kind() const { return KindOf(sid); }

    bool operator==(const ConnectionData&) const = default;
};

// The provider-style text the connection data is known by, built as documented:
// nothing in it is escaped, so it is for storing and showing only.
QString ConnectionString(const ConnectionData& data);

} // namespace Db
