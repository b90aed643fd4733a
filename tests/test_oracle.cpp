// The run on Oracle, against a stand-in for the OCI driver that answers as a
// server does: what a run removes and makes, and what a failure or a stop at
// any step leaves behind.
#include "FakeOracle.h"
#include "Fixture.h"
#include "Runs.h"

#include "db/DatabaseError.h"
#include "db/Session.h"
#include "kinds/oracle/OracleDialect.h"

#include <QFile>
#include <QTemporaryDir>

namespace {

const QString kMarker = QStringLiteral("\"TEMP_COLUMN_CREATED_BY_QUORVEN\"");
const QString kTemporary = QStringLiteral("TEMP_TABLE_CREATED_BY_QUORVEN");
const QList<std::pair<QString, QString>> kOldColumns{{"X", "NUMBER"}};

// The stand-in server, as runs reach it.
const struct {
    Db::ConnectionData connection() const {
        return {QStringLiteral("KTNA"), QStringLiteral("SCOTT"), FakeOracle::kPassword};
    }
} kServer;

QVariant null() {
    return QVariant(QMetaType::fromType<QString>());
}

// The schema of the worked example: VISITORS (ID, NAME, CITY, SEEN, SEEN_AT,
// BORN), five rows, and a table VISITORS2 that exists when `replacing`. The
// numbered copy is read in another order than it was numbered.
void workedExample(bool replacing) {
    FakeOracle::Schema& schema = FakeOracle::schema();
    for (const QString& column : QStringLiteral("ID NUMBER|NAME VARCHAR2|CITY VARCHAR2|"
                                                "SEEN TIMESTAMP(6)|SEEN_AT TIMESTAMP(6) "
                                                "WITH TIME ZONE|BORN DATE")
                                     .split(QLatin1Char('|')))
        schema.tables["VISITORS"].append({column.section(' ', 0, 0), column.section(' ', 1)});
    schema.tables.insert(replacing ? "VISITORS2" : "visitors2", {{"X", "NUMBER"}});
    FakeOracle::setScript(
        [](const QString& sql, const QVariantList&) -> std::optional<FakeOracle::Answer> {
            if (!sql.startsWith(QStringLiteral("SELECT ") + kMarker))
                return std::nullopt;
            return FakeOracle::Answer{{"M", "NAME", "CITY"},
                                      {{"3", "Ann", "Oslo"},
                                       {"1", "Ann", "Oslo"},
                                       {"5", "ann", "Oslo"},
                                       {"4", "Bob", null()},
                                       {"2", "Bob", null()}}};
        });
}

RunResult run(const QStringList& columns, RunCallbacks callbacks = {}) {
    return runOn(kServer, "VISITORS", columns, "VISITORS2", std::move(callbacks));
}

} // namespace

class OracleTest : public QObject {
    Q_OBJECT
private slots:
    void init() { FakeOracle::install(); }
    void cleanup() { Db::FaultInjection::clear(); }

    void workedExampleRemovesTheRepeatsAndTheLeftovers();
    void failureOrStopAtAnyStepKeepsTheOldTable();
    void theTemporaryNameNeverCostsTheUserATable();
    void aServerRefusalIsHandledAsTheServerMeansIt();
    void judgedRowsStayByTheOrderTheServerSortsThemIn();
    void cleaningInPlaceIsOneTransactionOfBatches();
};

