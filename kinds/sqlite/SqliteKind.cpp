#include "SqliteKind.h"

#include "SqliteFile.h"
#include "SqliteFirstRowsPlan.h"
#include "SqliteJudgedPlan.h"
#include "SqliteTable.h"
#include "db/DatabaseError.h"
#include "db/Session.h"

#include <QDir>
#include <QFileInfo>
#include <QSqlDatabase>
#include <algorithm>

namespace {

// A locked file is waited for this long before the statement fails; the long
// limits of an Oracle run would leave the user staring at an hourglass.
constexpr int kBusyMilliseconds = 5000;

// How SQLite files are named, as sqlite3 users type them.
constexpr const char* kFileEndings[] = {".sqlite", ".sqlite3", ".db"};

} // namespace

// A path that starts with "/" (not "//", which EZConnect takes), "./", "../"
// or "~/"; the bare name of an existing SQLite file, as sqlite3 takes it; or
// a bare name that reads as a SQLite file's, so that its absence is said.
bool SqliteKind::names(const QString& dataSource) const {
    if (dataSource.startsWith(QStringLiteral("//")))
        return false;
    for (const QString& start :
         {QStringLiteral("/"), QStringLiteral("./"), QStringLiteral("../"), QStringLiteral("~/")}) {
        if (dataSource.startsWith(start))
            return true;
    }
    if (QFileInfo(dataSource).isFile() && Db::IsSqliteFile(dataSource))
        return true;
    return std::any_of(std::begin(kFileEndings), std::end(kFileEndings), [&](const char* ending) {
        return dataSource.endsWith(QLatin1String(ending)) && !QFileInfo::exists(dataSource);
    });
}

QString SqliteKind::missingDriver() const {
    return QStringLiteral("The SQLite driver (Qt's QSQLITE plugin) is not installed on this "
                          "computer.");
}

// Opening a missing file would make an empty database of it.
void SqliteKind::check(const Db::ConnectionData& data) const {
    Db::RequireSqliteFile(SqliteFileOf(data.sid));
}

// SQLite names its journal and log after the file a link leads to.
QStringList SqliteKind::files(const Db::ConnectionData& data) const {
    const QFileInfo named(SqliteFileOf(data.sid));
    const QString file = named.exists() ? named.canonicalFilePath() : named.filePath();
    return {file, file + QStringLiteral("-journal"), file + QStringLiteral("-wal"),
            file + QStringLiteral("-shm")};
}

void SqliteKind::configure(QSqlDatabase& database, const Db::ConnectionData& data) const {
    database.setDatabaseName(SqliteFileOf(data.sid));
    database.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(kBusyMilliseconds));
}

std::unique_ptr<RunPlan> SqliteKind::plan(const RunContext& context, Db::Session& session) const {
    if (context.inputs.options.judged())
        return std::make_unique<SqliteJudgedPlan>(context, session);
    return std::make_unique<SqliteFirstRowsPlan>(context, session);
}

RunResult SqliteKind::restore(Db::Session& session, const QString& table, const QString& from,
                              bool dryRun) const {
    using namespace SqliteTable;
    RunResult result;
    result.status = RunResult::Status::Refused;
    Db::SqliteFile file(SqliteFileOf(session.connectionData().sid));
    const QStringList columns = Db::NamesOf(ColumnsOf(file, m_dialect, table));
    const QStringList kept = Db::NamesOf(ColumnsOf(file, m_dialect, from));
    if (columns.isEmpty() || !kept.contains(kRowNumberColumn)) {
        result.message = NoRemovedRows(table, from);
        return result;
    }
    const Object source = LookUp(file, m_dialect, table);
    const QString rowid = source.withoutRowid ? QString() : Db::SqliteDialect::rowidName(columns);
    file.execute(m_dialect.beginChange());
    try {
        file.execute(
            m_dialect.restoreRows(table, from, WritableColumns(file, m_dialect, table), rowid));
        result.rowsKept = file.changes();
        file.execute(m_dialect.dropTable(from));
        file.execute(dryRun ? m_dialect.rollbackChange() : m_dialect.commitChange());
    } catch (const Db::DatabaseError& error) {
        TakeBack(file, m_dialect);
        result.message = PlaceTaken(table, error.text());
        return result;
    }
    result.status = RunResult::Status::Done;
    return result;
}

QString SqliteFileOf(const QString& dataSource) {
    if (dataSource.startsWith(QStringLiteral("~/")))
        return QDir::homePath() + dataSource.mid(1);
    return dataSource;
}
