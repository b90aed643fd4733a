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

// Everything about the two tables that decides what a run does; read before
// the question and again inside the transaction, which must find it unchanged.
struct Shape {
    QStringList columns;
    QStringList types;
    QList<int> hidden;
    QString sourceKind;
    bool withoutRowid = false;
    // What tells the rows apart, in the table's own order: the rowid, or the
    // primary key of a table without rowid.
    QStringList numbers;
    QString order;
    QString newKind; // empty when no object has the new name

    bool operator==(const Shape&) const = default;
};

Shape inspect(SqliteFile& file, const SqliteDialect& sql, const RunInputs& inputs) {
    Shape shape;
    {
        SqliteFile::Statement kind(file, sql.objectKind());
        kind.bind(1, inputs.sourceTable);
        if (!kind.step())
            throw DatabaseError(QStringLiteral("1"),
                                QStringLiteral("no such table: %1").arg(inputs.sourceTable));
        shape.sourceKind = kind.text(0);
        shape.withoutRowid = kind.integer(1) != 0;
    }
    SqliteFile::Statement details(file, sql.columnDetails());
    details.bind(1, inputs.sourceTable);
    while (details.step()) {
        shape.columns << details.text(0);
        shape.types << details.text(1);
        shape.hidden << static_cast<int>(details.integer(2));
    }
    if (shape.withoutRowid) {
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
    SqliteFile::Statement target(file, sql.objectKind());
    target.bind(1, inputs.newTable);
    if (target.step())
        shape.newKind = target.text(0);
    return shape;
}

QString internalRefusal(const Shape& shape, const QString& name) {
    if (shape.newKind == QStringLiteral("shadow") ||
        name.startsWith(QStringLiteral("sqlite_"), Qt::CaseInsensitive))
        return QStringLiteral("%1 is an internal table of the database. Please choose another "
                              "name.")
            .arg(name);
    return {};
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
            const qint64 number = m_shape.withoutRowid ? result.rowsRead : rows.integer(0);
            qint64 kept = 0;
            if (!finder.offer(QByteArrayView(key.data(), qsizetype(key.size())), number, &kept))
                continue;
            ++result.rowsRemoved;
            if (m_shape.withoutRowid)
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
        if (!m_shape.withoutRowid) {
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
    std::size_t m_next = 0;
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
    const QList<int> chosen = m_context.chosenColumns(sql, shape.columns);
    RepeatReading reading(shape, chosen);
    if (inputs.dryRun) {
        reading.read(file, sql, m_context, result, true);
        result.status = RunResult::Status::Done;
        return result;
    }
    result.message = internalRefusal(shape, inputs.newTable);
    if (!result.message.isEmpty()) {
        result.status = RunResult::Status::Refused;
        return result;
    }
    // The question comes before the transaction: a write lock held while the
    // user thinks would keep every other program out of the file.
    if (!shape.newKind.isEmpty() && !m_context.mayReplace()) {
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
        if (!shape.newKind.isEmpty())
            file.execute(sql.dropTable(inputs.newTable));
        QStringList columns, types;
        for (qsizetype i = 0; i < shape.columns.size(); ++i) {
            if (shape.hidden.at(i) == 1)
                continue;
            columns << shape.columns.at(i);
            types << shape.types.at(i);
        }
        file.execute(sql.createTable(inputs.newTable, columns, types));
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