void OracleTest::workedExampleRemovesTheRepeatsAndTheLeftovers() {
    workedExample(false);
    // What a crashed run left behind.
    FakeOracle::schema().sequences.insert(QStringLiteral("TEMP_SEQ_CREATED_BY_QUORVEN"));
    FakeOracle::schema().indexes.insert(QStringLiteral("TEMP_INDEX_CREATED_BY_QUORVEN"));
    QList<Phase> phases;
    const RunResult result =
        run({"NAME", "CITY"}, {[&](const Progress& progress) {
                                   if (phases.isEmpty() || phases.last() != progress.phase)
                                       phases << progress.phase;
                                   return true;
                               },
                               {}});
    QCOMPARE(phases, (QList<Phase>{Phase::Checking, Phase::Copying, Phase::Numbering,
                                   Phase::Reading, Phase::Removing, Phase::Finishing}));
    QCOMPARE(result.status, RunResult::Status::Done);
    QCOMPARE(result.rowsRead, qint64(5));
    QCOMPARE(result.rowsRemoved, qint64(2));
    // The repeats go by their numbers in the copy, and the copy ends with the
    // source's columns alone: what a crashed run left was dropped first.
    QCOMPARE(
        FakeOracle::log().filter(QStringLiteral("DELETE")),
        QStringList{"DELETE FROM \"VISITORS2\" WHERE " + kMarker + " IN (:n0, :n1); binds: 3, 4"});
    QCOMPARE(FakeOracle::schema().tables.value("VISITORS2"),
             FakeOracle::schema().tables.value("VISITORS"));
    // A round trip fetches thousands of rows, not the driver's few dozen.
    QVERIFY(FakeOracle::connectOptions().contains(QStringLiteral("OCI_ATTR_PREFETCH_ROWS=")));
}

void OracleTest::failureOrStopAtAnyStepKeepsTheOldTable() {
    using Db::FaultInjection::Point;
    int failures = 0;
    for (const Point point : {Point::Open, Point::Statement, Point::Fetch}) {
        for (int k = 1;; ++k) {
            FakeOracle::install();
            workedExample(true);
            Db::FaultInjection::failAt(point, k, QStringLiteral("99"), QStringLiteral("injected"));
            const RunResult result = run({"NAME"}, Replacing());
            if (!Db::FaultInjection::fired())
                break;
            const QStringList log = FakeOracle::log();
            const auto& tables = FakeOracle::schema().tables;
            // Nothing is left under the temporary name but a result the user
            // is told of.
            QCOMPARE(tables.contains(kTemporary), result.leftBehind);
            if (result.status == RunResult::Status::Done) {
                // The failing statement dropped a leftover that was not there.
                QVERIFY(log.last().contains(QStringLiteral("RENAME TO \"VISITORS2\"")));
                continue;
            }
            ++failures;
            QCOMPARE(result.status, RunResult::Status::Failed);
            QVERIFY(result.message.startsWith(QStringLiteral("Error 99: injected")));
            if (log.contains(QStringLiteral("DROP TABLE \"VISITORS2\""))) {
                // Only the rename failed: the new table waits under the temporary name.
                QVERIFY2(result.message.contains("ready under the name TEMP_TABLE_CREATED_BY"),
                         qPrintable(result.message));
                continue;
            }
            QVERIFY2(result.message.contains(QStringLiteral("VISITORS2 was left as it was")) ||
                         result.message.contains(QStringLiteral("Nothing was changed")),
                     qPrintable(result.message));
            QCOMPARE(tables.value("VISITORS2"), kOldColumns);
            if (log.contains("CREATE TABLE \"TEMP_TABLE_CREATED_BY_QUORVEN\" AS SELECT * from "
                             "\"VISITORS\""))
                QCOMPARE(log.last(),
                         QStringLiteral("DROP TABLE \"TEMP_TABLE_CREATED_BY_QUORVEN\""));
        }
    }
    QVERIFY(failures >= 15);

    // A stop in any phase likewise.
    Db::FaultInjection::clear();
    for (int stopAt = 1;; ++stopAt) {
        FakeOracle::install();
        workedExample(true);
        int asked = 0;
        const RunResult result =
            run({"NAME"}, Replacing([&](const Progress&) { return ++asked < stopAt; }));
        if (result.status == RunResult::Status::Done)
            break;
        QCOMPARE(result.status, RunResult::Status::Stopped);
        QVERIFY(!FakeOracle::log().contains(QStringLiteral("DROP TABLE \"VISITORS2\"")));
        QVERIFY(result.message.contains(QStringLiteral("VISITORS2 was left as it was")) ||
                result.message.contains(QStringLiteral("Nothing was changed")));
        QCOMPARE(FakeOracle::schema().tables.value("VISITORS2"), kOldColumns);
        QVERIFY(!FakeOracle::schema().tables.contains(kTemporary));
    }
}

