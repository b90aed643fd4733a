// The run on a real PostgreSQL server, which the test script starts: lists,
// runs compared with the server's own grouping, one snapshot under a
// concurrent writer, stops and cancels that leave everything as it was.
#include "GridPages.h"
#include "Runs.h"
#include "db/Catalogue.h"
#include "db/Session.h"

#include <QSqlDatabase>
#include <QSqlQuery>

class PostgresTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { VARNOLT_NEED_SERVER(m_db.available(), "PostgreSQL (VARNOLT_TEST_PG)"); }

    void listsAndRunsTheTablesTheSearchPathShows();
    void runsMatchTheServersOwnGrouping_data();
    void runsMatchTheServersOwnGrouping();
    void theCopyHoldsOneMomentOfTheSource();
    void aStopAtAnyPointLeavesTheOldTable();
    void aReplacedTableStaysReadableUntilTheSwap();
    void theGridReadsEveryRowOnce();
    void theCopyTakesTheSourcesPlace();
    void cleaningInPlaceAndRestoreLeaveTheTableAsItWas();
    void aTableChangedWhileTheQuestionIsOpenStopsTheRun();

private:
    ServerDatabase m_db;
};

// What a query finds by name is what is listed and run: a schema named
// after the user comes first on the default path (the tables made after it
// go there), and hides the same name further on; the names of the run's own
// lists are the user's to use.
void PostgresTest::listsAndRunsTheTablesTheSearchPathShows() {
    m_db.exec(
        QStringLiteral("CREATE SCHEMA other; CREATE TABLE other.elsewhere (x int);"
                       "CREATE SCHEMA %1; CREATE TABLE %1.dup (k int, z int);"
                       "CREATE TABLE public.dup (x int); INSERT INTO %1.dup VALUES (1, 2), (1, 3);"
                       "CREATE TABLE \"Mixed Case\" (b text, a int, \"it's\" date);"
                       "CREATE VIEW mixed_view AS SELECT * FROM \"Mixed Case\";"
                       "CREATE TABLE parted (x int) PARTITION BY RANGE (x);"
                       "CREATE TABLE parted_low PARTITION OF parted FOR VALUES FROM (0) TO (9);"
                       "CREATE TABLE public.varnolt_removed (n int); "
                       "INSERT INTO public.varnolt_removed VALUES (1), (1), (2)")
            .arg(m_db.connection().user));
    TestSession session(m_db.connection());
    session.open();
    QCOMPARE(Db::TableList(session),
             (QStringList{"Mixed Case", "dup", "parted", "varnolt_removed"}));
    QCOMPARE(Db::ColumnList(session, QStringLiteral("Mixed Case")),
             (QStringList{"b", "a", "it's"}));
    QCOMPARE(Db::ColumnList(session, QStringLiteral("dup")), (QStringList{"k", "z"}));
    const RunResult view = runOn(m_db, "mixed_view", {"a"}, "copy_of_view");
    QCOMPARE(view.status, RunResult::Status::Refused);
    QVERIFY2(view.message.contains("mixed_view is a view"), qPrintable(view.message));
    // The copy is made beside its source.
    QCOMPARE(runOn(m_db, "dup", {"k"}, "dup2").rowsKept, qint64(1));
    QCOMPARE(m_db.column("SELECT z FROM dup2"), QStringList{"2"});
    RunOptions judged;
    judged.keep = RunOptions::Keep::Last;
    judged.removedInto = QStringLiteral("gone");
    for (const auto& [source, newTable] :
         {std::pair{"varnolt_removed", "ours"}, {"ours", "varnolt_removed"}}) {
        const RunResult result = runOn(m_db, source, {"n"}, newTable, Replacing(), false, judged);
        QVERIFY2(result.status == RunResult::Status::Done, qPrintable(result.message));
        QCOMPARE(
            m_db.column(QStringLiteral("SELECT string_agg(n::text, ' ') FROM %1").arg(newTable)),
            QStringList{"1 2"});
    }
    // A name the server would cut to another is refused before anything is
    // read; a name of just the length it keeps is made as it is.
    for (const int length : {64, 63}) {
        const QString name(length, QLatin1Char('n'));
        const RunResult result = runOn(m_db, "dup", {"k"}, name);
        QCOMPARE(result.status,
                 length == 64 ? RunResult::Status::Refused : RunResult::Status::Done);
        QCOMPARE(m_db.column(QStringLiteral("SELECT count(*) FROM pg_class WHERE relname LIKE "
                                            "'nnnnnnnnnn%'")),
                 QStringList{length == 64 ? "0" : "1"});
    }
    m_db.exec(QStringLiteral("DROP SCHEMA other, %1 CASCADE; DROP TABLE public.dup, "
                             "public.varnolt_removed, public.ours, public.gone")
                  .arg(m_db.connection().user));
}

