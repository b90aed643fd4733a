// Faults and contention: every database operation of every page action fails
// at every point it can, other programs hold or share the file, names are as
// awkward as a database allows. The wizard stays usable, says what happened,
// and the source is never changed.
#include "FakeOracle.h"
#include "Runs.h"
#include "TestSupport.h"

#include "db/Dialect.h"
#include "db/Session.h"
#include "pages/Form1.h"
#include "pages/Form2.h"
#include "pages/Form3.h"
#include "pages/Form4.h"
#include "pages/Wizard.h"

#include "ui/PageButton.h"
#include <QThread>
#include <atomic>

#include <QLineEdit>
#include <QProcess>

using Db::FaultInjection::Point;

namespace {

const QString kInjected = QStringLiteral("Error 99: injected");
const QString kDeduplicated = QStringLiteral("3:1'Ann''Oslo'|2'Bob'NULL|5'ann''Oslo'");

QString checksum(const TempDatabase& db, const QString& table) {
    return db
        .column(QStringLiteral("SELECT count(*) || ':' || group_concat(quote(ID) || quote(NAME) "
                               "|| quote(CITY), '|') FROM \"%1\"")
                    .arg(table))
        .value(0);
}

// A wizard on the given page (1 to 4) of a run over VISITORS, NAME and CITY chosen.
struct OnPage : WizardDriver {
    OnPage(const TempDatabase& db, int page) : WizardDriver(db) {
        if (page >= 2)
            connect();
        if (page >= 3)
            chooseTable(QStringLiteral("VISITORS"));
        if (page >= 4) {
            chooseColumns({QStringLiteral("NAME"), QStringLiteral("CITY")});
            // The page's preview reads on a thread of its own; the faults are
            // meant for what the buttons do.
            [&] { QTRY_VERIFY(!wizard.form4().isPreviewing()); }();
        }
    }
};

// One button of one page, pressed with the k-th open, statement or fetch failing.
struct Action {
    int page;
    std::function<PageButton*(Wizard&)> button;
};

} // namespace

class FaultsTest : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { Db::FaultInjection::clear(); }

    void everyPageActionFailsCleanlyAtEveryPoint();
    void twoRunsAtOnceOnOneFile();
    void awkwardNamesWork();
    void aTableLeftBehindIsToldEvenAsTheProgramEnds();
};

void FaultsTest::everyPageActionFailsCleanlyAtEveryPoint() {
    TempDatabase db;
    MakeVisitors(db);
    const QString before = checksum(db, QStringLiteral("VISITORS"));
    const QList<Action> actions{
        {1, [](Wizard& w) { return w.form1().Check3; }}, // connect, list the tables
        {2, [](Wizard& w) { return w.form2().Check3; }}, // prepare the field page
        {4, [](Wizard& w) { return w.form4().Check2; }}, // prepare it again, from the end
        {4, [](Wizard& w) { return w.form4().Check4; }}, // the run
    };
    MessageLog messages;
    int failures = 0;
    for (const Action& action : actions) {
        for (const Point point : {Point::Open, Point::Statement, Point::Fetch}) {
            for (int k = 1;; ++k) {
                // The run replaces a table of the user's, with the user's yes.
                db.exec(QStringLiteral("DROP TABLE IF EXISTS VISITORS2; CREATE TABLE "
                                       "VISITORS2(X); INSERT INTO VISITORS2 VALUES (7)"));
                OnPage run(db, action.page);
                messages.shown.clear();
                messages.answers = {true};
                Db::FaultInjection::failAt(point, k, QStringLiteral("99"),
                                           QStringLiteral("injected"));
                PageButton* button = action.button(run.wizard);
                button->click();
                const bool fired = Db::FaultInjection::fired();
                Db::FaultInjection::clear();
                if (!fired)
                    break;
                ++failures;
                QCOMPARE(checksum(db, QStringLiteral("VISITORS")), before);
                Wizard& w = run.wizard;
                WizardPage* page = &w.form1();
                for (WizardPage* each :
                     QList<WizardPage*>{&w.form1(), &w.form2(), &w.form3(), &w.form4()}) {
                    if (each->isVisible())
                        page = each;
                }
                if (messages.shown.isEmpty()) {
                    // Only the connect check of the connection page fails silently.
                    QCOMPARE(action.page, 1);
                    continue;
                }
                QVERIFY2(messages.shown.first().startsWith(kInjected),
                         qPrintable(messages.shown.join('|')));
                if (messages.shown.last().startsWith(QStringLiteral("Done."))) {
                    // The run finished; only showing the new table failed.
                    QCOMPARE(checksum(db, QStringLiteral("VISITORS2")), kDeduplicated);
                    continue;
                }
                QCOMPARE(messages.shown.size(), 1);
                QCOMPARE(db.column("SELECT X FROM VISITORS2"), QStringList{"7"});
                // The wizard shows a usable page, and the action works when tried again.
                QVERIFY(page->isVisible() && page->isEnabled());
                QCOMPARE(page->pointer(), WizardPage::Pointer::Ordinary);
                messages.shown.clear();
                messages.answers = {true};
                button->click();
                QVERIFY(messages.shown.filter(kInjected).isEmpty());
            }
        }
    }
    QVERIFY(failures >= 20);
    QCOMPARE(Db::RegisteredConnections(), 1); // the test's own
}

