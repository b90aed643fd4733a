#include "TestSupport.h"

#include "pages/Form1.h"
#include "pages/Form2.h"
#include "pages/Form3.h"
#include "pages/Form4.h"
#include "pages/Wizard.h"
#include "ui/Messages.h"
#include "ui/PageButton.h"

#include <QLineEdit>
#include <QListWidget>

MessageLog::MessageLog() {
    Messages::setHandlers(
        [this](const QString& text, const QString& why) {
            shown << text;
            details << why;
        },
        [this](const QString& text) {
            asked << text;
            return answers.isEmpty() ? false : answers.takeFirst();
        });
}

// A message box would wait forever for a click in a headless test.
MessageLog::~MessageLog() {
    Messages::setHandlers(
        [](const QString& text, const QString&) {
            qWarning("message nobody expected: %s", qPrintable(text));
        },
        [](const QString& text) {
            qWarning("question nobody expected: %s", qPrintable(text));
            return false;
        });
}

StartupServices FakeStartup::services() {
    return {[this](const QUrl& url) { opened << url; }, [this] { return draw; }};
}

WizardDriver::WizardDriver()
    : m_wizard(std::make_unique<Wizard>(m_startup.services())), wizard(*m_wizard) {
    wizard.start();
}

WizardDriver::WizardDriver(const TempDatabase& db)
    : m_wizard((ClearSettings(), std::make_unique<Wizard>(m_startup.services()))),
      wizard(*m_wizard) {
    wizard.start();
    wizard.form1().Text1->setText(db.path());
}

WizardDriver::~WizardDriver() = default;

Form4& OnTargetPage::page() {
    return wizard.form4();
}

WizardDriver& WizardDriver::connect() {
    wizard.form1().Check3->click();
    return *this;
}

void selectItem(QListWidget* list, const QString& text) {
    const QList<QListWidgetItem*> found = list->findItems(text, Qt::MatchExactly);
    if (found.isEmpty())
        qFatal("no item %s in the list", qPrintable(text));
    list->setCurrentItem(found.first());
}

WizardDriver& WizardDriver::chooseTable(const QString& table) {
    selectItem(wizard.form2().List1, table);
    wizard.form2().Check3->click();
    return *this;
}

WizardDriver& WizardDriver::chooseColumns(const QStringList& columns) {
    Form3& fields = wizard.form3();
    for (const QString& column : columns) {
        selectItem(fields.List1, column);
        fields.Check5->click();
    }
    fields.Check3->click();
    return *this;
}

QStringList itemsOf(const QListWidget* list) {
    QStringList items;
    for (int i = 0; i < list->count(); ++i)
        items << list->item(i)->text();
    return items;
}
