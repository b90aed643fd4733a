// Start-up, the connection page, the settings store and the page graph.
#include "TestSupport.h"

#include "core/SettingsStore.h"
#include "core/Values.h"
#include "db/Session.h"
#include "pages/Form1.h"
#include "pages/Form2.h"
#include "pages/Form3.h"
#include "pages/Form4.h"
#include "pages/Wizard.h"
#include "ui/Lists.h"
#include "ui/PageButton.h"
#include "ui/Windows.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QScreen>
#include <QSignalSpy>
#include <sys/stat.h>

namespace {

// Counts how often a connection page is shown, from before it exists.
class ShowCounter : public QObject {
public:
    int form1Shows = 0;
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Show && qobject_cast<Form1*>(watched))
            ++form1Shows;
        return false;
    }
};

unsigned modeOf(const QString& path) {
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return 0;
    return info.st_mode & 0777;
}

QString stored(const QString& key) {
    return SettingsStore().read(key);
}

void storeDatabase(const TempDatabase& db) {
    ClearSettings();
    SettingsStore().write(SettingsStore::kSid, db.path());
}

} // namespace

class StartupTest : public QObject {
    Q_OBJECT
private slots:
    void init() { ClearSettings(); }

    void emptyStoreShowsTheConnectionPageCentred();
    void workingStoredDataGoesStraightToTheTablePage();
    void makerPageOpensOnlyOnTheDrawOfSeven();
    void keystrokesAreStoredAsTheyHappen();
    void storedTextSurvivesARestartExactly();
    void settingsFileIsForItsOwnerOnly();
    void unusableStoreLeavesTheProgramRunning();
    void focusSelectsTheWholeText();
    void testConnectionReportsBothWays();
    void helpShowsTwoMessagesAndQuestionMarkOne();
    void nextWithWrongDataDoesNothing();
    void pageGraphMovesForwardAndBack();
    void secondConnectRebuildsTheTableList();
    void cancelAndCloseEndTheProgramOnEveryPage();
};

void StartupTest::emptyStoreShowsTheConnectionPageCentred() {
    MessageLog messages;
    FakeStartup startup;
    Wizard wizard(startup.services());
    wizard.start();
    Form1& page = wizard.form1();
    QVERIFY(page.isVisible());
    QVERIFY(!wizard.hasForm2());
    QCOMPARE(page.windowTitle(), QStringLiteral("Setup Connections"));
    QVERIFY(page.Text1->text().isEmpty() && page.Text2->text().isEmpty() &&
            page.Text3->text().isEmpty());
    QVERIFY(messages.shown.isEmpty());
    const QPointF centre = Ui::CenteredPosition(
        QSizeF(page.size()), QRectF(QGuiApplication::primaryScreen()->geometry()));
    QVERIFY(qAbs(page.x() - centre.x()) <= 1 && qAbs(page.y() - centre.y()) <= 1);
    // Nothing is written until the user changes a box.
    QVERIFY(!QFile::exists(SettingsStore().fileName()));
}

void StartupTest::workingStoredDataGoesStraightToTheTablePage() {
    TempDatabase db;
    db.exec(QStringLiteral("CREATE TABLE EMP(ID); CREATE TABLE DEPT(ID)"));
    storeDatabase(db);
    ShowCounter counter;
    qApp->installEventFilter(&counter);
    MessageLog messages;
    FakeStartup startup;
    {
        Wizard wizard(startup.services());
        wizard.start();
        QVERIFY(wizard.hasForm2());
        QVERIFY(wizard.form2().isVisible());
        QCOMPARE(wizard.form2().windowTitle(), QStringLiteral("Varnolt"));
        QCOMPARE(itemsOf(wizard.form2().List1), (QStringList{"EMP", "DEPT"}));
        QCOMPARE(Ui::SelectedRow(wizard.form2().List1), 0);
        QVERIFY(!wizard.form1().isVisible());
        QCOMPARE(wizard.form1().Text1->text(), db.path());
    }
    qApp->removeEventFilter(&counter);
    QCOMPARE(counter.form1Shows, 0);
    QVERIFY(messages.shown.isEmpty());
    QCOMPARE(Db::RegisteredConnections(), 1); // the test's own
}

