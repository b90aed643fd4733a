#pragma once

#include <QString>
#include <memory>

class QSqlDatabase;

namespace Db {

class Dialect;
struct ConnectionData;

enum class DatabaseKind { Sqlite, PostgreSql, Oracle };

// Which database a Data Source (the SID box, or the command line's DB)
// names: a path that starts with "/" (not "//"), "./", "../" or "~/" is a
// SQLite file; a "postgresql://" or "postgres://" URI is PostgreSQL; anything
// else is an Oracle net service name, EZConnect string or descriptor.
DatabaseKind KindOf(const QString& dataSource);

// What a session of one kind is made of. Every kind has one of these, and
// this is the one place that knows them all.
struct KindSupport {
    std::unique_ptr<Dialect> dialect;
    // Qt's SQL driver; empty for SQLite files, which are checked and opened
    // by the session itself.
    QString driver;
    // Puts the connection data into a connection of that driver.
    void (*configure)(QSqlDatabase& database, const ConnectionData& data);
    // What the user is told when the driver is not installed.
    QString missingDriver;
};
KindSupport SupportFor(DatabaseKind kind);

} // namespace Db
