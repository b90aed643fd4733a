// The run on the MariaDB server the test script starts.
#include "GridPages.h"
#include "Runs.h"
#include "db/Catalogue.h"
#include "db/DatabaseError.h"
#include "db/Session.h"

#include <atomic>
#include <map>
#include <set>
#include <thread>

namespace {

// How many tables of the test's database have a name LIKE `pattern`.
QString tablesLike(const ServerDatabase& db, const QString& pattern) {
    return db
        .column(QStringLiteral("SELECT count(*) FROM information_schema.tables WHERE "
                               "table_schema = DATABASE() AND table_name LIKE '%1'")
                    .arg(pattern))
        .value(0);
}

} // namespace

class MariaDbTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        VARNOLT_NEED_SERVER(m_db.available(), "MariaDB (VARNOLT_TEST_MARIADB)");
        m_db.exec(QStringLiteral(
            "CREATE TABLE visitors (id INT PRIMARY KEY, name VARCHAR(40), city VARCHAR(40)); "
            "INSERT INTO visitors VALUES (1, 'Ann', 'Oslo'), (2, 'Bob', NULL), (3, 'Ann', "
            "'Oslo'), (4, 'Bob', ''), (5, 'ann', 'Oslo'), (6, 'Ann ', 'Oslo'), (7, NULL, NULL);"
            "CREATE VIEW visitor_view AS SELECT * FROM visitors"));
    }

    void listsAndRunsAsTheOtherKindsDo();
    void theGridReadsEveryRowOnceByKeyOrPlace();
    void aStopAtAnyPointLeavesTheUsersTables();
    void refusalsChangeNothing();
    void aTableWithoutAKeyKeepsTheRowsAFullReadReturnsFirst();
    void cleaningInPlaceAndRestoreLeaveTheTableAsItWas();

private:
    ServerDatabase m_db{QStringLiteral("VARNOLT_TEST_MARIADB")};
};

// The collation's own rule, which takes "Ann", "ann" and "Ann " for the same,
// is not the run's; numbers compare by value.
void MariaDbTest::listsAndRunsAsTheOtherKindsDo() {
    TestSession session(m_db.connection());
    session.open();
    QCOMPARE(Db::TableList(session), QStringList{"visitors"});
    // A wrong password is said to be wrong, in the server's words.
    Db::ConnectionData wrong = m_db.connection();
    wrong.password += QLatin1Char('x');
    const std::optional<Db::DatabaseError> refused = Db::ConnectError(KindOf(wrong.sid), wrong);
    QVERIFY(refused && refused->text().contains("Access denied for user 'varnolt'"));
    QCOMPARE(Db::ColumnList(session, QStringLiteral("visitors")),
             (QStringList{"id", "name", "city"}));
    const RunResult dry = runOn(m_db, "visitors", {"name", "city"}, "visitors2", {}, true);
    QCOMPARE(dry.rowsKept, qint64(5));
    QCOMPARE(dry.repeatedGroups, qint64(2));
    QCOMPARE(dry.groups.first(), (RepeatGroup{1, {3}, {"Ann", "Oslo"}}));
    const RunResult result = runOn(m_db, "visitors", {"name", "city"}, "visitors2");
    QVERIFY2(result.status == RunResult::Status::Done, qPrintable(result.message));
    // The server's own grouping, under a binary collation that pads nothing.
    QCOMPARE(m_db.column("SELECT id FROM visitors2 ORDER BY id"),
             m_db.column("SELECT min(id) FROM visitors GROUP BY COALESCE(name, '') COLLATE "
                         "utf8mb4_nopad_bin, COALESCE(city, '') COLLATE utf8mb4_nopad_bin "
                         "ORDER BY 1"));
    // The copy is the source's own definition, its key and column types.
    QCOMPARE(m_db.column("SELECT column_type FROM information_schema.columns WHERE table_schema "
                         "= DATABASE() AND table_name = 'visitors2' ORDER BY ordinal_position"),
             m_db.column("SELECT column_type FROM information_schema.columns WHERE table_schema "
                         "= DATABASE() AND table_name = 'visitors' ORDER BY ordinal_position"));
    m_db.exec(QStringLiteral("CREATE TABLE amounts (id INT PRIMARY KEY, a DECIMAL(6, 2), b "
                             "DOUBLE); INSERT INTO amounts VALUES (1, 1.00, 0.5), (2, 1.0, "
                             "0.50), (3, 2, 0.5)"));
    QCOMPARE(runOn(m_db, "amounts", {"a", "b"}, "amounts2").rowsKept, qint64(2));
}

