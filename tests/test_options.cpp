// Which row stays, what counts as the same, and where the removed rows go:
// every option alone and together, against a reference worked out here.
#include "Fixture.h"
#include "Runs.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>
#include <algorithm>

namespace {

struct Row {
    qint64 number = 0;
    QVariantList values; // ID, NAME, CITY, RANK
};

// The reference: for each row that goes, the number of the row that stays in
// its place, judged as a user would by hand.
QMap<qint64, qint64> referenceRemovals(QList<Row> rows, const RunOptions& options) {
    const auto fold = [&](const QVariant& value) {
        QString text = value.toString(); // NULL reads as ''
        if (options.trim)
            text = text.trimmed();
        return options.ignoreCase ? text.toCaseFolded() : text;
    };
    // RANK with NULLs first, rising or falling, ties by the table's order.
    const bool falling = !options.orderBy.isEmpty() && options.orderBy.first().descending;
    std::stable_sort(rows.begin(), rows.end(), [&](const Row& a, const Row& b) {
        if (options.orderBy.isEmpty())
            return false;
        const QVariant x = a.values.at(3), y = b.values.at(3);
        const bool before = x.isNull() ? !y.isNull() : !y.isNull() && x.toInt() < y.toInt();
        const bool after = y.isNull() ? !x.isNull() : !x.isNull() && y.toInt() < x.toInt();
        return falling ? after : before;
    });
    if (options.keep == RunOptions::Keep::Last)
        std::reverse(rows.begin(), rows.end());
    QMap<QStringList, qint64> first;
    QMap<qint64, qint64> removed;
    for (const Row& row : rows) {
        const QStringList key{fold(row.values.at(1)), fold(row.values.at(2))};
        if (first.contains(key))
            removed.insert(row.number, first.value(key));
        else
            first.insert(key, row.number);
    }
    return removed;
}

// Values as the test compares them, whatever type a reader gives them.
QStringList shown(const QVariantList& values) {
    QStringList texts;
    for (const QVariant& value : values)
        texts << (value.isNull() ? QStringLiteral("NULL") : value.toString());
    return texts;
}

QList<QStringList> shown(const QList<QVariantList>& rows) {
    QList<QStringList> texts;
    for (const QVariantList& row : rows)
        texts << shown(row);
    return texts;
}

} // namespace

class OptionsTest : public QObject {
    Q_OBJECT
private slots:
    void judgedRunsMatchTheReference_data();
    void judgedRunsMatchTheReference();
    void rowsStayAsSqliteOrdersThem_data();
    void rowsStayAsSqliteOrdersThem();
    void foldedKeysOfEveryShape_data();
    void foldedKeysOfEveryShape();

private:
    template <typename Database>
    void judgeOn(const Database& db, const QString& options, const QString& definition,
                 bool placeNumbers);

    ServerDatabase m_server;
    ServerDatabase m_mariadb{QStringLiteral("VARNOLT_TEST_MARIADB")};
};

void OptionsTest::judgedRunsMatchTheReference_data() {
    QTest::addColumn<QString>("options");
    QTest::addColumn<QString>("kind");
    for (const char* kind : {"sqlite", "sqlite without rowid", "postgres", "mariadb"}) {
        for (const char* options : {"", "last", "rank", "rank:desc last", "case", "trim",
                                    "case trim", "case trim rank:desc last", "trim rank"}) {
            QTest::addRow("%s: %s", kind, options)
                << QString::fromLatin1(options) << QString::fromLatin1(kind);
        }
    }
}

void OptionsTest::judgedRunsMatchTheReference() {
    QFETCH(QString, options);
    QFETCH(QString, kind);
    const QString definition = QStringLiteral(
        "CREATE TABLE \"T\" (\"ID\" INTEGER PRIMARY KEY, \"NAME\" TEXT, \"CITY\" TEXT, "
        "\"RANK\" INT)");
    if (kind == QStringLiteral("mariadb")) {
        VARNOLT_NEED_SERVER(m_mariadb.available(), "MariaDB (VARNOLT_TEST_MARIADB)");
        m_mariadb.exec(
            QStringLiteral("DROP TABLE IF EXISTS \"T\", \"T2\", \"T_REMOVED\", \"T_PLAIN\""));
        judgeOn(m_mariadb, options, definition, true);
        return;
    }
    if (kind == QStringLiteral("postgres")) {
        VARNOLT_NEED_SERVER(m_server.available(), "PostgreSQL (VARNOLT_TEST_PG)");
        m_server.exec(
            QStringLiteral("DROP TABLE IF EXISTS \"T\", \"T2\", \"T_REMOVED\", \"T_PLAIN\""));
        // A collation that folds ASCII alone must not change what is the same.
        judgeOn(m_server, options,
                QString(definition).replace("\"NAME\" TEXT", "\"NAME\" TEXT COLLATE \"C\""), true);
        return;
    }
    const bool withoutRowid = kind.endsWith(QStringLiteral("without rowid"));
    judgeOn(TempDatabase(), options,
            definition + (withoutRowid ? QStringLiteral(" WITHOUT ROWID") : QString()),
            withoutRowid);
}

