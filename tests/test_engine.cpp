// The duplicate removal run on SQLite: which rows remain, what is refused, and
// that the source is never changed.
#include "Fixture.h"

#include "Runs.h"
#include "core/Values.h"
#include "db/Session.h"
#include "engine/DuplicatePositions.h"
#include "engine/RepeatFinder.h"

#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <numeric>

namespace {

QStringList ids(const TempDatabase& db, const QString& table, const QString& order = "rowid") {
    return db.column(QStringLiteral("SELECT ID FROM \"%1\" ORDER BY %2").arg(table, order));
}

} // namespace

class EngineTest : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { Db::FaultInjection::clear(); }

    void valueListsMatchThePairwiseReading();
    void repeatFinderKeepsTheLowestNumberWhateverTheOrder();

    void workedExample();
    void randomTablesMatchAnIndependentReference();
    void progressGoesForwardAndAStopAnywhereTakesTheRunBack();
    void copyIsTheSourcesOwnTable_data();
    void copyIsTheSourcesOwnTable();
    void unusualSourcesAndNamesKeepTheRightRows();
    void theCopyStandsOnItsOwn_data();
    void theCopyStandsOnItsOwn();
    void whatIsNoTableOfTheUsersIsRefusedWithNothingRead();
    void aDefinitionThatCannotBeUsedChangesNothing();
    void runningOutOfMemoryFailsWithNothingChanged();
};

void EngineTest::valueListsMatchThePairwiseReading() {
    QCOMPARE(DuplicatePositions({"A", "B", "A", "C", "B", "A"}), (QList<qint64>{6, 5, 3}));
    QCOMPARE(DistinctValues(QStringList{"A", "B", "A", "C", "B"}), (QStringList{"A", "C", "B"}));
    QRandomGenerator random(20261206);
    for (int round = 0; round < 300; ++round) {
        QStringList values;
        const int size = static_cast<int>(random.bounded(0, 60));
        const int alphabet = static_cast<int>(random.bounded(1, 12));
        for (int i = 0; i < size; ++i)
            values << QStringLiteral("k%1").arg(random.bounded(alphabet)) +
                          (random.bounded(4) == 0 ? QStringLiteral(" ") : QString());
        // Every element equal to an earlier one, highest first, compared
        // pair by pair.
        QList<qint64> expected;
        for (qsizetype i = values.size() - 1; i >= 0; --i) {
            if (values.indexOf(values.at(i)) < i)
                expected << i + 1;
        }
        QCOMPARE(DuplicatePositions(values), expected);
    }
}

void EngineTest::repeatFinderKeepsTheLowestNumberWhateverTheOrder() {
    using Answer = std::optional<qint64>;
    const Answer fresh;
    int pulses = 0;
    RepeatFinder finder({.order = RepeatFinder::Order::Any, .pulse = [&] { ++pulses; }});
    qint64 kept = 0;
    QCOMPARE(finder.offer("b", 7), fresh);
    QCOMPARE(finder.offer("a", 5), fresh);
    // A lower number for a known key shows the earlier holder to be the repeat.
    QCOMPARE(finder.offer("b", 2, &kept), Answer(7));
    QCOMPARE(kept, qint64(2));
    QCOMPARE(finder.offer("b", 9, &kept), Answer(9));
    QCOMPARE(kept, qint64(2));
    // Any number is a row's: 0 and negative ones too.
    QCOMPARE(finder.offer("", 0), fresh);
    QCOMPARE(finder.offer("", -3, &kept), Answer(0));
    QCOMPARE(kept, qint64(-3));
    QCOMPARE(finder.offer("c", 4), fresh);
    QCOMPARE(finder.offer("c", 0), Answer(4));
    // Keys larger than a storage block, and a table grown many times over,
    // keep every key findable and whole.
    const QByteArray huge((3 << 20) + 1, 'x');
    QCOMPARE(finder.offer(huge, 100), fresh);
    QByteArray almost = huge;
    almost[almost.size() - 1] = 'y';
    QCOMPARE(finder.offer(almost, 101), fresh);
    for (int i = 0; i < 300000; ++i)
        QCOMPARE(finder.offer(QByteArray::number(i), 1000 + i), fresh);
    QVERIFY(pulses > 0);
    // Keys stored before the table grew are found again after it.
    for (int i = 0; i < 300000; i += 997)
        QCOMPARE(finder.offer(QByteArray::number(i), 2000000 + i), Answer(2000000 + i));
    QCOMPARE(finder.offer(huge, 99), Answer(100));
    QCOMPARE(finder.offer(almost, 102), Answer(102));
    QCOMPARE(finder.offer("a", 6), Answer(6));
    QCOMPARE(finder.offer("d", 7), fresh);
    // Rows in rising order keep their numbers, far apart and of either sign,
    // in every block.
    RepeatFinder rising({.order = RepeatFinder::Order::Rising});
    const auto numberOf = [](int i) { return (qint64(i) << 40) - (qint64(1) << 62); };
    for (int i = 0; i < 300000; ++i)
        QCOMPARE(rising.offer(QByteArray::number(i), numberOf(i)), fresh);
    for (int i = 0; i < 300000; i += 997) {
        QCOMPARE(rising.offer(QByteArray::number(i), numberOf(300000 + i), &kept),
                 Answer(numberOf(300000 + i)));
        QCOMPARE(kept, numberOf(i));
    }
    // Numbers in a span told beforehand are kept as short as it allows, to
    // both its ends.
    RepeatFinder spanned(
        {.order = RepeatFinder::Order::Any, .lowestNumber = -300, .highestNumber = 70000});
    QCOMPARE(spanned.offer("e", 70000), fresh);
    QCOMPARE(spanned.offer("e", -300, &kept), Answer(70000));
    QCOMPARE(spanned.offer("e", 65536, &kept), Answer(65536));
    QCOMPARE(kept, qint64(-300));
}

