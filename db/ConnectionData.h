#pragma once

#include <QString>

namespace Db {

// The three items the user types on the connection page. Sessions open from
// these values; nothing parses them back out of a text.
struct ConnectionData {
    QString sid;
    QString user;
    QString password;

    bool operator==(const ConnectionData&) const = default;
};

} // namespace Db
