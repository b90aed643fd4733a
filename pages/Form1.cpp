#include "Form1.h"

#include "Form2.h"
#include "MakerPage.h"
#include "Wizard.h"
#include "db/Catalogue.h"
#include "ui/AsteriskPasswordStyle.h"
#include "ui/Messages.h"
#include "ui/PageButton.h"
#include "ui/SelectAllOnFocus.h"

#include <QLabel>
#include <QLineEdit>

const QString Form1::kSidHelp = QStringLiteral(
    "This software works with Oracle 9i or higher.\r\r"
    "The SID is used to identify a particular database. The SID is usually defined in the "
    "TNSNAMES.ORA file. The TNSNAMES.ORA file found in my Oracle 9i folder looks like:\r\n\r\n"
    "KTNA =\r\n"
    " (DESCRIPTION =\r\n"
    "   (ADDRESS_LIST =\r\n"
    "     (ADDRESS = (PROTOCOL = TCP)(HOST = 192.0.2.17)(PORT = 1521))\r\n"
    "   )\r\n"
    "   (CONNECT_DATA =\r\n"
    "     (SID = KTNA)\r\n"
    "   )\r\n"
    " )\r\n\r\n"
    "Therefore, my SID would be KTNA");

const QString Form1::kLobNote =
    QStringLiteral("This software does not support the CLOB and NLOB data type in Oracle.");

Form1::Form1(Wizard& wizard) : WizardPage(5880, 3060), m_wizard(wizard) {
    setWindowTitle(QStringLiteral("Setup Connections"));
    Label5 = addLabel(QStringLiteral(" Please provide the login information for your Oracle "
                                     "database."),
                      120, 120, 5415, 255);
    Label2 = addLabel(QStringLiteral("SID:"), 240, 525, 1095, 255);
    Text1 = addTextBox(1320, 480, 3975, 330, SettingsStore::kSid);
    Check7 = addButton(QStringLiteral("?"), 5380, 480, 375, 375);
    Label1 = addLabel(QStringLiteral("Username:"), 240, 1005, 1095, 255);
    Text2 = addTextBox(1300, 960, 4455, 330, SettingsStore::kUser);
    Label4 = addLabel(QStringLiteral("Password:"), 240, 1485, 1095, 255);
    Text3 = addTextBox(1300, 1440, 4455, 330, SettingsStore::kPassword);
    Text3->setEchoMode(QLineEdit::Password);
    Text3->setStyle(new AsteriskPasswordStyle(Text3));
    Check5 = addButton(QStringLiteral("Test Connection"), 120, 1920, 4215, 400);
    Check6 = addButton(QStringLiteral("Help"), 4420, 1920, 1335, 400);
    addLine(2400);
    Check1 = addButton(QStringLiteral("Cancel"), 120, 2520, 1335, 400);
    Check2 = addButton(QStringLiteral("< Back"), 1560, 2520, 1335, 400);
    Check3 = addButton(QStringLiteral("Next >"), 3000, 2520, 1335, 400);
    Check4 = addButton(QStringLiteral("Finish"), 4420, 2520, 1335, 400);
    Check2->setEnabled(false);
    Check4->setEnabled(false);

    Label2->setBuddy(Text1);
    Label1->setBuddy(Text2);
    Label4->setBuddy(Text3);
    chainTabOrder({Text1, Text2, Text3, Check5, Check1, Check3, Check6, Check2, Check4, Check7});
    for (QWidget* quiet : std::initializer_list<QWidget*>{Check4, Label1, Label2, Label4, Label5})
        setHoverRule(quiet, HoverRule::None);
    armHover();

    connect(Check1, &QPushButton::clicked, this, [this] { m_wizard.endProgram(); });
    connect(Check3, &QPushButton::clicked, this, [this] { Check3_Click(); });
    connect(Check5, &QPushButton::clicked, this, [this] { Check5_Click(); });
    connect(Check6, &QPushButton::clicked, this, [this] { Check6_Click(); });
    connect(Check7, &QPushButton::clicked, this, [this] { Check7_Click(); });
}

QLineEdit* Form1::addTextBox(int left, int top, int width, int height, const QString& key) {
    auto* box = new QLineEdit(this);
    box->setGeometry(twips(left, top, width, height));
    new SelectAllOnFocus(box);
    connect(box, &QLineEdit::textChanged, this,
            [this, key](const QString& text) { m_wizard.settings().write(key, text); });
    return box;
}

void Form1::Form_Load() {
    loadCommon(windowTitle());
    MaybeShowMakerPage(m_wizard.services());
    SettingsStore& store = m_wizard.settings();
    Text1->setText(store.read(SettingsStore::kSid));
    Text2->setText(store.read(SettingsStore::kUser));
    Text3->setText(store.read(SettingsStore::kPassword));
    if (Db::CanConnect(m_wizard.connectionData())) {
        m_autoConnected = true;
        m_wizard.go(m_wizard.form2(), *this);
    }
}

void Form1::Check3_Click() {
    if (!Db::CanConnect(m_wizard.connectionData()))
        return;
    // The page lists the tables when it first loads; a page loaded before
    // lists them anew, since the connection data may have changed since.
    const bool loaded = m_wizard.hasForm2();
    Form2& tables = m_wizard.form2();
    m_wizard.go(tables, *this);
    if (loaded)
        tables.ListTables();
}

void Form1::Check5_Click() {
    setPointer(Pointer::Busy);
    const bool connected = Db::CanConnect(m_wizard.connectionData());
    Messages::show(connected ? QStringLiteral("Connection successful.")
                             : QStringLiteral("Could not connect. Please check with your "
                                              "administrator."));
    setPointer(Pointer::Ordinary);
}

void Form1::Check6_Click() {
    Messages::show(kSidHelp);
    Messages::show(kLobNote);
}

void Form1::Check7_Click() {
    Messages::show(kSidHelp);
}