void EngineTest::workedExample() {
    TempDatabase db;
    MakeVisitors(db);
    db.exec(QStringLiteral("CREATE TABLE E(ID, A)"));
    int asked = 0;
    const RunResult result = runOn(db, "VISITORS", {"NAME", "CITY"}, "VISITORS2",
                                   {{}, [&](const QString&) { return ++asked > 0; }});
    QCOMPARE(result.status, RunResult::Status::Done);
    QCOMPARE(asked, 0); // nothing to replace, nothing to ask
    QCOMPARE(ids(db, QStringLiteral("VISITORS2")), (QStringList{"1", "2", "5"}));
    QCOMPARE(runOn(db, "E", {"A"}, "E2").status, RunResult::Status::Done);
    // A column travels with the type it was chosen with: a table changed
    // since is not read as if it were the same.
    const RunResult changed =
        DuplicateRemoval(KindOf(db.connection().sid),
                         {db.connection(), "VISITORS", {{"NAME", "INTEGER"}}, "V3"}, {})
            .run();
    QCOMPARE(changed.status, RunResult::Status::Failed);
    QVERIFY2(changed.message.contains("another type"), qPrintable(changed.message));
    QCOMPARE(db.column(QStringLiteral("SELECT count(*) FROM E2")), QStringList{"0"});
    // Nor is one changed while the replace question was asked: the table it
    // was to replace stays as it was.
    const RunResult renamed = runOn(db, "VISITORS", {"NAME"}, "VISITORS2",
                                    {{}, [&](const QString&) {
                                         db.exec("ALTER TABLE VISITORS RENAME COLUMN NAME TO WHO");
                                         return true;
                                     }});
    QCOMPARE(renamed.status, RunResult::Status::Failed);
    QVERIFY2(renamed.message.contains("changed by someone else"), qPrintable(renamed.message));
    QCOMPARE(ids(db, QStringLiteral("VISITORS2")), (QStringList{"1", "2", "5"}));
}