void OracleTest::theTemporaryNameNeverCostsTheUserATable() {
    // A table of that name is refused as a source and as a new name.
    for (const bool asSource : {true, false}) {
        workedExample(true);
        FakeOracle::schema().tables.insert(kTemporary, {{"X", "NUMBER"}});
        const RunResult result = runOn(kServer, asSource ? kTemporary : "VISITORS", {"X"},
                                       asSource ? "VISITORS3" : kTemporary, Replacing());
        QCOMPARE(result.status, RunResult::Status::Refused);
        QVERIFY(FakeOracle::log().isEmpty());
    }
    // A result waiting under it after a failed rename stops a replacing run
    // before the question, and a run that replaces nothing leaves it alone.
    for (const bool replacing : {true, false}) {
        FakeOracle::install();
        workedExample(replacing);
        FakeOracle::schema().tables.insert(kTemporary, {{"ID", "NUMBER"}});
        int asked = 0;
        const RunResult result = run({"NAME"}, {{}, [&](const QString&) { return ++asked > 0; }});
        QCOMPARE(result.status, replacing ? RunResult::Status::Refused : RunResult::Status::Done);
        QCOMPARE(asked, 0);
        QCOMPARE(FakeOracle::schema().tables.value(kTemporary),
                 (QList<std::pair<QString, QString>>{{"ID", "NUMBER"}}));
    }
    // A crashed run's unfinished copy, which still has its marker, goes, and
    // so does the marker's index, also when someone else drops that copy
    // between the look and the clean-up.
    FakeOracle::install();
    workedExample(true);
    FakeOracle::schema().tables.insert(kTemporary, {{"ID", "NUMBER"}, {kMarker.mid(1, 30), "INT"}});
    FakeOracle::schema().indexes.insert(QStringLiteral("TEMP_INDEX_CREATED_BY_QUORVEN"));
    const QString dropCopy = "DROP TABLE \"" + kTemporary + "\"";
    FakeOracle::setScript(
        [&](const QString& sql, const QVariantList&) -> std::optional<FakeOracle::Answer> {
            if (sql != dropCopy || !FakeOracle::schema().tables.remove(kTemporary))
                return std::nullopt;
            return FakeOracle::Answer{{}, {}, "942", "ORA-00942: table or view does not exist"};
        });
    const RunResult result = run({"NAME"}, Replacing());
    QVERIFY2(result.status == RunResult::Status::Done, qPrintable(result.message));
    QVERIFY(FakeOracle::log().contains(dropCopy) &&
            !FakeOracle::schema().tables.contains(kTemporary));
    QCOMPARE(FakeOracle::schema().tables.value("VISITORS2"),
             FakeOracle::schema().tables.value("VISITORS"));
}

