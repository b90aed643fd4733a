#include "WriteSurvivors.h"

#include "RepeatFinder.h"
#include "RowKey.h"
#include "db/DatabaseError.h"
#include "db/SqliteDialect.h"
#include "db/SqliteFile.h"

#include <algorithm>
#include <chrono>
#include <thread>
#include <vector>

using Db::DatabaseError;
using Db::SqliteDialect;
using Db::SqliteFile;

namespace {

// What a name denotes in the file: its kind ("table", "virtual", "view",
// "index", "trigger", "internal" for the database's own tables and a virtual
// table's shadows; empty when nothing has the name) and, for a table, whether
// it has no rowid and its own CREATE TABLE statement.
struct Object {
    QString kind;
    bool withoutRowid = false;
    QString definition;

    bool isTable() const {
        return kind == QStringLiteral("table") || kind == QStringLiteral("virtual");
    }
    bool operator==(const Object&) const = default;
};

Object lookUp(SqliteFile& file, const SqliteDialect& sql, const QString& name) {
    Object object;
    SqliteFile::Statement row(file, sql.objectKind());
    row.bind(1, name);
    if (row.step()) {
        object.kind = row.text(0);
        object.withoutRowid = row.integer(1) != 0;
        object.definition = row.text(2);
    }
    if (object.kind == QStringLiteral("shadow") ||
        name.startsWith(QStringLiteral("sqlite_"), Qt::CaseInsensitive))
        object.kind = QStringLiteral("internal");
    return object;
}

QString kindWithArticle(const QString& kind) {
    return (kind == QStringLiteral("index") ? QStringLiteral("an ") : QStringLiteral("a ")) + kind;
}

// Why a source cannot be copied, or the empty text when it can.
QString sourceRefusal(const Object& source, const QString& name) {
    if (source.kind == QStringLiteral("internal"))
        return QStringLiteral("%1 is an internal table of the database. Only your own tables can "
                              "be copied.")
            .arg(name);
    if (!source.kind.isEmpty() && !source.isTable())
        return NoTableSource(name, kindWithArticle(source.kind));
    return {};
}

// Why the new name cannot be used, or the empty text when it can.
QString targetRefusal(const Object& target, const QString& name) {
    if (target.kind == QStringLiteral("internal"))
        return QStringLiteral("%1 is an internal table of the database. Please choose another "
                              "name.")
            .arg(name);
    if (!target.kind.isEmpty() && !target.isTable())
        return NoTableTarget(name, kindWithArticle(target.kind));
    return {};
}

// Everything about the two tables that decides what a run does; read before
// the question and again inside the transaction, which must find it unchanged.
struct Shape {
    Object source;
    QList<Db::Column> columns;
    QList<int> hidden;
    // The name the rowid goes by (empty for a table without rowid), and the
    // table's own order: by rowid, or by the primary key.
    QString rowid;
    QString order;
    Object target;

    bool operator==(const Shape&) const = default;
};

Shape inspect(SqliteFile& file, const SqliteDialect& sql, const RunInputs& inputs) {
    Shape shape;
    shape.source = lookUp(file, sql, inputs.sourceTable);
    if (shape.source.kind.isEmpty())
        throw Db::TableGone(inputs.sourceTable);
    if (!shape.source.isTable())
        return shape;
    SqliteFile::Statement details(file, sql.columnDetails());
    details.bind(1, inputs.sourceTable);
    while (details.step()) {
        shape.columns.append({details.text(0), details.text(1)});
        shape.hidden << static_cast<int>(details.integer(2));
    }
    if (shape.source.withoutRowid) {
        SqliteFile::Statement key(file, sql.primaryKeyOrder());
        key.bind(1, inputs.sourceTable);
        QStringList order;
        while (key.step())
            order << sql.keyOrder(key.text(0), key.text(2), key.integer(1) != 0);
        shape.order = order.join(QStringLiteral(", "));
    } else {
        shape.rowid = SqliteDialect::rowidName(Db::NamesOf(shape.columns));
        if (shape.rowid.isEmpty())
            throw DatabaseError(QString(), QStringLiteral("The table has columns named rowid, "
                                                          "_rowid_ and oid, so its rows cannot "
                                                          "be told apart."));
        shape.order = shape.rowid;
    }
    shape.target = lookUp(file, sql, inputs.newTable);
    return shape;
}

// The new table, made empty: the source's own definition under the new name,
// or for a virtual table, a plain table of its columns.
void createCopy(SqliteFile& file, const SqliteDialect& sql, const Shape& shape,
                const RunInputs& inputs, const QStringList& columns) {
    const QString statement =
        shape.source.kind == QStringLiteral("virtual")
            ? sql.createTable(inputs.newTable, columns)
            : SqliteDialect::renamedDefinition(shape.source.definition, inputs.newTable);
    const QString cannot = QStringLiteral("%1; the table %2 cannot be copied as it is defined.");
    if (statement.isEmpty())
        throw DatabaseError(QString(), cannot.arg(shape.source.definition, inputs.sourceTable));
    try {
        file.execute(statement);
    } catch (const DatabaseError& error) {
        throw DatabaseError(error.nativeCode(), cannot.arg(error.text(), inputs.sourceTable));
    }
}

// Tells, row by row in the table's own order, whether a row is the first of
// its key. A key too long to keep whole is confirmed by reading its first row
// back by rowid; a table without rowid keeps its keys whole.
class FirstRows {
public:
    FirstRows(SqliteFile& file, const SqliteDialect& sql, const Shape& shape,
              const RunInputs& inputs, const QStringList& keyValues, bool keptNumbers,
              std::function<void()> pulse)
        : m_finder(
              {.order = RepeatFinder::Order::Rising,
               .keptNumbers = keptNumbers,
               .readBack = shape.rowid.isEmpty()
                               ? RepeatFinder::ReadBack()
                               : [this](qint64 rowid, std::string& key) { readBack(rowid, key); },
               .pulse = std::move(pulse)}),
          m_source(inputs.sourceTable) {
        if (!shape.rowid.isEmpty())
            m_back = std::make_unique<SqliteFile::Statement>(
                file, sql.readRow(inputs.sourceTable, shape.rowid, keyValues));
    }

