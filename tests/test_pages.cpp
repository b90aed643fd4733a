// The table page and the field page driven as a user would: the preview, the
// column lists and their buttons, and what "Next >" records.
#include "TestSupport.h"

#include "core/Values.h"
#include "db/Session.h"
#include "pages/Form1.h"
#include "pages/Form2.h"
#include "pages/Form3.h"
#include "pages/Form4.h"
#include "pages/Wizard.h"
#include "ui/GridSource.h"
#include "ui/Lists.h"
#include "ui/PageButton.h"
#include "ui/Windows.h"

#include <QLineEdit>
#include <QListWidget>
#include <QTableView>

namespace {

// A wizard connected to `db` and standing on the field page for `table`.
struct FieldPageFixture : WizardDriver {
    FieldPageFixture(const TempDatabase& db, const QString& table) : WizardDriver(db) {
        connect().chooseTable(table);
    }
    void choose(const QString& table) {
        chooseTable(table);
        QVERIFY(wizard.form3().isVisible());
    }
    Form3& page() { return wizard.form3(); }
    void select(QListWidget* list, const QString& text) {
        list->setCurrentItem(list->findItems(text, Qt::MatchExactly).first());
    }
    void doubleClick(QListWidget* list, const QString& text) {
        QListWidgetItem* item = list->findItems(text, Qt::MatchExactly).first();
        const QPoint at = list->visualItemRect(item).center();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
    }
    // Which of ">", ">>", "<", "<<", "Next >" are enabled.
    QList<bool> buttons() {
        Form3& p = page();
        return {p.Check5->isEnabled(), p.Check6->isEnabled(), p.Check7->isEnabled(),
                p.Check8->isEnabled(), p.Check3->isEnabled()};
    }
};

} // namespace

class PagesTest : public QObject {
    Q_OBJECT
private slots:
    void previewShowsTheChosenTableReadOnly();
    void previewOfAnEmptyTableShowsItsHeadings();
    void gridsHoldNothingOpenAndShowLittleOfLargeValues();
    void internalTablesHiddenAndGeneratedColumnsOffered();
    void oddTableNamesWork();
    void moveOneNeedsASelection();
    void chosenOrderBecomesSelectedFields();
    void moveAllAndBackKeepOrderAndSetButtons();
    void doubleClicksMoveWithoutMessages();
    void chosenColumnsSurviveGoingBackAndAnotherTable();
    void buttonsFollowTheListsAfterChosenColumnsAreTakenOut();
    void previewSessionsAreReleasedWhenRebound();
};

void PagesTest::previewShowsTheChosenTableReadOnly() {
    TempDatabase db;
    db.exec(QStringLiteral("CREATE TABLE EMP(ID, NAME, CITY);"
                           "INSERT INTO EMP VALUES (1, 'Ann', 'Oslo'), (2, 'Bob', NULL);"
                           "CREATE TABLE DEPT(DNO)"));
    MessageLog messages;
    FieldPageFixture f(db, QStringLiteral("EMP"));
    Form3& page = f.page();
    QCOMPARE(page.windowTitle(), QStringLiteral("Varnolt"));
    QCOMPARE(itemsOf(page.List1), (QStringList{"ID", "NAME", "CITY"}));
    QCOMPARE(Ui::SelectedRow(page.List1), 0);
    QAbstractItemModel* model = page.preview().model();
    QVERIFY(model);
    QCOMPARE(model->rowCount(), 2);
    QCOMPARE(model->headerData(1, Qt::Horizontal).toString(), QStringLiteral("NAME"));
    QCOMPARE(model->index(1, 1).data().toString(), QStringLiteral("Bob"));
    QVERIFY(!(model->flags(model->index(0, 1)) & Qt::ItemIsEditable));
    QCOMPARE(page.DataGrid1->editTriggers(), QAbstractItemView::NoEditTriggers);
    QCOMPARE(f.buttons(), (QList<bool>{true, true, false, false, false}));
    QVERIFY(!page.Check10->isEnabled());
    QVERIFY(messages.shown.isEmpty());
}

