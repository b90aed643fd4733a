#include "WriteSurvivors.h"

#include "RepeatFinder.h"
#include "RowKey.h"
#include "db/DatabaseError.h"
#include "db/SqliteDialect.h"
#include "db/SqliteFile.h"

#include <algorithm>
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
        return QStringLiteral("%1 is %2, not a table. Only tables can be copied.")
            .arg(name, kindWithArticle(source.kind));
    return {};
}

// Why the new name cannot be used, or the empty text when it can.
QString targetRefusal(const Object& target, const QString& name) {
    if (target.kind == QStringLiteral("internal"))
        return QStringLiteral("%1 is an internal table of the database. Please choose another "
                              "name.")
            .arg(name);
    if (!target.kind.isEmpty() && !target.isTable())
        return QStringLiteral("%1 is the name of %2. Please choose another name.")
            .arg(name, kindWithArticle(target.kind));
    return {};
}

// Everything about the two tables that decides what a run does; read before
// the question and again inside the transaction, which must find it unchanged.
struct Shape {
    Object source;
    QStringList columns;
    QList<int> hidden;
    // What tells the rows apart, in the table's own order: the rowid, or the
    // primary key of a table without rowid.
    QStringList numbers;
    QString order;
    Object target;

    bool operator==(const Shape&) const = default;
};