void MariaDbTest::theGridReadsEveryRowOnceByKeyOrPlace() {
    m_db.exec(
        QStringLiteral("CREATE TABLE paged (id INT PRIMARY KEY, note TEXT); INSERT INTO paged "
                       "SELECT seq, IF(seq = 2, REPEAT('x', 400), NULL) FROM seq_1_to_600; "
                       "CREATE TABLE unpaged AS SELECT * FROM paged"));
    for (const QString table : {"paged", "unpaged"})
        CheckGridPages(m_db, table, 600);
}

// Every point a stop can come at, replacing a table of the user's: the table
// stays as it was and nothing of the run's own is left; a finished run swaps
// the copy in.
void MariaDbTest::aStopAtAnyPointLeavesTheUsersTables() {
    m_db.exec(QStringLiteral(
        "CREATE TABLE big (id INT PRIMARY KEY, name VARCHAR(20), city VARCHAR(20));"
        "INSERT INTO big SELECT seq, CONCAT('n', seq % 1000), NULL FROM seq_1_to_200000;"
        "CREATE TABLE big2 (x INT); INSERT INTO big2 VALUES (7)"));
    int stops = 0;
    for (int stopAt = 1;; stopAt = stopAt < 4 ? stopAt + 1 : stopAt * 2) {
        int asked = 0;
        const RunResult result =
            runOn(m_db, "big", {"name", "city"}, "big2",
                  Replacing([&](const Progress&) { return ++asked < stopAt; }));
        if (result.status == RunResult::Status::Done)
            break;
        ++stops;
        QCOMPARE(result.status, RunResult::Status::Stopped);
        QCOMPARE(m_db.column("SELECT x FROM big2"), QStringList{"7"});
        QCOMPARE(tablesLike(m_db, "varnolt%"), "0");
    }
    QVERIFY(stops > 2);
    QCOMPARE(m_db.column("SELECT count(*) FROM big2"), QStringList{"1000"});
    // A stop ends a statement that waits on the server (here for a table
    // another session locked) at once, not when the wait ends.
    std::atomic<bool> held{false}, over{false}, letGoFirst{false};
    std::thread locker([&] {
        TestSession session(m_db.connection());
        session.open();
        session.execute(QStringLiteral("LOCK TABLES big WRITE"));
        held = true;
        for (int tenths = 0; tenths < 200 && !over; ++tenths)
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        letGoFirst = !over;
    });
    while (!held)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    int writing = 0;
    const RunResult stopped = runOn(
        m_db, "big", {"name"}, "big2",
        Replacing([&](const Progress& p) { return p.phase != Phase::Writing || ++writing < 30; }));
    over = true;
    locker.join();
    QCOMPARE(stopped.status, RunResult::Status::Stopped);
    QVERIFY(!letGoFirst);
    QCOMPARE(m_db.column("SELECT min(id) FROM big2"), QStringList{"1"});
    // A second run to the same name meanwhile says so, and changes nothing.
    QCOMPARE(m_db.column(
                 "SELECT GET_LOCK(CONCAT('varnolt:', SHA1(CONCAT(DATABASE(), ':', 'big2'))), 0)"),
             QStringList{"1"});
    const RunResult second = runOn(m_db, "visitors", {"name"}, "big2", Replacing());
    QCOMPARE(second.status, RunResult::Status::Failed);
    QVERIFY2(second.message.contains("Another run is making the table big2"),
             qPrintable(second.message));
    m_db.exec(QStringLiteral(
        "DO RELEASE_LOCK(CONCAT('varnolt:', SHA1(CONCAT(DATABASE(), ':', 'big2'))))"));
    QCOMPARE(m_db.column("SELECT count(*) FROM big2"), QStringList{"1000"});
}

