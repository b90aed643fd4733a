// varnolt-cli as a script uses it: what it prints, its exit codes, a dry run
// that changes nothing, and Ctrl+C in the middle of a run.
#include "Fixture.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QThread>
#include <QUrl>
#include <QUrlQuery>
#include <csignal>
#include <sys/stat.h>

namespace {

struct Outcome {
    int code = -1;
    QString out;
    QString err;
};

Outcome cli(const QStringList& arguments, const QString& output = QString(),
            const QString& program = qEnvironmentVariable("VARNOLT_CLI")) {
    QProcess process;
    if (!output.isEmpty())
        process.setStandardOutputFile(output);
    process.start(program, arguments);
    process.waitForFinished(120000);
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}

} // namespace

class CliTest : public QObject {
    Q_OBJECT
private slots:
    void listsAndRunsWithItsExitCodes();
    void dryRunChangesNothing();
    void interruptTakesTheRunBack();
    void cleaningInPlaceIsUndone();
};

void CliTest::listsAndRunsWithItsExitCodes() {
    TempDatabase db;
    MakeVisitors(db);
    const QString file = db.path();
    QCOMPARE(cli({"tables", file}).out, QStringLiteral("VISITORS\n"));
    QCOMPARE(cli({"columns", file, "VISITORS"}).out, QStringLiteral("ID\nNAME\nCITY\n"));
    QCOMPARE(cli({"columns", file, "VISITORS", "--json"}).out,
             QStringLiteral("[\"ID\",\"NAME\",\"CITY\"]\n"));

    const Outcome done =
        cli({"run", file, "VISITORS", "--column", "NAME", "--column", "CITY", "--json"});
    QCOMPARE(done.code, 0);
    const QJsonObject summary = QJsonDocument::fromJson(done.out.toUtf8()).object();
    QCOMPARE(summary.value("status").toString(), QStringLiteral("done"));
    QCOMPARE(summary.value("new_table").toString(), QStringLiteral("VISITORS2"));
    QCOMPARE(summary.value("rows_kept").toInt(), 3);
    QCOMPARE(summary.value("rows_removed").toInt(), 2);
    QCOMPARE(db.column("SELECT ID FROM VISITORS2 ORDER BY rowid"), (QStringList{"1", "2", "5"}));

    // An existing table is replaced only when asked to.
    const Outcome refused = cli({"run", file, "VISITORS", "--column", "NAME"});
    QCOMPARE(refused.code, 3);
    QVERIFY(refused.err.contains(QStringLiteral("--replace")));
    QCOMPARE(db.column("SELECT count(*) FROM VISITORS2"), QStringList{"3"});
    QCOMPARE(cli({"run", file, "VISITORS", "--column", "CITY", "--replace"}).code, 0);
    QCOMPARE(db.column("SELECT count(*) FROM VISITORS2"), QStringList{"2"});
    QCOMPARE(cli({"run", file, "VISITORS2", "--column", "CITY"}).code, 0);
    QCOMPARE(db.column("SELECT count(*) FROM VISITORS2Two"), QStringList{"2"});

    // Which row stays, and where the others go; the summary names the options.
    const Outcome judged = cli({"run", file, "VISITORS", "--column", "NAME", "--column", "CITY",
                                "--new-name", "EARLIEST", "--keep", "last", "--order-by", "ID:desc",
                                "--ignore-case", "--removed-into", "LATER", "--json"});
    QCOMPARE(judged.code, 0);
    const QJsonValue options = QJsonDocument::fromJson(judged.out.toUtf8())["options"];
    QCOMPARE(options["order_by"][0].toString() + options["keep"].toString(),
             QStringLiteral("ID:desclast"));
    QCOMPARE(db.column("SELECT ID || '<' || VARNOLT_KEPT_ROW FROM LATER ORDER BY ID"),
             (QStringList{"3<1", "4<2", "5<1"}));

    // Refusals (3), failures (1) and bad usage (2), each said on standard error.
    db.exec(QStringLiteral("CREATE VIEW V AS SELECT * FROM VISITORS"));
    QVERIFY(::mkfifo(QFile::encodeName(file + ".fifo").constData(), 0600) == 0);
    for (const auto& [code, arguments, says] :
         {std::tuple{3, "run DB VISITORS --column NAME --new-name a\"b", "double quote"},
          {3, "run DB VISITORS --column NAME --new-name VISITORS", "copied from"},
          {3, "run DB VISITORS --column NAME --new-name X --removed-into x", "not the new table"},
          {3, "run DB V --column NAME --new-name V2", "V is a view, not a table"},
          {3, "run DB VISITORS --column NAME --new-name v --replace", "v is the name of a view"},
          {3, "run DB VISITORS --column NOPE", "no column NOPE"},
          {3, "run DB VISITORS --column NAME --order-by NOPE", "no column NOPE"},
          {3, "run DB NOPE --column NAME", "There is no table NOPE."},
          {3, "run DB VISITORS --column NAME --dry-run --report DB", "is a database"},
          {3, "run DB VISITORS --column NAME --report DB-journal", "belongs to the database"},
          {3, "run DB VISITORS --column NAME --dry-run --report DB.fifo", "not a plain file"},
          {2, "run DB VISITORS --column NAME --report=", "--report needs a name"},
          {2, "run DB VISITORS --column NAME --removed-into=", "--removed-into needs a name"},
          {2, "run DB VISITORS --column NAME --keep middle", "--keep"},
          {2, "run DB VISITORS", "--column"},
          {2, "dance DB", "expected"},
          {2, "run DB VISITORS --column NAME --colour", "colour"}}) {
        QStringList words = QString::fromUtf8(arguments).split(QLatin1Char(' '));
        for (QString& word : words) {
            if (word.startsWith(QStringLiteral("DB")))
                word.replace(0, 2, file);
        }
        const Outcome outcome = cli(words);
        QVERIFY2(outcome.code == code, qPrintable(words.join(" ")));
        QVERIFY2(outcome.err.contains(QString::fromUtf8(says)), qPrintable(outcome.err));
    }
    QCOMPARE(cli({"--help"}).code, 0);

    // On a server the password comes from the environment, and a wrong one
    // is said to be wrong.
    const ServerDatabase server;
    VARNOLT_NEED_SERVER(server.available(), "PostgreSQL (VARNOLT_TEST_PG)");
    const Db::ConnectionData& data = server.connection();
    for (const QString& password : {data.password, data.password + "x"}) {
        qputenv("VARNOLT_PASSWORD", password.toUtf8());
        const Outcome listed = cli({"tables", data.sid, "--user", data.user});
        QCOMPARE(listed.code, password == data.password ? 0 : 1);
        QVERIFY(listed.code == 0 || listed.err.contains("password authentication failed"));
    }
    qunsetenv("VARNOLT_PASSWORD");
    // Connection strings as libpq reads them, every part kept, the password
    // found where psql would find it: a parameter, the environment, a file.
    const QUrl uri(data.sid);
    const QString socket = QUrlQuery(uri).queryItemValue(QStringLiteral("host"));
    const QString name = uri.path().mid(1);
    const QString at = QString::fromLatin1(QUrl::toPercentEncoding(socket)) + "/" + name;
    QTemporaryDir home;
    const QString passwords = home.filePath(QStringLiteral("pgpass"));
    QFile passwordFile(passwords);
    QVERIFY(passwordFile.open(QIODevice::WriteOnly));
    passwordFile.write(QStringLiteral("*:*:*:%1:%2\n").arg(data.user, data.password).toUtf8());
    passwordFile.close();
    QVERIFY(passwordFile.setPermissions(QFile::ReadOwner | QFile::WriteOwner));
    for (const auto& [sid, variable, value, user] :
         {std::tuple{QStringLiteral("postgresql:///%1?host=%2&port=5432").arg(name, socket),
                     "VARNOLT_PASSWORD", data.password, true},
          {QStringLiteral("postgresql://%1:%2@%3?connect_timeout=5&sslmode=disable")
               .arg(data.user, data.password, at),
           "", QString(), false},
          {QStringLiteral("host=%1 dbname=%2 user=%3").arg(socket, name, data.user), "PGPASSWORD",
           data.password, false},
          {QStringLiteral("postgresql://") + at, "PGPASSFILE", passwords, true}}) {
        if (*variable)
            qputenv(variable, value.toUtf8());
        QStringList arguments{"tables", sid};
        if (user)
            arguments << "--user" << data.user;
        const Outcome listed = cli(arguments);
        if (*variable)
            qunsetenv(variable);
        QVERIFY2(listed.code == 0, qPrintable(sid + ": " + listed.err));
    }
    const Outcome unread = cli({"tables", "postgresql://[" + at});
    QCOMPARE(unread.code, 1);
    QVERIFY2(unread.err.contains("cannot be read"), qPrintable(unread.err));
    // Every parameter is passed on: a search path without the table's
    // schema lists nothing.
    server.exec(QStringLiteral("CREATE TABLE listed (x int)"));
    qputenv("VARNOLT_PASSWORD", data.password.toUtf8());
    for (const auto& [options, shown] :
         {std::pair{QString(), QStringLiteral("listed\n")},
          {QStringLiteral("?options=-csearch_path%3Dnowhere"), QString()}})
        QCOMPARE(cli({"tables", "postgresql://" + at + options, "--user", data.user}).out, shown);
    qunsetenv("VARNOLT_PASSWORD");
}

