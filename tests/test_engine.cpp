// The duplicate removal run on SQLite: which rows remain, what is refused, and
// that the source is never changed.
#include "Fixture.h"

#include "core/Values.h"
#include "db/Session.h"
#include "engine/DuplicatePositions.h"
#include "engine/DuplicateRemoval.h"
#include "engine/RepeatFinder.h"

#include <QRandomGenerator>
#include <numeric>

namespace {

RunResult runOn(const TempDatabase& db, const QString& source, const QStringList& columns,
                const QString& newTable, RunCallbacks callbacks = {}) {
    return DuplicateRemoval({db.connection(), source, columns, newTable}, std::move(callbacks))
        .run();
}

QStringList ids(const TempDatabase& db, const QString& table) {
    return db.column(QStringLiteral("SELECT ID FROM \"%1\" ORDER BY rowid").arg(table));
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
    void copyKeepsEveryColumnAsDeclared();
    void tableChangedWhileAskingStopsTheRun();
    void internalTablesAreNeitherListedNorReplaced();
};

void EngineTest::valueListsMatchThePairwiseReading() {
    const QStringList example{"A", "B", "A", "C", "B", "A"};
    QCOMPARE(DuplicatePositions(example), (QList<qint64>{6, 5, 3}));
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
    int pulses = 0;
    RepeatFinder finder(RepeatFinder::Order::Any, [&] { ++pulses; });
    qint64 kept = 0;
    QCOMPARE(finder.offer("b", 7), qint64(0));
    QCOMPARE(finder.offer("a", 5), qint64(0));
    // A lower number for a known key shows the earlier holder to be the repeat.
    QCOMPARE(finder.offer("b", 2, &kept), qint64(7));
    QCOMPARE(kept, qint64(2));
    QCOMPARE(finder.offer("b", 9, &kept), qint64(9));
    QCOMPARE(kept, qint64(2));
    QCOMPARE(finder.offer("", 4), qint64(0));
    QCOMPARE(finder.offer("", 3), qint64(4));
    // Keys larger than a storage block, and a table grown many times over,
    // keep every key findable and whole.
    const QByteArray huge((3 << 20) + 1, 'x');
    QCOMPARE(finder.offer(huge, 100), qint64(0));
    QByteArray almost = huge;
    almost[almost.size() - 1] = 'y';
    QCOMPARE(finder.offer(almost, 101), qint64(0));
    for (int i = 0; i < 300000; ++i)
        QCOMPARE(finder.offer(QByteArray::number(i), 1000 + i), qint64(0));
    QVERIFY(pulses > 0);
    QCOMPARE(finder.offer(huge, 99), qint64(100));
    QCOMPARE(finder.offer("a", 6), qint64(6));
    QVERIFY(finder.contains(almost) && !finder.contains("c"));
}

void EngineTest::workedExample() {
    TempDatabase db;
    MakeVisitors(db);
    db.exec(QStringLiteral("CREATE TABLE E(ID, A)"));
    const QString source = QStringLiteral("SELECT group_concat(quote(ID) || quote(NAME) || "
                                          "quote(CITY)) FROM VISITORS");
    const QStringList before = db.column(source);
    const RunResult result =
        runOn(db, QStringLiteral("VISITORS"), {"NAME", "CITY"}, QStringLiteral("VISITORS2"));
    QCOMPARE(result.status, RunResult::Status::Done);
    QCOMPARE(ids(db, QStringLiteral("VISITORS2")), (QStringList{"1", "2", "5"}));
    QCOMPARE(result.rowsRead, qint64(5));
    QCOMPARE(result.rowsRemoved, qint64(2));
    QCOMPARE(db.column(source), before);
    QCOMPARE(runOn(db, QStringLiteral("E"), {"A"}, QStringLiteral("E2")).status,
             RunResult::Status::Done);
    QCOMPARE(db.column(QStringLiteral("SELECT count(*) FROM E2")), QStringList{"0"});
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
        "CREATE TABLE T(ID, A, B); CREATE INDEX t_ab ON T(B, A)"};
    const QStringList orders{"rowid", "rowid", "rowid", "ID", "ID DESC", "rowid"};
    // Values that give equal keys wherever a key loses a kind, a length or a
    // byte: ('aT', 'b') and ('a', 'Tb'), a text and a blob of the same bytes,
    // Latin-1 bytes that are no UTF-8, an embedded NUL, numbers equal in value
    // but not in type, and numbers too large for a double to tell apart.
    const QStringList pool =
        QStringLiteral("NULL|''|'x'|'X'|'x '|1|1.0|'1'|2.5|'aT'|'b'|'a'|'Tb'|x'54'|'T'|char(1)|"
                       "x''|-0.0|0|CAST(x'4dfc6c6c6572' AS TEXT)|CAST(x'4de46c6c6572' AS TEXT)|"
                       "CAST(x'610062' AS TEXT)|9007199254740993|9007199254740992.0|"
                       "9223372036854775807|9.3e18")
            .split(QLatin1Char('|'));
    const QString keyOf = QStringLiteral(
        "CASE typeof(%1) WHEN 'null' THEN 't:' WHEN 'text' THEN 't:' || hex(%1) "
        "WHEN 'blob' THEN 'b:' || hex(%1) WHEN 'integer' THEN 'n:' || %1 "
        "ELSE CASE WHEN %1 = CAST(%1 AS INTEGER) AND abs(%1) < 9.2e18 "
        "THEN 'n:' || CAST(%1 AS INTEGER) ELSE 'r:' || printf('%!.17g', %1) END END");
    QRandomGenerator random(42);
    for (int round = 0; round < 24; ++round) {
        const int kind = round % kinds.size();
        TempDatabase db;
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
        if (kind == kinds.size() - 1 && rows > 0)
            db.exec(QStringLiteral("ANALYZE; UPDATE sqlite_stat1 SET stat = stat || ' sz=250' "
                                   "WHERE idx IS NULL OR idx = 't_ab'"));

        // The reference: walk the table in its own order and keep the first
        // row of each (A, B), NULL read as the empty text, numbers by value,
        // texts and blobs by their bytes.
        QStringList expected;
        QSet<QString> seen;
        for (const QVariantList& row :
             db.rows(QStringLiteral("SELECT ID, %1 || '/' || %2 FROM T NOT INDEXED ORDER BY %3")
                         .arg(keyOf.arg("A"), keyOf.arg("B"), orders.at(kind)))) {
            if (!seen.contains(row.at(1).toString())) {
                seen.insert(row.at(1).toString());
                expected << row.at(0).toString();
            }
        }
        QCOMPARE(runOn(db, QStringLiteral("T"), {"A", "B"}, QStringLiteral("T2")).status,
                 RunResult::Status::Done);
        QCOMPARE(ids(db, QStringLiteral("T2")), expected);
    }
}