// Numbers are rowids on a SQLite table with them, and else places in the
// primary key's order.
template <typename Database>
void OptionsTest::judgeOn(const Database& db, const QString& options, const QString& definition,
                          bool placeNumbers) {
    db.exec(definition);
    // Rowids with gaps, and values equal only once folded: case, blanks at
    // either end, blanks alone against '' and NULL, letters and blanks beyond
    // ASCII, final sigma, Georgian capitals (Unicode 11), and the Turkish
    // i's that simple folding keeps apart.
    const QVariantList names{"Anna Berg", "anna berg",  " Anna Berg ", "ANNA BERG",  "  ",
                             "",          QVariant(),   "Åse",         "ÅSE ",       "Per",
                             "per\t\n",   "\u00a0Élan", "ÉLAN",        "élan\u3000", "Élan",
                             "Дом",       "дом",        "ΟΔΟΣ",        "οδος",       "İ",
                             "ı",         "i",          "Ა",         "ა"};
    const QVariantList cities{"Oslo", "oslo", "Oslo ", QVariant(), ""};
    QRandomGenerator random(7);
    QList<Row> rows;
    QStringList inserts;
    qint64 id = -5;
    for (int i = 0; i < 300; ++i) {
        id += 1 + random.bounded(4);
        const QVariant rank = random.bounded(5) == 0 ? QVariant() : QVariant(random.bounded(4));
        Row row{placeNumbers ? i + 1 : id,
                {id, names.at(random.bounded(names.size())),
                 cities.at(random.bounded(cities.size())), rank}};
        QStringList literals;
        for (const QVariant& value : row.values)
            literals << (value.isNull() ? QStringLiteral("NULL") : "'" + value.toString() + "'");
        inserts << "(" + literals.join(", ") + ")";
        rows << row;
    }
    db.exec("INSERT INTO \"T\" VALUES " + inserts.join(QStringLiteral(", ")));
    RunOptions chosen = OptionsFrom(options);
    const QMap<qint64, qint64> removed = referenceRemovals(rows, chosen);
    QTemporaryDir folder;
    const auto run = [&](bool dryRun, const QString& name = QStringLiteral("T2")) {
        return runOn(db, "T", {"NAME", "CITY"}, name, {}, dryRun, chosen);
    };
    // Without the removed rows' table and the report, a run keeping the
    // first rows (folding texts or not) goes its plain way, to the same rows.
    const RunResult plain = run(false, QStringLiteral("T_PLAIN"));
    QCOMPARE(plain.rowsRemoved, removed.size());
    // Its dry run shows each group with the values of the row that stays.
    for (const RepeatGroup& group : run(true).groups) {
        const auto own = std::find_if(rows.begin(), rows.end(),
                                      [&](const Row& row) { return row.number == group.kept; });
        QCOMPARE(shown(group.values), shown(QVariantList{own->values.at(1), own->values.at(2)}));
    }
    chosen.reportFile = folder.filePath(QStringLiteral("dry.jsonl"));
    // A dry run with a report makes nothing (on a file, changes not a byte):
    // the run after it finds no table to replace.
    const auto fileHash = [&] {
        if constexpr (std::is_same_v<Database, TempDatabase>)
            return db.fileHash();
        return QByteArray();
    };
    const QByteArray before = fileHash();
    const RunResult dry = run(true);
    QCOMPARE(dry.rowsRemoved, removed.size());
    QCOMPARE(fileHash(), before);

    chosen.reportFile = folder.filePath(QStringLiteral("run.jsonl"));
    chosen.removedInto = QStringLiteral("T_REMOVED");
    const RunResult result = run(false);
    QCOMPARE(result.status, RunResult::Status::Done);
    QCOMPARE(result.rowsRemoved, removed.size());

    // The copy holds the rows that stay, whole, in the table's own order; the
    // removed rows' table the others, each with its number and its kept row.
    QList<QVariantList> kept, gone;
    for (const Row& row : rows) {
        if (removed.contains(row.number))
            gone << row.values + QVariantList{row.number, removed.value(row.number)};
        else
            kept << row.values;
    }
    QCOMPARE(shown(db.rows("SELECT * FROM \"T2\" ORDER BY \"ID\"")), shown(kept));
    QCOMPARE(shown(db.rows("SELECT * FROM \"T_PLAIN\" ORDER BY \"ID\"")), shown(kept));
    QCOMPARE(shown(db.rows("SELECT * FROM \"T_REMOVED\" ORDER BY \"ID\"")), shown(gone));

    // The reports of both runs: every group once, with its kept row's key.
    QMap<qint64, QList<qint64>> groups;
    for (auto entry = removed.begin(); entry != removed.end(); ++entry)
        groups[entry.value()] << entry.key();
    // The dry run showed the first ten by the number of the row that stays.
    QMap<qint64, QList<qint64>> firstGroups, shownGroups;
    for (auto group = groups.begin(); firstGroups.size() < 10 && group != groups.end(); ++group)
        firstGroups.insert(group.key(), group.value());
    for (const RepeatGroup& group : dry.groups)
        shownGroups.insert(group.kept, group.repeats);
    QCOMPARE(shownGroups, firstGroups);
    for (const QString& name : {QStringLiteral("dry.jsonl"), QStringLiteral("run.jsonl")}) {
        QFile report(folder.filePath(name));
        QVERIFY(report.open(QIODevice::ReadOnly));
        QMap<qint64, QList<qint64>> reported;
        for (const QByteArray& line : report.readAll().split('\n')) {
            if (line.isEmpty())
                continue;
            const QJsonObject group = QJsonDocument::fromJson(line).object();
            const qint64 keptRow = group.value("kept").toInteger();
            for (const QJsonValue row : group.value("removed").toArray())
                reported[keptRow] << row.toInteger();
            const auto own = std::find_if(rows.begin(), rows.end(),
                                          [&](const Row& row) { return row.number == keptRow; });
            QCOMPARE(shown(group.value("key").toArray().toVariantList()),
                     shown(QVariantList{own->values.at(1), own->values.at(2)}));
        }
        QCOMPARE(reported, groups);
    }
}

