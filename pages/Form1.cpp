#include "Form1.h"

#include "db/Catalogue.h"
#include "db/DatabaseError.h"
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

Form1::Form1(PageContext& context) : WizardPage(5880, 3060), m_context(context) {
    setWindowTitle(QStringLiteral("Setup Connections"));
    Label5 = addLabel(QStringLiteral(" Please provide the login information for your Oracle "
                                     "database."),
                      120, 120, 5415, 255);
    Label2 = addLabel(QStringLiteral("SID:"), 240, 525, 1095, 255);
    Text1 = addTextBox(1320, 480, 3975, 330, SettingsStore::kSid, QStringLiteral("SID"));
    Text1->setPlaceholderText(QStringLiteral("KTNA or /path/to/file.sqlite"));
    Text1->setToolTip(QStringLiteral("An Oracle net service name, an EZConnect string such as "
                                     "//dbhost:1521/ORCL, a PostgreSQL URI "
                                     "(postgresql://dbhost/sales), a MariaDB or MySQL URI "
                                     "(mariadb://dbhost/sales, or ?socket=/path for a local "
                                     "socket), or the path of a SQLite file "
                                     "(/path/to/file.sqlite, ./file.sqlite or ~/file.sqlite)."));
    Check7 = addButton(QStringLiteral("?"), 5380, 480, 375, 375);
    Check7->setAccessibleName(QStringLiteral("What is a SID?"));
    Check7->setToolTip(Check7->accessibleName());
    Label1 = addLabel(QStringLiteral("Username:"), 240, 1005, 1095, 255);
    Text2 = addTextBox(1300, 960, 4455, 330, SettingsStore::kUser, QStringLiteral("Username"));
    Label4 = addLabel(QStringLiteral("Password:"), 240, 1485, 1095, 255);
    Text3 = addTextBox(1300, 1440, 4455, 330, {}, QStringLiteral("Password"));
    Text3->setEchoMode(QLineEdit::Password);
    Text3->setStyle(new AsteriskPasswordStyle(Text3));
    // In the gap above the buttons, in a smaller type that fits it.
    NoKeyringLine = addLabel(QStringLiteral("No keyring service was found: the password is kept "
                                            "in the settings file."),
                             240, 1772, 5515, 146);
    QFont small = NoKeyringLine->font();
    small.setPixelSize(9);
    NoKeyringLine->setFont(small);
    NoKeyringLine->hide();
    Check5 = addButton(QStringLiteral("Test Connection"), 120, 1920, 4215, 400);
    Check6 = addButton(QStringLiteral("Help"), 4420, 1920, 1335, 400);
    addLine(2400);
    const ButtonRow row = addButtonRow(2520, 4420, 1335);
    Check1 = row.cancel;
    Check2 = row.back;
    Check3 = row.next;
    Check4 = row.finish;
    Check2->setEnabled(false);
    Check4->setEnabled(false);

    Label2->setBuddy(Text1);
    Label1->setBuddy(Text2);
    Label4->setBuddy(Text3);
    chainTabOrder({Text1, Text2, Text3, Check5, Check1, Check3, Check6, Check2, Check4, Check7});
    for (QWidget* quiet :
         std::initializer_list<QWidget*>{Check4, Label1, Label2, Label4, Label5, NoKeyringLine})
        setHoverRule(quiet, HoverRule::None);
    armHover();

    connect(Check5, &QPushButton::clicked, this, [this] { Check5_Click(); });
    connect(Check6, &QPushButton::clicked, this, [this] { Check6_Click(); });
    connect(Check7, &QPushButton::clicked, this, [this] { Check7_Click(); });
}

QLineEdit* Form1::addTextBox(int left, int top, int width, int height, const QString& key,
                             const QString& name) {
    auto* box = new QLineEdit(this);
    box->setGeometry(twips(left, top, width, height));
    box->setAccessibleName(name);
    new SelectAllOnFocus(box);
    // The password has a store of its own; the other boxes are written to the
    // settings file as they are typed.
    connect(box, &QLineEdit::textChanged, this, [this, key](const QString& text) {
        if (key.isEmpty())
            m_context.passwords().remember(text);
        else
            m_context.settings().write(key, text);
    });
    // The keyring is written once the password is typed, never per key:
    // a keyring that prompts would take the focus in the middle of it.
    if (key.isEmpty())
        connect(box, &QLineEdit::editingFinished, this, [this] { m_context.savePassword(); });
    return box;
}

void Form1::Form_Load() {
    loadCommon(windowTitle());
    MaybeShowMakerPage(m_context.services());
    SettingsStore& store = m_context.settings();
    Text1->setText(store.read(SettingsStore::kSid));
    Text2->setText(store.read(SettingsStore::kUser));
    Text3->setText(
        m_context.passwords().load(PasswordStore::accountOf(m_context.connectionData())));
    NoKeyringLine->setVisible(m_context.passwords().keepsInFile());
}

void Form1::Check5_Click() {
    m_context.savePassword();
    setPointer(Pointer::Busy);
    const std::optional<Db::DatabaseError> failure =
        Db::ConnectError(m_context.kind(), m_context.connectionData());
    if (failure)
        Messages::show(QStringLiteral("Could not connect. Please check with your administrator."),
                       QStringLiteral("While connecting to %1.\n%2")
                           .arg(m_context.connectionData().sid, failure->details()));
    else
        Messages::show(QStringLiteral("Connection successful."));
    setPointer(Pointer::Ordinary);
}

void Form1::Check6_Click() {
    Messages::show(kSidHelp);
    Messages::show(kLobNote);
}

void Form1::Check7_Click() {
    Messages::show(kSidHelp);
}