    // Takes the next row: its rowid (NULL without one) and its key values.
    // Nothing when it is the first of its key; else the number of the row
    // that was, where numbers are kept. The number of a row is its rowid, or
    // for a table without rowid its place in the table's order.
    std::optional<qint64> firstOf(const Db::RawValue& rowid, const Db::RawValue* values,
                                  int count) {
        ++m_rows;
        if (rowid.kind == Db::RawValue::Kind::Integer) {
            // The decision rests on the rows coming in rowid order.
            if (m_rows > 1 && rowid.integer <= m_number)
                throw DatabaseError(QString(), QStringLiteral("The rows of %1 were not read in "
                                                              "their own order.")
                                                   .arg(m_source));
            m_number = rowid.integer;
        } else {
            m_number = m_rows;
        }
        m_key.clear();
        for (int i = 0; i < count; ++i)
            AppendKeyValue(m_key, values[i]);
        qint64 kept = 0;
        if (!m_finder.offer(QByteArrayView(m_key.data(), qsizetype(m_key.size())), m_number, &kept))
            return std::nullopt;
        return kept;
    }
    qint64 number() const { return m_number; }
    void reserve(qint64 rows) {
        if (rows > 0)
            m_finder.reserve(std::size_t(rows));
    }

private:
    void readBack(qint64 rowid, std::string& key) {
        m_back->reset();
        m_back->bind(1, rowid);
        if (!m_back->step())
            throw DatabaseError(
                QString(), QStringLiteral("A row of %1 could not be read again.").arg(m_source));
        for (int i = 0; i < m_back->columnCount(); ++i)
            AppendKeyValue(key, m_back->value(i));
    }

