#pragma once

#include <QMap>
#include <QSet>
#include <QSqlDriver>
#include <QSqlResult>
#include <QStringList>
#include <QVariantList>
#include <functional>
#include <optional>

// A stand-in for Qt's OCI driver, registered under its name "QOCI", so the
// Oracle path of the program runs here without an Oracle server. It logs every
// statement with its bound values and answers as a server with the schema
// below would: the catalogue from the schema, DDL changing it and refused
// with Oracle's own errors where a server refuses it (a missing or existing
// object, an IN list over 1,000 items), DDL committing an open transaction
// (its "BEGIN", "COMMIT" and "ROLLBACK" are logged too). A test's script may answer any
// statement first, for the rows of a query or to make a statement fail.
namespace FakeOracle {

struct Answer {
    QStringList columns;
    QList<QVariantList> rows;
    // When set, the statement fails with this Oracle error.
    QString errorCode = {};
    QString errorText = {};
};

// What the server holds: each table's columns as (name, type), and the
// names of sequences and indexes.
struct Schema {
    QMap<QString, QList<std::pair<QString, QString>>> tables;
    QSet<QString> sequences;
    QSet<QString> indexes;
};

// Registers the driver (once per process) and forgets earlier logs, scripts
// and the schema.
void install();
Schema& schema();
// Statements in the order they were run, "; binds: a, b" appended when bound.
QStringList& log();
// Answers a statement before the server does; nothing lets the server answer.
using Script = std::function<std::optional<Answer>(const QString& sql, const QVariantList& binds)>;
void setScript(Script script);
// The connect options of the last session opened.
QString& connectOptions();
// The only password the fake accepts.
inline const QString kPassword = QStringLiteral("tiger");

} // namespace FakeOracle
