#pragma once

#include <QString>
#include <QStringList>

class QSqlDatabase;

namespace Db {

class Dialect;
struct ConnectionData;

// One kind of database as a session meets it: its statements and how a
// connection to it is made. Each kind lives in a folder of its own; the kind
// table above them says which one a Data Source names.
class Kind {
public:
    virtual ~Kind() = default;

    // Whether this kind takes the Data Source (the SID box, or the command
    // line's DB); the kind table asks each in turn.
    virtual bool names(const QString& dataSource) const = 0;
    virtual const Dialect& dialect() const = 0;
    // Qt's SQL driver.
    virtual QString driver() const = 0;
    // What the user is told when the driver is not installed.
    virtual QString missingDriver() const = 0;
    // Whether a user name and password let the user in.
    virtual bool logsIn() const { return true; }
    // Whether its client finds a password of its own (environment, password
    // file) where none is given.
    virtual bool findsPasswords() const { return false; }
    // Throws DatabaseError where the connection cannot be tried at all.
    virtual void check(const ConnectionData&) const {}
    // The files the database keeps its data in, where it is a file on this
    // computer: nothing else may be written over them.
    virtual QStringList files(const ConnectionData&) const { return {}; }
    // Puts the connection data into a connection of the driver.
    virtual void configure(QSqlDatabase& database, const ConnectionData& data) const = 0;
    // Says what every session of the kind must say first; throws
    // DatabaseError.
    virtual void opened(QSqlDatabase&) const {}
};

} // namespace Db