    RepeatFinder m_finder;
    QString m_source;
    std::unique_ptr<SqliteFile::Statement> m_back;
    qint64 m_rows = 0;
    qint64 m_number = 0;
    std::string m_key;
};

// How many rows the source has, counted aside while the work goes on; the
// repeat finder is made room for all of them once the number is known.
class RowTotal {
public:
    RowTotal(SqliteFile& file, const SqliteDialect& sql, const QString& source)
        : m_count(file, sql.rowCount(source)) {}
    // Asked every few thousand rows.
    void look(FirstRows& rows) {
        if (m_total < 0 && m_count.ready() && (m_total = m_count.rows()) >= 0)
            rows.reserve(m_total);
    }
    // Waits for the number, asking `stop` meanwhile. A run that writes waits
    // before its first write: once it has written, it holds the file alone,
    // and the count would keep it waiting for the lock without a word.
    void wait(FirstRows& rows, StopCheck& stop) {
        while (!m_count.ready()) {
            stop.check();
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        look(rows);
    }
    const qint64& total() const { return m_total; }

private:
    SqliteFile::CountAside m_count;
    qint64 m_total = -1;
};

constexpr qint64 kRowsPerLook = 4096;

QStringList keyValuesOf(const QList<Db::Column>& chosen) {
    QStringList keyValues;
    for (const Db::Column& column : chosen)
        keyValues << Db::Dialect::quoted(column.name);
    return keyValues;
}

QString numberOf(const Shape& shape) {
    return shape.rowid.isEmpty() ? QStringLiteral("NULL") : shape.rowid;
}

// A dry run: the rows read in the table's own order, and the first groups of
// repeats by the number of the row that stays.
void readRepeats(SqliteFile& file, const SqliteDialect& sql, const RunContext& context,
                 const Shape& shape, const QStringList& keyValues, RunResult& result) {
    const QString& source = context.inputs.sourceTable;
    RowTotal total(file, sql, source);
    StopCheck stop(context.keepGoingIn(Phase::Reading, result.rowsRead, total.total()));
    file.watch(&stop);
    context.report(Phase::Reading);
    FirstRows firstRows(file, sql, shape, context.inputs, keyValues, true, [&] { stop.check(); });
    SqliteFile::Statement rows(file, sql.readKeys(source, numberOf(shape), shape.order, keyValues));
    const int fields = static_cast<int>(keyValues.size());
    std::vector<Db::RawValue> values(std::size_t(fields) + 1);
    FirstGroups groups;
    while (rows.step()) {
        stop.poke();
        if (++result.rowsRead % kRowsPerLook == 1)
            total.look(firstRows);
        for (int field = 0; field <= fields; ++field)
            values[std::size_t(field)] = rows.value(field);
        const std::optional<qint64> kept = firstRows.firstOf(values[0], values.data() + 1, fields);
        if (!kept)
            continue;
        ++result.rowsRemoved;
        groups.add(*kept, firstRows.number(), [&] {
            QVariantList shown;
            for (int field = 1; field <= fields; ++field)
                shown << values[std::size_t(field)].toVariant();
            return shown;
        });
    }
    file.watch(nullptr);
    result.rowsKept = result.rowsRead - result.rowsRemoved;
    result.groups = groups.groups();
}

} // namespace

WriteSurvivors::WriteSurvivors(const RunContext& context, Db::Session& session)
    : m_context(context), m_file(session.file()) {}

RunResult WriteSurvivors::run() {
    const RunInputs& inputs = m_context.inputs;
    const SqliteDialect sql;
    RunResult result;
    m_context.report(Phase::Checking);
    SqliteFile file(m_file);
    const Shape shape = inspect(file, sql, inputs);
    result.message = sourceRefusal(shape.source, inputs.sourceTable);
    if (result.message.isEmpty() && !inputs.dryRun)
        result.message = targetRefusal(shape.target, inputs.newTable);
    if (!result.message.isEmpty()) {
        result.status = RunResult::Status::Refused;
        return result;
    }
    const QStringList keyValues = keyValuesOf(m_context.chosenColumns(sql, shape.columns));
    if (inputs.dryRun) {
        readRepeats(file, sql, m_context, shape, keyValues, result);
        result.status = RunResult::Status::Done;
        return result;
    }
    // The question comes before the transaction: a write lock held while the
    // user thinks would keep every other program out of the file.
    if (!shape.target.kind.isEmpty() && !m_context.mayReplace()) {
        result.status = RunResult::Status::Declined;
        return result;
    }
    file.execute(sql.beginChange());
    try {
        if (!(inspect(file, sql, inputs) == shape))
            throw DatabaseError(QString(),
                                QStringLiteral("The table %1 or %2 was changed by someone else "
                                               "while the run was being prepared.")
                                    .arg(inputs.sourceTable, inputs.newTable));
        if (!shape.target.kind.isEmpty())
            file.execute(sql.dropTable(inputs.newTable));
        // The copy computes its generated columns itself; a virtual table's
        // hidden columns are no part of its rows.
        QStringList columns;
        for (qsizetype i = 0; i < shape.columns.size(); ++i) {
            if (shape.hidden.at(i) == 0)
                columns << shape.columns.at(i).name;
        }
        createCopy(file, sql, shape, inputs, columns);
        // One pass: each row is judged as it is read, in the table's own
        // order, and written when it is the first of its key.
        RowTotal total(file, sql, inputs.sourceTable);
        StopCheck stop(m_context.keepGoingIn(Phase::Writing, result.rowsRead, total.total()));
        m_context.report(Phase::Writing);
        FirstRows firstRows(file, sql, shape, inputs, keyValues, false, [&] { stop.check(); });
        total.wait(firstRows, stop);
        {
            const QString first = QStringLiteral("varnolt_first");
            SqliteFile::Registration function(
                file, first, [&](const Db::RawValue* arguments, int count) {
                    ++result.rowsRead;
                    if (!firstRows.firstOf(arguments[0], arguments + 1, count - 1))
                        return true;
                    ++result.rowsRemoved;
                    return false;
                });
            file.watch(&stop, true);
            file.execute(sql.insertFirstRows(inputs.newTable, inputs.sourceTable, columns, first,
                                             numberOf(shape), keyValues, shape.order));
            file.watch(nullptr);
        }
        result.rowsKept = result.rowsRead - result.rowsRemoved;
        // Every row was judged once, and every first row written.
        if (file.changes() != result.rowsKept ||
            (total.total() >= 0 && total.total() != result.rowsRead))
            throw DatabaseError(QString(),
                                QStringLiteral("The new table would hold %1 rows instead of %2.")
                                    .arg(file.changes())
                                    .arg(result.rowsKept));
        m_context.report(Phase::Finishing);
        file.execute(sql.commitChange());
    } catch (...) {
        file.watch(nullptr);
        try {
            file.execute(sql.rollbackChange());
        } catch (const DatabaseError&) {
            // A failed statement may have ended the transaction already.
        }
        throw;
    }
    result.status = RunResult::Status::Done;
    return result;
}
