// The session layer: connection strings, which database answers, sessions that
// give back their connections, and the catalogue queries on SQLite.
#include "TestSupport.h"

#include "oracle/Catalogue.h"
#include "oracle/DatabaseError.h"
#include "oracle/Session.h"

#include <QFile>

using namespace Oracle;

class SessionTest : public QObject {
    Q_OBJECT
private slots:
    void connectionStringHoldsTheItemsVerbatim_data();
    void connectionStringHoldsTheItemsVerbatim();
    void itemsSurviveTheWayBack_data();
    void itemsSurviveTheWayBack();
    void malformedStringsAreRejected();
    void canConnectOpensSqliteFilesOnly();
    void sqliteIsRecognisedByItsHeader();
    void filePathsAreToldFromOracleNames();
    void errorsCarryTheNativeCodeAndText();
    void tableListOfAnEmptySchema();
    void tableListShowsNamesAsStored();
    void columnListIsTheOwnTablesInColumnOrder();
    void namesWithQuotesDoNotBreakStatements();
    void sqliteComparesTableNamesLikeSqlite();
};

void SessionTest::connectionStringHoldsTheItemsVerbatim_data() {
    QTest::addColumn<QString>("sid");
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("expected");
    QTest::newRow("typical") << "KTNA"
                             << "scott"
                             << "tiger"
                             << "Provider=OraOLEDB.Oracle;Data Source=KTNA;User Id=scott;"
                                "Password=tiger;";
    QTest::newRow("empty") << ""
                           << ""
                           << ""
                           << "Provider=OraOLEDB.Oracle;Data Source=;User Id=;Password=;";
    QTest::newRow("separators") << " a=b "
                                << "u;v"
                                << "p;w=x;"
                                << "Provider=OraOLEDB.Oracle;Data Source= a=b ;User Id=u;v;"
                                   "Password=p;w=x;;";
}

void SessionTest::connectionStringHoldsTheItemsVerbatim() {
    QFETCH(QString, sid);
    QFETCH(QString, user);
    QFETCH(QString, password);
    QFETCH(QString, expected);
    QCOMPARE(ConnectionString(sid, user, password), expected);
}

void SessionTest::itemsSurviveTheWayBack_data() {
    QTest::addColumn<QString>("sid");
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("password");
    QTest::newRow("typical") << "//db.example:1521/ORCL"
                             << "scott"
                             << "tiger";
    QTest::newRow("empty") << ""
                           << ""
                           << "";
    QTest::newRow("semicolons") << "KTNA"
                                << "a;b"
                                << ";;";
    QTest::newRow("attribute names in the password") << "KTNA"
                                                     << "u"
                                                     << "x;User Id=y;Password=z;";
    QTest::newRow("blanks and non-ASCII") << "  ÆØÅ  "
                                          << " ü "
                                          << " ß=; ";
    QTest::newRow("quotes") << "it's \"quoted\""
                            << "'"
                            << "\"";
    QTest::newRow("ten thousand characters")
        << QString(10000, 'x') << "東京" << QString(10000, ';');
}

void SessionTest::itemsSurviveTheWayBack() {
    QFETCH(QString, sid);
    QFETCH(QString, user);
    QFETCH(QString, password);
    const auto parsed = ParseConnectionString(ConnectionString(sid, user, password));
    QVERIFY(parsed.has_value());
    QCOMPARE(parsed->sid, sid);
    QCOMPARE(parsed->user, user);
    QCOMPARE(parsed->password, password);
}

void SessionTest::malformedStringsAreRejected() {
    QVERIFY(!ParseConnectionString(QStringLiteral("Data Source=x;User Id=y;Password=z;")));
    QVERIFY(!ParseConnectionString(QStringLiteral("Provider=OraOLEDB.Oracle;Data Source=x;")));
    Session session(QStringLiteral("nonsense"));
    QVERIFY_THROWS_EXCEPTION(DatabaseError, session.open());
}

void SessionTest::canConnectOpensSqliteFilesOnly() {
    TempDatabase db;
    const int before = RegisteredConnections();
    QVERIFY(CanConnect(db.connectionString()));
    QCOMPARE(RegisteredConnections(), before);

    QVERIFY(!CanConnect(ConnectionString(db.path() + QStringLiteral(".missing"), {}, {})));
    QVERIFY(!QFile::exists(db.path() + QStringLiteral(".missing")));
    QCOMPARE(RegisteredConnections(), before);

    // No Oracle client here: a net service name is a failed logon, not a crash.
    QVERIFY(!CanConnect(ConnectionString(QStringLiteral("KTNA"), QStringLiteral("scott"),
                                         QStringLiteral("tiger"))));
    QVERIFY(!CanConnect(ConnectionString({}, {}, {})));
    QCOMPARE(RegisteredConnections(), before);
}