void EngineTest::randomTablesMatchAnIndependentReference() {
    // The kinds of table whose own order or comparison rules could mislead a
    // run: indexes that cover the keys, planner statistics, collations, STRICT
    // typing, and tables ordered by their primary key, descending too.
    const QStringList kinds{
        "CREATE TABLE T(ID, A, B); CREATE INDEX t_ab ON T(B, A)",
        "CREATE TABLE T(ID, A COLLATE NOCASE, B COLLATE NOCASE); CREATE INDEX t_ab ON T(B, A)",
        "CREATE TABLE T(ID INTEGER, A ANY, B ANY) STRICT",
        "CREATE TABLE T(ID INTEGER PRIMARY KEY, A, B) WITHOUT ROWID; CREATE INDEX t_ab ON T(B, A)",
        "CREATE TABLE T(ID, A, B, PRIMARY KEY (ID DESC)) WITHOUT ROWID",
        "CREATE TABLE T(ID, A, B, PRIMARY KEY (ID COLLATE NOCASE)) WITHOUT ROWID",
        "CREATE TABLE T(ID, A, B); CREATE INDEX t_ab ON T(B, A)"};
    const QStringList orders{"rowid", "rowid", "rowid", "ID", "ID DESC", "ID COLLATE NOCASE",
                             "rowid"};
    // Values that give equal keys wherever a key loses a kind, a length or a
    // byte: ('aT', 'b') and ('a', 'Tb'), a text and a blob of the same bytes,
    // Latin-1 bytes that are no UTF-8, texts that differ only where a
    // conversion to UTF-8 would lose the difference (a high surrogate before
    // a letter or before a low surrogate, either byte order), an embedded
    // NUL, numbers equal in value but not in type, and numbers too large for
    // a double to tell apart.
    const QStringList pool =
        QStringLiteral(
            "NULL|''|'x'|'X'|'x '|1|1.0|'1'|2.5|'aT'|'b'|'a'|'Tb'|x'54'|'T'|char(1)|"
            "x''|-0.0|0|CAST(x'4dfc6c6c6572' AS TEXT)|CAST(x'4de46c6c6572' AS TEXT)|"
            "CAST(x'610062' AS TEXT)|CAST(x'00D841DC' AS TEXT)|CAST(x'00D84100' AS TEXT)|"
            "CAST(x'D800DC41' AS TEXT)|CAST(x'D8000041' AS "
            "TEXT)|9007199254740993|9007199254740992.0|2|-2.5|-1|-1.0|"
            "CAST(x'6180' AS TEXT)|CAST(x'8062' AS TEXT)|"
            "9223372036854775807|9.3e18|printf('%.70c', 'w')|printf('%.69cv', 'w')|"
            "CAST(printf('%.70c', 'w') AS BLOB)")
            .split(QLatin1Char('|'));
    const QString keyOf = QStringLiteral(
        "CASE typeof(%1) WHEN 'null' THEN 't:' WHEN 'text' THEN 't:' || hex(%1) "
        "WHEN 'blob' THEN 'b:' || hex(%1) WHEN 'integer' THEN 'n:' || %1 "
        "ELSE CASE WHEN %1 = CAST(%1 AS INTEGER) AND abs(%1) < 9.2e18 "
        "THEN 'n:' || CAST(%1 AS INTEGER) ELSE 'r:' || printf('%!.17g', %1) END END");
    QRandomGenerator random(42);
    // Every second pass with fingerprints that collide, so that only the
    // comparison of the keys themselves tells them apart.
    for (int round = 0; round < 48; ++round) {
        const int kind = round % kinds.size();
        const RepeatFinder::Fingerprint colliding = [](QByteArrayView key) {
            return std::uint64_t(key.size() % 2);
        };
        RepeatFinder::useFingerprint(round % 12 < 6 ? nullptr : colliding);
        // Files that the keys are read from beside the writing connection in
        // each of the ways a file allows, and in each encoding of texts.
        TempDatabase db(QStringList{"", "PRAGMA journal_mode = WAL", "PRAGMA auto_vacuum = FULL",
                                    "PRAGMA encoding = 'UTF-16le'", "PRAGMA encoding = 'UTF-16be'"}
                            .at(round % 5));
        db.exec(kinds.at(kind));
        const int rows = static_cast<int>(random.bounded(0, 300));
        QList<int> order(rows);
        std::iota(order.begin(), order.end(), 1);
        std::shuffle(order.begin(), order.end(), random);
        QStringList values;
        for (const int id : order)
            values << QStringLiteral("(%1, %2, %3)")
                          .arg(id)
                          .arg(pool.at(random.bounded(pool.size())),
                               pool.at(random.bounded(pool.size())));
        if (!values.isEmpty())
            db.exec(QStringLiteral("INSERT INTO T VALUES ") + values.join(QLatin1Char(',')));
        // Rowids with gaps, and keys whose order depends on their collation
        // ('B...' before 'a...' by bytes, after it by NOCASE).
        db.exec(QStringLiteral("DELETE FROM T WHERE abs(random()) % 4 = 0"));
        if (orders.at(kind).contains(QStringLiteral("NOCASE")))
            db.exec(QStringLiteral("UPDATE T SET ID = CASE WHEN ID % 2 THEN 'B' ELSE 'a' END || "
                                   "printf('%03d', 999 - ID)"));
        // Pairs a careless key merges, in every table: bytes that run over
        // from one value into the next, and reals equal to integers.
        db.exec(QStringLiteral("INSERT INTO T VALUES (1001, CAST(x'6180' AS TEXT), 'b'),"
                               "(1002, 'a', CAST(x'8062' AS TEXT)), (1003, 'aT', 'b'),"
                               "(1004, 'a', 'Tb'), (1005, -1, 'x'), (1006, -1.0, 'x'),"
                               "(1007, 2, 'x'), (1008, 2.5, 'x')"));
        if (kind == kinds.size() - 1 && rows > 0)
            db.exec(QStringLiteral("ANALYZE; UPDATE sqlite_stat1 SET stat = stat || ' sz=250' "
                                   "WHERE idx IS NULL OR idx = 't_ab'"));

        // The reference: walk the table in its own order and keep the first
        // row of each (A, B), NULL read as the empty text, numbers by value,
        // texts and blobs by their bytes.
        // A row's number is its rowid, or without one its place in that order.
        const bool rowid = orders.at(kind) == QStringLiteral("rowid");
        QStringList expected;
        QMap<QString, qint64> firstOf;
        QMap<qint64, int> members; // by the number of the row that stays
        qint64 place = 0;
        for (const QVariantList& row :
             db.rows(QStringLiteral("SELECT ID, %1 || '/' || %2, %3 FROM T NOT INDEXED ORDER BY %4")
                         .arg(keyOf.arg("A"), keyOf.arg("B"), rowid ? "rowid" : "0",
                              orders.at(kind)))) {
            const qint64 number = rowid ? row.at(2).toLongLong() : ++place;
            const QString key = row.at(1).toString();
            if (!firstOf.contains(key)) {
                firstOf.insert(key, number);
                expected << row.at(0).toString();
            }
            ++members[firstOf.value(key)];
        }
        // Every second run keeps the removed rows, and so numbers the rows
        // itself, in that same order.
        RunOptions keeping;
        keeping.removedInto = round % 2 ? QStringLiteral("GONE") : QString();
        QCOMPARE(runOn(db, "T", {"A", "B"}, "T2", {}, false, keeping).status,
                 RunResult::Status::Done);
        QCOMPARE(ids(db, QStringLiteral("T2"), orders.at(kind)), expected);
        // A dry run shows the first groups that have repeats, by the number
        // of the row that stays.
        QList<qint64> groups;
        for (auto group = members.cbegin(); group != members.cend() && groups.size() < 10;
             ++group) {
            if (group.value() > 1)
                groups << group.key();
        }
        const RunResult dry = runOn(db, "T", {"A", "B"}, "T3", {}, true);
        QCOMPARE(dry.rowsKept, qint64(expected.size()));
        QList<qint64> shown;
        for (const RepeatGroup& group : dry.groups)
            shown << group.kept;
        QCOMPARE(shown, groups);
        RepeatFinder::useFingerprint(nullptr);
    }
}