Shape inspect(SqliteFile& file, const SqliteDialect& sql, const RunInputs& inputs) {
    Shape shape;
    shape.source = lookUp(file, sql, inputs.sourceTable);
    if (shape.source.kind.isEmpty())
        throw DatabaseError(
            QString(), QStringLiteral("The table %1 no longer exists.").arg(inputs.sourceTable));
    if (!shape.source.isTable())
        return shape;
    SqliteFile::Statement details(file, sql.columnDetails());
    details.bind(1, inputs.sourceTable);
    while (details.step()) {
        shape.columns << details.text(0);
        shape.hidden << static_cast<int>(details.integer(2));
    }
    if (shape.source.withoutRowid) {
        SqliteFile::Statement key(file, sql.primaryKeyOrder());
        key.bind(1, inputs.sourceTable);
        QStringList order;
        while (key.step()) {
            shape.numbers << Db::Dialect::quoted(key.text(0));
            order << sql.keyOrder(key.text(0), key.text(2), key.integer(1) != 0);
        }
        shape.order = order.join(QStringLiteral(", "));
    } else {
        const QString rowid = SqliteDialect::rowidName(shape.columns);
        if (rowid.isEmpty())
            throw DatabaseError(QString(), QStringLiteral("The table has columns named rowid, "
                                                          "_rowid_ and oid, so its rows cannot "
                                                          "be told apart."));
        shape.numbers << rowid;
        shape.order = rowid;
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

// The rows of the source whose key repeats an earlier row's, read in the
// table's own order.
class RepeatReading {
public:
    RepeatReading(const Shape& shape, const QList<int>& chosen) : m_shape(shape) {
        for (const int column : chosen)
            m_keyValues << Db::Dialect::quoted(shape.columns.at(column));
    }

    void read(SqliteFile& file, const SqliteDialect& sql, const RunContext& context,
              RunResult& result, bool collectGroups) {
        qint64 total = -1;
        StopCheck stop(context.keepGoingIn(Phase::Reading, result.rowsRead, total));
        file.watch(&stop);
        context.report(Phase::Reading);
        total = file.countAside(sql.rowCount(context.inputs.sourceTable), stop);
        context.report(Phase::Reading, 0, total);
        SqliteFile::Statement rows(file, sql.readKeys(context.inputs.sourceTable, m_shape.numbers,
                                                      m_shape.order, m_keyValues));
        const int numbers = static_cast<int>(m_shape.numbers.size());
        const int fields = static_cast<int>(m_keyValues.size());
        // The rows come in rising order of their numbers; only a dry run, which
        // shows the row that stays, needs the numbers kept.
        RepeatFinder finder(collectGroups ? RepeatFinder::Order::Any : RepeatFinder::Order::Rising,
                            [&] { stop.check(); });
        if (total > 0)
            finder.reserve(std::size_t(total));
        FirstGroups groups;
        std::string key;
        while (rows.step()) {
            stop.poke();
            ++result.rowsRead;
            key.clear();
            for (int field = 0; field < fields; ++field)
                AppendKeyValue(key, rows.value(numbers + field));
            const qint64 number = m_shape.source.withoutRowid ? result.rowsRead : rows.integer(0);
            qint64 kept = 0;
            if (!finder.offer(QByteArrayView(key.data(), qsizetype(key.size())), number, &kept))
                continue;
            ++result.rowsRemoved;
            if (m_shape.source.withoutRowid)
                m_repeatedKeys.offer(primaryKeyOf(rows), 1);
            else
                m_repeatedRowids.push_back(number);
            if (collectGroups)
                groups.add(kept, number, [&] {
                    QVariantList values;
                    for (int field = 0; field < fields; ++field)
                        values << rows.value(numbers + field).toVariant();
                    return values;
                });
        }
        file.watch(nullptr);
        result.rowsKept = result.rowsRead - result.rowsRemoved;
        result.groups = groups.groups();
    }

    // Whether the row with these numbers is one that repeats an earlier row.
    // The rowids come in rising order, as they were read, so one step forward
    // from the last answer almost always finds the next.
    bool isRepeat(const Db::RawValue* numbers, int count) {
        if (!m_shape.source.withoutRowid) {
            const qint64 rowid = numbers[0].integer;
            if (m_next > 0 && m_repeatedRowids[m_next - 1] >= rowid)
                m_next = std::size_t(
                    std::lower_bound(m_repeatedRowids.begin(), m_repeatedRowids.end(), rowid) -
                    m_repeatedRowids.begin());
            while (m_next < m_repeatedRowids.size() && m_repeatedRowids[m_next] < rowid)
                ++m_next;
            return m_next < m_repeatedRowids.size() && m_repeatedRowids[m_next] == rowid;
        }
        m_key.clear();
        for (int i = 0; i < count; ++i)
            AppendKeyValue(m_key, numbers[i]);
        return m_repeatedKeys.contains(QByteArrayView(m_key.data(), qsizetype(m_key.size())));
    }

private:
    QByteArrayView primaryKeyOf(const SqliteFile::Statement& rows) {
        m_key.clear();
        for (int i = 0; i < m_shape.numbers.size(); ++i)
            AppendKeyValue(m_key, rows.value(i));
        return {m_key.data(), qsizetype(m_key.size())};
    }

    const Shape& m_shape;
    QStringList m_keyValues;
    std::vector<qint64> m_repeatedRowids; // rising
    std::size_t m_next = 0;               // where in m_repeatedRowids the last answer was found
    RepeatFinder m_repeatedKeys{RepeatFinder::Order::Rising};
    std::string m_key;
};

} // namespace

WriteSurvivors::WriteSurvivors(const RunContext& context, QString file)
    : m_context(context), m_file(std::move(file)) {}

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
    const QList<int> chosen = m_context.chosenColumns(sql, shape.columns);
    RepeatReading reading(shape, chosen);
    if (inputs.dryRun) {
        reading.read(file, sql, m_context, result, true);
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
        reading.read(file, sql, m_context, result, false);
        if (!shape.target.kind.isEmpty())
            file.execute(sql.dropTable(inputs.newTable));
        // The copy computes its generated columns itself; a virtual table's
        // hidden columns are no part of its rows.
        QStringList columns;
        for (qsizetype i = 0; i < shape.columns.size(); ++i) {
            if (shape.hidden.at(i) == 0)
                columns << shape.columns.at(i);
        }
        createCopy(file, sql, shape, inputs, columns);
        qint64 examined = 0;
        StopCheck stop(m_context.keepGoingIn(Phase::Writing, examined, result.rowsRead));
        m_context.report(Phase::Writing, 0, result.rowsRead);
        {
            const QString repeat = QStringLiteral("varnolt_repeat");
            SqliteFile::Registration function(file, repeat,
                                              [&](const Db::RawValue* numbers, int count) {
                                                  ++examined;
                                                  return reading.isRepeat(numbers, count);
                                              });
            file.watch(&stop, true);
            file.execute(sql.insertSurvivors(inputs.newTable, inputs.sourceTable, columns, repeat,
                                             shape.numbers, shape.order));
            file.watch(nullptr);
        }
        if (file.changes() != result.rowsKept)
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