void SessionTest::sqliteIsRecognisedByItsHeader() {
    TempDatabase db;
    QVERIFY(IsSqliteFile(db.path()));
    QTemporaryDir dir;
    const QString text = dir.filePath(QStringLiteral("notes.txt"));
    QFile file(text);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("SQLite format 2 is not this");
    file.close();
    QVERIFY(!IsSqliteFile(text));
    QVERIFY(!IsSqliteFile(dir.path()));
    QVERIFY(!IsSqliteFile(QString()));
    QCOMPARE(Session(ConnectionString(text, {}, {})).dialect().kind(), Dialect::Kind::Oracle);
    QCOMPARE(Session(db.connectionString()).dialect().kind(), Dialect::Kind::Sqlite);
}

void SessionTest::filePathsAreToldFromOracleNames() {
    for (const char* path : {"/home/ann/orders.sqlite", "/data/x", "./local", "../up", "~/db",
                             "orders.db", "ORDERS.SQLITE3"})
        QVERIFY2(LooksLikeFilePath(QString::fromUtf8(path)), path);
    for (const char* name : {"KTNA", "//dbhost:1521/ORCLPDB1", "dbhost:1521/ORCL",
                             "(DESCRIPTION=(ADDRESS=(HOST=h)(PORT=1521)))", ""})
        QVERIFY2(!LooksLikeFilePath(QString::fromUtf8(name)), name);
    Session gone(ConnectionString(QStringLiteral("/no/such/orders.sqlite"), {}, {}));
    try {
        gone.open();
        QFAIL("a missing file should not open");
    } catch (const DatabaseError& error) {
        QCOMPARE(error.message(), QStringLiteral("The file /no/such/orders.sqlite does not exist "
                                                 "or is no SQLite database."));
    }
}

void SessionTest::errorsCarryTheNativeCodeAndText() {
    TempDatabase db;
    Session session(db.connectionString());
    session.open();
    try {
        session.execute(QStringLiteral("SELECT * FROM no_such_table"));
        QFAIL("the statement should have failed");
    } catch (const DatabaseError& error) {
        QCOMPARE(error.nativeCode(), QStringLiteral("1"));
        QVERIFY(error.text().contains(QStringLiteral("no_such_table")));
        QVERIFY(error.message().startsWith(QStringLiteral("Error 1: ")));
    }
}

void SessionTest::tableListOfAnEmptySchema() {
    TempDatabase db;
    Session session(db.connectionString());
    session.open();
    QVERIFY(TableList(session, {}).isEmpty());
}

void SessionTest::tableListShowsNamesAsStored() {
    TempDatabase db;
    db.exec(QStringLiteral("CREATE TABLE EMP(ID); CREATE TABLE \"my orders\"(ID);"
                           "CREATE TABLE Mixed(ID); CREATE INDEX emp_id ON EMP(ID);"
                           "CREATE TABLE auto(ID INTEGER PRIMARY KEY AUTOINCREMENT)"));
    Session session(db.connectionString());
    session.open();
    int yields = 0;
    const QStringList tables = TableList(session, [&] { ++yields; });
    QCOMPARE(tables, (QStringList{"EMP", "my orders", "Mixed", "auto"}));
    QCOMPARE(yields, 4);
}

void SessionTest::columnListIsTheOwnTablesInColumnOrder() {
    TempDatabase db;
    db.exec(QStringLiteral("CREATE TABLE \"my orders\"(ZED, \"first name\", aLpHa);"
                           "CREATE TABLE other(NOT_MINE)"));
    Session session(db.connectionString());
    session.open();
    QCOMPARE(ColumnList(session, QStringLiteral("my orders"), {}),
             (QStringList{"ZED", "first name", "aLpHa"}));
    QVERIFY(ColumnList(session, QStringLiteral("missing"), {}).isEmpty());
}

void SessionTest::namesWithQuotesDoNotBreakStatements() {
    TempDatabase db;
    db.exec(QStringLiteral("CREATE TABLE \"O'Brien \"\"x\"\"\"(\"it's\", \"a\"\"b\");"
                           "INSERT INTO \"O'Brien \"\"x\"\"\" VALUES (1, 2)"));
    Session session(db.connectionString());
    session.open();
    const QString table = QStringLiteral("O'Brien \"x\"");
    QCOMPARE(TableList(session, {}), QStringList{table});
    QCOMPARE(ColumnList(session, table, {}), (QStringList{"it's", "a\"b"}));
    RecordSet preview(session, session.dialect().preview(table));
    QVERIFY(preview.next());
    QCOMPARE(preview.value(1).toInt(), 2);
}

void SessionTest::sqliteComparesTableNamesLikeSqlite() {
    const SqliteDialect sqlite;
    QVERIFY(sqlite.sameName(QStringLiteral("Orders"), QStringLiteral("ORDERS")));
    QVERIFY(!sqlite.sameName(QStringLiteral("Ærø"), QStringLiteral("ærø")));
    QVERIFY(!sqlite.sameName(QStringLiteral("ORDERS"), QStringLiteral("ORDERS ")));
    const OracleDialect oracle;
    QVERIFY(!oracle.sameName(QStringLiteral("Orders"), QStringLiteral("ORDERS")));
    QVERIFY(oracle.sameName(QStringLiteral("ORDERS"), QStringLiteral("ORDERS")));
}

VARNOLT_TEST_MAIN(SessionTest)
#include "test_session.moc"
