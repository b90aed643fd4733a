#include "PostgresDialect.h"

namespace Db {

namespace {

// The tables a query finds by name alone: those the search path shows,
// without the server's own catalogues.
const QString kVisible = QStringLiteral(
    "pg_table_is_visible(c.oid) AND n.nspname NOT IN ('pg_catalog', 'information_schema') AND "
    "n.nspname NOT LIKE 'pg\\_to%' AND n.nspname NOT LIKE 'pg\\_temp\\_%'");

// The schema the name bound to ":table_name" is found in.
const QString kVisibleSchema =
    QStringLiteral("(SELECT n.nspname FROM pg_class c JOIN pg_namespace n ON n.oid = "
                   "c.relnamespace WHERE c.relname = :table_name AND ") +
    kVisible + QLatin1Char(')');

// The oid of ":schema".":table_name".
const QString kBoundTable = QStringLiteral(
    "(SELECT r.oid FROM pg_class r JOIN pg_namespace n ON n.oid = r.relnamespace WHERE "
    "n.nspname = :schema AND r.relname = :table_name)");

} // namespace

QString PostgresDialect::tableList() const {
    return QStringLiteral("SELECT c.relname FROM pg_class c JOIN pg_namespace n ON n.oid = "
                          "c.relnamespace WHERE c.relkind IN ('r', 'p') AND NOT "
                          "c.relispartition AND ") +
           kVisible + QStringLiteral(" ORDER BY c.relname");
}

QString PostgresDialect::columnList() const {
    return QStringLiteral("SELECT column_name FROM information_schema.columns WHERE "
                          "table_schema = ") +
           kVisibleSchema +
           QStringLiteral(" AND table_name = :table_name ORDER BY ordinal_position");
}

QString PostgresDialect::columnTypes() const {
    return QStringLiteral("SELECT column_name, data_type FROM information_schema.columns WHERE "
                          "table_schema = ") +
           kVisibleSchema +
           QStringLiteral(" AND table_name = :table_name ORDER BY ordinal_position");
}

// A page is the rows after a row address; every value is read as its text
// and cut to what a grid shows. The address's text has a name of its own: as
// "ctid", ORDER BY would sort by that text, (0,10) before (0,2).
QString PostgresDialect::gridPage(const QString& table, const QStringList& columns, const QString&,
                                  bool first) const {
    QStringList values;
    for (const QString& column : columns)
        values << QStringLiteral("left(CAST(%1 AS text), %2)")
                      .arg(quoted(column))
                      .arg(kGridTextLength + 1);
    return QStringLiteral("SELECT CAST(ctid AS text) AS row_address, ") +
           values.join(QStringLiteral(", ")) + QStringLiteral(" FROM ") + quoted(table) +
           (first ? QString() : QStringLiteral(" WHERE ctid > CAST(:after AS tid)")) +
           QStringLiteral(" ORDER BY ctid LIMIT %1").arg(kGridPageRows);
}

QString PostgresDialect::qualified(const QString& name) const {
    return m_schema.isEmpty() ? quoted(name) : quoted(m_schema) + QLatin1Char('.') + quoted(name);
}

QString PostgresDialect::gridKey() const {
    return QStringLiteral("SELECT 'ctid'");
}

QString PostgresDialect::beginSnapshot() const {
    return QStringLiteral("BEGIN ISOLATION LEVEL REPEATABLE READ");
}

QString PostgresDialect::visibleRelation() const {
    return QStringLiteral("SELECT n.nspname, c.relkind, c.relkind = 'p' OR c.relhassubclass "
                          "FROM pg_class c JOIN pg_namespace n ON n.oid = c.relnamespace WHERE "
                          "c.relname = :table_name AND ") +
           kVisible;
}

QString PostgresDialect::relationKind() const {
    return QStringLiteral("SELECT c.relkind FROM pg_class c JOIN pg_namespace n ON n.oid = "
                          "c.relnamespace WHERE n.nspname = :schema AND c.relname = :table_name");
}

QString PostgresDialect::primaryKey() const {
    return QStringLiteral(
        "SELECT a.attname, format_type(a.atttypid, NULL) FROM pg_index i JOIN pg_class c ON "
        "c.oid = i.indrelid JOIN pg_namespace n ON n.oid = c.relnamespace CROSS JOIN LATERAL "
        "unnest(i.indkey) WITH ORDINALITY AS k(attnum, position) JOIN pg_attribute a ON "
        "a.attrelid = c.oid AND a.attnum = k.attnum WHERE i.indisprimary AND n.nspname = "
        ":schema AND c.relname = :table_name ORDER BY k.position");
}

QString PostgresDialect::writableColumns() const {
    return QStringLiteral("SELECT column_name FROM information_schema.columns WHERE "
                          "table_schema = :schema AND table_name = :table_name AND "
                          "is_generated = 'NEVER' ORDER BY ordinal_position");
}

// glibc's C.UTF-8 maps each character's case by Unicode's simple mappings;
// ICU's root locale, where there is no such collation, maps some to several.
// A database in another encoding folds by the column's own collation.
QString PostgresDialect::unicodeCollation() const {
    return QStringLiteral(
        "SELECT collname FROM pg_collation WHERE collname IN ('C.utf8', 'C.UTF-8', "
        "'und-x-icu') AND collencoding IN (-1, pg_char_to_encoding('UTF8')) AND (SELECT "
        "encoding FROM pg_database WHERE datname = current_database()) = "
        "pg_char_to_encoding('UTF8') ORDER BY collname = 'und-x-icu', collname LIMIT 1");
}

QString PostgresDialect::rowCount(const QString& table) const {
    return QStringLiteral("SELECT count(*) FROM ") + qualified(table);
}

QString PostgresDialect::createCopy(const QString& newTable, const QString& source) const {
    return QStringLiteral("CREATE TABLE ") + qualified(newTable) + QStringLiteral(" (LIKE ") +
           qualified(source) +
           QStringLiteral(" INCLUDING DEFAULTS INCLUDING CONSTRAINTS INCLUDING INDEXES INCLUDING "
                          "IDENTITY INCLUDING GENERATED)");
}

// One row of each group: the lowest row by `order` (a single column keeps
// the form of the best hand-written statement, a hashed GROUP BY; a key of
// several columns picks its first row with DISTINCT ON).
QString PostgresDialect::insertFirstRows(const QString& newTable, const QString& source,
                                         const QStringList& columns, const QStringList& keys,
                                         const QStringList& order, bool byMin) const {
    const QString list = quotedList(columns);
    const QString from = QStringLiteral(" FROM ") + qualified(source);
    const QString groups = keys.join(QStringLiteral(", "));
    const QString orderBy = order.join(QStringLiteral(", "));
    QString first;
    if (byMin && order.size() == 1)
        first = QStringLiteral(" WHERE %1 IN (SELECT min(%1)%2 GROUP BY %3)")
                    .arg(orderBy, from, groups);
    else
        first = QStringLiteral(" WHERE (%1) IN (SELECT DISTINCT ON (%3) %1%2 ORDER BY %3, %1)")
                    .arg(orderBy, from, groups);
    return QStringLiteral("INSERT INTO ") + qualified(newTable) + QStringLiteral(" (") + list +
           QStringLiteral(") OVERRIDING SYSTEM VALUE SELECT ") + list + from + first +
           QStringLiteral(" ORDER BY ") + orderBy;
}

QString PostgresDialect::groupCount(const QString& source, const QStringList& keys) const {
    return QStringLiteral(
               "SELECT count(*), count(*) FILTER (WHERE n > 1) FROM (SELECT count(*) AS n "
               "FROM ") +
           qualified(source) + QStringLiteral(" GROUP BY ") + keys.join(QStringLiteral(", ")) +
           QStringLiteral(") AS groups");
}

QString PostgresDialect::firstGroups(const QString& source, const QStringList& keys,
                                     const QStringList& columns, const QStringList& order,
                                     int limit) const {
    QStringList named, names, values, kept;
    for (qsizetype i = 0; i < keys.size(); ++i) {
        named << QStringLiteral("%1 AS k%2").arg(keys.at(i)).arg(i);
        names << QStringLiteral("k%1").arg(i);
    }
    for (qsizetype i = 0; i < columns.size(); ++i) {
        values << QStringLiteral("v%1").arg(i);
        named << quoted(columns.at(i)) + QStringLiteral(" AS v%1").arg(i);
        kept << QStringLiteral("(array_agg(v%1) FILTER (WHERE n = kept))[1]").arg(i);
    }
    const QString key = names.join(QStringLiteral(", "));
    return QStringLiteral(
               "WITH numbered AS (SELECT row_number() OVER (ORDER BY %1) AS n, %2 FROM %3), "
               "grouped AS (SELECT n, min(n) OVER (PARTITION BY %4) AS kept, %4, %6 FROM "
               "numbered) SELECT kept, CAST(array_agg(n ORDER BY n) FILTER (WHERE n <> kept) AS "
               "text), %7 FROM grouped GROUP BY kept, %4 HAVING count(*) > 1 ORDER BY kept "
               "LIMIT %5")
        .arg(order.join(QStringLiteral(", ")), named.join(QStringLiteral(", ")), qualified(source),
             key, QString::number(limit), values.join(QStringLiteral(", ")),
             kept.join(QStringLiteral(", ")));
}

// Texts are compared by their bytes whatever the column's collation, which
// may call different texts equal; a key folds letter case and white space by
// Unicode's rules, as every kind of database does, not by the collation's.
QString PostgresDialect::groupKey(const QString& column, const QString& type, bool ignoreCase,
                                  bool trim, const QString& collation) {
    static const QStringList texts{QStringLiteral("text"), QStringLiteral("character varying"),
                                   QStringLiteral("character"), QStringLiteral("name")};
    if (!texts.contains(type))
        return quoted(column);
    QString value = quoted(column);
    // The regular expression reads the escapes, whatever the encoding.
    const QString blank = QStringLiteral(
        R"([\\t\\n\\v\\f\\r \\u0085\\u00a0\\u1680\\u2000-\\u200a\\u2028\\u2029\\u202f\\u205f\\u3000])");
    if (trim)
        value = QStringLiteral("regexp_replace(%1, E'^%2+|%2+$', '', 'g')").arg(value, blank);
    if (ignoreCase) {
        // Upper case first, then lower, joins what simple case folding joins
        // (final sigma, long s, the Kelvin sign); the Turkish dotted and
        // dotless i, which it leaves alone, are kept out of it.
        if (collation.isEmpty()) {
            value = QStringLiteral("lower(upper(%1))").arg(value);
        } else {
            const QString turkish = QStringLiteral("E'\\u0130\\u0131'");
            const QString aside = QStringLiteral("E'\\uE000\\uE001'");
            value = QStringLiteral("translate(lower(upper(translate(%1 COLLATE %2, %3, %4))), %4, "
                                   "%3)")
                        .arg(value, quoted(collation), turkish, aside);
        }
    }
    return QStringLiteral("(coalesce(%1, '') COLLATE \"C\")").arg(value);
}

QString PostgresDialect::listRemoved(const QString& source, const QStringList& keys,
                                     const QStringList& order, const QStringList& judged,
                                     const QStringList& judging, bool falling) const {
    QStringList named, names;
    for (qsizetype i = 0; i < keys.size(); ++i) {
        named << QStringLiteral("%1 AS varnolt_k%2").arg(keys.at(i)).arg(i);
        names << QStringLiteral("varnolt_k%1").arg(i);
    }
    const QString ties = falling ? QStringLiteral("varnolt_n DESC") : QStringLiteral("varnolt_n");
    return QStringLiteral(
               "CREATE TEMP TABLE varnolt_removed ON COMMIT DROP AS SELECT varnolt_n AS n, "
               "varnolt_in AS inside, varnolt_at AS at, kept, kept_in, kept_at FROM (SELECT "
               "varnolt_n, varnolt_in, varnolt_at, first_value(varnolt_n) OVER w AS kept, "
               "first_value(varnolt_in) OVER w AS kept_in, first_value(varnolt_at) OVER w AS "
               "kept_at FROM (SELECT row_number() OVER (ORDER BY %1) AS varnolt_n, tableoid AS "
               "varnolt_in, ctid AS varnolt_at, %2 FROM %3) AS numbered WINDOW w AS (PARTITION "
               "BY %4 ORDER BY %5)) AS judged WHERE varnolt_n <> kept")
        .arg(order.join(QStringLiteral(", ")), (named + judged).join(QStringLiteral(", ")),
             qualified(source), names.join(QStringLiteral(", ")),
             (judging + QStringList{ties}).join(QStringLiteral(", ")));
}

QString PostgresDialect::countRemoved() const {
    return QStringLiteral("SELECT count(*) FROM pg_temp.varnolt_removed");
}

QString PostgresDialect::insertUnremovedRows(const QString& newTable, const QString& source,
                                             const QStringList& columns,
                                             const QStringList& order) const {
    const QString list = quotedList(columns);
    return QStringLiteral("INSERT INTO ") + qualified(newTable) + QStringLiteral(" (") + list +
           QStringLiteral(") OVERRIDING SYSTEM VALUE SELECT ") + list + QStringLiteral(" FROM ") +
           qualified(source) +
           QStringLiteral(" AS s WHERE NOT EXISTS (SELECT 1 FROM pg_temp.varnolt_removed AS r "
                          "WHERE r.at = s.ctid AND r.inside = s.tableoid) ORDER BY ") +
           order.join(QStringLiteral(", "));
}

QString PostgresDialect::addNumberColumn(const QString& table, const QString& column) const {
    return QStringLiteral("ALTER TABLE ") + qualified(table) + QStringLiteral(" ADD COLUMN ") +
           quoted(column) + QStringLiteral(" bigint");
}

QString PostgresDialect::insertRemovedRows(const QString& table, const QString& source,
                                           const QStringList& columns,
                                           const QStringList& numberColumns) const {
    return QStringLiteral("INSERT INTO ") + qualified(table) + QStringLiteral(" (") +
           quotedList(columns + numberColumns) +
           QStringLiteral(") OVERRIDING SYSTEM VALUE SELECT ") +
           quotedList(QStringLiteral("s"), columns) +
           QStringLiteral(", r.n, r.kept FROM pg_temp.varnolt_removed AS r JOIN ") +
           qualified(source) +
           QStringLiteral(" AS s ON s.ctid = r.at AND s.tableoid = r.inside ORDER BY r.n");
}

QString PostgresDialect::readRemovedGroups(const QString& source,
                                           const QStringList& columns) const {
    return QStringLiteral("SELECT r.kept, r.n, ") + quotedList(QStringLiteral("s"), columns) +
           QStringLiteral(" FROM pg_temp.varnolt_removed AS r JOIN ") + qualified(source) +
           QStringLiteral(" AS s ON s.ctid = r.kept_at AND s.tableoid = r.kept_in ORDER BY "
                          "r.kept, r.n");
}

QString PostgresDialect::tablesReferringTo() const {
    return QStringLiteral("SELECT DISTINCT CAST(CAST(conrelid AS regclass) AS text) FROM "
                          "pg_constraint WHERE contype = 'f' AND conrelid <> confrelid AND "
                          "confrelid = ") +
           kBoundTable + QStringLiteral(" ORDER BY 1");
}

// A trigger's type has bit 3 set where it acts on deletes.
QString PostgresDialect::deleteTriggers() const {
    return QStringLiteral("SELECT tgname FROM pg_trigger WHERE NOT tgisinternal AND (tgtype & 8) "
                          "<> 0 AND tgrelid = ") +
           kBoundTable + QStringLiteral(" ORDER BY 1");
}

QString PostgresDialect::lockAgainstWriters(const QString& table) const {
    return QStringLiteral("LOCK TABLE ") + qualified(table) + QStringLiteral(" IN EXCLUSIVE MODE");
}

QString PostgresDialect::deleteRemovedRows(const QString& source) const {
    return QStringLiteral("DELETE FROM ") + qualified(source) +
           QStringLiteral(" AS s USING pg_temp.varnolt_removed AS r WHERE s.ctid = r.at AND "
                          "s.tableoid = r.inside");
}

QString PostgresDialect::restoreRows(const QString& table, const QString& removed,
                                     const QStringList& columns, const QString& order) const {
    return QStringLiteral("INSERT INTO ") + qualified(table) + QStringLiteral(" (") +
           quotedList(columns) + QStringLiteral(") OVERRIDING SYSTEM VALUE SELECT ") +
           quotedList(columns) + QStringLiteral(" FROM ") + qualified(removed) +
           QStringLiteral(" ORDER BY ") + quoted(order);
}

QString PostgresDialect::foreignKeys() const {
    return QStringLiteral(
               "SELECT c.oid, pg_get_constraintdef(c.oid), c.confrelid = c.conrelid, "
               "CAST(CAST(c.confrelid AS regclass) AS text), a.attname, p.attname FROM "
               "pg_constraint c "
               "CROSS JOIN LATERAL unnest(c.conkey, c.confkey) WITH ORDINALITY AS k(child, parent, "
               "i) "
               "JOIN pg_attribute a ON a.attrelid = c.conrelid AND a.attnum = k.child JOIN "
               "pg_attribute p ON p.attrelid = c.confrelid AND p.attnum = k.parent WHERE c.contype "
               "= "
               "'f' AND c.conrelid = ") +
           kBoundTable + QStringLiteral(" ORDER BY c.oid, k.i");
}

QString PostgresDialect::sequencedColumns() const {
    return QStringLiteral(
        "SELECT a.attname, CAST(CAST(d.objid AS regclass) AS text), a.attidentity <> '', "
        "format_type(a.atttypid, a.atttypmod) FROM pg_depend d JOIN pg_attribute a ON "
        "a.attrelid = d.refobjid AND a.attnum = d.refobjsubid JOIN pg_class s ON s.oid = "
        "d.objid AND s.relkind = 'S' WHERE d.classid = 'pg_class'::regclass AND d.refclassid = "
        "'pg_class'::regclass AND d.deptype IN ('a', 'i') AND d.refobjid = (SELECT r.oid FROM "
        "pg_class r JOIN pg_namespace n ON n.oid = r.relnamespace WHERE n.nspname = :schema AND "
        "r.relname = :table_name) ORDER BY a.attnum");
}

QString PostgresDialect::nameTaken() const {
    return QStringLiteral("SELECT count(*) FROM pg_class c JOIN pg_namespace n ON n.oid = "
                          "c.relnamespace WHERE n.nspname = :schema AND c.relname = :table_name");
}

QString PostgresDialect::ownIndexes(const QString& table) const {
    return QStringLiteral("SELECT CAST(CAST(i.indexrelid AS regclass) AS text) FROM pg_index i "
                          "WHERE i.indrelid = CAST(%1 AS regclass) AND NOT EXISTS (SELECT 1 FROM "
                          "pg_constraint c WHERE c.conindid = i.indexrelid)")
        .arg(literal(qualified(table)));
}

QString PostgresDialect::lastValue(const QString& sequence, const QString& table,
                                   const QString& column) const {
    return QStringLiteral("SELECT greatest((SELECT CASE WHEN is_called THEN last_value END FROM "
                          "%1), (SELECT CAST(max(%3) AS bigint) FROM %2))")
        .arg(sequence, qualified(table), quoted(column));
}

QString PostgresDialect::columnSequence(const QString& table, const QString& column) const {
    return QStringLiteral("SELECT pg_get_serial_sequence(%1, %2)")
        .arg(literal(qualified(table)), literal(column));
}

QStringList PostgresDialect::ownSequence(const QString& sequence, const QString& table,
                                         const QString& column, const QString& type) const {
    const QString name = qualified(sequence);
    return {QStringLiteral("CREATE SEQUENCE %1 AS %2").arg(name, type),
            QStringLiteral("ALTER TABLE %1 ALTER COLUMN %2 SET DEFAULT nextval(CAST(%3 AS "
                           "regclass))")
                .arg(qualified(table), quoted(column), literal(name)),
            QStringLiteral("ALTER SEQUENCE %1 OWNED BY %2.%3")
                .arg(name, qualified(table), quoted(column))};
}

QString PostgresDialect::setValue(const QString& sequence) const {
    return QStringLiteral("SELECT setval(CAST(%1 AS regclass), :value)").arg(literal(sequence));
}

QString PostgresDialect::addConstraint(const QString& table, const QString& definition) const {
    return QStringLiteral("ALTER TABLE ") + qualified(table) + QStringLiteral(" ADD ") + definition;
}

QString PostgresDialect::claimName() const {
    return QStringLiteral("SELECT pg_try_advisory_xact_lock(hashtext(:name))");
}

QString PostgresDialect::derivedNames(const QString& table, const QString& prefix) const {
    const QString own =
        QStringLiteral("CAST(") + literal(qualified(table)) + QStringLiteral(" AS regclass)");
    const auto starts = [&](const QString& column) {
        return QStringLiteral("left(") + column + QStringLiteral(", length(") + literal(prefix) +
               QStringLiteral(")) = ") + literal(prefix);
    };
    return QStringLiteral("SELECT c.relname, c.relkind FROM pg_class c JOIN pg_index i ON "
                          "i.indexrelid = c.oid WHERE i.indrelid = ") +
           own + QStringLiteral(" AND ") + starts(QStringLiteral("c.relname")) +
           QStringLiteral(" UNION ALL SELECT c.relname, c.relkind FROM pg_class c JOIN pg_depend "
                          "d ON d.objid = c.oid WHERE c.relkind = 'S' AND d.refobjid = ") +
           own + QStringLiteral(" AND d.deptype IN ('a', 'i') AND ") +
           starts(QStringLiteral("c.relname")) +
           QStringLiteral(" UNION ALL SELECT conname, 'c' FROM pg_constraint WHERE conrelid = ") +
           own + QStringLiteral(" AND conindid = 0 AND ") + starts(QStringLiteral("conname"));
}

QString PostgresDialect::rename(const QString& table, const QString& kind, const QString& name,
                                const QString& newName) const {
    if (kind == QStringLiteral("c"))
        return QStringLiteral("ALTER TABLE %1 RENAME CONSTRAINT %2 TO %3")
            .arg(qualified(table), quoted(name), quoted(newName));
    return QStringLiteral("ALTER %1 %2 RENAME TO %3")
        .arg(kind == QStringLiteral("S") ? QStringLiteral("SEQUENCE") : QStringLiteral("INDEX"),
             qualified(name), quoted(newName));
}

QString PostgresDialect::renameTable(const QString& table, const QString& newName) const {
    return QStringLiteral("ALTER TABLE %1 RENAME TO %2").arg(qualified(table), quoted(newName));
}

QString PostgresDialect::literal(const QString& text) {
    QString inner = text;
    inner.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
    inner.replace(QLatin1Char('\''), QStringLiteral("''"));
    return QStringLiteral("E'") + inner + QLatin1Char('\'');
}

} // namespace Db