void OracleTest::aServerRefusalIsHandledAsTheServerMeansIt() {
    // Thousands of repeats are deleted in batches the server accepts.
    workedExample(false);
    const int rows = 2500;
    FakeOracle::setScript(
        [&](const QString& sql, const QVariantList&) -> std::optional<FakeOracle::Answer> {
            if (!sql.startsWith(QStringLiteral("SELECT ") + kMarker))
                return std::nullopt;
            FakeOracle::Answer answer{{"M", "NAME"}, {}};
            for (int i = 1; i <= rows; ++i)
                answer.rows << QVariantList{i, i % 3 == 0 ? "a" : "b"};
            return answer;
        });
    RunResult result = run({"NAME"});
    QVERIFY2(result.status == RunResult::Status::Done, qPrintable(result.message));
    QCOMPARE(result.rowsRemoved, qint64(rows - 2));
    QCOMPARE(FakeOracle::schema().tables.value("VISITORS2"),
             FakeOracle::schema().tables.value("VISITORS"));

    // A table dropped by someone else since it was listed is said to be gone.
    FakeOracle::install();
    workedExample(false);
    FakeOracle::schema().tables.remove("VISITORS");
    result = run({"NAME"});
    QCOMPARE(result.status, RunResult::Status::Failed);
    QVERIFY2(result.message.startsWith("There is no table VISITORS."), qPrintable(result.message));
}

// The server sorts the keys in the order the rows are judged in; the first
// row of each key, letter case aside, is the one that stays.
void OracleTest::judgedRowsStayByTheOrderTheServerSortsThemIn() {
    workedExample(false);
    const QString order = QStringLiteral(" ORDER BY \"SEEN\" DESC NULLS LAST, 1 DESC");
    const QMap<qint64, QVariantList> rows{{2, {"2", "ANN", "Oslo"}},
                                          {5, {"5", "Bob", null()}},
                                          {1, {"1", "ann", "Oslo"}},
                                          {3, {"3", "Bob", null()}},
                                          {4, {"4", "Ann", "Oslo"}}};
    FakeOracle::setScript(
        [&](const QString& sql, const QVariantList& binds) -> std::optional<FakeOracle::Answer> {
            FakeOracle::Answer answer{{"M", "NAME", "CITY"}, {}};
            if (!sql.startsWith(QStringLiteral("SELECT ")))
                return std::nullopt;
            if (sql.endsWith(order)) {
                for (const qint64 row : {2, 5, 1, 3, 4})
                    answer.rows << rows.value(row);
                return answer;
            }
            // The kept rows' key values, by their numbers.
            if (!sql.contains(kMarker + " IN ("))
                return std::nullopt;
            for (const QVariant& bound : binds)
                answer.rows << rows.value(bound.toLongLong());
            return answer;
        });
    RunOptions options;
    options.keep = RunOptions::Keep::Last;
    options.orderBy = {{QStringLiteral("SEEN"), false}};
    options.ignoreCase = true;
    const auto judged = [&](bool dryRun, const QString& name, RunCallbacks callbacks = {}) {
        return runOn(kServer, "VISITORS", {"NAME", "CITY"}, name, std::move(callbacks), dryRun,
                     options);
    };
    const RunResult dry = judged(true, "VISITORS2");
    QCOMPARE(dry.groups.size(), 2);
    QCOMPARE(dry.repeatedGroups, qint64(2));
    QCOMPARE(dry.groups.first().kept, qint64(2));
    QCOMPARE(dry.groups.first().repeats, (QList<qint64>{1, 4}));
    QCOMPARE(judged(false, "VISITORS2").status, RunResult::Status::Done);
    QVERIFY2(FakeOracle::log().contains("DELETE FROM \"VISITORS2\" WHERE " + kMarker +
                                        " IN (:n0, :n1, :n2); binds: 1, 3, 4"),
             qPrintable(FakeOracle::log().join('\n')));

    // The removed rows into a table of their own, and the groups reported.
    QTemporaryDir folder;
    options.removedInto = QStringLiteral("GONE");
    options.reportFile = folder.filePath(QStringLiteral("groups.jsonl"));
    QCOMPARE(judged(false, "VISITORS3").status, RunResult::Status::Done);
    QCOMPARE(FakeOracle::schema().tables.value("GONE").size(), 8);
    // Each removed row goes in with the row kept in its place: 1 and 4 with
    // 2, 3 with 5.
    const QStringList inserts = FakeOracle::log().filter("INSERT INTO \"GONE\"");
    QCOMPARE(inserts.size(), 1);
    QVERIFY2(inserts.first().contains("binds: 1, 2, 3, 5, 4, 2"), qPrintable(inserts.first()));
    QFile report(options.reportFile);
    QVERIFY(report.open(QIODevice::ReadOnly));
    QCOMPARE(report.readAll(), QByteArray("{\"key\":[\"ANN\",\"Oslo\"],\"kept\":2,"
                                          "\"removed\":[1,4]}\n"
                                          "{\"key\":[\"Bob\",null],\"kept\":5,\"removed\":[3]}\n"));
    // A table of that name is never replaced, and a run stopped takes it back.
    QCOMPARE(judged(false, "VISITORS4").status, RunResult::Status::Refused);
    options.removedInto = QStringLiteral("GONE2");
    QCOMPARE(
        judged(false, "VISITORS4",
               {[](const Progress& progress) { return progress.phase != Phase::Removing; }, {}})
            .status,
        RunResult::Status::Stopped);
    QVERIFY(!FakeOracle::schema().tables.contains("GONE2"));
    QVERIFY(!FakeOracle::schema().tables.contains("VISITORS4"));
    QCOMPARE(judged(true, "VISITORS4").status, RunResult::Status::Refused);
}