// Tables with and without a primary key (one of two columns too, one of a
// type without min()), and tables whose rows are read from partitions or
// inheritance children, whose row addresses repeat each other's, holding
// values the server groups by value rather than by text: NULL and '' in
// texts, 1.0 and 1.00, -0 and 0, timestamps a microsecond apart.
void PostgresTest::runsMatchTheServersOwnGrouping_data() {
    QTest::addColumn<QString>("definition");
    QTest::addColumn<QString>("order");
    QTest::addColumn<QString>("layout");
    for (const auto& [tag, definition, order, layout] :
         {std::tuple{"primary key", "id int PRIMARY KEY,", "id", ""},
          {"primary key of two columns", "id int, part int, PRIMARY KEY (part, id),", "part, id",
           ""},
          {"uuid primary key", "id uuid PRIMARY KEY,", "id", ""},
          {"no key", "", "ctid", ""},
          {"partitions, no key", "", "tableoid, ctid", "partitioned"},
          {"inheritance children, no key", "", "tableoid, ctid", "inherited"}})
        QTest::newRow(tag) << QString(definition) << QString(order) << QString(layout);
}

void PostgresTest::runsMatchTheServersOwnGrouping() {
    QFETCH(QString, definition);
    QFETCH(QString, order);
    QFETCH(QString, layout);
    m_db.exec(
        QStringLiteral(
            "DROP TABLE IF EXISTS t, t2 CASCADE; CREATE TABLE t (%1 n int NOT NULL, name text "
            "DEFAULT 'x', amount numeric CHECK (amount > -100), ratio float8, at timestamp)%2")
            .arg(definition,
                 layout == "partitioned" ? QStringLiteral(" PARTITION BY LIST ((n % 3))") : ""));
    for (int part = 0; part < 3 && layout == "partitioned"; ++part)
        m_db.exec(QStringLiteral("CREATE TABLE t_%1 PARTITION OF t FOR VALUES IN (%1)").arg(part));
    if (layout == "inherited")
        m_db.exec(QStringLiteral("CREATE TABLE t_child () INHERITS (t)"));
    const QStringList names{"NULL", "''", "'Ann'", "'ann'", "'Ann '"};
    const QStringList amounts{"NULL", "1.0", "1.00", "1", "2.5"};
    const QStringList ratios{"0", "-0", "'NaN'", "1e-300"};
    const QStringList times{"'2024-01-01 10:00:00'", "'2024-01-01 10:00:00.000001'", "NULL"};
    QStringList rows;
    for (int n = 0; n < 240; ++n) {
        const int id = (n * 7919) % 240;
        rows << QStringLiteral("(%1%2, %3, %4, %5, %6)")
                    .arg(definition.isEmpty() ? QString()
                         : definition.contains("part")
                             ? QStringLiteral("%1, %2, ").arg(id).arg(id % 3)
                         : definition.contains("uuid") ? QStringLiteral("md5('%1')::uuid, ").arg(id)
                                                       : QStringLiteral("%1, ").arg(id))
                    .arg(n)
                    .arg(names.at((n / 2) % names.size()), amounts.at((n / 3) % amounts.size()),
                         ratios.at(n % ratios.size()), times.at((n / 5) % times.size()));
    }
    m_db.exec(QStringLiteral("INSERT INTO t VALUES ") + rows.join(QStringLiteral(", ")));
    if (layout == "inherited")
        m_db.exec(QStringLiteral("WITH moved AS (DELETE FROM ONLY t WHERE n % 3 = 1 RETURNING *) "
                                 "INSERT INTO t_child SELECT * FROM moved"));
    for (const QStringList& columns :
         {QStringList{"name"}, QStringList{"amount", "ratio"}, QStringList{"at", "name"},
          QStringList{"name", "amount", "ratio", "at"}}) {
        m_db.exec(QStringLiteral("DROP TABLE IF EXISTS t2"));
        const RunResult result = runOn(m_db, "t", columns, "t2");
        QVERIFY2(result.status == RunResult::Status::Done, qPrintable(result.message));
        // The reference: the server's own GROUP BY, a text's NULL taken for
        // its empty text, the first row of each group by the table's order.
        QStringList groups;
        for (const QString& column : columns)
            groups << (column == "name" ? QStringLiteral("coalesce(name, '')") : column);
        const QStringList expected = m_db.column(
            QStringLiteral("SELECT n FROM (SELECT n, row_number() OVER (PARTITION BY %1 ORDER BY "
                           "%2) AS r FROM t) AS numbered WHERE r = 1 ORDER BY n")
                .arg(groups.join(", "), order));
        QCOMPARE(m_db.column("SELECT n FROM t2 ORDER BY n"), expected);
        QCOMPARE(result.rowsKept, qint64(expected.size()));
        QCOMPARE(result.rowsRead, qint64(240));
        // Keeping the removed rows judges each row by its address: the same
        // rows stay, and the others are kept aside once each.
        RunOptions aside;
        aside.removedInto = QStringLiteral("t_gone");
        m_db.exec(QStringLiteral("DROP TABLE IF EXISTS t3, t_gone"));
        QCOMPARE(runOn(m_db, "t", columns, "t3", {}, false, aside).rowsKept, result.rowsKept);
        QCOMPARE(m_db.column("SELECT n FROM t3 ORDER BY n"), expected);
        QCOMPARE(m_db.column("SELECT count(DISTINCT n) FROM t_gone"),
                 QStringList{QString::number(240 - expected.size())});
        // A dry run counts the same and shows the first groups with repeats,
        // each row numbered by its place in the table's order.
        const RunResult dry = runOn(m_db, "t", columns, "t2", {}, true);
        QCOMPARE(dry.rowsKept, result.rowsKept);
        const QString repeated =
            QStringLiteral("SELECT count(*) FROM (SELECT 1 FROM t GROUP BY %1 HAVING count(*) > "
                           "1) AS g")
                .arg(groups.join(", "));
        QCOMPARE(QString::number(dry.repeatedGroups), m_db.column(repeated).value(0));
        QCOMPARE(QString::number(runOn(m_db, "t", columns, "t2", {}, true, aside).repeatedGroups),
                 m_db.column(repeated).value(0));
        QStringList kept;
        for (const RepeatGroup& group : dry.groups) {
            kept << QString::number(group.kept);
            QVERIFY(group.values.size() == columns.size() && group.repeats.value(0) > group.kept);
        }
        QCOMPARE(kept, m_db.column(QStringLiteral(
                                       "SELECT place FROM (SELECT row_number() OVER (ORDER BY %2) "
                                       "AS place, row_number() OVER (PARTITION BY %1 ORDER BY %2) "
                                       "AS r, count(*) OVER (PARTITION BY %1) AS size FROM t) AS n "
                                       "WHERE r = 1 AND size > 1 ORDER BY place LIMIT 10")
                                       .arg(groups.join(", "), order)));
    }
    // The copy has the source's columns, types, defaults, NOT NULL and keys.
    const QString shape = QStringLiteral(
        "SELECT string_agg(column_name || ' ' || data_type || ' ' || is_nullable || ' ' || "
        "coalesce(column_default, '-'), ', ' ORDER BY ordinal_position) FROM "
        "information_schema.columns WHERE table_name = '%1'");
    QCOMPARE(m_db.column(shape.arg("t2")), m_db.column(shape.arg("t")));
    const QString constraints = QStringLiteral(
        "SELECT string_agg(contype::text, '' ORDER BY contype) FROM pg_constraint WHERE "
        "conrelid = '%1'::regclass");
    QCOMPARE(m_db.column(constraints.arg("t2")), m_db.column(constraints.arg("t")));
}

