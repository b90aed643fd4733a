// The wizard driven as a user drives it: start-up and the stored connection,
// one scenario per page, the look of the pages, and what the pages say.
#include "TestSupport.h"

#include "core/SettingsStore.h"
#include "db/Session.h"
#include "engine/DuplicateRemoval.h"
#include "pages/Form1.h"
#include "pages/Form2.h"
#include "pages/Form3.h"
#include "pages/Form4.h"
#include "pages/Wizard.h"
#include "ui/HandCursor.h"
#include "ui/Lists.h"
#include "ui/Messages.h"
#include "ui/PageButton.h"
#include "ui/Windows.h"

#include <QAccessible>
#include <QCheckBox>
#include <QFile>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QScreen>
#include <QSignalSpy>
#include <QTableView>
#include <QTimer>

namespace {

// Read and write for the owner alone.
const QFile::Permissions kOwnerOnly =
    QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser;

// Presses `key` in the message box that opens next.
void answerNextBox(Qt::Key key) {
    QTimer::singleShot(0, [key] {
        QWidget* box = QApplication::activeModalWidget();
        QVERIFY(box);
        QTest::keyClick(box, key);
    });
}

void hover(QWidget* widget, QPoint at = {}) {
    QWidget* window = widget->window();
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window));
    QTest::mouseMove(window, widget->mapTo(window, at.isNull() ? widget->rect().center() : at));
    QCoreApplication::processEvents();
}

// A wizard on the target page of a run over `table`, `columns` chosen.
// A key pressed where the focus is, as a user presses it.
void press(QWidget* widget, Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    widget->setFocus();
    QTest::keyClick(widget, key, modifiers);
}

} // namespace

class WizardTest : public QObject {
    Q_OBJECT
private slots:
    // First, while the real message boxes are still in place.
    void messageBoxesSayNoUnlessYesIsChosen();
    void init() { ClearSettings(); }

    void startsOnTheConnectionPageOrGoesOnWithStoredData();
    void connectionDataIsStoredAsTypedForItsOwnerOnly();
    void connectionPageButtons();
    void pagesMoveForwardAndBackAndAnyPageEndsTheProgram();
    void fieldPageMovesColumnsBetweenItsLists();
    void targetPageRunsOnceThenExits();
    void refusedNamesAndTheReplaceQuestion();
    void duringARunOnlyCancelActsAndGridsHoldNothingOpen();
    void everyPageLaysOutItsControlsInside();
    void pointerFollowsTheHoverRulesAndBusyWins();
    void aWholeRunByKeyboard();
    void gridsTellNullFromEmptyAndShowBlanks();
};

void WizardTest::messageBoxesSayNoUnlessYesIsChosen() {
    for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Escape, Qt::Key_Y}) {
        answerNextBox(key);
        QCOMPARE(Messages::ask(QStringLiteral("Replace?")), key == Qt::Key_Y);
    }
    answerNextBox(Qt::Key_Return);
    Messages::show(QStringLiteral("Done."));
}