void MariaDbTest::refusalsChangeNothing() {
    m_db.exec(QStringLiteral("CREATE TABLE nokey (name INT); INSERT INTO nokey VALUES (1), (1);"
                             "CREATE TABLE taken (x INT); CREATE TABLE loose (id INT PRIMARY KEY, "
                             "name INT) ENGINE = MyISAM"));
    // A copy's AUTO_INCREMENT goes on after the source's, past a removed row,
    // and it computes its generated columns itself.
    m_db.exec(
        QStringLiteral("CREATE TABLE counted (id INT AUTO_INCREMENT PRIMARY KEY, a INT, twice INT "
                       "AS (a * 2) STORED, u INT UNIQUE, KEY (a), FULLTEXT (note), note TEXT); "
                       "INSERT INTO counted (a) VALUES (1), (2), (1)"));
    QCOMPARE(runOn(m_db, "counted", {"a"}, "counted2").rowsKept, qint64(2));
    m_db.exec(QStringLiteral("INSERT INTO counted2 (a) VALUES (3)"));
    QCOMPARE(m_db.column("SELECT GROUP_CONCAT(CONCAT(id, ':', twice) ORDER BY id) FROM counted2"),
             QStringList{"1:2,2:4,4:6"});
    // Its indexes are the source's; without them, it keeps its keys.
    RunOptions bare;
    bare.withoutIndexes = true;
    QCOMPARE(runOn(m_db, "counted", {"a"}, "counted3", {}, false, bare).rowsKept, qint64(2));
    const QString indexes = QStringLiteral(
        "SELECT GROUP_CONCAT(DISTINCT index_name ORDER BY index_name) FROM "
        "information_schema.statistics WHERE table_schema = DATABASE() AND table_name = '%1'");
    QCOMPARE(m_db.column(indexes.arg("counted2")), QStringList{"a,note,PRIMARY,u"});
    QCOMPARE(m_db.column(indexes.arg("counted3")), QStringList{"PRIMARY,u"});
    // Its FOREIGN KEYs refer to the same tables, and to itself where the
    // source's referred to the source; the source can go.
    m_db.exec(QStringLiteral(
        "CREATE TABLE dept (id INT PRIMARY KEY); INSERT INTO dept VALUES (1);"
        "CREATE TABLE emp (id INT PRIMARY KEY, name VARCHAR(9), boss INT REFERENCES emp (id), "
        "dept INT, FOREIGN KEY (dept) REFERENCES dept (id) ON DELETE CASCADE);"
        "INSERT INTO emp VALUES (1, 'a', NULL, 1), (2, 'b', 1, 1), (3, 'a', 2, 1), (4, 'c', 1, "
        "NULL)"));
    RunOptions last;
    last.keep = RunOptions::Keep::Last;
    const RunResult dangling = runOn(m_db, "emp", {"name"}, "emp_last", {}, false, last);
    QCOMPARE(dangling.message, QStringLiteral("2 kept rows refer through boss to rows that are "
                                              "removed."));
    QCOMPARE(runOn(m_db, "emp", {"name"}, "emp2").rowsKept, qint64(3));
    m_db.exec(QStringLiteral("DROP TABLE emp"));
    QCOMPARE(m_db.column("SELECT GROUP_CONCAT(CONCAT(referenced_table_name, ':', delete_rule) "
                         "ORDER BY referenced_table_name) FROM "
                         "information_schema.referential_constraints WHERE constraint_schema = "
                         "DATABASE() AND table_name = 'emp2'"),
             QStringList{"dept:CASCADE,emp2:RESTRICT"});
    QCOMPARE(tablesLike(m_db, "emp_last") + tablesLike(m_db, "varnolt%"), "00");
    RunOptions taken, inPlace;
    inPlace.inPlace = true;
    taken.removedInto = QStringLiteral("taken");
    for (const auto& [source, options, why] :
         {std::tuple{"visitor_view", RunOptions{}, "is a view"},
          {"nokey", inPlace, "has none"},
          {"loose", inPlace, "its engine MyISAM cannot take back"},
          {"visitors", taken, "already exists"}}) {
        const RunResult refused = runOn(m_db, source, {"name"}, "refused_copy", {}, false, options);
        QCOMPARE(refused.status, RunResult::Status::Refused);
        QVERIFY2(refused.message.contains(why), qPrintable(refused.message));
    }
    QCOMPARE(tablesLike(m_db, "refused_copy"), "0");
}

