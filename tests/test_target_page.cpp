// The target table page: the proposed name, "Finish" and "Exit", and a run
// that cannot be started twice or left half-made.
#include "TestSupport.h"

#include "engine/DuplicateRemoval.h"

#include "pages/Form1.h"
#include "pages/Form2.h"
#include "pages/Form3.h"
#include "pages/Form4.h"
#include "pages/Wizard.h"
#include "ui/GridSource.h"
#include "ui/PageButton.h"

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QSignalSpy>
#include <QTableView>
#include <QTimer>

namespace {

// A wizard standing on the target page for `table` with `columns` chosen.
struct TargetPageFixture : WizardDriver {
    TargetPageFixture(const TempDatabase& db, const QString& table, const QStringList& columns)
        : WizardDriver(db) {
        connect();
        choose(table, columns);
    }
    void choose(const QString& table, const QStringList& columns) {
        chooseTable(table).chooseColumns(columns);
    }
    Form4& page() { return wizard.form4(); }
};

void makeBig(const TempDatabase& db) {
    db.exec(QStringLiteral("CREATE TABLE BIG(ID, A);"
                           "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n "
                           "WHERE i < 400000) INSERT INTO BIG SELECT i, i % 1000 FROM n"));
}

} // namespace

class TargetPageTest : public QObject {
    Q_OBJECT
private slots:
    void proposalsFollowTheLastCharacter();
    void finishMakesTheTableAndShowsIt();
    void exitSurvivesGoingBackAndEndsTheProgram();
    void nameSurvivesGoingBackToAnotherTable();
    void refusalsAndDeclinesLeaveThePageReady();
    void clicksDuringARunStartNothing();
    void cancelDuringARunLeavesNothingBehind();
    void minimizedWindowIsRestoredWhenDone();
};

void TargetPageTest::proposalsFollowTheLastCharacter() {
    QCOMPARE(ProposedName(QStringLiteral("ORDERS")), QStringLiteral("ORDERS2"));
    QCOMPARE(ProposedName(QStringLiteral("ORDERS2")), QStringLiteral("ORDERS2Two"));
    QCOMPARE(ProposedName(QStringLiteral("LOG12")), QStringLiteral("LOG12Two"));
    QCOMPARE(ProposedName(QStringLiteral("my orders")), QStringLiteral("my orders2"));

    TempDatabase db;
    db.exec(QStringLiteral("CREATE TABLE LOG12(ID)"));
    TargetPageFixture f(db, QStringLiteral("LOG12"), {"ID"});
    QCOMPARE(f.page().Text1->text(), QStringLiteral("LOG12Two"));
    QCOMPARE(f.page().windowTitle(), QStringLiteral("Varnolt"));
    QVERIFY(!f.page().Check3->isEnabled());
}

void TargetPageTest::finishMakesTheTableAndShowsIt() {
    TempDatabase db;
    MakeVisitors(db);
    MessageLog messages;
    TargetPageFixture f(db, QStringLiteral("VISITORS"), {"NAME", "CITY"});
    Form4& page = f.page();
    QCOMPARE(page.Text1->text(), QStringLiteral("VISITORS2"));
    // The progress a run shows and the counts it ends with.
    QStringList phases;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        for (const QLabel* label : page.findChildren<QLabel*>()) {
            if (label->accessibleName() == QStringLiteral("Run phase") && label->isVisible())
                phases << label->text();
        }
    });
    watch.start(0);
    page.Check4->click();
    watch.stop();
    QVERIFY(!phases.isEmpty());
    QVERIFY(page.DataGrid1->isVisible());
    QCOMPARE(messages.shown, QStringList{"Done.\n\nVISITORS2 holds 3 rows.\n"
                                         "2 rows that repeated an earlier row were left out."});
    QCOMPARE(page.Check4->text(), QStringLiteral("Exit"));
    QCOMPARE(page.pointer(), WizardPage::Pointer::Ordinary);
    QAbstractItemModel* model = page.result().model();
    QVERIFY(model);
    QCOMPARE(model->rowCount(), 3);
    QCOMPARE(model->index(2, 0).data().toInt(), 5);
    QVERIFY(!(model->flags(model->index(0, 0)) & Qt::ItemIsEditable));
    QCOMPARE(db.column(QStringLiteral("SELECT count(*) FROM VISITORS")), QStringList{"5"});

    TargetPageFixture unique(db, QStringLiteral("VISITORS"), {"ID"});
    unique.page().Text1->setText(QStringLiteral("IDS"));
    unique.page().Check4->click();
    QCOMPARE(messages.shown.last(),
             QStringLiteral("Done.\n\nIDS holds 5 rows.\nNo row repeated another."));
}

void TargetPageTest::exitSurvivesGoingBackAndEndsTheProgram() {
    TempDatabase db;
    MakeVisitors(db);
    MessageLog messages;
    TargetPageFixture f(db, QStringLiteral("VISITORS"), {"NAME"});
    QSignalSpy ended(&f.wizard, &Wizard::ended);
    f.page().Check4->click();
    f.page().Check2->click();
    Form3& fields = f.wizard.form3();
    QVERIFY(fields.isVisible());
    QCOMPARE(fields.List2->count(), 1);
    QCOMPARE(fields.List1->count(), 2);
    fields.Check3->click();
    QVERIFY(f.page().isVisible());
    QCOMPARE(f.page().Check4->text(), QStringLiteral("Exit"));
    QCOMPARE(f.page().result().model()->rowCount(), 3);
    f.page().Check4->click();
    QCOMPARE(ended.count(), 1);
    QVERIFY(messages.shown.size() == 1 && messages.shown.first().startsWith("Done."));
}