// The same for a plain run, for one that keeps the last row, keeps the
// removed rows in a table, writes a report and ranks rows.
void EngineTest::progressGoesForwardAndAStopAnywhereTakesTheRunBack() {
    // Wide rows, so that writing them takes long enough to be asked in
    // between; and a file whose writing moves pages, where the keys are judged
    // before the first row is written.
    TempDatabase plainFile;
    TempDatabase movingFile(QStringLiteral("PRAGMA auto_vacuum = FULL"));
    for (const TempDatabase* file : {&plainFile, &movingFile})
        file->exec(QStringLiteral("CREATE TABLE BIG(ID, A, T);"
                                  "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM "
                                  "n WHERE i < 300000) INSERT INTO BIG SELECT i, i % 1000, "
                                  "printf('%.200c', 'w') FROM n"));
    QTemporaryDir folder;
    RunOptions judged;
    judged.keep = RunOptions::Keep::Last;
    judged.removedInto = QStringLiteral("GONE");
    judged.reportFile = folder.filePath(QStringLiteral("groups.jsonl"));
    judged.orderBy = {OrderTerm{QStringLiteral("ID"), true}};
    const QList<std::pair<const TempDatabase*, RunOptions>> runs{
        {&plainFile, {}}, {&plainFile, judged}, {&movingFile, {}}};
    for (const auto& [file, options] : runs) {
        const TempDatabase& db = *file;
        const auto run = [&](std::function<bool(const Progress&)> progress) {
            return runOn(db, "BIG", {"A"}, "BIG2", Replacing(std::move(progress)), false, options);
        };
        // The keys of a run with options are judged first, then the rows
        // that stay are written; a plain run judges while it writes.
        QList<Phase> expected{Phase::Checking, Phase::Reading, Phase::Writing, Phase::Finishing};
        if (!options.judged() && &db == &plainFile)
            expected.removeOne(Phase::Reading);

        // The run tells of each phase in turn, its counts going forward, and
        // a stop in any phase, in the middle where it has one, takes it back:
        // the table it was to replace is as it was, and nothing else was made.
        db.exec(QStringLiteral("DROP TABLE IF EXISTS BIG2; DROP TABLE IF EXISTS GONE; CREATE "
                               "TABLE BIG2(X); INSERT INTO BIG2 VALUES (7)"));
        QFile::remove(judged.reportFile);
        for (const Phase phase : expected) {
            const bool middle = phase == Phase::Reading || phase == Phase::Writing;
            qint64 stoppedAt = -1;
            QList<Progress> told;
            const RunResult result = run([&](const Progress& progress) {
                told << progress;
                if (progress.phase != phase || (middle && progress.done == 0))
                    return true;
                stoppedAt = progress.done;
                return false;
            });
            QList<Phase> phases;
            for (qsizetype i = 0; i < told.size(); ++i) {
                QVERIFY(i == 0 || told.at(i - 1).phase <= told.at(i).phase);
                QVERIFY(told.at(i).total < 0 || told.at(i).done <= told.at(i).total);
                if (phases.isEmpty() || phases.last() != told.at(i).phase)
                    phases << told.at(i).phase;
            }
            QCOMPARE(phases, expected.mid(0, expected.indexOf(phase) + 1));
            QCOMPARE(result.status, RunResult::Status::Stopped);
            QVERIFY(!middle || (stoppedAt > 0 && stoppedAt < 300000));
            QCOMPARE(db.column(QStringLiteral("SELECT X FROM BIG2")), QStringList{"7"});
            QCOMPARE(db.column("SELECT count(*) FROM sqlite_master WHERE name = 'GONE'"),
                     QStringList{"0"});
            QVERIFY(!QFile::exists(judged.reportFile));
        }
    }
}