// A full read returns the rows as they were added, which no column orders.
void MariaDbTest::aTableWithoutAKeyKeepsTheRowsAFullReadReturnsFirst() {
    m_db.exec(QStringLiteral(
        "CREATE TABLE unkeyed (name VARCHAR(9), n INT, m INT AS (n + 1)); INSERT INTO "
        "unkeyed (name, n) SELECT CONCAT('k', seq % 7), seq FROM seq_1_to_40; "
        "INSERT INTO unkeyed (name, n) SELECT CONCAT('k', seq % 4), 100 - seq "
        "FROM seq_1_to_30"));
    const QList<QVariantList> read = m_db.rows(QStringLiteral("SELECT name, n FROM unkeyed"));
    std::map<QString, QList<qint64>> places;
    for (qint64 place = 1; place <= read.size(); ++place)
        places[read.at(place - 1).at(0).toString()] << place;
    const auto nOf = [&](qint64 place) { return read.at(place - 1).at(1).toString(); };
    for (const RunOptions::Keep keep : {RunOptions::Keep::First, RunOptions::Keep::Last}) {
        std::set<qint64> kept;
        for (const auto& [name, group] : places)
            kept.insert(keep == RunOptions::Keep::Last ? group.last() : group.first());
        QStringList copied, shown;
        for (const qint64 place : kept)
            copied << nOf(place);
        RunOptions options;
        options.keep = keep;
        // The first rows plainly; the last, with the removed rows kept.
        if (keep == RunOptions::Keep::Last)
            options.removedInto = QStringLiteral("gone");
        for (const RepeatGroup& group :
             runOn(m_db, "unkeyed", {"name"}, "unkeyed2", {}, true, options).groups)
            shown << nOf(group.kept);
        QCOMPARE(shown, copied);
        QCOMPARE(runOn(m_db, "unkeyed", {"name"}, "unkeyed2", Replacing(), false, options).status,
                 RunResult::Status::Done);
        QCOMPARE(m_db.column("SELECT n FROM unkeyed2"), copied);
        if (!options.removedInto.isEmpty())
            QCOMPARE(m_db.column("SELECT count(*) FROM gone"),
                     QStringList{QString::number(read.size() - copied.size())});
    }
}

// The table keeps its definition and counter, and put back holds every value
// it held; a stop, or what stands in the way, changes nothing.
void MariaDbTest::cleaningInPlaceAndRestoreLeaveTheTableAsItWas() {
    m_db.exec(QStringLiteral(
        "CREATE TABLE kept (id INT AUTO_INCREMENT PRIMARY KEY, name VARCHAR(20), KEY (name), "
        "loud VARCHAR(20) AS (UPPER(name)));"
        "INSERT INTO kept (name) VALUES ('a'), ('b'), ('a'), (NULL), ('b'), (''), ('a')"));
    const QString rows = QStringLiteral("SELECT GROUP_CONCAT(CONCAT(id, ':', COALESCE(name, "
                                        "'-')) ORDER BY id) FROM kept");
    const QStringList before = m_db.column(rows);
    RunOptions inPlace;
    inPlace.inPlace = true;
    const RunResult stopped = runOn(
        m_db, "kept", {"name"}, "kept",
        Replacing([](const Progress& p) { return p.phase != Phase::Removing; }), false, inPlace);
    QCOMPARE(stopped.status, RunResult::Status::Stopped);
    QCOMPARE(m_db.column(rows), before);
    QCOMPARE(tablesLike(m_db, "kept_REMOVED"), "0");
    const RunResult cleaned = runOn(m_db, "kept", {"name"}, "kept", {}, false, inPlace);
    QVERIFY2(cleaned.status == RunResult::Status::Done, qPrintable(cleaned.message));
    QCOMPARE(cleaned.rowsRemoved, qint64(4));
    QCOMPARE(m_db.column(rows), QStringList{"1:a,2:b,4:-"});
    QCOMPARE(m_db.column("SELECT GROUP_CONCAT(CONCAT(id, '<', VARNOLT_KEPT_ROW) ORDER BY id) "
                         "FROM kept_REMOVED"),
             QStringList{"3<1,5<2,6<4,7<1"});
    const RunKind& kind = KindOf(m_db.connection().sid);
    const auto restore = [&] {
        TestSession session(m_db.connection());
        return kind.restore(session, QStringLiteral("kept"), QStringLiteral("kept_REMOVED"), false);
    };
    m_db.exec(QStringLiteral("INSERT INTO kept (id, name) VALUES (5, 'taken')"));
    QCOMPARE(restore().status, RunResult::Status::Refused);
    m_db.exec(QStringLiteral("DELETE FROM kept WHERE id = 5"));
    QCOMPARE(restore().status, RunResult::Status::Done);
    QCOMPARE(m_db.column(rows), before);
    m_db.exec(QStringLiteral("CREATE TABLE child (k INT, FOREIGN KEY (k) REFERENCES kept (id));"
                             "CREATE TABLE logged (id INT PRIMARY KEY, name INT);"
                             "CREATE TRIGGER on_delete BEFORE DELETE ON logged FOR EACH ROW SET "
                             "@gone = 1"));
    for (const auto& [table, obstacle] :
         {std::pair{"kept", "FOREIGN KEYs of child"}, {"logged", "trigger on_delete"}}) {
        const RunResult refused = runOn(m_db, table, {"name"}, table, {}, false, inPlace);
        QVERIFY2(refused.message.contains(obstacle), qPrintable(refused.message));
    }
    QCOMPARE(m_db.column(rows), before);
}

VARNOLT_GUILESS_TEST_MAIN(MariaDbTest)
#include "test_mariadb.moc"
