// The password in the desktop keyring: a private gnome-keyring in a D-Bus
// session of the test's own (tests/with_keyring.sh). Without a keyring the
// password stays in the owner-only settings file, as test_wizard shows.
#include "TestSupport.h"

#include "core/SettingsStore.h"
#include "pages/Form1.h"
#include "pages/Wizard.h"

#include <QLineEdit>
#include <QProcess>

namespace {

// What the keyring holds for Varnolt's password, asked of it by another
// program than ours.
QString inKeyring() {
    QProcess lookup;
    lookup.start(QStringLiteral("secret-tool"),
                 {"lookup", "server", "Varnolt", "user", SettingsStore::kPassword});
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
};

void KeyringTest::aTypedPasswordGoesToTheKeyringNotTheFile() {
    TempDatabase db;
    {
        WizardDriver run(db);
        QVERIFY(run.wizard.passwords().usesKeyring());
        run.wizard.form1().Text2->setText(QStringLiteral("scott"));
        // Not for a moment is any of it in the file.
        for (const QString typed : {"t", "ti", "tig", "tige", "tiger"}) {
            run.wizard.form1().Text3->setText(typed);
            QVERIFY(!SettingsFileText().contains("OraclePassword"));
        }
        QTRY_COMPARE(inKeyring(), QStringLiteral("tiger"));
    }
    QVERIFY(SettingsFileText().contains("scott"));
    QVERIFY(!SettingsFileText().contains("OraclePassword"));
    // The next start finds it there.
    WizardDriver again;
    QCOMPARE(again.wizard.form1().Text3->text(), QStringLiteral("tiger"));
}

void KeyringTest::aPasswordInAnOlderSettingsFileMovesIntoTheKeyring() {
    SettingsStore().write(SettingsStore::kPassword, QStringLiteral("from-the-file"));
    QVERIFY(SettingsFileText().contains("from-the-file"));
    WizardDriver run;
    QCOMPARE(run.wizard.form1().Text3->text(), QStringLiteral("from-the-file"));
    QTRY_COMPARE(inKeyring(), QStringLiteral("from-the-file"));
    QTRY_VERIFY(!SettingsFileText().contains("from-the-file"));
}

VARNOLT_TEST_MAIN(KeyringTest)
#include "test_keyring.moc"