void StartupTest::makerPageOpensOnlyOnTheDrawOfSeven() {
    for (const int draw : {1, 6, 8, 100, 7}) {
        FakeStartup startup;
        startup.draw = draw;
        Wizard wizard(startup.services());
        wizard.start();
        QCOMPARE(startup.opened.size(), draw == 7 ? 1 : 0);
        if (draw == 7)
            QCOMPARE(startup.opened.first(), kMakerPage);
    }
    // A start-up without an opener still goes on.
    Wizard wizard(StartupServices{{}, [] { return 7; }});
    wizard.start();
    QVERIFY(wizard.form1().isVisible());
}

void StartupTest::keystrokesAreStoredAsTheyHappen() {
    FakeStartup startup;
    Wizard wizard(startup.services());
    wizard.start();
    Form1& page = wizard.form1();
    QTest::keyClick(page.Text1, Qt::Key_K);
    QCOMPARE(stored(SettingsStore::kSid), QStringLiteral("k"));
    QTest::keyClicks(page.Text1, QStringLiteral("tn"));
    QCOMPARE(stored(SettingsStore::kSid), QStringLiteral("ktn"));
    QTest::keyClicks(page.Text2, QStringLiteral("scott"));
    QTest::keyClicks(page.Text3, QStringLiteral("tiger"));
    QCOMPARE(stored(SettingsStore::kUser), QStringLiteral("scott"));
    QCOMPARE(stored(SettingsStore::kPassword), QStringLiteral("tiger"));
    page.Text3->clear();
    QCOMPARE(stored(SettingsStore::kPassword), QString());
    QCOMPARE(page.Text3->echoMode(), QLineEdit::Password);
}

void StartupTest::storedTextSurvivesARestartExactly() {
    const QString sid = QStringLiteral("  //db:1521/x;y=z Ærø 東京  ") + QString(10000, 'x');
    const QString password = QStringLiteral(" p;w=\"d' ");
    {
        FakeStartup startup;
        Wizard wizard(startup.services());
        wizard.start();
        wizard.form1().Text1->setText(sid);
        wizard.form1().Text3->setText(password);
        wizard.form1().Check1->click(); // Cancel right after typing
        QVERIFY(wizard.isEnding());
    }
    FakeStartup startup;
    Wizard wizard(startup.services());
    wizard.start();
    QCOMPARE(wizard.form1().Text1->text(), sid);
    QCOMPARE(wizard.form1().Text2->text(), QString());
    QCOMPARE(wizard.form1().Text3->text(), password);
}

void StartupTest::settingsFileIsForItsOwnerOnly() {
    SettingsStore store;
    store.write(SettingsStore::kPassword, QStringLiteral("secret"));
    QCOMPARE(modeOf(store.fileName()), 0600u);
    QFile::setPermissions(store.fileName(), QFile::ReadOwner | QFile::WriteOwner |
                                                QFile::ReadGroup | QFile::ReadOther);
    store.write(SettingsStore::kUser, QStringLiteral("scott"));
    QCOMPARE(modeOf(store.fileName()), 0600u);
    QCOMPARE(QSettings(store.fileName(), QSettings::IniFormat).value("Varnolt/OracleUser"),
             QVariant(QStringLiteral("scott")));
}

void StartupTest::unusableStoreLeavesTheProgramRunning() {
    const QString file = SettingsStore().fileName();
    {
        // Garbage in the file: the boxes start empty or with whatever is readable.
        QFile garbage(file);
        QVERIFY(garbage.open(QIODevice::WriteOnly));
        const char bytes[] = "\x00\xff[[[=\n\x01OracleSID";
        garbage.write(bytes, sizeof bytes - 1);
        garbage.close();
        FakeStartup startup;
        Wizard wizard(startup.services());
        wizard.start();
        QVERIFY(wizard.form1().isVisible());
        QTest::keyClicks(wizard.form1().Text1, QStringLiteral("abc"));
        QCOMPARE(wizard.form1().Text1->text(), QStringLiteral("abc"));
    }
    ClearSettings();
    // A folder where the file should be: nothing can be read or written.
    QVERIFY(QDir().mkpath(file));
    FakeStartup startup;
    Wizard wizard(startup.services());
    wizard.start();
    QVERIFY(wizard.form1().isVisible());
    QTest::keyClicks(wizard.form1().Text1, QStringLiteral("abc"));
    QCOMPARE(wizard.form1().Text1->text(), QStringLiteral("abc"));
    QVERIFY(QDir(file).removeRecursively());
}