void WizardTest::startsOnTheConnectionPageOrGoesOnWithStoredData() {
    for (const int draw : {1, 6, 8, 100, 7}) {
        MessageLog messages;
        FakeStartup startup;
        startup.draw = draw;
        Wizard wizard(startup.services());
        wizard.start();
        Form1& page = wizard.form1();
        QVERIFY(page.isVisible() && !wizard.hasForm2());
        QCOMPARE(startup.opened.size(), draw == 7 ? 1 : 0);
        const QPointF centre = Ui::CenteredPosition(
            QSizeF(page.size()), QRectF(QGuiApplication::primaryScreen()->geometry()));
        QVERIFY(qAbs(page.x() - centre.x()) <= 1 && qAbs(page.y() - centre.y()) <= 1);
        QVERIFY(messages.shown.isEmpty());
        QVERIFY(!QFile::exists(SettingsStore().fileName())); // nothing typed, nothing written
    }

    TempDatabase db;
    db.exec(QStringLiteral("CREATE TABLE EMP(ID); CREATE TABLE DEPT(ID)"));
    SettingsStore().write(SettingsStore::kSid, db.path());
    MessageLog messages;
    WizardDriver run;
    QVERIFY(run.wizard.form2().isVisible() && !run.wizard.form1().isVisible());
    QCOMPARE(itemsOf(run.wizard.form2().List1), (QStringList{"EMP", "DEPT"}));
    QCOMPARE(Ui::SelectedRow(run.wizard.form2().List1), 0);
    QVERIFY(messages.shown.isEmpty());

    // Another program holds the file locked while the tables are listed: the
    // error says what the start was doing.
    Db::FaultInjection::failAt(Db::FaultInjection::Point::Statement, 1, QStringLiteral("5"),
                               QStringLiteral("database is locked"));
    WizardDriver locked;
    Db::FaultInjection::clear();
    QCOMPARE(messages.shown, QStringList{"Error 5: database is locked"});
    QVERIFY2(messages.details.first().contains(
                 QStringLiteral("While connecting to the stored connection %1 at start-up")
                     .arg(db.path())),
             qPrintable(messages.details.first()));
    // A database given at the start (varnolt FILE) is opened in place of the
    // stored one.
    TempDatabase given;
    given.exec(QStringLiteral("CREATE TABLE OTHER(ID)"));
    FakeStartup startup;
    Wizard opened(startup.services());
    opened.start(given.path());
    QVERIFY(opened.form2().isVisible());
    QCOMPARE(itemsOf(opened.form2().List1), QStringList{"OTHER"});
}

void WizardTest::connectionDataIsStoredAsTypedForItsOwnerOnly() {
    const QString sid = QStringLiteral("  //db:1521/x;y=z Ærø 東京  ");
    const QString password = QStringLiteral(" p;w=\"d' ");
    {
        WizardDriver typed;
        Form1& page = typed.wizard.form1();
        // Each keystroke reaches the file itself, not only this process's copy.
        QTest::keyClicks(page.Text1, QStringLiteral("k"));
        QVERIFY(SettingsFileText().contains("OracleSID=k\n"));
        page.Text1->setText(QStringLiteral("kx")); // no event loop in between
        QVERIFY(SettingsFileText().contains("OracleSID=kx\n"));
        page.Text1->setText(sid);
        page.Text3->setText(password);
        QCOMPARE(page.Text3->displayText(), QString(password.size(), QChar('*')));
        // Where it is kept, since no keyring service exists here.
        QVERIFY(page.NoKeyringLine->isVisibleTo(&page));
        page.Check1->click();
    }
    const QString file = SettingsStore().fileName();
    QCOMPARE(QFile::permissions(file), kOwnerOnly);
    WizardDriver restarted;
    QCOMPARE(restarted.wizard.form1().Text1->text(), sid);
    QCOMPARE(restarted.wizard.form1().Text3->text(), password);
    // A file someone opened up is closed again at the next write.
    QFile::setPermissions(file, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther);
    restarted.wizard.form1().Text2->setText(QStringLiteral("scott"));
    QCOMPARE(QFile::permissions(file), kOwnerOnly);
}

void WizardTest::connectionPageButtons() {
    TempDatabase db;
    MessageLog messages;
    WizardDriver run;
    Wizard& wizard = run.wizard;
    Form1& page = wizard.form1();
    page.Text1->setText(QStringLiteral("/no/such/file.sqlite"));
    page.Check3->click(); // wrong data: "Next >" does nothing
    QVERIFY(page.isVisible() && !wizard.hasForm2());
    page.Check5->click();
    page.Text1->setText(db.path());
    page.Check5->click();
    QCOMPARE(messages.shown, (QStringList{"Could not connect. Please check with your "
                                          "administrator.",
                                          "Connection successful."}));
    // The details say why, in the words of whoever refused.
    QVERIFY2(messages.details.first().contains("While connecting to /no/such/file.sqlite") &&
                 messages.details.first().contains("There is no file /no/such/file.sqlite."),
             qPrintable(messages.details.first()));
    page.Check6->click(); // Help: what a SID is, then the note on large objects
    page.Check7->click(); // "?": what a SID is
    QCOMPARE(messages.shown.size(), 5);
    QCOMPARE(messages.shown.at(4), messages.shown.at(2));
    QVERIFY(messages.shown.at(3) != messages.shown.at(2));
    QCOMPARE(page.pointer(), WizardPage::Pointer::Ordinary);
    QVERIFY(!wizard.hasForm2());
}

