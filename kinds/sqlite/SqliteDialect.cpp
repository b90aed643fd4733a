#include "SqliteDialect.h"

#include <algorithm>

namespace Db {

// Shadow tables of a virtual table and SQLite's own tables are no tables of
// the user's, so they are neither listed nor offered.
QString SqliteDialect::tableList() const {
    return QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table' "
                          "AND name NOT LIKE 'sqlite\\_%' ESCAPE '\\' AND name NOT IN "
                          "(SELECT name FROM pragma_table_list WHERE type = 'shadow')");
}

// Generated columns are columns like any other; only a virtual table's hidden
// columns, which "SELECT *" leaves out, are left out.
QString SqliteDialect::columnList() const {
    return QStringLiteral(
        "SELECT name FROM pragma_table_xinfo(:table_name, 'main') WHERE hidden <> 1 ORDER BY cid");
}

QString SqliteDialect::columnTypes() const {
    return QStringLiteral("SELECT name, type FROM pragma_table_xinfo(:table_name, 'main') WHERE "
                          "hidden <> 1 ORDER BY cid");
}

bool SqliteDialect::sameName(const QString& a, const QString& b) const {
    // SQLite folds only the ASCII letters when it compares identifiers.
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i) {
        const QChar x = a.at(i), y = b.at(i);
        if (x == y)
            continue;
        if (x.unicode() >= 128 || y.unicode() >= 128 || x.toLower() != y.toLower())
            return false;
    }
    return true;
}

// Long texts are cut and blobs shown by their size in the statement itself, so
// a grid never reads more of a value than it shows.
QString SqliteDialect::gridPage(const QString& table, const QStringList& columns,
                                const QString& key, bool first) const {
    QStringList values;
    for (const QString& column : columns) {
        const QString name = quoted(column);
        values << QStringLiteral("CASE typeof(%1) WHEN 'blob' THEN '(' || length(%1) || "
                                 "' bytes)' WHEN 'text' THEN substr(%1, 1, %2) ELSE %1 END")
                      .arg(name)
                      .arg(kGridTextLength + 1);
    }
    const QString from = QStringLiteral(" FROM ") + qualified(table);
    if (key.isEmpty())
        return QStringLiteral("SELECT ") + values.join(QStringLiteral(", ")) + from +
               QStringLiteral(" LIMIT %1 OFFSET :skip").arg(kGridPageRows);
    return QStringLiteral("SELECT ") + key + QStringLiteral(", ") +
           values.join(QStringLiteral(", ")) + from +
           (first ? QString() : QStringLiteral(" WHERE ") + key + QStringLiteral(" > :after")) +
           QStringLiteral(" ORDER BY ") + key + QStringLiteral(" LIMIT %1").arg(kGridPageRows);
}

QString SqliteDialect::gridKey() const {
    const QString free = QStringLiteral(
        "NOT EXISTS (SELECT 1 FROM pragma_table_xinfo(:table_name, 'main') WHERE name = '%1' "
        "COLLATE NOCASE)");
    return QStringLiteral("SELECT CASE WHEN (SELECT wr FROM pragma_table_list(:table_name) "
                          "WHERE schema = 'main') THEN NULL WHEN %1 THEN 'rowid' "
                          "WHEN %2 THEN '_rowid_' WHEN %3 THEN 'oid' END")
        .arg(free.arg("rowid"), free.arg("_rowid_"), free.arg("oid"));
}

QString SqliteDialect::columnDetails() const {
    return QStringLiteral(
        "SELECT name, type, hidden FROM pragma_table_xinfo(?1, 'main') ORDER BY cid");
}

// A trigger may share its name with a table, so the table comes first.
QString SqliteDialect::objectKind() const {
    return QStringLiteral(
        "SELECT type, wr, (SELECT sql FROM sqlite_schema WHERE type = 'table' AND name = ?1 "
        "COLLATE NOCASE) FROM pragma_table_list(?1) WHERE schema = 'main' UNION ALL "
        "SELECT type, 0, NULL FROM sqlite_schema WHERE name = ?1 COLLATE NOCASE AND type IN "
        "('index', 'trigger') LIMIT 1");
}