// Another session writes while the run goes on: the copy holds the rows of
// one committed state, and the writer is never kept waiting.
void PostgresTest::theCopyHoldsOneMomentOfTheSource() {
    m_db.exec(QStringLiteral("DROP TABLE IF EXISTS big, big2; CREATE TABLE big (id int PRIMARY "
                             "KEY, k int); INSERT INTO big SELECT i, i % 1000 FROM "
                             "generate_series(1, 300000) AS i"));
    QSqlDatabase writer = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), "writer");
    KindOf(m_db.connection().sid).configure(writer, m_db.connection());
    QVERIFY(writer.open());
    int writes = 0;
    bool written = true;
    const RunResult result =
        runOn(m_db, "big", {"k"}, "big2",
              {[&](const Progress& progress) {
                   if (progress.phase != Phase::Writing || writes == 3)
                       return true;
                   QSqlQuery query(writer);
                   written = written && query.exec("SET statement_timeout = 5000") &&
                             query.exec(QStringLiteral("INSERT INTO big SELECT i, 5000 + i "
                                                       "FROM generate_series(%1, %1 + 99) AS i")
                                            .arg(400000 + writes * 100));
                   ++writes;
                   return true;
               },
               {}});
    QVERIFY(written);
    writer.close();
    writer = {};
    QSqlDatabase::removeDatabase("writer");
    QVERIFY2(result.status == RunResult::Status::Done, qPrintable(result.message));
    QCOMPARE(writes, 3);
    // Each write added 100 new keys: the copy holds 1000 and all or none of
    // the keys of each write, in the order they were committed.
    const qint64 kept = m_db.column("SELECT count(*) FROM big2").value(0).toLongLong();
    QVERIFY2(kept == 1000 || kept == 1100 || kept == 1200 || kept == 1300,
             qPrintable(QString::number(kept)));
    QCOMPARE(result.rowsKept, kept);
    QCOMPARE(result.rowsRead, 300000 + (kept - 1000));
}

