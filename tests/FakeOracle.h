#pragma once

#include <QSqlDriver>
#include <QSqlResult>
#include <QStringList>
#include <QVariantList>
#include <functional>

// A stand-in for Qt's OCI driver, registered under its name "QOCI", so the
// Oracle path of the program runs here without an Oracle server. It logs every
// statement with its bound values and answers queries from a script.
namespace FakeOracle {

struct Answer {
    QStringList columns;
    QList<QVariantList> rows;
    // When set, the statement fails with this Oracle error.
    QString errorCode = {};
    QString errorText = {};
};

// Registers the driver (once per process) and forgets earlier logs and scripts.
void install();
// Statements in the order they were run, "; binds: a, b" appended when bound.
QStringList& log();
// Decides the answer to every statement; the default answers with no rows.
void setScript(std::function<Answer(const QString& sql, const QVariantList& binds)> script);
// The connect options of the last session opened.
QString& connectOptions();
// The only password the fake accepts.
inline const QString kPassword = QStringLiteral("tiger");

} // namespace FakeOracle
