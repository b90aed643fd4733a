// The password in the desktop keyring: a private gnome-keyring in a D-Bus
// session of the test's own (tests/with_keyring.sh). Without a keyring the
// password stays in the owner-only settings file, as test_wizard shows.
#include "TestSupport.h"

#include "core/SettingsStore.h"
#include "pages/Form1.h"
#include "pages/Wizard.h"

#include <QLabel>
#include <QLineEdit>
#include <QProcess>

namespace {

// What the keyring holds for Varnolt's password of `account` (by default the
// one item older versions kept), asked of it by another program than ours.
QString inKeyring(const QString& account = SettingsStore::kPassword) {
    QProcess lookup;
    lookup.start(QStringLiteral("secret-tool"), {"lookup", "server", "Varnolt", "user", account});
    lookup.waitForFinished(10000);
    return QString::fromUtf8(lookup.readAllStandardOutput()).trimmed();
}

} // namespace

class KeyringTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        VARNOLT_NEED_SERVER(qEnvironmentVariableIsSet("VARNOLT_OWN_KEYRING"),
                            "keyring (run it through tests/with_keyring.sh)");
    }
    void init() { ClearSettings(); }

    void aTypedPasswordGoesToTheKeyringNotTheFile();
    void aPasswordInAnOlderSettingsFileMovesIntoTheKeyring();
    void aPasswordTypedLastReachesTheKeyringAsTheProgramEnds();
};

void KeyringTest::aTypedPasswordGoesToTheKeyringNotTheFile() {
    TempDatabase db;
    const QString first = QStringLiteral("scott@") + db.path();
    const QString second = QStringLiteral("scott@postgresql://elsewhere/db");
    {
        WizardDriver run(db);
        Form1& page = run.wizard.form1();
        QVERIFY(run.wizard.passwords().usesKeyring());
        QVERIFY(!page.NoKeyringLine->isVisibleTo(&page));
        page.Text2->setText(QStringLiteral("scott"));
        // Not for a moment is any of it in the file, nor in the keyring
        // before it is typed whole.
        for (const QString typed : {"t", "ti", "tig", "tige", "tiger"}) {
            page.Text3->setText(typed);
            QVERIFY(!SettingsFileText().contains("OraclePassword"));
        }
        QTest::qWait(500); // time enough for a write under way to land
        QCOMPARE(inKeyring(first), QString());
        emit page.Text3->editingFinished();
        QTRY_COMPARE(inKeyring(first), QStringLiteral("tiger"));
        // Another server's password has an item of its own.
        page.Text1->setText(QStringLiteral("postgresql://elsewhere/db"));
        page.Text3->setText(QStringLiteral("lion"));
        emit page.Text3->editingFinished();
        QTRY_COMPARE(inKeyring(second), QStringLiteral("lion"));
        QCOMPARE(inKeyring(first), QStringLiteral("tiger"));
    }
    QVERIFY(SettingsFileText().contains("scott"));
    QVERIFY(!SettingsFileText().contains("OraclePassword"));
    // The next start finds it there.
    WizardDriver again;
    QCOMPARE(again.wizard.form1().Text3->text(), QStringLiteral("lion"));
}

// Typed and left unsaved, it reaches the keyring as the program ends. (Last:
// the end of the program leaves no event loop of this thread running.)
void KeyringTest::aPasswordTypedLastReachesTheKeyringAsTheProgramEnds() {
    TempDatabase db;
    WizardDriver run(db);
    run.wizard.form1().Text3->setText(QStringLiteral("puma"));
    QCOMPARE(inKeyring(QStringLiteral("@") + db.path()), QString());
    run.wizard.endProgram();
    QCOMPARE(inKeyring(QStringLiteral("@") + db.path()), QStringLiteral("puma"));
}

void KeyringTest::aPasswordInAnOlderSettingsFileMovesIntoTheKeyring() {
    SettingsStore().write(SettingsStore::kPassword, QStringLiteral("from-the-file"));
    QVERIFY(SettingsFileText().contains("from-the-file"));
    WizardDriver run;
    QCOMPARE(run.wizard.form1().Text3->text(), QStringLiteral("from-the-file"));
    QTRY_COMPARE(inKeyring(QStringLiteral("@")), QStringLiteral("from-the-file"));
    QTRY_VERIFY(!SettingsFileText().contains("from-the-file"));
}

VARNOLT_TEST_MAIN(KeyringTest)
#include "test_keyring.moc"