void WizardTest::pagesMoveForwardAndBackAndAnyPageEndsTheProgram() {
    TempDatabase db;
    MakeVisitors(db);
    MessageLog messages;
    for (int page = 0; page < 4; ++page) {
        for (const bool close : {false, true}) {
            OnTargetPage run(db, QStringLiteral("VISITORS"), {"NAME"});
            Wizard& w = run.wizard;
            const QList<WizardPage*> pages{&w.form1(), &w.form2(), &w.form3(), &w.form4()};
            const QList<QPushButton*> backs{nullptr, w.form2().Check2, w.form3().Check2,
                                            w.form4().Check2};
            const QList<QPushButton*> cancels{w.form1().Check1, w.form2().Check1, w.form3().Check1,
                                              w.form4().Check1};
            for (int at = 3; at > page; --at) {
                QVERIFY(pages[at]->isVisible() && !pages[at - 1]->isVisible());
                backs[at]->click();
            }
            QVERIFY(pages[page]->isVisible());
            QSignalSpy ended(&w, &Wizard::ended);
            if (close)
                pages[page]->close();
            else
                cancels[page]->click();
            QCOMPARE(ended.count(), 1);
            for (const WizardPage* each : pages)
                QVERIFY(!each->isVisible());
        }
    }
    QVERIFY(messages.shown.isEmpty());
}

void WizardTest::fieldPageMovesColumnsBetweenItsLists() {
    TempDatabase db;
    db.exec(QStringLiteral("CREATE TABLE T(A, B, C, \"lower case\");"
                           "CREATE TABLE \"it's\"(\"a, b\", c, A)"));
    MessageLog messages;
    WizardDriver run(db);
    run.connect().chooseTable(QStringLiteral("T"));
    Form3& page = run.wizard.form3();
    const auto buttons = [&] {
        return QList<bool>{page.Check5->isEnabled(), page.Check6->isEnabled(),
                           page.Check7->isEnabled(), page.Check8->isEnabled(),
                           page.Check3->isEnabled()};
    };
    QCOMPARE(buttons(), (QList<bool>{true, true, false, false, false}));
    QCOMPARE(page.DataGrid1->editTriggers(), QAbstractItemView::NoEditTriggers);
    page.List1->setCurrentItem(nullptr);
    page.Check5->click();
    QCOMPARE(messages.shown, QStringList{"Please select a field first."});
    for (const QString& column : {QStringLiteral("C"), QStringLiteral("A")}) {
        selectItem(page.List1, column);
        page.Check5->click();
    }
    selectItem(page.List1, QStringLiteral("B"));
    emit page.List1->itemDoubleClicked(page.List1->currentItem());
    QCOMPARE(itemsOf(page.List2), (QStringList{"C", "A", "B"}));
    QCOMPARE(itemsOf(page.List1), QStringList{"lower case"});
    QCOMPARE(Ui::SelectedRow(page.List1), 0);
    QCOMPARE(buttons(), (QList<bool>{true, true, true, true, true}));
    page.Check8->click(); // "<<"
    QCOMPARE(itemsOf(page.List1), (QStringList{"lower case", "C", "A", "B"}));
    QCOMPARE(buttons(), (QList<bool>{true, true, false, false, false}));
    page.Check6->click(); // ">>"
    QCOMPARE(buttons(), (QList<bool>{false, false, true, true, true}));
    selectItem(page.List2, QStringLiteral("lower case"));
    page.Check7->click(); // "<"
    page.Check3->click();
    QCOMPARE(Db::NamesOf(run.wizard.choices().columns), (QStringList{"C", "A", "B"}));
    QCOMPARE(messages.shown.size(), 1);

    // Back to another table and forward again: the choice stays, and the
    // available list holds only what is not chosen.
    run.wizard.form4().Check2->click();
    page.Check2->click();
    run.chooseTable(QStringLiteral("it's"));
    QCOMPARE(itemsOf(page.List2), (QStringList{"C", "A", "B"}));
    QCOMPARE(itemsOf(page.List1), (QStringList{"a, b", "c"}));
    QCOMPARE(Ui::SelectedRow(page.List1), 0);
    QCOMPARE(page.DataGrid1->model()->headerData(0, Qt::Horizontal).toString(),
             QStringLiteral("a, b"));
}

