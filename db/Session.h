#pragma once

#include "ConnectionData.h"
#include "Dialect.h"
#include "Kind.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QVariantMap>
#include <memory>
#include <stdexcept>

namespace Db {

// True when `path` names an existing SQLite database file (it begins with the
// 16-byte SQLite header).
bool IsSqliteFile(const QString& path);

// One database session of one operation. It registers a connection of its own
// name and unregisters it when it is destroyed, so no operation leaves a
// connection behind. Record sets on it must be gone before it is.
class Session {
public:
    Session(const Kind& kind, ConnectionData data);
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // Opens the session; throws DatabaseError when it cannot.
    void open();
    const Kind& kind() const { return m_kind; }
    const Dialect& dialect() const { return m_kind.dialect(); }
    const ConnectionData& connectionData() const { return m_data; }
    QSqlDatabase database() const;

    // Runs a statement that returns no rows; throws DatabaseError.
    void execute(const QString& sql, const QVariantMap& values = {});

private:
    const Kind& m_kind;
    ConnectionData m_data;
    QString m_name;
};

// A forward-only result read row by row.
class RecordSet {
public:
    // Runs `sql` on `session`; throws DatabaseError.
    RecordSet(Session& session, const QString& sql, const QVariantMap& values = {});

    // Moves to the next row; false past the last one. Throws DatabaseError
    // when a row cannot be fetched.
    bool next();
    QVariant value(int index) const { return m_query.value(index); }
    int fieldCount() const;

private:
    QSqlQuery m_query;
};

// A test seam: makes the k-th open, statement or fetch from now on fail with
// the given error, as if the database had refused it, or the k-th large
// allocation of a run fail as if memory had run out (std::bad_alloc).
namespace FaultInjection {
enum class Point { Open, Statement, Fetch, Memory };
void failAt(Point point, int k, const QString& nativeCode, const QString& text);
void clear();
// Whether the armed error has been raised since it was armed.
bool fired();
// Raises the armed error when this is the call it waits for.
void check(Point point);
} // namespace FaultInjection

// The number of connections registered at the moment; every operation gives
// back what it took.
int RegisteredConnections();

} // namespace Db