// A stop at each point of a replacing run, the long statement on the server
// cancelled in the middle, leaves the old table as it was and no new one.
void PostgresTest::aStopAtAnyPointLeavesTheOldTable() {
    m_db.exec(QStringLiteral("DROP TABLE IF EXISTS big2; CREATE TABLE big2 (x int);"
                             "INSERT INTO big2 VALUES (7); CREATE TABLE cleaned AS SELECT * FROM "
                             "big WHERE id <= 30000"));
    // Stopped at every point, a replacing run and one cleaning in place
    // leave their tables as they were, and nothing of the run's own.
    RunOptions inPlace;
    inPlace.inPlace = true;
    for (const auto& [source, target, options, held] :
         {std::tuple{"big", "big2", RunOptions{}, "SELECT string_agg(x::text, ',') FROM big2"},
          {"cleaned", "cleaned", inPlace,
           "SELECT count(*) || ':' || to_regclass('\"cleaned_REMOVED\"') IS NULL FROM cleaned"}}) {
        const QStringList before = m_db.column(held);
        const QStringList distinct =
            m_db.column(QStringLiteral("SELECT count(DISTINCT k) FROM %1").arg(source));
        int stoppedWhileWriting = 0;
        for (int stopAt = 1;; stopAt = stopAt < 4 ? stopAt + 1 : stopAt * 2) {
            int asked = 0;
            Phase last = Phase::Checking;
            const RunResult result =
                runOn(m_db, source, {"k"}, target, Replacing([&](const Progress& p) {
                          last = p.phase;
                          return ++asked < stopAt;
                      }),
                      false, options);
            if (result.status == RunResult::Status::Done)
                break;
            QCOMPARE(result.status, RunResult::Status::Stopped);
            stoppedWhileWriting += last == Phase::Writing ? 1 : 0;
            QCOMPARE(m_db.column(held), before);
            // This test's own database only: other test programs share the server.
            QCOMPARE(m_db.column("SELECT count(*) FROM pg_stat_activity WHERE state = 'active' "
                                 "AND application_name = 'Varnolt' AND pid <> pg_backend_pid() "
                                 "AND datname = current_database()"),
                     QStringList{"0"});
        }
        QVERIFY(stoppedWhileWriting > 0);
        QCOMPARE(m_db.column(QStringLiteral("SELECT count(*) FROM \"%1\"").arg(target)), distinct);
    }
}