void FaultsTest::twoRunsAtOnceOnOneFile() {
    TempDatabase db;
    db.exec(QStringLiteral("CREATE TABLE ORDERS(ID, NAME, CITY);"
                           "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n "
                           "WHERE i < 50000) INSERT INTO ORDERS SELECT i, i % 700, i % 3 FROM n"));
    const auto both = [&](const QString& first, const QString& second) {
        QProcess one, two;
        for (const auto& [process, name] : {std::pair{&one, first}, std::pair{&two, second}})
            process->start(qEnvironmentVariable("VARNOLT_CLI"),
                           {"run", db.path(), "ORDERS", "--column", "NAME", "--column", "CITY",
                            "--new-name", name});
        one.waitForFinished(60000);
        two.waitForFinished(60000);
        return QList<int>{one.exitCode(), two.exitCode()};
    };
    QCOMPARE(both(QStringLiteral("A"), QStringLiteral("B")), (QList<int>{0, 0}));
    QCOMPARE(db.column("SELECT count(*) FROM A"), QStringList{"2100"});
    QCOMPARE(db.column("SELECT count(*) FROM B"), QStringList{"2100"});

    // Of two runs to the same name, one makes the table and the other, finding
    // it made, is refused (3) or stops with nothing changed (1).
    const QList<int> codes = both(QStringLiteral("SAME"), QStringLiteral("SAME"));
    QVERIFY(codes.contains(0) && (codes.contains(1) || codes.contains(3)));
    QCOMPARE(db.column("SELECT count(*) FROM SAME"), QStringList{"2100"});
    QCOMPARE(db.column("PRAGMA integrity_check"), QStringList{"ok"});
    QCOMPARE(db.column("SELECT count(*) FROM ORDERS"), QStringList{"50000"});
}

void FaultsTest::awkwardNamesWork() {
    TempDatabase db;
    const QString longName(1000, QChar('L'));
    for (const QString& table :
         {QStringLiteral("select"), QStringLiteral("Mixed Case"), QStringLiteral("it's \"odd\""),
          QStringLiteral("Smørbrød"), longName}) {
        db.exec(QStringLiteral("CREATE TABLE %1 (\"from\", \"Ünïcode col\", \"a\"\"b\", \"c, d\");"
                               "INSERT INTO %1 VALUES (1, 'x', 'y', 'z'), (2, 'x', 'y', 'z'),"
                               "(3, 'X', 'y', 'z'), (4, 'x', 'y', 'z, ')")
                    .arg(Db::Dialect::quoted(table)));
        const QString target = QString(table).remove(QLatin1Char('"')).left(900) + " 2";
        const RunResult result = runOn(db, table, {"Ünïcode col", "a\"b", "c, d"}, target);
        QVERIFY2(result.status == RunResult::Status::Done, qPrintable(result.message));
        QCOMPARE(db.column(QStringLiteral("SELECT \"from\" FROM %1 ORDER BY rowid")
                               .arg(Db::Dialect::quoted(target))),
                 (QStringList{"1", "3", "4"}));
        // The same names through the judged run, into a removed rows' table
        // of an awkward name too.
        RunOptions aside;
        aside.removedInto = target.left(880) + QStringLiteral(" [gone] `x` 'y' ;");
        const RunResult judged =
            runOn(db, table, {"Ünïcode col", "a\"b", "c, d"}, target, Replacing(), false, aside);
        QVERIFY2(judged.status == RunResult::Status::Done, qPrintable(judged.message));
        QCOMPARE(db.column(QStringLiteral("SELECT \"from\" || '<' || VARNOLT_KEPT_ROW FROM %1")
                               .arg(Db::Dialect::quoted(aside.removedInto))),
                 QStringList{"2<1"});
    }
}

// Cancel in the middle of an Oracle run whose unfinished copy cannot be
// dropped: the program ends, but not before it has said what it left.
void FaultsTest::aTableLeftBehindIsToldEvenAsTheProgramEnds() {
    FakeOracle::install();
    FakeOracle::schema().tables.insert("VISITORS", {{"NAME", "VARCHAR2"}});
    ClearSettings();
    WizardDriver run;
    run.wizard.form1().Text1->setText(QStringLiteral("KTNA"));
    run.wizard.form1().Text2->setText(QStringLiteral("SCOTT"));
    run.wizard.form1().Text3->setText(FakeOracle::kPassword);
    run.connect().chooseTable(QStringLiteral("VISITORS")).chooseColumns({"NAME"});
    // The run's statements come on its own thread; Cancel is clicked on the
    // window's, and the statement returns once the program is ending.
    std::atomic<bool> ending = false;
    QObject::connect(&run.wizard, &Wizard::ended, [&] { ending = true; });
    FakeOracle::setScript(
        [&](const QString& sql, const QVariantList&) -> std::optional<FakeOracle::Answer> {
            if (sql.startsWith(QStringLiteral("UPDATE"))) {
                QMetaObject::invokeMethod(
                    run.wizard.form4().Check1, [&] { run.wizard.form4().Check1->click(); },
                    Qt::QueuedConnection);
                while (!ending)
                    QThread::msleep(1);
                QThread::msleep(100);
            }
            if (sql == QStringLiteral("DROP TABLE \"VISITORS2\""))
                return FakeOracle::Answer{{}, {}, "54", "ORA-00054: resource busy"};
            return std::nullopt;
        });
    MessageLog messages;
    run.wizard.form4().Check4->click();
    QVERIFY(run.wizard.isEnding());
    QCOMPARE(messages.shown.size(), 1);
    QVERIFY2(messages.shown.first().contains(
                 "The unfinished table VISITORS2 could not be removed (Error 54: ORA-00054"),
             qPrintable(messages.shown.first()));
    QVERIFY(FakeOracle::schema().tables.contains("VISITORS2"));
}

VARNOLT_TEST_MAIN(FaultsTest)
#include "test_faults.moc"