void PagesTest::previewOfAnEmptyTableShowsItsHeadings() {
    TempDatabase db;
    db.exec(QStringLiteral("CREATE TABLE EMPTY_LOG(AT, MESSAGE)"));
    FieldPageFixture f(db, QStringLiteral("EMPTY_LOG"));
    QAbstractItemModel* model = f.page().preview().model();
    QCOMPARE(model->rowCount(), 0);
    QCOMPARE(model->columnCount(), 2);
    QCOMPARE(model->headerData(0, Qt::Horizontal).toString(), QStringLiteral("AT"));
}

void PagesTest::gridsHoldNothingOpenAndShowLittleOfLargeValues() {
    TempDatabase db;
    db.exec(QStringLiteral("CREATE TABLE BIG(ID, T, B);"
                           "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n "
                           "WHERE i < 5000) INSERT INTO BIG SELECT i, "
                           "replace(hex(zeroblob(1000)), '00', 'xy'), zeroblob(64) FROM n"));
    // Another program writes while the grids show the table: with a statement
    // left open it would find the file locked.
    const auto write = [&] {
        db.exec(QStringLiteral("BEGIN IMMEDIATE; INSERT INTO BIG VALUES (0, 'w', NULL); COMMIT"));
    };
    MessageLog messages;
    FieldPageFixture f(db, QStringLiteral("BIG"));
    QAbstractItemModel* model = f.page().DataGrid1->model();
    QVERIFY(model->rowCount() < 5000);
    QCOMPARE(model->index(0, 1).data().toString().size(), 301);
    QCOMPARE(model->index(0, 2).data().toString(), QStringLiteral("(64 bytes)"));
    write();
    const int firstPage = model->rowCount();
    f.page().DataGrid1->scrollToBottom();
    QTRY_VERIFY(model->rowCount() > firstPage);
    write();

    f.page().Check6->click();
    f.page().Check3->click();
    f.wizard.form4().Check4->click();
    QVERIFY(messages.shown.size() == 1 && messages.shown.first().startsWith("Done."));
    QCOMPARE(f.wizard.form4().DataGrid1->model()->index(0, 0).data().toString(),
             QStringLiteral("1"));
    write();
}

void PagesTest::internalTablesHiddenAndGeneratedColumnsOffered() {
    TempDatabase db;
    db.exec(QStringLiteral("CREATE VIRTUAL TABLE F USING fts5(body);"
                           "CREATE TABLE G(ID, g1 GENERATED ALWAYS AS (ID * 2) VIRTUAL);"
                           "INSERT INTO G(ID) VALUES (1), (2)"));
    MessageLog messages;
    FieldPageFixture f(db, QStringLiteral("G"));
    QCOMPARE(itemsOf(f.wizard.form2().List1), (QStringList{"F", "G"}));
    QCOMPARE(itemsOf(f.page().List1), (QStringList{"ID", "g1"}));
    QCOMPARE(f.page().DataGrid1->model()->index(1, 1).data().toInt(), 4);
}

void PagesTest::oddTableNamesWork() {
    TempDatabase db;
    db.exec(QStringLiteral("CREATE TABLE \"my orders\"(\"item name\", qty);"
                           "INSERT INTO \"my orders\" VALUES ('Pen', 2);"
                           "CREATE TABLE \"it's\"(\"a, b\", c)"));
    MessageLog messages;
    FieldPageFixture f(db, QStringLiteral("my orders"));
    QCOMPARE(itemsOf(f.page().List1), (QStringList{"item name", "qty"}));
    QCOMPARE(f.page().preview().model()->rowCount(), 1);
    f.page().Check2->click();
    f.choose(QStringLiteral("it's"));
    QCOMPARE(itemsOf(f.page().List1), (QStringList{"a, b", "c"}));
    f.page().Check6->click();
    f.page().Check3->click();
    QCOMPARE(f.wizard.selectedFields, (QStringList{"a, b", "c"}));
    QVERIFY(messages.shown.isEmpty());
}