void WizardTest::targetPageRunsOnceThenExits() {
    // A server that cuts long names is never given one to cut.
    const Db::ConnectionData file{QStringLiteral("./f.db"), {}, {}};
    const Db::ConnectionData server{QStringLiteral("postgresql:///x"), {}, {}};
    const QString e31 = QString(31, QChar(0xe9));
    for (const auto& [source, connection, proposed] :
         {std::tuple{QStringLiteral("ORDERS"), file, QStringLiteral("ORDERS2")},
          {QStringLiteral("ORDERS2"), file, QStringLiteral("ORDERS2Two")},
          {QStringLiteral("LOG12"), server, QStringLiteral("LOG12Two")},
          {QString(63, 'a'), file, QString(63, 'a') + "2"},
          {QString(63, 'a'), server, QString(62, 'a') + "2"},
          {QString(62, 'a') + "2", server, QString(60, 'a') + "Two"},
          {"x" + e31, server, "x" + e31.left(30) + "2"}})
        QCOMPARE(ProposedName(source, KindOf(connection.sid)), proposed);
    TempDatabase db;
    MakeVisitors(db);
    MessageLog messages;
    OnTargetPage run(db, QStringLiteral("VISITORS"), {"NAME", "CITY"});
    Form4& page = run.page();
    QVERIFY(!page.Check3->isEnabled());
    QCOMPARE(page.Text1->text(), QStringLiteral("VISITORS2"));

    const int connections = Db::RegisteredConnections();
    page.setWindowState(Qt::WindowMinimized);
    page.Check4->click();
    QCOMPARE(messages.shown, QStringList{"Done.\n\nVISITORS2 holds 3 rows.\n"
                                         "2 rows that repeated an earlier row were left out."});
    QVERIFY(!page.isMinimized());
    QCOMPARE(page.pointer(), WizardPage::Pointer::Ordinary);
    QCOMPARE(page.DataGrid1->model()->rowCount(), 3);
    QCOMPARE(page.DataGrid1->model()->index(2, 0).data().toInt(), 5);
    QCOMPARE(db.column(QStringLiteral("SELECT count(*) FROM VISITORS")), QStringList{"5"});
    QCOMPARE(Db::RegisteredConnections(), connections + 1); // the grid's own
    QCOMPARE(page.Check4->text(), QStringLiteral("Exit"));

    // "< Back" after a run keeps the choice and "Exit", which ends the program.
    page.Check2->click();
    QCOMPARE(itemsOf(run.wizard.form3().List2), (QStringList{"NAME", "CITY"}));
    QCOMPARE(itemsOf(run.wizard.form3().List1), QStringList{"ID"});
    run.wizard.form3().Check3->click();
    QSignalSpy ended(&run.wizard, &Wizard::ended);
    page.Check4->click();
    QCOMPARE(ended.count(), 1);
    QCOMPARE(messages.shown.size(), 1);

    OnTargetPage unique(db, QStringLiteral("VISITORS"), {"ID"});
    unique.page().Text1->setText(QStringLiteral("IDS"));
    unique.page().Check4->click();
    QCOMPARE(messages.shown.last(),
             QStringLiteral("Done.\n\nIDS holds 5 rows.\nNo row repeated another."));
    QCOMPARE(db.column("SELECT count(*) FROM sqlite_master WHERE name LIKE '%REMOVED'"),
             QStringList{"0"});

    // Kept as they were last time, the removed rows get a table of their own,
    // named after the new one.
    WizardDriver keeping(db);
    SettingsStore().write(SettingsStore::kKeepRemoved, QStringLiteral("1"));
    keeping.connect().chooseTable(QStringLiteral("VISITORS")).chooseColumns({"NAME", "CITY"});
    Form4& again = keeping.wizard.form4();
    again.Text1->setText(QStringLiteral("KEPT"));
    QCOMPARE(again.Label2->toolTip(), QStringLiteral("removed rows kept in KEPT_REMOVED"));
    again.Check4->click();
    QVERIFY(messages.shown.last().endsWith(QStringLiteral("\nKEPT_REMOVED holds them.")));
    QCOMPARE(db.column("SELECT ID FROM KEPT ORDER BY ID"), (QStringList{"1", "2", "5"}));
    QCOMPARE(db.column("SELECT VARNOLT_ROW || '<' || VARNOLT_KEPT_ROW FROM KEPT_REMOVED"),
             (QStringList{"3<1", "4<2"}));
}