void CliTest::dryRunChangesNothing() {
    TempDatabase db;
    MakeVisitors(db);
    const QByteArray before = db.fileHash();
    const Outcome dry = cli({"run", db.path(), "VISITORS", "--column", "NAME", "--column", "CITY",
                             "--dry-run", "--json"});
    QCOMPARE(dry.code, 0);
    QCOMPARE(db.fileHash(), before);
    const QJsonObject summary = QJsonDocument::fromJson(dry.out.toUtf8()).object();
    QCOMPARE(summary.value("rows_kept").toInt(), 3);
    QCOMPARE(summary.value("rows_removed").toInt(), 2);
    const QJsonDocument groups(summary.value("groups").toArray());
    QCOMPARE(groups.toJson(QJsonDocument::Compact),
             QByteArray(R"([{"kept":1,"key":["Ann","Oslo"],"removed":[3]},)"
                        R"({"kept":2,"key":["Bob",null],"removed":[4]}])"));
    // A blob is shown, and reported, as its bytes in hex.
    db.exec(QStringLiteral("CREATE TABLE B(K); INSERT INTO B VALUES (x'00ff'), (x'00ff')"));
    const QString report = db.path() + QStringLiteral(".jsonl");
    const Outcome blobs =
        cli({"run", db.path(), "B", "--column", "K", "--dry-run", "--json", "--report", report});
    QCOMPARE(QJsonDocument::fromJson(blobs.out.toUtf8())["groups"][0]["key"][0].toString(),
             QStringLiteral("00ff"));
    QFile reported(report);
    QVERIFY(reported.open(QIODevice::ReadOnly));
    QCOMPARE(QJsonDocument::fromJson(reported.readAll())["key"][0].toString(),
             QStringLiteral("00ff"));

    // A group shows the row that stays, as the report does, however its
    // repeats are written; "-" reports on standard output.
    db.exec(QStringLiteral("CREATE TABLE E(K); INSERT INTO E VALUES ('Émile'), ('x'), ('émile')"));
    const Outcome folded = cli(
        {"run", db.path(), "E", "--column", "K", "--ignore-case", "--dry-run", "--report", "-"});
    QCOMPARE(folded.code, 0);
    QVERIFY2(
        folded.out.startsWith(QStringLiteral("{\"key\":[\"Émile\"],\"kept\":1,\"removed\":[3]}\n"
                                             "3 rows read: 2 would be kept")),
        qPrintable(folded.out));
    QVERIFY2(folded.out.endsWith(QStringLiteral("row 1 stays, repeated by 3: K = 'Émile'\n")),
             qPrintable(folded.out));
    // Groups past the first ten are counted, whichever way the rows are judged.
    db.exec(QStringLiteral("CREATE TABLE M(K); WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT "
                           "i + 1 FROM n WHERE i < 40) INSERT INTO M SELECT i % 13 FROM n"));
    for (const QString& judging : {QStringLiteral("--keep=first"), QStringLiteral("--keep=last")}) {
        const Outcome many = cli({"run", db.path(), "M", "--column", "K", "--dry-run", judging});
        QVERIFY2(many.out.endsWith(QStringLiteral("\n... and 3 more groups\n")),
                 qPrintable(many.out));
        const Outcome json =
            cli({"run", db.path(), "M", "--column", "K", "--dry-run", judging, "--json"});
        QCOMPARE(QJsonDocument::fromJson(json.out.toUtf8())["repeated_groups"].toInt(), 13);
    }
    db.exec(QStringLiteral("CREATE TABLE C(K); INSERT INTO C VALUES (1)"));
    QCOMPARE(cli({"run", db.path(), "C", "--column", "K", "--dry-run"}).out,
             QStringLiteral("1 row read: 1 would be kept, 0 would be left out as repeats.\n"));
    // A report that cannot be written takes the run back.
    for (const QString& dry : {QStringLiteral("--dry-run"), QStringLiteral("--trim")}) {
        const Outcome full = cli({"run", db.path(), "E", "--column", "K", "--ignore-case",
                                  "--removed-into", "R", dry, "--report", "-"},
                                 QStringLiteral("/dev/full"));
        QCOMPARE(full.code, 1);
        QVERIFY2(full.err.endsWith(QStringLiteral("Nothing was changed in the database.\n")),
                 qPrintable(full.err));
    }
    QCOMPARE(db.column("SELECT name FROM sqlite_master ORDER BY name"),
             (QStringList{"B", "C", "E", "M", "VISITORS"}));
}