namespace {

// Every row of a table in its own order, each as the exact value and type of
// every column, led by the row's key on `key` as the database holds it: NULL
// and the empty text alike, anything else by its bytes and kind.
QList<QStringList> rowImages(const TempDatabase& db, const QString& table, const QString& key,
                             const QString& order) {
    QStringList image;
    for (const QString& column : db.column(
             QStringLiteral("SELECT name FROM pragma_table_xinfo('%1') ORDER BY cid").arg(table)))
        image << QStringLiteral("quote(%1) || ':' || typeof(%1)").arg(Db::Dialect::quoted(column));
    QList<QStringList> rows;
    for (const QVariantList& row :
         db.rows(QStringLiteral("SELECT CASE WHEN %1 IS NULL OR %1 = '' THEN '' ELSE "
                                "typeof(%1) || hex(%1) END, %2 FROM %3 ORDER BY %4")
                     .arg(Db::Dialect::quoted(key), image.join(QStringLiteral(", ")),
                          Db::Dialect::quoted(table), order))) {
        QStringList values;
        for (const QVariant& value : row)
            values << value.toString();
        rows << values;
    }
    return rows;
}

// What follows the table's name in its CREATE TABLE statement.
QString definitionBody(const TempDatabase& db, const QString& table) {
    return db
        .column(QStringLiteral("SELECT substr(sql, instr(sql, '(')) FROM sqlite_schema WHERE "
                               "name = '%1'")
                    .arg(table))
        .value(0);
}

} // namespace

// Tables whose definition a copy made from its column list and types would
// change: types whose words read as constraints, STRICT typing, collations,
// keys, defaults, generated columns, tables without rowid, and rowids that
// are 0 or negative.
void EngineTest::copyIsTheSourcesOwnTable_data() {
    QTest::addColumn<QString>("definition");
    QTest::addColumn<QString>("rows");
    QTest::addColumn<QString>("order");
    const auto row = [](const char* tag, const char* definition, const char* rows,
                        const char* order = "rowid") {
        QTest::newRow(tag) << QString(definition) << QString(rows) << QString(order);
    };
    row("type reading as UNIQUE ON CONFLICT REPLACE",
        "CREATE TABLE T(k \"INT UNIQUE ON CONFLICT REPLACE\", v)",
        "(1, 'a'), (1, 'b'), (2, 'c'), (3, 'a')");
    row("type reading as INTEGER PRIMARY KEY", "CREATE TABLE T(k \"INTEGER PRIMARY KEY\", v)",
        "(NULL, 'a'), (5, 'b'), (NULL, 'b'), (2, 'c')");
    row("types reading as NOT NULL, CHECK and AS, a quote in a type",
        "CREATE TABLE T(k \"NOT NULL\", v \"CHECK(0)\", w \"AS (7)\", x \"it's\")",
        "(NULL, 'a', 1, 2), (1, 'a', NULL, 'q'), (2, 'b', 3, 4)");
    row("type reading as COLLATE NOCASE", "CREATE TABLE T(k \"COLLATE NOCASE\", v)",
        "(1, 'a'), (2, 'A'), (3, 'a')");
    row("STRICT with ANY", "CREATE TABLE T(k INTEGER, v ANY) STRICT",
        "(1, '1'), (2, ' 7'), (3, '1.0'), (4, 1), (5, '1')");
    row("constraints, defaults, generated columns, AUTOINCREMENT",
        "CREATE TABLE P(id INTEGER PRIMARY KEY); CREATE TABLE T(k INTEGER PRIMARY KEY "
        "AUTOINCREMENT, v TEXT NOT NULL DEFAULT 'd' CHECK (length(v) < 9) COLLATE NOCASE, "
        "p REFERENCES P(id), g AS (upper(v)) STORED, h AS (k * 2), UNIQUE (v, k))",
        "(3, 'x', NULL), (1, 'y', NULL), (7, 'x', NULL), (9, 'X', NULL)");
    row("without rowid, collated and descending key",
        "CREATE TABLE T(k TEXT COLLATE NOCASE, v, PRIMARY KEY (k DESC)) WITHOUT ROWID",
        "('b', 1), ('A', 2), ('c', 1), ('a ', 2)", "k COLLATE NOCASE DESC");
    row("names CREATE TABLE ... AS SELECT would change",
        "CREATE TABLE T(k INTEGER, \"True\" TEXT, \"False\" VARCHAR(5), v)",
        "(1, 'a', 'b', 'yes'), (2, 'c', 'd', 'maybe'), (3, 'e', 'f', 'yes')");
    row("generated key, and a generated column named rowid",
        "CREATE TABLE T(k, c, v INT AS (length(c)), rowid AS (v * 10))",
        "(1, 'ab'), (2, 'cd'), (3, 'xyz'), (4, 'ab'), (5, 'uvw')", "_rowid_");
    row("rowids 0 and below", "CREATE TABLE T(k, v)",
        "(1, 'a'), (2, 'b'), (3, 'c'), (4, 'a'), (5, 'b')");
}