void WizardTest::refusedNamesAndTheReplaceQuestion() {
    TempDatabase db;
    MakeVisitors(db);
    db.exec(QStringLiteral("CREATE TABLE TAKEN(X)"));
    MessageLog messages;
    OnTargetPage run(db, QStringLiteral("VISITORS"), {"NAME"});
    Form4& page = run.page();
    for (const QString& name : {QString(), QStringLiteral("   "), QStringLiteral("\t"),
                                QStringLiteral("T\n2"), QStringLiteral("A\"B")}) {
        messages.shown.clear();
        page.Text1->setText(name);
        page.Check4->click();
        QCOMPARE(messages.shown.size(), 1);
        QVERIFY(!messages.shown.first().startsWith(QStringLiteral("Done.")));
    }
    QVERIFY(messages.asked.isEmpty());
    page.Text1->setText(QStringLiteral("TAKEN"));
    page.Check4->click(); // asked, and no is the answer
    QCOMPARE(messages.asked.size(), 1);
    QCOMPARE(page.Check4->text(), QStringLiteral("Finish"));
    QCOMPARE(db.column(QStringLiteral("SELECT count(*) FROM TAKEN")), QStringList{"0"});
    messages.answers << true;
    page.Check4->click();
    QCOMPARE(db.column(QStringLiteral("SELECT count(*) FROM TAKEN")), QStringList{"3"});
    QCOMPARE(db.column(QStringLiteral("SELECT count(*) FROM sqlite_master")), (QStringList{"2"}));

    // The source's own name asks to clean it in place: No changes nothing,
    // Yes keeps the repeats aside and says how to put them back.
    OnTargetPage inPlace(db, QStringLiteral("VISITORS"), {"NAME"});
    Form4& own = inPlace.page();
    const QByteArray before = db.fileHash();
    own.Text1->setText(QStringLiteral("visitors"));
    own.Check4->click();
    QVERIFY(messages.asked.last().startsWith("Remove the repeats from VISITORS itself?"));
    QCOMPARE(db.fileHash(), before);
    messages.answers << true;
    own.Check4->click();
    QCOMPARE(db.column("SELECT ID FROM VISITORS"), (QStringList{"1", "2", "5"}));
    QCOMPARE(db.column("SELECT ID FROM VISITORS_REMOVED"), (QStringList{"3", "4"}));
    QVERIFY2(messages.shown.last().contains("restore"), qPrintable(messages.shown.last()));
}