void StartupTest::focusSelectsTheWholeText() {
    FakeStartup startup;
    Wizard wizard(startup.services());
    wizard.start();
    Form1& page = wizard.form1();
    page.activateWindow();
    page.Text2->setText(QStringLiteral("scott"));
    page.Text2->setFocus();
    QTRY_COMPARE(page.Text2->selectedText(), QStringLiteral("scott"));
    QTest::keyClick(page.Text2, Qt::Key_A);
    QCOMPARE(page.Text2->text(), QStringLiteral("a"));
}

void StartupTest::testConnectionReportsBothWays() {
    MessageLog messages;
    FakeStartup startup;
    Wizard wizard(startup.services());
    wizard.start();
    Form1& page = wizard.form1();
    page.Text1->setText(QStringLiteral("KTNA"));
    page.Check5->click();
    QCOMPARE(messages.shown,
             QStringList{"Could not connect. Please check with your administrator."});
    QCOMPARE(page.pointer(), WizardPage::Pointer::Ordinary);

    TempDatabase db;
    page.Text1->setText(db.path());
    page.Check5->click();
    QCOMPARE(messages.shown.last(), QStringLiteral("Connection successful."));
    QCOMPARE(page.pointer(), WizardPage::Pointer::Ordinary);
    QVERIFY(page.isVisible());
    QVERIFY(!wizard.hasForm2());
    QCOMPARE(Db::RegisteredConnections(), 1);
}

void StartupTest::helpShowsTwoMessagesAndQuestionMarkOne() {
    MessageLog messages;
    FakeStartup startup;
    Wizard wizard(startup.services());
    wizard.start();
    wizard.form1().Check6->click();
    QCOMPARE(messages.shown.size(), 2);
    QCOMPARE(messages.shown.at(1), QStringLiteral("This software does not support the CLOB and "
                                                  "NLOB data type in Oracle."));
    wizard.form1().Check7->click();
    QCOMPARE(messages.shown.size(), 3);
    const QString help = messages.shown.at(2);
    QCOMPARE(help, messages.shown.at(0));
    QVERIFY(help.startsWith(QStringLiteral("This software works with Oracle 9i or higher.\r\r"
                                           "The SID is used")));
    QVERIFY(help.endsWith(QStringLiteral("   )\r\n )\r\n\r\nTherefore, my SID would be KTNA")));
    QVERIFY(help.contains(QStringLiteral("looks like:\r\n\r\nKTNA =\r\n (DESCRIPTION =\r\n   "
                                         "(ADDRESS_LIST =\r\n     (ADDRESS = (PROTOCOL = TCP)"
                                         "(HOST = ")));
    QVERIFY(help.contains(QStringLiteral(")(PORT = 1521))\r\n   )\r\n   (CONNECT_DATA =\r\n"
                                         "     (SID = KTNA)\r\n")));
}

void StartupTest::nextWithWrongDataDoesNothing() {
    MessageLog messages;
    FakeStartup startup;
    Wizard wizard(startup.services());
    wizard.start();
    wizard.form1().Check3->click();
    wizard.form1().Text1->setText(QStringLiteral("/no/such/file.sqlite"));
    wizard.form1().Check3->click();
    QVERIFY(wizard.form1().isVisible());
    QVERIFY(!wizard.hasForm2());
    QVERIFY(messages.shown.isEmpty());
    QVERIFY(!wizard.form1().Check2->isEnabled());
    QVERIFY(!wizard.form1().Check4->isEnabled());
}