QString SqliteDialect::primaryKeyOrder() const {
    return QStringLiteral(
        "SELECT x.name, x.\"desc\", x.coll FROM pragma_index_list(?1, 'main') AS l, "
        "pragma_index_xinfo(l.name, 'main') AS x WHERE l.origin = 'pk' AND x.key = 1 "
        "ORDER BY x.seqno");
}

QString SqliteDialect::keyOrder(const QString& column, const QString& collation,
                                bool descending) const {
    return quoted(column) + QStringLiteral(" COLLATE ") + quoted(collation) +
           (descending ? QStringLiteral(" DESC") : QString());
}

// The run keeps lists of its own in the temporary schema, which SQLite
// searches first: a name without its schema could find one of them instead
// of the user's table.
QString SqliteDialect::qualified(const QString& name) const {
    return QStringLiteral("main.") + quoted(name);
}

QString SqliteDialect::rowidName(const QStringList& columns) {
    for (const QString& alias :
         {QStringLiteral("rowid"), QStringLiteral("_rowid_"), QStringLiteral("oid")}) {
        const bool taken = std::any_of(columns.begin(), columns.end(), [&](const QString& c) {
            return c.compare(alias, Qt::CaseInsensitive) == 0;
        });
        if (!taken)
            return alias;
    }
    return {};
}

QString SqliteDialect::rowCount(const QString& table) const {
    return QStringLiteral("SELECT count(*) FROM ") + qualified(table);
}

// Each in a query of its own: SQLite finds a lone min() or max() at an end of
// the table, but scans the whole of it for both at once.
QString SqliteDialect::rowidRange(const QString& table, const QString& rowid) const {
    const QString from = QStringLiteral(") FROM ") + qualified(table) + QLatin1Char(')');
    return QStringLiteral("SELECT (SELECT min(") + rowid + from + QStringLiteral(", (SELECT max(") +
           rowid + from;
}

namespace {

// Where the name that starts at `at` ends: a name between "", [], `` or ''
// (the closing mark doubled inside), or a bare run of name characters.
qsizetype nameEnd(const QString& text, qsizetype at) {
    if (at >= text.size())
        return -1;
    const QChar open = text.at(at);
    const QChar close = open == QLatin1Char('[') ? QLatin1Char(']') : open;
    if (open == QLatin1Char('"') || open == QLatin1Char('`') || open == QLatin1Char('\'') ||
        open == QLatin1Char('[')) {
        for (qsizetype i = at + 1; i < text.size(); ++i) {
            if (text.at(i) != close)
                continue;
            if (close != QLatin1Char(']') && i + 1 < text.size() && text.at(i + 1) == close) {
                ++i;
                continue;
            }
            return i + 1;
        }
        return -1;
    }
    qsizetype i = at;
    while (i < text.size() && (text.at(i).unicode() >= 0x80 || text.at(i).isLetterOrNumber() ||
                               text.at(i) == QLatin1Char('_') || text.at(i) == QLatin1Char('$')))
        ++i;
    return i > at ? i : -1;
}

// A name as written, without its quotes.
QString unquotedName(const QString& written) {
    const QChar open = written.front();
    if (open != QLatin1Char('"') && open != QLatin1Char('`') && open != QLatin1Char('\'') &&
        open != QLatin1Char('['))
        return written;
    QString inner = written.mid(1, written.size() - 2);
    if (open != QLatin1Char('['))
        inner.replace(QString(2, open), QString(open));
    return inner;
}

// Where a comment that starts at `at` ends, or -1 where none starts there.
qsizetype commentEnd(const QString& text, qsizetype at) {
    if (text.mid(at, 2) == QStringLiteral("--")) {
        const qsizetype end = text.indexOf(QLatin1Char('\n'), at);
        return end < 0 ? text.size() : end;
    }
    if (text.mid(at, 2) == QStringLiteral("/*")) {
        const qsizetype end = text.indexOf(QStringLiteral("*/"), at + 2);
        return end < 0 ? text.size() : end + 2;
    }
    return -1;
}

} // namespace