void WizardTest::duringARunOnlyCancelActsAndGridsHoldNothingOpen() {
    TempDatabase db;
    db.exec(QStringLiteral("CREATE TABLE BIG(ID, A, T, B);"
                           "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n "
                           "WHERE i < 100000) INSERT INTO BIG SELECT i, i % 1000, CASE i WHEN 1 "
                           "THEN replace(hex(zeroblob(1000)), '00', 'xy') END, CASE i WHEN 1 "
                           "THEN zeroblob(64) END FROM n;"
                           "CREATE TABLE OTHER(X)"));
    // Another program writes while a grid shows the table: a statement left
    // open between pages would keep the file locked.
    const auto write = [&] {
        db.exec(QStringLiteral("BEGIN IMMEDIATE; INSERT INTO OTHER VALUES (1); COMMIT"));
    };
    MessageLog messages;
    OnTargetPage run(db, QStringLiteral("BIG"), {"A"});
    write();
    QAbstractItemModel* preview = run.wizard.form3().DataGrid1->model();
    const int firstPage = preview->rowCount();
    QVERIFY(firstPage < 100000);
    QCOMPARE(preview->index(0, 2).data().toString().size(), 301); // cut, with a mark
    QCOMPARE(preview->index(0, 3).data().toString(), QStringLiteral("(64 bytes)"));
    run.wizard.form3().DataGrid1->scrollToBottom();
    QTRY_VERIFY(preview->rowCount() > firstPage);
    write();
    // Page after page, every row comes once and in order.
    while (preview->canFetchMore({}))
        preview->fetchMore({});
    QCOMPARE(preview->rowCount(), 100000);
    for (int row = 0; row < preview->rowCount(); row += 997)
        QCOMPARE(preview->index(row, 0).data().toString(), QString::number(row + 1));

    Form4& page = run.page();
    QStringList phases;
    int pokes = 0;
    QTimer poke;
    QObject::connect(&poke, &QTimer::timeout, [&] {
        if (!page.isRunning())
            return;
        ++pokes;
        page.Check4->click();
        page.Check2->click();
        QTest::keyClicks(page.Text1, QStringLiteral("OTHER"));
        // The phase is read out as the words it shows.
        for (const QLabel* label : page.findChildren<QLabel*>()) {
            if (label->isVisible() && label->accessibleName() == label->text() &&
                label->text().contains(QStringLiteral("the")))
                phases << label->text();
        }
    });
    poke.start(0);
    page.Check4->click();
    poke.stop();
    QVERIFY(pokes > 0 && phases.contains(PhaseText(Phase::Writing)));
    QCOMPARE(messages.shown.size(), 1);
    QVERIFY(page.isVisible() && !run.wizard.form3().isVisible());
    // The grid shows the table the run made, under the name it took.
    QCOMPARE(page.Text1->text(), QStringLiteral("BIG2"));
    QCOMPARE(page.DataGrid1->model()->headerData(1, Qt::Horizontal).toString(),
             QStringLiteral("A"));
    QCOMPARE(db.column(QStringLiteral("SELECT count(*) FROM BIG2")), QStringList{"1000"});
    write();
}

void WizardTest::everyPageLaysOutItsControlsInside() {
    TempDatabase db;
    MakeVisitors(db);
    OnTargetPage run(db, QStringLiteral("VISITORS"), {"NAME"});
    for (WizardPage* page : QList<WizardPage*>{&run.wizard.form1(), &run.wizard.form2(),
                                               &run.wizard.form3(), &run.wizard.form4()}) {
        QCOMPARE(page->minimumSize(), page->maximumSize());
        QCOMPARE(page->palette().color(QPalette::Window), QColor(Qt::white));
        QList<QWidget*> controls;
        for (QWidget* child : page->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
            if (!child->isHidden())
                controls << child;
        }
        // A label's box may run under its neighbour; the controls that take
        // input may not overlap.
        for (qsizetype i = 0; i < controls.size(); ++i) {
            QVERIFY(page->rect().contains(controls[i]->geometry()));
            for (qsizetype j = i + 1; j < controls.size(); ++j) {
                if (qobject_cast<QLabel*>(controls[i]) || qobject_cast<QLabel*>(controls[j]))
                    continue;
                QVERIFY2(!controls[i]->geometry().intersects(controls[j]->geometry()),
                         qPrintable(QStringLiteral("%1 / %2").arg(
                             controls[i]->metaObject()->className(),
                             controls[j]->metaObject()->className())));
            }
        }
        // Tab visits every control that takes the focus once, then comes back.
        QList<QWidget*> focusable;
        for (QWidget* control : controls) {
            if (control->focusPolicy() & Qt::TabFocus)
                focusable << control;
        }
        QWidget* first = focusable.first();
        QList<QWidget*> visited{first};
        for (QWidget* next = first->nextInFocusChain(); next != first;
             next = next->nextInFocusChain()) {
            if (focusable.contains(next))
                visited << next;
        }
        QCOMPARE(visited.size(), focusable.size());
        // A screen reader names every control by what it is or does, in a
        // few words; a long prompt goes into the description.
        for (QWidget* control : focusable) {
            QAccessibleInterface* seen = QAccessible::queryAccessibleInterface(control);
            const QString name = seen->text(QAccessible::Name);
            QVERIFY2(!name.isEmpty() && name.size() <= 40 && name != QStringLiteral("?"),
                     qPrintable(QStringLiteral("%1 on %2 is named '%3'")
                                    .arg(control->metaObject()->className(),
                                         page->metaObject()->className(), name)));
        }
    }
}

