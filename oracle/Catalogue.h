#pragma once

#include "Session.h"

#include <QStringList>
#include <functional>

namespace Oracle {

// Called once per row read, so the window can repaint while a long list is read.
using YieldFn = std::function<void()>;

// True when a session opens with `connectionString`; never reports why not and
// never leaves a connection open.
bool CanConnect(const QString& connectionString);

// The names of the connected user's tables, in the order the database gives them.
QStringList TableList(Session& session, const YieldFn& yield);

struct Column {
    QString name;
    QString type;
};

// The columns of one of the user's own tables with their declared types.
QList<Column> ColumnTypes(Session& session, const QString& table);

// The column names of one of the user's own tables, in column order; a NULL name
// reads as the empty text.
QStringList ColumnList(Session& session, const QString& table, const YieldFn& yield);

} // namespace Oracle