void PagesTest::moveOneNeedsASelection() {
    TempDatabase db;
    db.exec(QStringLiteral("CREATE TABLE EMP(ID, NAME, CITY)"));
    MessageLog messages;
    FieldPageFixture f(db, QStringLiteral("EMP"));
    Form3& page = f.page();
    page.Check5->click(); // the first column is selected on entry
    QCOMPARE(itemsOf(page.List2), QStringList{"ID"});
    QCOMPARE(Ui::SelectedRow(page.List1), -1);
    page.Check5->click();
    QCOMPARE(messages.shown, QStringList{"Please select a field first."});
    QCOMPARE(itemsOf(page.List1), (QStringList{"NAME", "CITY"}));
    QCOMPARE(itemsOf(page.List2), QStringList{"ID"});

    page.List2->clearSelection();
    page.Check7->click();
    QCOMPARE(messages.shown.size(), 2);
    QCOMPARE(itemsOf(page.List2), QStringList{"ID"});
}

void PagesTest::chosenOrderBecomesSelectedFields() {
    TempDatabase db;
    db.exec(QStringLiteral("CREATE TABLE T(A, B, C, \"lower case\")"));
    FieldPageFixture f(db, QStringLiteral("T"));
    Form3& page = f.page();
    for (const QString& column : {QStringLiteral("C"), QStringLiteral("A"), QStringLiteral("B")}) {
        f.select(page.List1, column);
        page.Check5->click();
    }
    QCOMPARE(itemsOf(page.List2), (QStringList{"C", "A", "B"}));
    page.Check3->click();
    QCOMPARE(f.wizard.selectedFields, (QStringList{"C", "A", "B"}));
    QVERIFY(f.wizard.form4().isVisible());

    f.wizard.form4().Check2->click();
    page.Check8->click();
    f.select(page.List1, QStringLiteral("lower case"));
    page.Check5->click();
    page.Check3->click();
    QCOMPARE(f.wizard.selectedFields, QStringList{"lower case"});
}

void PagesTest::moveAllAndBackKeepOrderAndSetButtons() {
    TempDatabase db;
    db.exec(QStringLiteral("CREATE TABLE T(A, B, C)"));
    MessageLog messages;
    FieldPageFixture f(db, QStringLiteral("T"));
    Form3& page = f.page();
    f.select(page.List1, QStringLiteral("B"));
    page.Check5->click();
    page.Check6->click();
    QCOMPARE(itemsOf(page.List2), (QStringList{"B", "A", "C"}));
    QVERIFY(itemsOf(page.List1).isEmpty());
    QCOMPARE(f.buttons(), (QList<bool>{false, false, true, true, true}));

    f.select(page.List2, QStringLiteral("A"));
    page.Check7->click();
    QCOMPARE(itemsOf(page.List1), QStringList{"A"});
    QCOMPARE(f.buttons(), (QList<bool>{true, true, true, true, true}));
    f.select(page.List2, QStringLiteral("B"));
    page.Check7->click(); // back to the end, not to its old place
    QCOMPARE(itemsOf(page.List1), (QStringList{"A", "B"}));

    page.Check8->click();
    QCOMPARE(itemsOf(page.List1), (QStringList{"A", "B", "C"}));
    QCOMPARE(f.buttons(), (QList<bool>{true, true, false, false, false}));
    QVERIFY(messages.shown.isEmpty());
}