// SQLite keeps the statement as it was typed but for its start, which always
// reads "CREATE TABLE " and the name (no schema, no IF NOT EXISTS, no
// comment). Past the name, the table is named where a column is qualified by
// it (a CHECK, a generated column) and where a FOREIGN KEY refers to it.
QString SqliteDialect::renamedDefinition(const QString& definition, const QString& source,
                                         const QString& newTable, bool references) {
    const QString start = QStringLiteral("CREATE TABLE ");
    if (!definition.startsWith(start, Qt::CaseInsensitive))
        return {};
    qsizetype at = nameEnd(definition, start.size());
    if (at < 0)
        return {};
    const SqliteDialect sql;
    QString renamed = start + QStringLiteral("main.") + quoted(newTable);
    QString lastWord;
    while (at < definition.size()) {
        const qsizetype comment = commentEnd(definition, at);
        const QChar c = definition.at(at);
        const qsizetype end = comment >= 0              ? -1
                              : c.isDigit() || c == '.' ? -1
                                                        : nameEnd(definition, at);
        if (end < 0) {
            const qsizetype next = comment >= 0 ? comment : at + 1;
            renamed += definition.mid(at, next - at);
            if (comment < 0 && !c.isSpace())
                lastWord.clear();
            at = next;
            continue;
        }
        const QString written = definition.mid(at, end - at);
        qsizetype after = end;
        while (after < definition.size() && definition.at(after).isSpace())
            ++after;
        const bool qualifies = after < definition.size() && definition.at(after) == '.';
        const bool referred = references && lastWord == QStringLiteral("REFERENCES");
        const bool isString = c == QLatin1Char('\'') && !referred && !qualifies;
        if (!isString && (qualifies || referred) && sql.sameName(unquotedName(written), source))
            renamed += quoted(newTable);
        else
            renamed += written;
        lastWord = written.toUpper();
        at = end;
    }
    return renamed;
}

QString SqliteDialect::createTable(const QString& newTable, const QList<Column>& columns) const {
    QStringList declared;
    for (const Column& column : columns)
        declared << (column.type.isEmpty() ? quoted(column.name)
                                           : quoted(column.name) + QLatin1Char(' ') + column.type);
    return QStringLiteral("CREATE TABLE ") + qualified(newTable) + QStringLiteral(" (") +
           declared.join(QStringLiteral(", ")) + QLatin1Char(')');
}

QString SqliteDialect::readRow(const QString& table, const QString& rowid,
                               const QStringList& keyValues) const {
    return QStringLiteral("SELECT ") + keyValues.join(QStringLiteral(", ")) +
           QStringLiteral(" FROM ") + qualified(table) + QStringLiteral(" WHERE ") + rowid +
           QStringLiteral(" = ?1");
}

QString SqliteDialect::readRowAt(const QString& table, const QString& order,
                                 const QStringList& keyValues) const {
    return QStringLiteral("SELECT ") + keyValues.join(QStringLiteral(", ")) +
           QStringLiteral(" FROM ") + qualified(table) + QStringLiteral(" ORDER BY ") + order +
           QStringLiteral(" LIMIT 1 OFFSET ?1 - 1");
}

QString SqliteDialect::judgeRows(const QString& source, const QString& judge, const QString& number,
                                 const QStringList& keyValues, const QString& order) const {
    return QStringLiteral("SELECT ") + judge + QLatin1Char('(') + number + QStringLiteral(", ") +
           keyValues.join(QStringLiteral(", ")) + QStringLiteral(") FROM ") + qualified(source) +
           QStringLiteral(" NOT INDEXED ORDER BY ") + order;
}

QString SqliteDialect::readKeys(const QString& source, const QString& number,
                                const QStringList& keyValues, const QString& order) const {
    return QStringLiteral("SELECT ") + number + QStringLiteral(", ") +
           keyValues.join(QStringLiteral(", ")) + QStringLiteral(" FROM ") + qualified(source) +
           QStringLiteral(" NOT INDEXED ORDER BY ") + order;
}

QString SqliteDialect::insertKeptRows(const QString& newTable, const QString& source,
                                      const QStringList& columns, const QString& kept,
                                      const QString& number, const QString& order) const {
    const QString list = quotedList(columns);
    return QStringLiteral("INSERT INTO ") + qualified(newTable) + QStringLiteral(" (") + list +
           QStringLiteral(") SELECT ") + list + QStringLiteral(" FROM ") + qualified(source) +
           QStringLiteral(" NOT INDEXED WHERE ") + kept + QLatin1Char('(') + number +
           QStringLiteral(") ORDER BY ") + order;
}

