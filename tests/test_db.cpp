// The database layer: which database a SID names, sessions that give back what
// they take, and the catalogue on awkward names.
#include "FakeOracle.h"
#include "Fixture.h"

#include "db/Catalogue.h"
#include "db/DatabaseError.h"
#include "db/Session.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

using namespace Db;

class DbTest : public QObject {
    Q_OBJECT
private slots:
    void init() { FakeOracle::install(); }

    void canConnectReleasesWhatItOpensAndTellsSqliteByItsHeader();
    void sidNamesAFileOnlyWhenItReadsAsAPath_data();
    void sidNamesAFileOnlyWhenItReadsAsAPath();
    void catalogueListsNamesAsStored();
    void sqliteComparesNamesLikeSqlite();
};

void DbTest::canConnectReleasesWhatItOpensAndTellsSqliteByItsHeader() {
    TempDatabase db;
    const int before = RegisteredConnections();
    const auto canConnect = [](const ConnectionData& data) {
        return CanConnect(KindOf(data.sid), data);
    };
    QVERIFY(canConnect(db.connection()));
    QVERIFY(!canConnect({db.path() + QStringLiteral(".missing"), {}, {}}));
    QVERIFY(!QFile::exists(db.path() + QStringLiteral(".missing")));
    QVERIFY(canConnect({QStringLiteral("KTNA"), QStringLiteral("SCOTT"), FakeOracle::kPassword}));
    QVERIFY(!canConnect({QStringLiteral("KTNA"), QStringLiteral("SCOTT"), QStringLiteral("x")}));
    QCOMPARE(RegisteredConnections(), before);
    // A SQLite file is told by its header.
    QVERIFY(IsSqliteFile(db.path()));
    QFile text(QFileInfo(db.path()).absolutePath() + QStringLiteral("/notes.txt"));
    QVERIFY(text.open(QIODevice::WriteOnly) && text.write("SQLite format 2") > 0);
    text.close();
    QVERIFY(!IsSqliteFile(text.fileName()));
    QVERIFY(!IsSqliteFile(QFileInfo(db.path()).absolutePath()));
    // In its own folder, the bare name of an existing SQLite file is that
    // file; another file's goes to Oracle, and a missing file's is said to be
    // missing.
    const QString here = QDir::currentPath();
    QVERIFY(QDir::setCurrent(QFileInfo(db.path()).absolutePath()));
    QCOMPARE(KindOf(QFileInfo(db.path()).fileName()).driver(), QStringLiteral("QSQLITE"));
    QVERIFY(canConnect({QFileInfo(db.path()).fileName(), {}, {}}));
    QCOMPARE(KindOf(QStringLiteral("notes.txt")).driver(), QStringLiteral("QOCI"));
    const QString gone = QStringLiteral("gone.db");
    QCOMPARE(ConnectError(KindOf(gone), {gone, {}, {}})->text(),
             QStringLiteral("There is no file gone.db."));
    QVERIFY(QDir::setCurrent(here));
}

void DbTest::sidNamesAFileOnlyWhenItReadsAsAPath_data() {
    QTest::addColumn<QString>("sid");
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("driver");
    // A path names a file; a URI of PostgreSQL's its server; anything else
    // goes to Oracle as it stands.
    for (const char* path : {"/data/orders.sqlite", "./orders.sqlite", "../db/orders.sqlite"})
        QTest::newRow(path) << path << path << "QSQLITE";
    QTest::newRow("home folder") << "~/orders.sqlite" << QDir::homePath() + "/orders.sqlite"
                                 << "QSQLITE";
    for (const char* uri : {"postgresql://db/sales", "postgres:///sales?host=/run/pg"})
        QTest::newRow(uri) << uri << QString() << "QPSQL";
    // A bare name is a file where it reads as one; a name of an existing file
    // is tested with the file itself.
    for (const char* name : {"orders.sqlite", "orders.sqlite3", "demo.db", "~scott/orders.sqlite"})
        QTest::newRow(name) << name << name << "QSQLITE";
    for (const char* sid :
         {"KTNA", "HR.DB", "orders.sql", "dbhost/XEPDB1", "dbhost:1521/ORCLPDB1",
          "//dbhost:1521/ORCLPDB1", "//dbhost/XEPDB1", "(DESCRIPTION=(ADDRESS=(HOST=h)))"})
        QTest::newRow(sid) << sid << QString() << "QOCI";
}

void DbTest::sidNamesAFileOnlyWhenItReadsAsAPath() {
    QFETCH(QString, sid);
    QFETCH(QString, file);
    QFETCH(QString, driver);
    QCOMPARE(KindOf(sid).files({sid, {}, {}}).value(0), file);
    QCOMPARE(KindOf(sid).driver(), driver);
}

void DbTest::catalogueListsNamesAsStored() {
    TempDatabase db;
    db.exec(QStringLiteral("CREATE TABLE EMP(ID); CREATE TABLE \"O'Brien \"\"x\"\"\"(ZED, "
                           "\"it's\", \"a\"\"b\"); CREATE TABLE Mixed(aLpHa);"
                           "CREATE INDEX emp_id ON EMP(ID);"
                           "CREATE TABLE auto(ID INTEGER PRIMARY KEY AUTOINCREMENT);"
                           "INSERT INTO \"O'Brien \"\"x\"\"\" VALUES (1, 2, 3);"
                           "CREATE VIRTUAL TABLE F USING fts5(body);"
                           "CREATE TABLE G(ID, g1 GENERATED ALWAYS AS (ID * 2) VIRTUAL)"));
    TestSession session(db.connection());
    session.open();
    const QString odd = QStringLiteral("O'Brien \"x\"");
    // A full-text table's own tables are not the user's; generated columns are.
    QCOMPARE(TableList(session), (QStringList{"EMP", odd, "Mixed", "auto", "F", "G"}));
    QCOMPARE(ColumnList(session, odd), (QStringList{"ZED", "it's", "a\"b"}));
    QCOMPARE(ColumnList(session, QStringLiteral("G")), (QStringList{"ID", "g1"}));
    session.execute(session.dialect().dropTable(odd));
    QCOMPARE(TableList(session), (QStringList{"EMP", "Mixed", "auto", "F", "G"}));
    // A table dropped since it was listed is said to be gone.
    try {
        ColumnList(session, odd);
        QFAIL("A dropped table still had columns.");
    } catch (const DatabaseError& error) {
        QCOMPARE(error.message(), QStringLiteral("There is no table %1.").arg(odd));
    }
}

void DbTest::sqliteComparesNamesLikeSqlite() {
    TempDatabase db;
    TestSession session(db.connection());
    const Dialect& sqlite = session.dialect();
    QVERIFY(sqlite.sameName(QStringLiteral("Orders"), QStringLiteral("ORDERS")));
    QVERIFY(!sqlite.sameName(QStringLiteral("Ærø"), QStringLiteral("ærø")));
    QVERIFY(!sqlite.sameName(QStringLiteral("ORDERS"), QStringLiteral("ORDERS ")));
    TestSession oracle({QStringLiteral("KTNA"), {}, {}});
    QVERIFY(!oracle.dialect().sameName(QStringLiteral("Orders"), QStringLiteral("ORDERS")));
}

VARNOLT_GUILESS_TEST_MAIN(DbTest)
#include "test_db.moc"