void OptionsTest::foldedKeysOfEveryShape_data() {
    QTest::addColumn<QString>("options");
    QTest::addColumn<QString>("rows");
    QTest::addColumn<QStringList>("kept");
    // Only texts fold: a number keeps its value, a blob its bytes, in the
    // key with the text that folds.
    QTest::newRow("numbers and blobs beside a folded text")
        << "case trim"
        << "(1, 'Ann', 1), (2, 'ann', 1.0), (3, 'Ann', x'41'), (4, 'Ann', x'61'), "
           "(5, ' ANN ', x'61'), (6, 'Ann', 'a')"
        << QStringList{"1", "3", "4", "6"};
    // Keys past the length kept whole are compared again, folded, when their
    // fingerprints meet.
    const QString longText = QStringLiteral("replace(hex(zeroblob(60)), '00', 'Ab')");
    QTest::newRow("long keys")
        << "case trim"
        << QStringLiteral("(1, %1, 'x'), (2, lower(%1), 'x'), (3, upper(%1) || ' ', 'x'), "
                          "(4, %1 || 'c', 'x'), (5, char(9) || lower(%1) || 'C', 'x')")
               .arg(longText)
        << QStringList{"1", "4"};
    // Every character Unicode counts as white space, after ASCII text and
    // before text that is not ASCII, which are trimmed in two ways.
    for (const int blank : {0x09,   0x0a,   0x0b,   0x0c,   0x0d,   0x20,   0x85,   0xa0,   0x1680,
                            0x2000, 0x2001, 0x2002, 0x2003, 0x2004, 0x2005, 0x2006, 0x2007, 0x2008,
                            0x2009, 0x200a, 0x2028, 0x2029, 0x202f, 0x205f, 0x3000})
        QTest::addRow("white space U+%04X", blank)
            << "trim"
            << QStringLiteral("(1, 'Oslo', 'x'), (2, 'Oslo' || char(%1), 'x'), (3, 'Tromsø', "
                              "'x'), (4, char(%1) || 'Tromsø', 'x'), (5, char(%1), char(%1))")
                   .arg(blank)
            << QStringList{"1", "3", "5"};
    // Characters that are not white space stay.
    QTest::newRow("not white space")
        << "trim"
        << "(1, 'Oslo', 'x'), (2, 'Oslo' || char(0x200b), 'x'), (3, 'Oslo' || char(0x1f), 'x')"
        << QStringList{"1", "2", "3"};
}

