#pragma once

#include "ConnectionData.h"
#include "DatabaseKind.h"
#include "Dialect.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QVariantMap>
#include <memory>
#include <stdexcept>

namespace Db {

// The SQLite file a SID names (see KindOf), "~/" expanded, or the empty text
// when the SID names a server.
QString DatabaseFile(const QString& sid);

// True when `path` names an existing SQLite database file (it begins with the
// 16-byte SQLite header).
bool IsSqliteFile(const QString& path);
// Throws DatabaseError, saying so, unless `path` is such a file. Opening a
// missing file would otherwise make an empty database of it.
void RequireSqliteFile(const QString& path);

// One database session of one operation. It registers a connection of its own
// name and unregisters it when it is destroyed, so no operation leaves a
// connection behind. Record sets on it must be gone before it is.
class Session {
public:
    explicit Session(ConnectionData data);
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // Opens the session; throws DatabaseError when it cannot.
    void open();
    const Dialect& dialect() const { return *m_support.dialect; }
    // The dialect as the one class of its kind, for the run of that kind.
    template <typename KindDialect> const KindDialect& dialectAs() const {
        if (const auto* dialect = dynamic_cast<const KindDialect*>(m_support.dialect.get()))
            return *dialect;
        throw std::logic_error("a run of another kind of database");
    }
    const ConnectionData& connectionData() const { return m_data; }
    // The database file, for a session on SQLite.
    const QString& file() const { return m_file; }
    QSqlDatabase database() const;

    // Runs a statement that returns no rows; throws DatabaseError.
    void execute(const QString& sql, const QVariantMap& values = {});

private:
    ConnectionData m_data;
    QString m_name;
    QString m_file;
    KindSupport m_support;
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