// In place: the removed rows' table first, then one transaction of batches of
// at most 1,000 ROWIDs; a stop takes it all back; restore commits, then drops.
void OracleTest::cleaningInPlaceIsOneTransactionOfBatches() {
    FakeOracle::schema().tables["ORDERS"] = {{"ID", "NUMBER"}, {"NAME", "VARCHAR2"}};
    QStringList referring, triggers;
    FakeOracle::setScript(
        [&](const QString& sql, const QVariantList&) -> std::optional<FakeOracle::Answer> {
            FakeOracle::Answer answer{{"NAME"}, {}};
            if (sql.contains("USER_CONSTRAINTS") || sql.contains("USER_TRIGGERS")) {
                for (const QString& name : sql.contains("USER_TRIGGERS") ? triggers : referring)
                    answer.rows << QVariantList{name};
                return answer;
            }
            if (!sql.startsWith("SELECT ROWNUM, \"NAME\", ROWID FROM \"ORDERS\""))
                return std::nullopt;
            // Rows 1,001 to 2,500 repeat the first 1,000.
            answer.columns = QStringList{"N", "NAME", "ROWID"};
            for (int n = 1; n <= 2500; ++n)
                answer.rows << QVariantList{n, n % 1000, QStringLiteral("AAAR%1").arg(n)};
            return answer;
        });
    RunOptions inPlace;
    inPlace.inPlace = true;
    const auto clean = [&](RunCallbacks callbacks = {}) {
        FakeOracle::log().clear();
        return runOn(kServer, "ORDERS", {"NAME"}, "ORDERS", std::move(callbacks), false, inPlace);
    };
    for (const auto& [list, obstacle] :
         {std::pair{&referring, "FOREIGN KEYs of CHILD"}, {&triggers, "trigger CHILD"}}) {
        *list = QStringList{"CHILD"};
        const RunResult refused = clean();
        QCOMPARE(refused.status, RunResult::Status::Refused);
        QVERIFY2(refused.message.contains(obstacle), qPrintable(refused.message));
        QVERIFY(FakeOracle::log().filter(QRegularExpression("^(CREATE|DELETE|INSERT)")).isEmpty());
        list->clear();
    }

    const RunResult stopped =
        clean({[](const Progress& progress) { return progress.phase != Phase::Removing; }, {}});
    QCOMPARE(stopped.status, RunResult::Status::Stopped);
    QVERIFY(FakeOracle::log().contains("ROLLBACK"));
    QVERIFY(!FakeOracle::log().contains("COMMIT"));
    QVERIFY(!FakeOracle::schema().tables.contains("ORDERS_REMOVED"));

    const RunResult cleaned = clean();
    QVERIFY2(cleaned.status == RunResult::Status::Done, qPrintable(cleaned.message));
    QCOMPARE(cleaned.rowsRemoved, qint64(1500));
    QCOMPARE(cleaned.rowsKept, qint64(1000));
    const QStringList& log = FakeOracle::log();
    const qsizetype begin = log.indexOf("BEGIN");
    // Whole entries are matched.
    QVERIFY(log.indexOf(QRegularExpression("CREATE TABLE \"ORDERS_REMOVED\".*")) < begin);
    QCOMPARE(log.filter(QRegularExpression("^(COMMIT|ROLLBACK)$")), QStringList{"COMMIT"});
    const QStringList deletes = log.filter("DELETE FROM \"ORDERS\" WHERE ROWID IN (");
    QCOMPARE(deletes.size(), 2);
    QVERIFY2(deletes.first().contains("binds: AAAR1001, AAAR1002"), qPrintable(deletes.first()));
    QVERIFY(deletes.last().endsWith("AAAR2500"));
    const qsizetype firstInsert =
        log.indexOf(QRegularExpression("INSERT INTO \"ORDERS_REMOVED\".*"));
    QVERIFY(begin < firstInsert);
    QVERIFY2(log.at(firstInsert).contains("binds: AAAR1001, 1001, AAAR1002, 1002") &&
                 log.at(firstInsert).contains("AAAR1500, 1500, AAAR1001, 1, AAAR1002, 2"),
             qPrintable(log.at(firstInsert).left(200)));
    QVERIFY(log.lastIndexOf(QRegularExpression("DELETE.*")) < log.indexOf("COMMIT"));
    QCOMPARE(FakeOracle::schema().tables.value("ORDERS_REMOVED").size(), 4);

    // The server's own limit, which the batches keep to.
    TestSession session(kServer.connection());
    session.open();
    QVariantMap values;
    for (int i = 0; i < 1001; ++i)
        values.insert(QStringLiteral("n%1").arg(i), QStringLiteral("AAAR%1").arg(i));
    QVERIFY_THROWS_EXCEPTION(
        Db::DatabaseError,
        session.execute(Db::OracleDialect().deleteRows("ORDERS", 1001, "ROWID"), values));

    // Put back: refused while a row's key is taken, then done.
    const RunKind& kind = KindOf(kServer.connection().sid);
    FakeOracle::setScript([](const QString& sql,
                             const QVariantList&) -> std::optional<FakeOracle::Answer> {
        if (!sql.startsWith("INSERT INTO \"ORDERS\""))
            return std::nullopt;
        return FakeOracle::Answer{{}, {}, "1", "ORA-00001: unique constraint (SCOTT.PK) violated"};
    });
    const RunResult taken = kind.restore(session, "ORDERS", "ORDERS_REMOVED", false);
    QCOMPARE(taken.status, RunResult::Status::Refused);
    QVERIFY2(taken.message.contains("ORA-00001"), qPrintable(taken.message));
    QVERIFY(FakeOracle::schema().tables.contains("ORDERS_REMOVED"));
    FakeOracle::setScript({});
    FakeOracle::log().clear();
    TestSession again(kServer.connection());
    QCOMPARE(kind.restore(again, "ORDERS", "ORDERS_REMOVED", false).status,
             RunResult::Status::Done);
    QCOMPARE(log.filter(QRegularExpression("^(INSERT|COMMIT|DROP)")),
             (QStringList{"INSERT INTO \"ORDERS\" (\"ID\", \"NAME\") SELECT \"ID\", \"NAME\" FROM "
                          "\"ORDERS_REMOVED\" ORDER BY \"VARNOLT_ROW\"",
                          "COMMIT", "DROP TABLE \"ORDERS_REMOVED\""}));
}

VARNOLT_GUILESS_TEST_MAIN(OracleTest)
#include "test_oracle.moc"