// Readers of a table being replaced read it while the copy is made, and two
// runs never make the same table at once.
void PostgresTest::aReplacedTableStaysReadableUntilTheSwap() {
    m_db.exec(QStringLiteral("DROP TABLE IF EXISTS big2; CREATE TABLE big2 (x int PRIMARY KEY);"
                             "INSERT INTO big2 VALUES (7)"));
    QSqlDatabase reader = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), "reader");
    KindOf(m_db.connection().sid).configure(reader, m_db.connection());
    QVERIFY(reader.open());
    QSqlQuery read(reader);
    QVERIFY(read.exec("SET statement_timeout = 3000"));
    QStringList seen;
    const RunResult result = runOn(m_db, "big", {"k"}, "big2", Replacing([&](const Progress& p) {
                                       if (p.phase == Phase::Writing && seen.size() < 3 &&
                                           read.exec("SELECT x FROM big2") && read.next())
                                           seen << read.value(0).toString();
                                       return true;
                                   }));
    QVERIFY2(result.status == RunResult::Status::Done, qPrintable(result.message));
    QCOMPARE(seen, (QStringList{"7", "7", "7"}));
    QCOMPARE(m_db.column("SELECT count(*) FROM big2"),
             m_db.column("SELECT count(DISTINCT k) FROM big"));
    // The copy's own names follow the name it took.
    QCOMPARE(m_db.column("SELECT relname FROM pg_class WHERE relname LIKE 'big2%' ORDER BY 1"),
             (QStringList{"big2", "big2_pkey"}));
    // A table changed while the question was asked stops the run with the
    // table to replace as it was, judged or not.
    for (const bool judged : {false, true}) {
        RunOptions options;
        options.removedInto = judged ? QStringLiteral("big_gone") : QString();
        const RunResult changed = runOn(m_db, "big", {"k"}, "big2",
                                        {{},
                                         [&](const QString&) {
                                             return read.exec("ALTER TABLE big ADD COLUMN extra "
                                                              "int");
                                         }},
                                        false, options);
        QCOMPARE(changed.status, RunResult::Status::Failed);
        QVERIFY2(changed.message.contains("changed by someone else"), qPrintable(changed.message));
        QCOMPARE(m_db.column("SELECT count(*) FROM big2"),
                 m_db.column("SELECT count(DISTINCT k) FROM big"));
        QVERIFY(read.exec("ALTER TABLE big DROP COLUMN extra"));
    }
    QVERIFY(read.exec(QStringLiteral("SELECT pg_advisory_lock(hashtext('public.big2'))")));
    const RunResult second = runOn(m_db, "big", {"k"}, "big2", Replacing());
    QCOMPARE(second.status, RunResult::Status::Failed);
    QVERIFY2(second.message.startsWith("Another run is making the table big2 now."),
             qPrintable(second.message));
    read = QSqlQuery();
    reader.close();
    reader = {};
    QSqlDatabase::removeDatabase("reader");
}

// The preview reads a page at a time by row address.
void PostgresTest::theGridReadsEveryRowOnce() {
    m_db.exec(QStringLiteral("CREATE TABLE paged (id int, note text); INSERT INTO paged SELECT i, "
                             "CASE i WHEN 2 THEN repeat('x', 400) END FROM generate_series(1, "
                             "1000) AS i"));
    CheckGridPages(m_db, QStringLiteral("paged"), 1000);
}