void EngineTest::copyIsTheSourcesOwnTable() {
    QFETCH(QString, definition);
    QFETCH(QString, rows);
    QFETCH(QString, order);
    TempDatabase db;
    db.exec(definition);
    const QStringList columns =
        db.column(QStringLiteral("SELECT name FROM pragma_table_xinfo('T') WHERE hidden = 0"));
    db.exec(QStringLiteral("INSERT INTO T (%1) VALUES %2")
                .arg(columns.mid(0, rows.section(')', 0, 0).count(',') + 1).join(','), rows));
    if (QByteArray(QTest::currentDataTag()).startsWith("rowids"))
        db.exec(QStringLiteral("UPDATE T SET rowid = rowid - 4"));
    const QList<QStringList> source = rowImages(db, QStringLiteral("T"), "v", order);

    const RunResult result = runOn(db, "T", {"v"}, "T2");
    QVERIFY2(result.status == RunResult::Status::Done, qPrintable(result.message));

    // The reference: the first row of each key in the table's own order,
    // every column of it exactly as it was.
    QList<QStringList> expected;
    QSet<QString> seen;
    for (const QStringList& row : source) {
        if (!seen.contains(row.first()))
            expected << row;
        seen.insert(row.first());
    }
    QCOMPARE(rowImages(db, QStringLiteral("T2"), "v", order), expected);
    QCOMPARE(result.rowsKept, qint64(expected.size()));
    QCOMPARE(definitionBody(db, QStringLiteral("T2")), definitionBody(db, QStringLiteral("T")));
    QCOMPARE(rowImages(db, QStringLiteral("T"), "v", order), source);
}

// Sources the usual tests never build, each run plainly and judged: a key of
// more columns than a SQLite function takes, a virtual table's column types,
// and tables named as the run names the lists it keeps for itself.
void EngineTest::unusualSourcesAndNamesKeepTheRightRows() {
    TempDatabase db;
    QStringList wide, values;
    for (int column = 0; column < 300; ++column)
        wide << QStringLiteral("c%1").arg(column);
    db.exec(QStringLiteral("CREATE TABLE W(%1)").arg(wide.join(',')));
    for (const int row : {0, 1, 0, 2, 1}) {
        QStringList cells;
        for (int column = 0; column < 300; ++column)
            cells << QString::number(column == 299 ? row : 7);
        values << QLatin1Char('(') + cells.join(',') + QLatin1Char(')');
    }
    db.exec(QStringLiteral("INSERT INTO W VALUES %1").arg(values.join(',')));
    db.exec(QStringLiteral("CREATE VIRTUAL TABLE R USING rtree(id, lo, hi);"
                           "INSERT INTO R VALUES (1, 0, 1), (2, 0.5, 1), (3, 0, 1);"
                           "CREATE TABLE varnolt_removed(ID, K); CREATE TABLE temp_t(ID, K);"
                           "INSERT INTO varnolt_removed VALUES (1, 'a'), (2, 'a'), (3, 'b');"
                           "INSERT INTO temp_t SELECT * FROM varnolt_removed"));
    RunOptions judged;
    judged.keep = RunOptions::Keep::Last;
    // The removed rows go to a table whose name needs every kind of quoting.
    const QString gone = QStringLiteral("Gone [y] 'z' `w` select");
    judged.removedInto = gone;
    for (const RunOptions& options : {RunOptions{}, judged}) {
        db.exec(QStringLiteral("DROP TABLE IF EXISTS %1").arg(Db::Dialect::quoted(gone)));
        const auto kept = [&](const QString& source, const QStringList& columns,
                              const QString& newTable) {
            const RunResult result =
                runOn(db, source, columns, newTable, Replacing(), false, options);
            return result.status == RunResult::Status::Done ? result.rowsKept : -1;
        };
        QCOMPARE(kept("W", wide, "W2"), qint64(3));
        if (!options.removedInto.isEmpty())
            QCOMPARE(
                db.column(QStringLiteral("SELECT count(*) FROM %1").arg(Db::Dialect::quoted(gone))),
                QStringList{"2"});
        QCOMPARE(db.column("SELECT c299 FROM W2 ORDER BY rowid"),
                 options.keep == RunOptions::Keep::Last ? QStringList({"0", "2", "1"})
                                                        : QStringList({"0", "1", "2"}));
        QCOMPARE(kept("R", {"hi"}, "R2"), qint64(1));
        QCOMPARE(db.column("SELECT name || ' ' || type FROM pragma_table_info('R2')"),
                 (QStringList{"id INT", "lo REAL", "hi REAL"}));
        db.exec(QStringLiteral("DROP TABLE IF EXISTS %1").arg(Db::Dialect::quoted(gone)));
        QCOMPARE(kept("varnolt_removed", {"K"}, "N"), qint64(2));
        QCOMPARE(db.column("SELECT count(*) FROM N"), QStringList{"2"});
        db.exec(QStringLiteral("DROP TABLE IF EXISTS %1").arg(Db::Dialect::quoted(gone)));
        QCOMPARE(kept("temp_t", {"K"}, "varnolt_removed"), qint64(2));
        QCOMPARE(db.column("SELECT ID FROM varnolt_removed ORDER BY rowid"),
                 options.keep == RunOptions::Keep::Last ? QStringList({"2", "3"})
                                                        : QStringList({"1", "3"}));
    }
}