void StartupTest::pageGraphMovesForwardAndBack() {
    TempDatabase db;
    db.exec(QStringLiteral("CREATE TABLE EMP(ID, NAME); INSERT INTO EMP VALUES (1, 'a')"));
    MessageLog messages;
    FakeStartup startup;
    Wizard wizard(startup.services());
    wizard.start();
    wizard.form1().Text1->setText(db.path());
    wizard.form1().Check3->click();
    Form2& tables = wizard.form2();
    QVERIFY(tables.isVisible() && !wizard.form1().isVisible());
    QVERIFY(!tables.Check4->isEnabled());

    tables.Check2->click();
    QVERIFY(wizard.form1().isVisible() && !tables.isVisible());
    wizard.form1().Check3->click();

    tables.List1->clearSelection();
    tables.Check3->click();
    QCOMPARE(messages.shown, QStringList{"Please select a table"});
    QVERIFY(tables.isVisible());
    QVERIFY(!wizard.hasForm3());

    tables.List1->setCurrentRow(0);
    tables.Check3->click();
    Form3& fields = wizard.form3();
    QVERIFY(fields.isVisible() && !tables.isVisible());
    QCOMPARE(wizard.selectedTable, QStringLiteral("EMP"));
    fields.Check2->click();
    QVERIFY(tables.isVisible() && !fields.isVisible());
    tables.Check3->click();
    fields.Check6->click();
    fields.Check3->click();
    Form4& target = wizard.form4();
    QVERIFY(target.isVisible() && !fields.isVisible());
    QVERIFY(!target.Check3->isEnabled());
    target.Check2->click();
    QVERIFY(fields.isVisible() && !target.isVisible());
    QCOMPARE(messages.shown.size(), 1);
}

void StartupTest::secondConnectRebuildsTheTableList() {
    TempDatabase first, second;
    first.exec(QStringLiteral("CREATE TABLE A(x); CREATE TABLE B(x)"));
    second.exec(QStringLiteral("CREATE TABLE C(x)"));
    FakeStartup startup;
    Wizard wizard(startup.services());
    wizard.start();
    wizard.form1().Text1->setText(first.path());
    wizard.form1().Check3->click(); // the first showing loads the page twice
    QCOMPARE(itemsOf(wizard.form2().List1), (QStringList{"A", "B"}));
    wizard.form2().List1->setCurrentRow(1);
    wizard.form2().Check2->click();
    wizard.form1().Check3->click();
    QCOMPARE(itemsOf(wizard.form2().List1), (QStringList{"A", "B"}));
    QCOMPARE(Ui::SelectedRow(wizard.form2().List1), 0);
    wizard.form2().Check2->click();
    wizard.form1().Text1->setText(second.path());
    wizard.form1().Check3->click();
    QCOMPARE(itemsOf(wizard.form2().List1), QStringList{"C"});
}

void StartupTest::cancelAndCloseEndTheProgramOnEveryPage() {
    TempDatabase db;
    db.exec(QStringLiteral("CREATE TABLE EMP(ID)"));
    for (const bool byClosing : {false, true}) {
        for (int pageNumber = 1; pageNumber <= 4; ++pageNumber) {
            WizardDriver driver(db);
            Wizard& wizard = driver.wizard;
            QSignalSpy ended(&wizard, &Wizard::ended);
            QList<WizardPage*> pages{&wizard.form1()};
            if (pageNumber >= 2)
                pages << &driver.connect().wizard.form2();
            if (pageNumber >= 3)
                pages << &driver.chooseTable("EMP").wizard.form3();
            if (pageNumber == 4)
                pages << &driver.chooseColumns({"ID"}).wizard.form4();
            WizardPage* page = pages.last();
            QVERIFY(page->isVisible());
            if (byClosing) {
                page->close();
            } else {
                for (PageButton* button : page->findChildren<PageButton*>()) {
                    if (button->text() == QStringLiteral("Cancel"))
                        button->click();
                }
            }
            QCOMPARE(ended.count(), 1);
            QVERIFY(wizard.isEnding());
            for (WizardPage* each : pages)
                QVERIFY(!each->isVisible());
        }
    }
}

VARNOLT_TEST_MAIN(StartupTest)
#include "test_startup.moc"