// Inserts into the copy go on after the source's numbers, its identity and
// generated columns are declared as the source's, its keys refer to
// itself and to the same other tables, it has the source's indexes, and the
// source can be dropped; kept rows that would refer to removed ones refuse
// the run.
void PostgresTest::theCopyTakesTheSourcesPlace() {
    m_db.exec(QStringLiteral(
        "CREATE TABLE dept (id int PRIMARY KEY); INSERT INTO dept VALUES (1);"
        "CREATE TABLE \"Emp\" (id serial PRIMARY KEY, name text, boss int REFERENCES \"Emp\", "
        "dept int REFERENCES dept, n bigint GENERATED ALWAYS AS IDENTITY, g bigint GENERATED "
        "ALWAYS AS (n * 2) STORED);"
        "CREATE INDEX by_name ON \"Emp\" (name);"
        "INSERT INTO \"Emp\" (name, boss, dept) VALUES ('a', NULL, 1), ('b', 1, 1), ('a', 2, 1), "
        "('c', 1, NULL), ('d', NULL, 1); DELETE FROM \"Emp\" WHERE id = 5"));
    QCOMPARE(runOn(m_db, "Emp", {"name"}, "Emp 2").rowsKept, qint64(3));
    const QString kinds =
        QStringLiteral("SELECT string_agg(column_name || is_identity || is_generated, ',' ORDER BY "
                       "ordinal_position) FROM information_schema.columns WHERE table_name = '%1'");
    QCOMPARE(m_db.column(kinds.arg("Emp 2")), m_db.column(kinds.arg("Emp")));
    m_db.exec(QStringLiteral("DROP TABLE \"Emp\"; INSERT INTO \"Emp 2\" (name, boss, dept) "
                             "VALUES ('e', 2, 1)"));
    QCOMPARE(m_db.column("SELECT id || ':' || n || ':' || g FROM \"Emp 2\" ORDER BY id"),
             (QStringList{"1:1:2", "2:2:4", "4:4:8", "6:6:12"}));
    QCOMPARE(m_db.column("SELECT string_agg(confrelid::regclass::text, ' ' ORDER BY conname) FROM "
                         "pg_constraint WHERE conrelid = '\"Emp 2\"'::regclass AND contype = 'f'"),
             QStringList{"\"Emp 2\" dept"});
    const QString indexes = QStringLiteral(
        "SELECT count(*) FROM pg_index WHERE indrelid = '%1'::regclass AND NOT indisprimary");
    QCOMPARE(m_db.column(indexes.arg("\"Emp 2\"")), QStringList{"1"});
    RunOptions last;
    last.keep = RunOptions::Keep::Last;
    last.withoutIndexes = true;
    for (const bool judged : {false, true}) {
        last.removedInto = judged ? QStringLiteral("gone") : QString();
        m_db.exec(QStringLiteral("INSERT INTO \"Emp 2\" (name, boss) VALUES ('a', 2)"));
        const RunResult refused = runOn(m_db, "Emp 2", {"name"}, "last", {}, false, last);
        QCOMPARE(refused.status, RunResult::Status::Refused);
        QCOMPARE(refused.message,
                 QStringLiteral("2 kept rows refer through boss to rows that are removed."));
        QCOMPARE(m_db.column("SELECT count(*) FROM pg_class WHERE relname IN ('last', 'gone')"),
                 QStringList{"0"});
    }
    last.keep = RunOptions::Keep::First;
    QCOMPARE(runOn(m_db, "Emp 2", {"name"}, "first", {}, false, last).status,
             RunResult::Status::Done);
    QCOMPARE(m_db.column(indexes.arg("first")), QStringList{"0"});
}