// A table that refers to itself, counts its rowids and has indexes, named in
// every quoting SQLite takes: its copy can take its place.
void EngineTest::theCopyStandsOnItsOwn_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("written");
    for (const auto& [name, written] : {std::pair{"emp", "emp"},
                                        {"Emp x", "\"Emp x\""},
                                        {"emp x", "[emp x]"},
                                        {"e`mp", "`e``mp`"},
                                        {"e'mp", "'e''mp'"}})
        QTest::newRow(name) << QString(name) << QString(written);
}

void EngineTest::theCopyStandsOnItsOwn() {
    QFETCH(QString, name);
    QFETCH(QString, written);
    TempDatabase db;
    db.exec(QStringLiteral(
                "CREATE TABLE dept(id INTEGER PRIMARY KEY); INSERT INTO dept VALUES (1);"
                "CREATE TABLE %1(ID INTEGER PRIMARY KEY AUTOINCREMENT, NAME TEXT CHECK "
                "(%1.NAME <> 'x' /* %1.x */), BOSS INTEGER REFERENCES %1, DEPT REFERENCES dept);"
                "CREATE INDEX by_name ON %1(NAME); CREATE UNIQUE INDEX by_dept ON %1(DEPT, ID);"
                "INSERT INTO %1 VALUES (1, 'a', NULL, 1), (2, 'b', 1, 1), (3, 'a', 2, 1), "
                "(4, 'c', 1, NULL), (9, 'd', NULL, 1); DELETE FROM %1 WHERE ID = 9")
                .arg(written));
    const QString copy = Db::Dialect::quoted(name + "2");
    const QString copyText = QLatin1Char('\'') + QString(name + "2").replace("'", "''") + "'";
    const RunResult result = runOn(db, name, {"NAME"}, name + "2");
    QVERIFY2(result.status == RunResult::Status::Done, qPrintable(result.message));
    // The copy counts on from the source's counter, refers to itself and to
    // the same other tables, and has the source's indexes.
    db.exec(QStringLiteral("PRAGMA foreign_keys = ON; INSERT INTO %1 (NAME, BOSS, DEPT) VALUES "
                           "('e', 2, 1)")
                .arg(copy));
    QCOMPARE(db.column(QStringLiteral("SELECT ID FROM %1 ORDER BY ID").arg(copy)),
             (QStringList{"1", "2", "4", "10"}));
    QCOMPARE(db.column(QStringLiteral("SELECT \"table\" FROM pragma_foreign_key_list(%1) ORDER "
                                      "BY id")
                           .arg(copyText)),
             (QStringList{"dept", name + "2"}));
    QCOMPARE(db.column(QStringLiteral("SELECT count(*) FROM pragma_index_list(%1) WHERE origin "
                                      "= 'c'")
                           .arg(copyText)),
             QStringList{"2"});
    db.exec(QStringLiteral("PRAGMA foreign_keys = ON; DELETE FROM %1 WHERE ID = 3")
                .arg(Db::Dialect::quoted(name)));
    // Kept rows that would refer to removed ones refuse the run, with
    // nothing changed; without indexes the copy has none of its own.
    RunOptions last;
    last.keep = RunOptions::Keep::Last;
    last.withoutIndexes = true;
    db.exec(QStringLiteral("INSERT INTO %1 VALUES (5, 'a', 1, 1)").arg(Db::Dialect::quoted(name)));
    const QByteArray withRow = db.fileHash();
    const RunResult refused = runOn(db, name, {"NAME"}, "LAST", {}, false, last);
    QCOMPARE(refused.status, RunResult::Status::Refused);
    QCOMPARE(refused.message,
             QStringLiteral("3 kept rows refer through BOSS to rows that are removed."));
    QCOMPARE(db.fileHash(), withRow);
    last.keep = RunOptions::Keep::First;
    QCOMPARE(runOn(db, name, {"NAME"}, "FIRST", {}, false, last).status, RunResult::Status::Done);
    QCOMPARE(db.column("SELECT count(*) FROM pragma_index_list('FIRST') WHERE origin = 'c'"),
             QStringList{"0"});
}