void PagesTest::doubleClicksMoveWithoutMessages() {
    TempDatabase db;
    db.exec(QStringLiteral("CREATE TABLE T(A, B)"));
    MessageLog messages;
    FieldPageFixture f(db, QStringLiteral("T"));
    Form3& page = f.page();
    f.doubleClick(page.List1, QStringLiteral("B"));
    QCOMPARE(itemsOf(page.List2), QStringList{"B"});
    QCOMPARE(itemsOf(page.List1), QStringList{"A"});
    f.doubleClick(page.List2, QStringLiteral("B"));
    QCOMPARE(itemsOf(page.List1), (QStringList{"A", "B"}));
    QVERIFY(itemsOf(page.List2).isEmpty());
    // A double-click below the items changes nothing.
    QTest::mouseDClick(page.List2->viewport(), Qt::LeftButton, {}, QPoint(5, 100));
    QTest::mouseDClick(page.List1->viewport(), Qt::LeftButton, {}, QPoint(5, 100));
    QCOMPARE(itemsOf(page.List1), (QStringList{"A", "B"}));
    QVERIFY(messages.shown.isEmpty());
}

void PagesTest::chosenColumnsSurviveGoingBackAndAnotherTable() {
    TempDatabase db;
    db.exec(QStringLiteral("CREATE TABLE EMP(ID, NAME, CITY); CREATE TABLE DEPT(DNO, NAME)"));
    FieldPageFixture f(db, QStringLiteral("EMP"));
    Form3& page = f.page();
    f.select(page.List1, QStringLiteral("NAME"));
    page.Check5->click();
    page.Check2->click();
    QVERIFY(f.wizard.form2().isVisible());
    QCOMPARE(f.wizard.form2().List1->currentItem()->text(), QStringLiteral("EMP"));
    f.choose(QStringLiteral("DEPT"));
    QCOMPARE(itemsOf(page.List2), QStringList{"NAME"});
    QCOMPARE(itemsOf(page.List1), QStringList{"DNO"});
    QCOMPARE(f.wizard.selectedTable, QStringLiteral("DEPT"));
    f.page().Check2->click();
    f.choose(QStringLiteral("EMP"));
    QCOMPARE(itemsOf(page.List1), (QStringList{"ID", "CITY"}));
    QCOMPARE(itemsOf(page.List2), QStringList{"NAME"});
}

void PagesTest::buttonsFollowTheListsAfterChosenColumnsAreTakenOut() {
    TempDatabase db;
    db.exec(QStringLiteral("CREATE TABLE T(A, B); CREATE TABLE U(A, C)"));
    MessageLog messages;
    FieldPageFixture f(db, QStringLiteral("T"));
    Form3& page = f.page();
    page.Check6->click();
    page.Check3->click();
    f.wizard.form4().Check2->click();
    QVERIFY(page.isVisible());
    QVERIFY(itemsOf(page.List1).isEmpty());
    QCOMPARE(f.buttons(), (QList<bool>{false, false, true, true, true}));

    // The first column is among the chosen ones: the first remaining one is selected.
    f.select(page.List2, QStringLiteral("B"));
    page.Check7->click();
    page.Check2->click();
    f.choose(QStringLiteral("U"));
    QCOMPARE(itemsOf(page.List1), QStringList{"C"});
    QCOMPARE(Ui::SelectedRow(page.List1), 0);
    QVERIFY(messages.shown.isEmpty());
}

void PagesTest::previewSessionsAreReleasedWhenRebound() {
    TempDatabase db;
    db.exec(QStringLiteral("CREATE TABLE T(A); CREATE TABLE U(B)"));
    const int before = Db::RegisteredConnections();
    {
        FieldPageFixture f(db, QStringLiteral("T"));
        QCOMPARE(Db::RegisteredConnections(), before + 1);
        f.page().Check2->click();
        f.choose(QStringLiteral("U"));
        QCOMPARE(Db::RegisteredConnections(), before + 1);
        QCOMPARE(f.page().preview().model()->headerData(0, Qt::Horizontal).toString(),
                 QStringLiteral("B"));
    }
    QCOMPARE(Db::RegisteredConnections(), before);
}

VARNOLT_TEST_MAIN(PagesTest)
#include "test_pages.moc"