QString SqliteDialect::numberedRows(const QString& source, const QString& rowid,
                                    const QString& order) const {
    const QString number =
        rowid.isEmpty() ? QStringLiteral("row_number() OVER (ORDER BY ") + order + QLatin1Char(')')
                        : rowid;
    return QStringLiteral("SELECT ") + number + QStringLiteral(" AS varnolt_row, * FROM ") +
           qualified(source) + QStringLiteral(" NOT INDEXED");
}

QString SqliteDialect::readJudgedKeys(const QString& numbered, const QStringList& keyValues,
                                      const QStringList& terms, bool falling) const {
    return QStringLiteral("SELECT varnolt_row, ") + keyValues.join(QStringLiteral(", ")) +
           QStringLiteral(" FROM (") + numbered + QStringLiteral(") ORDER BY ") +
           (terms + QStringList{falling ? QStringLiteral("varnolt_row DESC")
                                        : QStringLiteral("varnolt_row")})
               .join(QStringLiteral(", "));
}

QString SqliteDialect::createRemovedList() const {
    return QStringLiteral(
        "CREATE TEMP TABLE varnolt_removed (n INTEGER NOT NULL, kept INTEGER NOT NULL)");
}

QString SqliteDialect::addToRemovedList() const {
    return QStringLiteral("INSERT INTO temp.varnolt_removed VALUES (?1, ?2)");
}

QString SqliteDialect::readRemovedList() const {
    return QStringLiteral("SELECT n FROM temp.varnolt_removed ORDER BY n");
}

QString SqliteDialect::insertUnremovedRows(const QString& newTable, const QString& numbered,
                                           const QStringList& columns,
                                           const QString& unremoved) const {
    const QString list = quotedList(columns);
    return QStringLiteral("INSERT INTO ") + qualified(newTable) + QStringLiteral(" (") + list +
           QStringLiteral(") SELECT ") + list + QStringLiteral(" FROM (") + numbered +
           QStringLiteral(") WHERE ") + unremoved +
           QStringLiteral("(varnolt_row) ORDER BY varnolt_row");
}

QString SqliteDialect::insertRemovedRows(const QString& table, const QString& numbered,
                                         const QStringList& columns,
                                         const QStringList& numberColumns) const {
    return QStringLiteral("INSERT INTO ") + qualified(table) + QStringLiteral(" (") +
           quotedList(columns + numberColumns) + QStringLiteral(") SELECT ") +
           quotedList(QStringLiteral("s"), columns) +
           QStringLiteral(", r.n, r.kept FROM temp.varnolt_removed AS r JOIN (") + numbered +
           QStringLiteral(") AS s ON s.varnolt_row = r.n ORDER BY r.n");
}

QString SqliteDialect::readRemovedGroups(const QString& numbered,
                                         const QStringList& columns) const {
    return QStringLiteral("SELECT r.kept, r.n, ") + quotedList(QStringLiteral("s"), columns) +
           QStringLiteral(" FROM temp.varnolt_removed AS r JOIN (") + numbered +
           QStringLiteral(") AS s ON s.varnolt_row = r.kept ORDER BY r.kept, r.n");
}

QString SqliteDialect::selfReferences() const {
    return QStringLiteral("SELECT id, \"from\", \"to\" FROM pragma_foreign_key_list(?1, 'main') "
                          "WHERE \"table\" = ?1 COLLATE NOCASE ORDER BY id, seq");
}

QString SqliteDialect::tablesReferringTo() const {
    return QStringLiteral("SELECT DISTINCT m.name FROM main.sqlite_schema AS m, "
                          "pragma_foreign_key_list(m.name, 'main') AS f WHERE m.type = 'table' AND "
                          "f.\"table\" = ?1 COLLATE NOCASE AND m.name <> ?1 COLLATE NOCASE");
}

// A trigger's event stands before its BEGIN.
QString SqliteDialect::deleteTriggers() const {
    return QStringLiteral("SELECT name FROM main.sqlite_schema WHERE type = 'trigger' AND "
                          "tbl_name = ?1 COLLATE NOCASE AND substr(upper(sql), 1, "
                          "instr(upper(sql), 'BEGIN')) LIKE '% DELETE %'");
}