void EngineTest::progressGoesForwardAndAStopAnywhereTakesTheRunBack() {
    TempDatabase db;
    // Wide rows, so that writing them takes long enough to be asked in between.
    db.exec(QStringLiteral("CREATE TABLE BIG(ID, A, T);"
                           "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n "
                           "WHERE i < 300000) INSERT INTO BIG SELECT i, i % 1000, "
                           "printf('%.200c', 'w') FROM n"));
    QList<Progress> told;
    RunResult result = runOn(db, QStringLiteral("BIG"), {"A"}, QStringLiteral("BIG2"),
                             {[&](const Progress& progress) {
                                  told << progress;
                                  return true;
                              },
                              {}});
    QCOMPARE(result.status, RunResult::Status::Done);
    QCOMPARE(result.rowsKept, qint64(1000));
    QList<Phase> phases;
    for (qsizetype i = 0; i < told.size(); ++i) {
        QVERIFY(i == 0 || told.at(i - 1).phase <= told.at(i).phase);
        QVERIFY(told.at(i).total < 0 || told.at(i).done <= told.at(i).total);
        if (phases.isEmpty() || phases.last() != told.at(i).phase)
            phases << told.at(i).phase;
    }
    QCOMPARE(phases,
             (QList<Phase>{Phase::Checking, Phase::Reading, Phase::Writing, Phase::Finishing}));

    // A stop in any phase, in the middle where it has one, takes the run
    // back: the table it was to replace is as it was.
    db.exec(QStringLiteral("DROP TABLE BIG2; CREATE TABLE BIG2(X); INSERT INTO BIG2 VALUES (7)"));
    for (const Phase phase : phases) {
        const bool middle = phase == Phase::Reading || phase == Phase::Writing;
        qint64 stoppedAt = -1;
        result = runOn(db, QStringLiteral("BIG"), {"A"}, QStringLiteral("BIG2"),
                       {[&](const Progress& progress) {
                            if (progress.phase != phase || (middle && progress.done == 0))
                                return true;
                            stoppedAt = progress.done;
                            return false;
                        },
                        [](const QString&) { return true; }});
        QCOMPARE(result.status, RunResult::Status::Stopped);
        QVERIFY(!middle || (stoppedAt > 0 && stoppedAt < 300000));
        QCOMPARE(db.column(QStringLiteral("SELECT X FROM BIG2")), QStringList{"7"});
    }
}

