#pragma once

#include "DatabaseError.h"
#include "Session.h"
#include "core/Stop.h"

#include <QStringList>
#include <optional>

namespace Db {

// Why a session does not open with `data`, or nothing when it does; never
// leaves a connection open.
std::optional<DatabaseError> ConnectError(const Kind& kind, const ConnectionData& data);
// True when a session opens with `data`; never reports why not.
bool CanConnect(const Kind& kind, const ConnectionData& data);

// Runs statements that drop what an earlier run may have left, on a session of
// its own. That there is nothing to drop is the normal case, so their failures
// are ignored; a failure to connect is not.
void DropLeftovers(const Kind& kind, const ConnectionData& data, const QStringList& statements);
void DropSequence(const Kind& kind, const ConnectionData& data, const QString& sequence);

// The names of the connected user's tables, in the order the database gives
// them. `keepGoing` is asked while a long list is read.
QStringList TableList(Session& session, const KeepGoing& keepGoing = {});

QList<Column> ColumnsNamed(const QStringList& names);
QStringList NamesOf(const QList<Column>& columns);

// What is said of a table that someone else dropped since it was listed.
DatabaseError TableGone(const QString& table);

// The columns of one of the user's own tables with their declared types.
// Throws DatabaseError, saying so, when the table no longer exists.
QList<Column> ColumnTypes(Session& session, const QString& table);

// The column names of one of the user's own tables, in column order; a NULL name
// reads as the empty text.
QStringList ColumnList(Session& session, const QString& table, const KeepGoing& keepGoing = {});
// The same, but for the columns the database computes itself.
QStringList WrittenColumns(Session& session, const QString& table);

} // namespace Db
