#include "TestSupport.h"

#include "app/Messages.h"
#include "app/PageButton.h"
#include "app/SettingsStore.h"
#include "app/Wizard.h"
#include "pages/Form1.h"
#include "pages/Form2.h"
#include "pages/Form3.h"

#include <QLineEdit>

#include <QFile>
#include <QListWidget>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

namespace {
int nextConnection = 0;
}

TempDatabase::TempDatabase()
    : m_path(m_dir.filePath(QStringLiteral("test.sqlite"))),
      m_connection(QStringLiteral("test-db-%1").arg(++nextConnection)) {
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connection);
    db.setDatabaseName(m_path);
    if (!db.open())
        qFatal("cannot open the test database");
    // An empty file is no SQLite database yet; a table makes it one.
    exec(QStringLiteral("CREATE TABLE varnolt_test_marker(x); DROP TABLE varnolt_test_marker"));
}

TempDatabase::~TempDatabase() {
    QSqlDatabase::database(m_connection, false).close();
    QSqlDatabase::removeDatabase(m_connection);
}

void TempDatabase::exec(const QString& sql) const {
    QSqlQuery query(QSqlDatabase::database(m_connection, false));
    for (const QString& statement : sql.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        if (statement.trimmed().isEmpty())
            continue;
        if (!query.exec(statement))
            qFatal("%s: %s", qPrintable(statement), qPrintable(query.lastError().text()));
    }
}

QList<QVariantList> TempDatabase::rows(const QString& sql) const {
    QSqlQuery query(QSqlDatabase::database(m_connection, false));
    if (!query.exec(sql))
        qFatal("%s: %s", qPrintable(sql), qPrintable(query.lastError().text()));
    QList<QVariantList> result;
    while (query.next()) {
        QVariantList row;
        for (int i = 0; i < query.record().count(); ++i)
            row << query.value(i);
        result << row;
    }
    return result;
}

QStringList TempDatabase::column(const QString& sql) const {
    QStringList values;
    for (const QVariantList& row : rows(sql))
        values << row.value(0).toString();
    return values;
}

void MakeVisitors(const TempDatabase& db) {
    db.exec(QStringLiteral("CREATE TABLE VISITORS (ID INTEGER, NAME TEXT, CITY TEXT);"
                           "INSERT INTO VISITORS VALUES (1, 'Ann', 'Oslo'), (2, 'Bob', NULL),"
                           "(3, 'Ann', 'Oslo'), (4, 'Bob', NULL), (5, 'ann', 'Oslo')"));
}

MessageLog::MessageLog() {
    Messages::setHandlers([this](const QString& text) { shown << text; },
                          [this](const QString& text) {
                              asked << text;
                              return answers.isEmpty() ? false : answers.takeFirst();
                          });
}

// A message box would wait forever for a click in a headless test.
MessageLog::~MessageLog() {
    Messages::setHandlers(
        [](const QString& text) { qWarning("message nobody expected: %s", qPrintable(text)); },
        [](const QString& text) {
            qWarning("question nobody expected: %s", qPrintable(text));
            return false;
        });
}

StartupServices FakeStartup::services() {
    return {[this](const QUrl& url) { opened << url; }, [this] { return draw; }};
}

WizardDriver::WizardDriver(const TempDatabase& db)
    : m_wizard((ClearSettings(), std::make_unique<Wizard>(m_startup.services()))),
      wizard(*m_wizard) {
    wizard.start();
    wizard.form1().Text1->setText(db.path());
}

WizardDriver::~WizardDriver() = default;

WizardDriver& WizardDriver::connect() {
    wizard.form1().Check3->click();
    return *this;
}

WizardDriver& WizardDriver::chooseTable(const QString& table) {
    QListWidget* tables = wizard.form2().List1;
    const QList<QListWidgetItem*> found = tables->findItems(table, Qt::MatchExactly);
    if (found.isEmpty())
        qFatal("no table %s on the table page", qPrintable(table));
    tables->setCurrentItem(found.first());
    wizard.form2().Check3->click();
    return *this;
}

WizardDriver& WizardDriver::chooseColumns(const QStringList& columns) {
    Form3& fields = wizard.form3();
    for (const QString& column : columns) {
        const QList<QListWidgetItem*> found = fields.List1->findItems(column, Qt::MatchExactly);
        if (found.isEmpty())
            qFatal("no column %s on the field page", qPrintable(column));
        fields.List1->setCurrentItem(found.first());
        fields.Check5->click();
    }
    fields.Check3->click();
    return *this;
}

void ClearSettings() {
    const QString file = SettingsStore().fileName();
    QFile::setPermissions(file, QFile::ReadOwner | QFile::WriteOwner);
    QFile::remove(file);
}

QStringList itemsOf(const QListWidget* list) {
    QStringList items;
    for (int i = 0; i < list->count(); ++i)
        items << list->item(i)->text();
    return items;
}