void WizardTest::pointerFollowsTheHoverRulesAndBusyWins() {
    TempDatabase db;
    MakeVisitors(db);
    QFile::remove(HandCursor::path());
    OnTargetPage run(db, QStringLiteral("VISITORS"), {"NAME"});
    Form1& f = run.wizard.form1();
    hover(f.Check3);
    QCOMPARE(f.pointer(), WizardPage::Pointer::Hand);
    hover(f.Text2);
    QCOMPARE(f.pointer(), WizardPage::Pointer::Ordinary);
    hover(f.Check7);
    hover(f.Label5); // the connection page's labels leave the pointer as it was
    QCOMPARE(f.pointer(), WizardPage::Pointer::Hand);
    hover(f.Check4); // a disabled button takes the bare page's rule
    QCOMPARE(f.pointer(), WizardPage::Pointer::Ordinary);
    hover(run.wizard.form3().Check10); // disabled, and no rule of its own
    QCOMPARE(run.wizard.form3().pointer(), WizardPage::Pointer::Ordinary);
    f.setPointer(WizardPage::Pointer::Busy);
    for (QWidget* control : std::initializer_list<QWidget*>{f.Check3, f.Text1, &f}) {
        hover(control, control == &f ? QPoint(2, 2) : QPoint());
        QCOMPARE(control->cursor().shape(), Qt::WaitCursor);
    }
    f.setPointer(WizardPage::Pointer::Ordinary);
    QCOMPARE(f.Text1->cursor().shape(), Qt::IBeamCursor);
}