void CliTest::interruptTakesTheRunBack() {
    TempDatabase db;
    db.exec(
        QStringLiteral("CREATE TABLE BIG(ID, A, B);"
                       "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n "
                       "WHERE i < 1000000) INSERT INTO BIG SELECT i, i % 7919, 'x' || i FROM n"));
    QProcess process;
    process.start(qEnvironmentVariable("VARNOLT_CLI"),
                  {"run", db.path(), "BIG", "--column", "A", "--column", "B"});
    QVERIFY(process.waitForStarted());
    // The run is inside its transaction once it writes its journal.
    const QString journal = db.path() + QStringLiteral("-journal");
    while (!QFile::exists(journal) && process.state() == QProcess::Running)
        QThread::usleep(200);
    ::kill(static_cast<pid_t>(process.processId()), SIGINT);
    QVERIFY(process.waitForFinished(60000));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 130);
    QCOMPARE(db.column("SELECT name FROM sqlite_master"), QStringList{"BIG"});
    QCOMPARE(db.column("PRAGMA integrity_check"), QStringList{"ok"});
}

// A table cleaned in place, and put back, holds the rows it held at the
// rowids they had; what would break by it is refused with nothing changed.
void CliTest::cleaningInPlaceIsUndone() {
    TempDatabase db;
    MakeVisitors(db);
    db.exec(QStringLiteral("DELETE FROM VISITORS WHERE ID = 2; CREATE INDEX BY_CITY ON "
                           "VISITORS(CITY); CREATE TABLE "
                           "W(K PRIMARY KEY, V) WITHOUT ROWID; INSERT INTO W VALUES (1, 'x'), "
                           "(2, 'x'), (3, 'y')"));
    const QString rows = QStringLiteral("SELECT rowid || ':' || ID || NAME || CITY FROM VISITORS");
    const QStringList before = db.column(rows);
    const QString file = db.path();
    const Outcome cleaned =
        cli({"run", file, "VISITORS", "--column", "NAME", "--column", "CITY", "--in-place"});
    QCOMPARE(cleaned.code, 0);
    QVERIFY2(cleaned.out.contains("restore"), qPrintable(cleaned.out));
    QCOMPARE(db.column("SELECT ID FROM VISITORS"), (QStringList{"1", "4", "5"}));
    QCOMPARE(db.column("SELECT ID FROM VISITORS_REMOVED"), QStringList{"3"});
    const Outcome w = cli(
        {"run", file, "W", "--column", "V", "--in-place", "--removed-into", "W's `gone` $HOME"});
    QCOMPARE(db.column("SELECT K FROM W"), (QStringList{"1", "3"}));
    // A row in the place of a removed one keeps it out, and nothing moves.
    db.exec(QStringLiteral("INSERT INTO VISITORS (rowid, ID) VALUES (3, 30)"));
    QCOMPARE(cli({"restore", file, "VISITORS", "--from", "VISITORS_REMOVED"}).code, 3);
    QCOMPARE(db.column("SELECT count(*) FROM VISITORS_REMOVED"), QStringList{"1"});
    db.exec(QStringLiteral("DELETE FROM VISITORS WHERE rowid = 3"));
    QCOMPARE(cli({"restore", file, "VISITORS", "--from", "VISITORS_REMOVED"}).code, 0);
    // The way back it shows works pasted into a shell as it stands.
    const Outcome back = cli(
        {"-c", "\"$VARNOLT_CLI\" " + w.out.section("back: varnolt-cli", 1).trimmed()}, {}, "bash");
    QVERIFY2(back.code == 0, qPrintable(w.out + back.err));
    QCOMPARE(db.column(rows), before);
    QCOMPARE(db.column("SELECT K || V FROM W"), (QStringList{"1x", "2x", "3y"}));
    QCOMPARE(db.column("SELECT name FROM sqlite_master WHERE name LIKE '%REMOVED'"), QStringList{});
    // Other tables' keys that refer to the table, and triggers on its
    // deletes, refuse the run.
    for (const auto& [obstacle, removal] :
         {std::pair{"CREATE TABLE CHILD(V REFERENCES VISITORS(ID))", "DROP TABLE CHILD"},
          {"CREATE TRIGGER GONE AFTER DELETE ON VISITORS BEGIN SELECT 1; END",
           "DROP TRIGGER GONE"}}) {
        db.rows(QString::fromUtf8(obstacle));
        const QByteArray withObstacle = db.fileHash();
        const Outcome refused = cli({"run", file, "VISITORS", "--column", "NAME", "--in-place"});
        QCOMPARE(refused.code, 3);
        QVERIFY2(refused.err.contains("cannot be cleaned in place"), qPrintable(refused.err));
        QCOMPARE(db.fileHash(), withObstacle);
        db.exec(QString::fromUtf8(removal));
    }
}

VARNOLT_GUILESS_TEST_MAIN(CliTest)
#include "test_cli.moc"