void EngineTest::whatIsNoTableOfTheUsersIsRefusedWithNothingRead() {
    TempDatabase db;
    MakeVisitors(db);
    db.exec(QStringLiteral("CREATE VIEW VV AS SELECT * FROM VISITORS;"
                           "CREATE INDEX IX ON VISITORS(NAME);"
                           "CREATE VIRTUAL TABLE F USING fts5(body)"));
    db.rows(QStringLiteral("CREATE TRIGGER TR AFTER INSERT ON VISITORS BEGIN SELECT 1; END"));
    const QByteArray before = db.fileHash();
    int asked = 0;
    const RunCallbacks yes{{}, [&](const QString&) { return ++asked > 0; }};
    // Sources that are no table of the user's, by what they are.
    for (const auto& [source, says] :
         {std::pair{"VV", "VV is a view, not a table"}, std::pair{"IX", "IX is an index, not a"},
          std::pair{"TR", "TR is a trigger, not a"}, std::pair{"sqlite_master", "internal table"},
          std::pair{"F_data", "internal table"}}) {
        for (const bool dryRun : {false, true}) {
            const RunResult result = runOn(db, source, {"NAME"}, "NEW", yes, dryRun);
            QCOMPARE(result.status, RunResult::Status::Refused);
            QVERIFY2(result.message.contains(QLatin1String(says)), qPrintable(result.message));
        }
    }
    // New names that belong to something other than a table, refused before
    // the question.
    for (const auto& [target, says] :
         {std::pair{"vv", "vv is the name of a view"},
          std::pair{"IX", "IX is the name of an index"},
          std::pair{"TR", "TR is the name of a trigger"}, std::pair{"f_config", "internal table"},
          std::pair{"sqlite_stat1", "internal table"}}) {
        const RunResult result = runOn(db, "VISITORS", {"NAME"}, target, yes);
        QCOMPARE(result.status, RunResult::Status::Refused);
        QVERIFY2(result.message.contains(QLatin1String(says)), qPrintable(result.message));
    }
    QCOMPARE(asked, 0);
    const RunResult gone = runOn(db, "GONE", {"NAME"}, "NEW");
    QCOMPARE(gone.status, RunResult::Status::Refused);
    QCOMPARE(gone.message, QStringLiteral("There is no table GONE."));
    QCOMPARE(db.fileHash(), before);
    // A virtual table is the user's own and can be copied.
    db.exec(QStringLiteral("INSERT INTO F VALUES ('duplicate rows'), ('duplicate rows')"));
    QCOMPARE(runOn(db, "F", {"body"}, "F2").status, RunResult::Status::Done);
    QCOMPARE(db.column("SELECT count(*) FROM F2"), QStringList{"1"});
}

void EngineTest::aDefinitionThatCannotBeUsedChangesNothing() {
    TempDatabase db;
    db.exec(QStringLiteral("CREATE TABLE T(A COLLATE NOCASE); INSERT INTO T VALUES (1), (1);"
                           "CREATE TABLE T2(X); INSERT INTO T2 VALUES (7);"
                           "PRAGMA writable_schema = ON;"
                           "UPDATE sqlite_schema SET sql = replace(sql, 'NOCASE', 'LOCAL') "
                           "WHERE name = 'T'; PRAGMA writable_schema = OFF"));
    const QByteArray before = db.fileHash();
    const RunResult result = runOn(db, "T", {"A"}, "T2", Replacing());
    QCOMPARE(result.status, RunResult::Status::Failed);
    QVERIFY2(result.message.contains("no such collation sequence: LOCAL") &&
                 result.message.contains("the table T cannot be copied as it is defined"),
             qPrintable(result.message));
    QCOMPARE(db.fileHash(), before);

    // A definition the rows themselves break: a NOT NULL the table was given
    // after its NULLs were in, which the copy would silently skip. The count
    // before the commit catches it.
    db.exec(QStringLiteral("CREATE TABLE U(K, V); INSERT INTO U VALUES (1, NULL), (2, 'x');"
                           "PRAGMA writable_schema = ON;"
                           "UPDATE sqlite_schema SET sql = 'CREATE TABLE U(K, V NOT NULL ON "
                           "CONFLICT IGNORE)' WHERE name = 'U'; PRAGMA writable_schema = OFF"));
    const QByteArray beforeU = db.fileHash();
    RunOptions last;
    last.keep = RunOptions::Keep::Last;
    for (const RunOptions& options : {RunOptions(), last}) {
        const RunResult skipped = runOn(db, "U", {"K"}, "U2", {}, false, options);
        QCOMPARE(skipped.status, RunResult::Status::Failed);
        QVERIFY2(skipped.message.contains(" would "), qPrintable(skipped.message));
        QCOMPARE(db.fileHash(), beforeU);
    }
}

void EngineTest::runningOutOfMemoryFailsWithNothingChanged() {
    TempDatabase db;
    MakeVisitors(db);
    db.exec(QStringLiteral("CREATE TABLE V2(X); INSERT INTO V2 VALUES (7)"));
    const QByteArray before = db.fileHash();
    int failures = 0;
    RunOptions last;
    last.keep = RunOptions::Keep::Last;
    for (int k = 1;; ++k) {
        // Plain and judged runs in turn: they judge on other threads.
        Db::FaultInjection::failAt(Db::FaultInjection::Point::Memory, (k + 1) / 2, {}, {});
        const RunResult result = runOn(db, "VISITORS", {"NAME", "CITY"}, "V2", Replacing(), false,
                                       k % 2 ? RunOptions() : last);
        if (!Db::FaultInjection::fired())
            break;
        ++failures;
        QCOMPARE(result.status, RunResult::Status::Failed);
        QVERIFY2(result.message.startsWith(
                     "There was not enough memory to compare the rows of VISITORS."),
                 qPrintable(result.message));
        QCOMPARE(db.fileHash(), before);
    }
    QVERIFY(failures >= 4);
}

VARNOLT_GUILESS_TEST_MAIN(EngineTest)
#include "test_engine.moc"