// Every step of a run by keys alone, page by page, as a user who never
// touches the mouse makes it.
void WizardTest::aWholeRunByKeyboard() {
    TempDatabase db;
    MakeVisitors(db);
    db.exec(QStringLiteral("CREATE TABLE LATER(X)"));
    MessageLog messages;
    WizardDriver run(db);
    Wizard& wizard = run.wizard;
    const auto centred = [](const QWidget& page) {
        const QPointF centre =
            Ui::CenteredPosition(QSizeF(page.frameGeometry().size()),
                                 QRectF(QGuiApplication::primaryScreen()->geometry()));
        return qAbs(page.x() - centre.x()) <= 1 && qAbs(page.y() - centre.y()) <= 1;
    };

    // Connection page: Enter in a box goes on.
    press(wizard.form1().Text1, Qt::Key_Return);
    Form2& tables = wizard.form2();
    QVERIFY(tables.isVisible() && !wizard.form1().isVisible());
    // Without a table chosen the table page says so and stays.
    tables.List1->setCurrentItem(nullptr);
    press(tables.List1, Qt::Key_Return);
    QCOMPARE(messages.shown, QStringList{"Please select a table"});
    QVERIFY(tables.isVisible());
    messages.shown.clear();
    tables.List1->setCurrentRow(0);

    // Table page: Enter on a focused button presses it; back on the
    // connection page Enter goes on again, to a page centred anew.
    tables.move(0, 0);
    press(tables.Check2, Qt::Key_Return);
    QVERIFY(wizard.form1().isVisible() && !tables.isVisible());
    press(wizard.form1().Text3, Qt::Key_Enter, Qt::KeypadModifier);
    QVERIFY(tables.isVisible() && centred(tables));
    press(tables.List1, Qt::Key_Return);
    Form3& fields = wizard.form3();
    QVERIFY(fields.isVisible() && wizard.choices().table == QStringLiteral("VISITORS"));

    // Field page: Enter moves the selected column and the list keeps a
    // selection for the next; Tab and Shift+Tab leave the grid.
    const auto keys = [](QWidget* list, std::initializer_list<Qt::Key> pressed) {
        for (const Qt::Key key : pressed)
            press(list, key);
    };
    keys(fields.List1, {Qt::Key_Down, Qt::Key_Return, Qt::Key_Return});
    QCOMPARE(itemsOf(fields.List2), (QStringList{"NAME", "CITY"}));
    QCOMPARE(Ui::SelectedRow(fields.List1), 0);
    keys(fields.List2, {Qt::Key_Home, Qt::Key_Return});
    keys(fields.List1, {Qt::Key_Home, Qt::Key_Return});
    QCOMPARE(itemsOf(fields.List2), (QStringList{"CITY", "ID"}));
    QCOMPARE(Ui::SelectedRow(fields.List2), 0);
    press(fields.List2, Qt::Key_Return);
    keys(fields.List1, {Qt::Key_Up, Qt::Key_Return});
    QCOMPARE(itemsOf(fields.List2), (QStringList{"ID", "NAME"}));
    QVERIFY(fields.isVisible());
    for (const auto key : {Qt::Key_Tab, Qt::Key_Backtab}) {
        fields.DataGrid1->setFocus();
        press(fields.DataGrid1, key, key == Qt::Key_Backtab ? Qt::ShiftModifier : Qt::NoModifier);
        QVERIFY(fields.focusWidget() != fields.DataGrid1);
    }
    press(fields.List2, Qt::Key_Return); // ID back
    press(fields.DataGrid1, Qt::Key_Return);
    Form4& target = wizard.form4();
    QVERIFY(target.isVisible());
    QCOMPARE(wizard.choices().columns, (QList<Db::Column>{{"NAME", "TEXT"}}));

    // Target page: what is typed replaces the proposed name, Enter runs,
    // Escape then ends the program.
    QTest::keyClicks(target.focusWidget(), QStringLiteral("V_KBD"));
    QCOMPARE(target.Text1->text(), QStringLiteral("V_KBD"));
    press(target.Text1, Qt::Key_Return);
    QVERIFY2(messages.shown.value(0).startsWith(QStringLiteral("Done.")),
             qPrintable(messages.shown.join('|')));
    QCOMPARE(db.column(QStringLiteral("SELECT ID FROM V_KBD ORDER BY rowid")),
             (QStringList{"1", "2", "5"}));
    QSignalSpy ended(&wizard, &Wizard::ended);
    press(target.Text1, Qt::Key_Escape);
    QCOMPARE(ended.count(), 1);
}

void WizardTest::gridsTellNullFromEmptyAndShowBlanks() {
    TempDatabase db;
    db.exec(QStringLiteral("CREATE TABLE T(A, B); INSERT INTO T VALUES (NULL, ''),"
                           "('Oslo ', ' Oslo'), ('Oslo', 'NULL')"));
    OnTargetPage run(db, QStringLiteral("T"), {"A"});
    const QAbstractItemModel* grid = run.wizard.form3().DataGrid1->model();
    QStringList shown, spoken;
    for (int row = 0; row < 3; ++row) {
        for (int column = 0; column < 2; ++column) {
            const QModelIndex cell = grid->index(row, column);
            shown << cell.data().toString() +
                         (cell.data(Qt::ForegroundRole).isValid() ? "/grey" : "");
            spoken << grid->index(row, column).data(Qt::AccessibleTextRole).toString();
        }
    }
    // Every value reads differently from every other, on the screen and aloud.
    QCOMPARE(QSet<QString>(shown.begin(), shown.end()).size(), 6);
    QCOMPARE(QSet<QString>(spoken.begin(), spoken.end()).size(), 6);
    // A NULL reads as database tools show it.
    QCOMPARE(shown.first(), QStringLiteral("NULL/grey"));
}

VARNOLT_TEST_MAIN(WizardTest)
#include "test_wizard.moc"
