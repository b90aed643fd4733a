#pragma once

#include <QString>
#include <optional>

namespace Oracle {

// The three items the user types on the connection page.
struct ConnectionData {
    QString sid;
    QString user;
    QString password;

    bool operator==(const ConnectionData&) const = default;
};

QString ConnectionString(const QString& sid, const QString& user, const QString& password);
QString ConnectionString(const ConnectionData& data);

// Recovers the three items from a text built by ConnectionString. Nothing in the
// text is escaped, so the fixed attribute order decides: the SID runs up to the
// first ";User Id=", the user name up to the next ";Password=", and the password
// is everything after it but the closing ";". A password may therefore hold any
// character, ";" and "=" included.
std::optional<ConnectionData> ParseConnectionString(const QString& text);

} // namespace Oracle