void TargetPageTest::nameSurvivesGoingBackToAnotherTable() {
    TempDatabase db;
    MakeVisitors(db);
    db.exec(QStringLiteral("CREATE TABLE OTHER(NAME)"));
    TargetPageFixture f(db, QStringLiteral("VISITORS"), {"NAME"});
    f.page().Text1->setText(QStringLiteral("MY_COPY"));
    f.page().Check2->click();
    f.wizard.form3().Check2->click();
    f.choose(QStringLiteral("OTHER"), {});
    QVERIFY(f.page().isVisible());
    QCOMPARE(f.page().Text1->text(), QStringLiteral("MY_COPY"));
}

void TargetPageTest::refusalsAndDeclinesLeaveThePageReady() {
    TempDatabase db;
    MakeVisitors(db);
    db.exec(QStringLiteral("CREATE TABLE TAKEN(X)"));
    MessageLog messages;
    TargetPageFixture f(db, QStringLiteral("VISITORS"), {"NAME"});
    Form4& page = f.page();
    page.Text1->setText(QStringLiteral("VISITORS"));
    page.Check4->click();
    QCOMPARE(messages.shown.size(), 1);
    QVERIFY(messages.shown.first().contains(QStringLiteral("copied from")));
    for (const QString& name :
         {QStringLiteral("   "), QStringLiteral("\t"), QStringLiteral("T\n2")}) {
        messages.shown.clear();
        page.Text1->setText(name);
        page.Check4->click();
        QCOMPARE(messages.shown.size(), 1);
    }
    QCOMPARE(db.column(QStringLiteral("SELECT count(*) FROM sqlite_master")), QStringList{"2"});
    messages.shown.clear();
    page.Text1->setText(QStringLiteral("TAKEN"));
    page.Check4->click();
    QCOMPARE(messages.asked.size(), 1);
    QCOMPARE(messages.shown.size(), 0);
    QCOMPARE(page.Check4->text(), QStringLiteral("Finish"));
    QCOMPARE(page.pointer(), WizardPage::Pointer::Ordinary);
    QCOMPARE(db.column(QStringLiteral("SELECT count(*) FROM TAKEN")), QStringList{"0"});
    messages.answers << true;
    page.Check4->click();
    QVERIFY(messages.shown.last().startsWith(QStringLiteral("Done.")));
    QCOMPARE(db.column(QStringLiteral("SELECT count(*) FROM TAKEN")), QStringList{"3"});
}

void TargetPageTest::clicksDuringARunStartNothing() {
    TempDatabase db;
    makeBig(db);
    MessageLog messages;
    TargetPageFixture f(db, QStringLiteral("BIG"), {"A"});
    Form4& page = f.page();
    int clicks = 0;
    QTimer poke;
    QObject::connect(&poke, &QTimer::timeout, [&] {
        if (!page.isRunning())
            return;
        ++clicks;
        page.Check4->click();
        page.Check2->click();
        QTest::keyClicks(page.Text1, QStringLiteral("OTHER"));
    });
    poke.start(0);
    page.Check4->click();
    poke.stop();
    QVERIFY(clicks > 0);
    // The grid shows the table the run made, under the name it took.
    QCOMPARE(page.Text1->text(), QStringLiteral("BIG2"));
    QCOMPARE(page.DataGrid1->model()->headerData(1, Qt::Horizontal).toString(),
             QStringLiteral("A"));
    QVERIFY(messages.shown.size() == 1 && messages.shown.first().startsWith("Done."));
    QVERIFY(page.isVisible());
    QVERIFY(!f.wizard.form3().isVisible());
    QCOMPARE(db.column(QStringLiteral("SELECT count(*) FROM BIG2")), QStringList{"1000"});
}

void TargetPageTest::cancelDuringARunLeavesNothingBehind() {
    TempDatabase db;
    makeBig(db);
    MessageLog messages;
    TargetPageFixture f(db, QStringLiteral("BIG"), {"A"});
    QSignalSpy ended(&f.wizard, &Wizard::ended);
    QTimer::singleShot(0, f.page().Check1, &QPushButton::click);
    f.page().Check4->click();
    QCOMPARE(ended.count(), 1);
    QVERIFY(messages.shown.isEmpty());
    QCOMPARE(db.column(QStringLiteral("SELECT count(*) FROM sqlite_master WHERE name = 'BIG2'")),
             QStringList{"0"});
}

void TargetPageTest::minimizedWindowIsRestoredWhenDone() {
    TempDatabase db;
    MakeVisitors(db);
    MessageLog messages;
    TargetPageFixture f(db, QStringLiteral("VISITORS"), {"NAME"});
    f.page().setWindowState(Qt::WindowMinimized);
    QVERIFY(f.page().isMinimized());
    f.page().Check4->click();
    QVERIFY(!f.page().isMinimized());
    QVERIFY(messages.shown.size() == 1 && messages.shown.first().startsWith("Done."));
}

VARNOLT_TEST_MAIN(TargetPageTest)
#include "test_target_page.moc"