// The plain run and the judged one (which keeps the removed rows) keep the
// same rows.
void OptionsTest::foldedKeysOfEveryShape() {
    QFETCH(QString, options);
    QFETCH(QString, rows);
    QFETCH(QStringList, kept);
    TempDatabase db;
    db.exec(QStringLiteral("CREATE TABLE T(ID INTEGER PRIMARY KEY, A, B); INSERT INTO T VALUES ") +
            rows);
    RunOptions chosen = OptionsFrom(options);
    for (const bool judged : {false, true}) {
        chosen.removedInto = judged ? QStringLiteral("T_REMOVED") : QString();
        const RunResult result = runOn(db, "T", {"A", "B"}, "T2", Replacing(), false, chosen);
        QVERIFY2(result.status == RunResult::Status::Done, qPrintable(result.message));
        QCOMPARE(db.column(QStringLiteral("SELECT ID FROM T2 ORDER BY ID")), kept);
    }
}

void OptionsTest::rowsStayAsSqliteOrdersThem_data() {
    QTest::addColumn<QString>("encoding");
    QTest::addColumn<QString>("order");
    for (const char* encoding : {"UTF-8", "UTF-16le"}) {
        for (const char* order : {"BIN", "BIN:desc last", "NOCASE", "NOCASE:desc", "RTRIM last",
                                  "NOCASE:desc BIN last", "RTRIM:desc NOCASE"})
            QTest::addRow("%s: %s", encoding, order)
                << QString::fromLatin1(encoding) << QString::fromLatin1(order);
    }
}

// The row that stays is the one SQLite's own ORDER BY puts first, whatever
// the kinds of the values and the collation of their column: numbers of both
// kinds by exact value, texts in every collation SQLite has, binary values.
void OptionsTest::rowsStayAsSqliteOrdersThem() {
    QFETCH(QString, encoding);
    QFETCH(QString, order);
    TempDatabase db(QStringLiteral("PRAGMA encoding = '%1'").arg(encoding));
    db.exec("CREATE TABLE T (ID INTEGER PRIMARY KEY, K TEXT, BIN, NOCASE COLLATE NOCASE, "
            "RTRIM COLLATE RTRIM)");
    const QStringList values =
        QStringLiteral("NULL|0|-0.0|2|2.5|-1|1e300|-1e300|9007199254740993|9007199254740992.0|"
                       "9007199254740992|9223372036854775807|-9223372036854775808|"
                       "9223372036854775808.0|''|'a'|'A'|'a '|'B'|'b'|'Z'|'z'|'[]'|'_'|'Å'|'å'|"
                       "CAST(x'610062' AS TEXT)|x''|x'00'|x'0001'|x'61'")
            .split(QLatin1Char('|'));
    QRandomGenerator random(11);
    QStringList inserts;
    // Groups of two or three rows, so that each pair of values is judged
    // somewhere; keys too wide to be kept whole.
    for (qint64 id = 1; id < 6000; id += 1 + random.bounded(3)) {
        const auto any = [&] { return values.at(random.bounded(values.size())); };
        inserts << QStringLiteral("(%1, '%2%3', %4, %5, %6)")
                       .arg(id)
                       .arg(QString(70, QLatin1Char('k')))
                       .arg(random.bounded(1000))
                       .arg(any(), any(), any());
    }
    db.exec("INSERT INTO T VALUES " + inserts.join(QStringLiteral(", ")));
    const RunOptions options = OptionsFrom(order);
    QStringList terms;
    // The last row in an order is the first in the order turned round.
    const bool last = options.keep == RunOptions::Keep::Last;
    for (const OrderTerm& term : options.orderBy)
        terms << term.column + (term.descending != last ? QStringLiteral(" DESC") : QString());
    terms << (last ? QStringLiteral("ID DESC") : QStringLiteral("ID"));
    const RunResult result = runOn(db, "T", {"K"}, "T2", {}, false, options);
    QCOMPARE(result.status, RunResult::Status::Done);
    QCOMPARE(db.column("SELECT ID FROM T2 ORDER BY ID"),
             db.column(QStringLiteral("SELECT ID FROM (SELECT ID, row_number() OVER (PARTITION "
                                      "BY K ORDER BY %1) AS place FROM T) WHERE place = 1 "
                                      "ORDER BY ID")
                           .arg(terms.join(QStringLiteral(", ")))));
}

VARNOLT_GUILESS_TEST_MAIN(OptionsTest)
#include "test_options.moc"