void EngineTest::copyKeepsEveryColumnAsDeclared() {
    TempDatabase db;
    // SQLite's CREATE TABLE ... AS SELECT would rename "True" and "False", and a
    // generated column named rowid hides the row's own number.
    db.exec(QStringLiteral(
        "CREATE TABLE ANSWERS(ID INTEGER, \"True\" TEXT, \"False\" VARCHAR(5));"
        "INSERT INTO ANSWERS VALUES (1, 'yes', 'a'), (2, 'maybe', 'b'), (3, 'yes', 'c'),"
        "(4, 'never', 'd'), (5, 'always', 'e');"
        "CREATE TABLE PARTS(ID, CODE, rowid INT GENERATED ALWAYS AS (length(CODE)) VIRTUAL);"
        "INSERT INTO PARTS(ID, CODE) VALUES (1, 'ab'), (2, 'cd'), (3, 'ab'), (4, 'xyz'),"
        "(5, 'uvw')"));
    QCOMPARE(runOn(db, QStringLiteral("ANSWERS"), {"True"}, QStringLiteral("A2")).status,
             RunResult::Status::Done);
    QCOMPARE(ids(db, QStringLiteral("A2")), (QStringList{"1", "2", "4", "5"}));
    const QString columns =
        QStringLiteral("SELECT name || ' ' || type FROM pragma_table_xinfo('%1') ORDER BY cid");
    QCOMPARE(db.column(columns.arg("A2")), db.column(columns.arg("ANSWERS")));

    QCOMPARE(runOn(db, QStringLiteral("PARTS"), {"CODE"}, QStringLiteral("P2")).status,
             RunResult::Status::Done);
    QCOMPARE(db.column("SELECT ID FROM P2 ORDER BY ID"), (QStringList{"1", "2", "4", "5"}));
    // A generated column is a key like any other.
    QCOMPARE(runOn(db, QStringLiteral("PARTS"), {"rowid"}, QStringLiteral("P3")).status,
             RunResult::Status::Done);
    QCOMPARE(db.column("SELECT ID FROM P3 ORDER BY ID"), (QStringList{"1", "4"}));
}

void EngineTest::tableChangedWhileAskingStopsTheRun() {
    TempDatabase db;
    MakeVisitors(db);
    db.exec(QStringLiteral("CREATE TABLE V2(X); INSERT INTO V2 VALUES (7)"));
    const RunResult result =
        runOn(db, QStringLiteral("VISITORS"), {"NAME"}, QStringLiteral("V2"),
              {{}, [&](const QString&) {
                   db.exec(QStringLiteral("ALTER TABLE VISITORS RENAME COLUMN NAME TO WHO"));
                   return true;
               }});
    QCOMPARE(result.status, RunResult::Status::Failed);
    QVERIFY2(result.message.contains(QStringLiteral("changed by someone else")),
             qPrintable(result.message));
    QCOMPARE(db.column("SELECT X FROM V2"), QStringList{"7"});
}

void EngineTest::internalTablesAreNeitherListedNorReplaced() {
    TempDatabase db;
    MakeVisitors(db);
    db.exec(QStringLiteral("CREATE VIRTUAL TABLE F USING fts5(body);"
                           "INSERT INTO F VALUES ('duplicate rows'), ('duplicate rows')"));
    for (const QString& name :
         {QStringLiteral("F_data"), QStringLiteral("f_config"), QStringLiteral("sqlite_stat1")}) {
        const RunResult result = runOn(db, QStringLiteral("VISITORS"), {"NAME"}, name,
                                       {{}, [](const QString&) { return true; }});
        QCOMPARE(result.status, RunResult::Status::Refused);
    }
    QCOMPARE(db.column("SELECT count(*) FROM F WHERE F MATCH 'rows'"), QStringList{"2"});
    // A virtual table is the user's own and can be copied.
    QCOMPARE(runOn(db, QStringLiteral("F"), {"body"}, QStringLiteral("F2")).status,
             RunResult::Status::Done);
    QCOMPARE(db.column("SELECT count(*) FROM F2"), QStringList{"1"});
}

VARNOLT_GUILESS_TEST_MAIN(EngineTest)
#include "test_engine.moc"