// A table cleaned in place keeps everything of its own, and put back holds
// every value it held; what stands in the way of either changes nothing.
void PostgresTest::cleaningInPlaceAndRestoreLeaveTheTableAsItWas() {
    m_db.exec(QStringLiteral(
        "CREATE TABLE \"Vis it\" (id int GENERATED ALWAYS AS IDENTITY PRIMARY KEY, name text, "
        "g int GENERATED ALWAYS AS (length(name)) STORED); CREATE INDEX vis_name ON \"Vis it\" "
        "(name); CREATE VIEW vis_view AS SELECT name FROM \"Vis it\";"
        "INSERT INTO \"Vis it\" (name) VALUES ('a'), ('b'), ('a'), (NULL), ('b'), (NULL), "
        "('a'); DELETE FROM \"Vis it\" WHERE id = 2"));
    const QString rows = QStringLiteral("SELECT string_agg(t::text, '|' ORDER BY id) FROM %1 t");
    const QStringList before = m_db.column(rows.arg("\"Vis it\""));
    RunOptions inPlace;
    inPlace.inPlace = true;
    const RunResult dry = runOn(m_db, "Vis it", {"name"}, "Vis it", {}, true, inPlace);
    QCOMPARE(dry.rowsRemoved, qint64(3));
    QCOMPARE(m_db.column(rows.arg("\"Vis it\"")), before);
    const RunResult cleaned = runOn(m_db, "Vis it", {"name"}, "Vis it", {}, false, inPlace);
    QVERIFY2(cleaned.status == RunResult::Status::Done, qPrintable(cleaned.message));
    QCOMPARE(cleaned.rowsRemoved, qint64(3));
    QCOMPARE(m_db.column(rows.arg("\"Vis it\"")), QStringList{"(1,a,1)|(4,,)|(5,b,1)"});
    QCOMPARE(m_db.column("SELECT string_agg(name, ' ' ORDER BY name) FROM vis_view"),
             QStringList{"a b"});
    QCOMPARE(m_db.column("SELECT count(*) FROM pg_indexes WHERE indexname = 'vis_name'"),
             QStringList{"1"});
    QCOMPARE(m_db.column("SELECT string_agg(id || ':' || \"VARNOLT_KEPT_ROW\", ' ' ORDER BY id) "
                         "FROM \"Vis it_REMOVED\""),
             QStringList{"3:1 6:3 7:1"});

    const RunKind& kind = KindOf(m_db.connection().sid);
    const auto restore = [&](bool dryRun) {
        TestSession session(m_db.connection());
        return kind.restore(session, QStringLiteral("Vis it"), QStringLiteral("Vis it_REMOVED"),
                            dryRun);
    };
    QCOMPARE(restore(true).rowsKept, qint64(3));
    QCOMPARE(m_db.column(rows.arg("\"Vis it\"")), QStringList{"(1,a,1)|(4,,)|(5,b,1)"});
    m_db.exec(QStringLiteral("INSERT INTO \"Vis it\" (id, name) OVERRIDING SYSTEM VALUE VALUES "
                             "(6, 'taken')"));
    const RunResult taken = restore(false);
    QCOMPARE(taken.status, RunResult::Status::Refused);
    QVERIFY2(taken.message.contains("holds the place"), qPrintable(taken.message));
    QCOMPARE(m_db.column("SELECT count(*) FROM \"Vis it_REMOVED\""), QStringList{"3"});
    m_db.exec(QStringLiteral("DELETE FROM \"Vis it\" WHERE id = 6"));
    const RunResult restored = restore(false);
    QVERIFY2(restored.status == RunResult::Status::Done, qPrintable(restored.message));
    QCOMPARE(m_db.column(rows.arg("\"Vis it\"")), before);
    QCOMPARE(m_db.column("SELECT count(*) FROM pg_class WHERE relname = 'Vis it_REMOVED'"),
             QStringList{"0"});
    QCOMPARE(restore(false).status, RunResult::Status::Refused);

    m_db.exec(QStringLiteral(
        "CREATE TABLE child (v int REFERENCES \"Vis it\"); CREATE TABLE logged (name text); "
        "INSERT INTO logged VALUES ('a'), ('a'); CREATE TRIGGER on_delete BEFORE DELETE ON logged "
        "FOR EACH ROW EXECUTE FUNCTION suppress_redundant_updates_trigger()"));
    for (const auto& [table, obstacle] : {std::pair{"Vis it", "FOREIGN KEYs of child"},
                                          {"logged", "trigger on_delete"},
                                          {"vis_view", "is a view"}}) {
        const RunResult refused = runOn(m_db, table, {"name"}, table, {}, false, inPlace);
        QCOMPARE(refused.status, RunResult::Status::Refused);
        QVERIFY2(refused.message.contains(obstacle), qPrintable(refused.message));
    }
    QCOMPARE(m_db.column(rows.arg("\"Vis it\"")), before);
    QCOMPARE(m_db.column("SELECT count(*) FROM logged"), QStringList{"2"});
    QCOMPARE(
        m_db.column(
            "SELECT count(*) FROM pg_class WHERE relname IN ('Vis it_REMOVED', 'logged_REMOVED')"),
        QStringList{"0"});
}

// The question whether to replace a table waits on the user, who may take
// long: what decides the run is read again after it, and a change in it
// stops the run before anything is changed, with the plain run and the
// judged one.
void PostgresTest::aTableChangedWhileTheQuestionIsOpenStopsTheRun() {
    m_db.exec(QStringLiteral("CREATE TABLE asked (k int, v int); INSERT INTO asked VALUES (1, "
                             "1), (1, 2); CREATE TABLE asked2 (x int); INSERT INTO asked2 "
                             "VALUES (7)"));
    RunOptions judged;
    judged.keep = RunOptions::Keep::Last;
    int change = 0;
    for (const RunOptions& options : {RunOptions{}, judged}) {
        const RunCallbacks changing{{}, [&](const QString&) {
                                        m_db.exec(QStringLiteral("ALTER TABLE asked ADD COLUMN "
                                                                 "c%1 int")
                                                      .arg(++change));
                                        return true;
                                    }};
        const RunResult result = runOn(m_db, "asked", {"k"}, "asked2", changing, false, options);
        QCOMPARE(result.status, RunResult::Status::Failed);
        QVERIFY2(result.message.contains("was changed by someone else"),
                 qPrintable(result.message));
        QCOMPARE(m_db.column("SELECT x FROM asked2"), QStringList{"7"});
    }
}

VARNOLT_GUILESS_TEST_MAIN(PostgresTest)
#include "test_postgres.moc"