QString SqliteDialect::deleteRemovedRows(const QString& table, const QString& removed,
                                         const QString& rowid,
                                         const QStringList& primaryKey) const {
    const QString key =
        rowid.isEmpty() ? QLatin1Char('(') + quotedList(primaryKey) + QLatin1Char(')') : rowid;
    const QString kept =
        rowid.isEmpty() ? quotedList(primaryKey) : QStringLiteral("\"VARNOLT_ROW\"");
    return QStringLiteral("DELETE FROM ") + qualified(table) + QStringLiteral(" WHERE ") + key +
           QStringLiteral(" IN (SELECT ") + kept + QStringLiteral(" FROM ") + qualified(removed) +
           QLatin1Char(')');
}

QString SqliteDialect::restoreRows(const QString& table, const QString& removed,
                                   const QStringList& columns, const QString& rowid) const {
    const QString list = quotedList(columns);
    const QString into = rowid.isEmpty() ? list : rowid + QStringLiteral(", ") + list;
    const QString from = rowid.isEmpty() ? list : QStringLiteral("\"VARNOLT_ROW\", ") + list;
    return QStringLiteral("INSERT INTO ") + qualified(table) + QStringLiteral(" (") + into +
           QStringLiteral(") SELECT ") + from + QStringLiteral(" FROM ") + qualified(removed) +
           QStringLiteral(" ORDER BY \"VARNOLT_ROW\"");
}

QString SqliteDialect::primaryKeyColumns() const {
    return QStringLiteral(
        "SELECT name FROM pragma_table_info(?1, 'main') WHERE pk > 0 ORDER BY pk");
}

QString SqliteDialect::hasCounters() const {
    return QStringLiteral("SELECT count(*) FROM main.sqlite_schema WHERE name = 'sqlite_sequence'");
}

QStringList SqliteDialect::copyCounter() const {
    return {QStringLiteral("DELETE FROM main.sqlite_sequence WHERE name = ?1"),
            QStringLiteral("INSERT INTO main.sqlite_sequence (name, seq) SELECT ?1, seq FROM "
                           "main.sqlite_sequence WHERE name = ?2 COLLATE NOCASE")};
}

QString SqliteDialect::ownIndexes() const {
    return QStringLiteral("SELECT name, sql FROM main.sqlite_schema WHERE type = 'index' AND "
                          "tbl_name = ?1 COLLATE NOCASE AND sql IS NOT NULL ORDER BY rowid");
}

QString SqliteDialect::nameTaken() const {
    return QStringLiteral("SELECT count(*) FROM main.sqlite_schema WHERE name = ?1 COLLATE NOCASE");
}

// "CREATE [UNIQUE] INDEX [IF NOT EXISTS] name ON table ...", as SQLite keeps it.
QString SqliteDialect::renamedIndex(const QString& definition, const QString& newIndex,
                                    const QString& newTable) {
    qsizetype at = 0;
    // The next word or name, its end in `at`.
    const auto next = [&]() -> QString {
        while (at < definition.size() && definition.at(at).isSpace())
            ++at;
        const qsizetype end = nameEnd(definition, at);
        if (end < 0)
            return {};
        const QString word = definition.mid(at, end - at);
        at = end;
        return word;
    };
    const auto is = [](const QString& word, const char* keyword) {
        return word.compare(QLatin1String(keyword), Qt::CaseInsensitive) == 0;
    };
    QString word = next();
    if (!is(word, "CREATE"))
        return {};
    QString start = word;
    for (word = next(); is(word, "UNIQUE") || is(word, "INDEX"); word = next())
        start += QLatin1Char(' ') + word;
    if (is(word, "IF")) {
        next();
        next();
        word = next();
    }
    if (word.isEmpty() || !is(next(), "ON") || next().isEmpty())
        return {};
    return start + QStringLiteral(" main.") + quoted(newIndex) + QStringLiteral(" ON ") +
           quoted(newTable) + definition.mid(at);
}

QString SqliteDialect::addColumn(const QString& table, const QString& column) const {
    return QStringLiteral("ALTER TABLE ") + qualified(table) + QStringLiteral(" ADD COLUMN ") +
           quoted(column) + QStringLiteral(" INTEGER");
}

} // namespace Db
