#pragma once

#include "Fixture.h"
#include "pages/MakerPage.h"

#include <QApplication>
#include <QStringList>
#include <QTest>
#include <memory>

// Records the messages the program shows and answers its questions.
class MessageLog {
public:
    MessageLog();
    ~MessageLog();

    QStringList shown;
    QStringList details; // of each message shown, empty where it has none
    QStringList asked;
    QList<bool> answers; // taken from the front; No when empty
};

// Start-up services that open nothing and draw what the test says.
struct FakeStartup {
    int draw = 1;
    QList<QUrl> opened;
    StartupServices services();
};

class QListWidget;
// The texts of a list's items, in order.
QStringList itemsOf(const QListWidget* list);
// Makes the item of that text the list's current one; there must be one.
void selectItem(QListWidget* list, const QString& text);

class Wizard;
// A wizard driven as a user would: started with an empty store and the test
// database's path typed into the connection page, then moved on page by page.
class WizardDriver {
    FakeStartup m_startup;
    std::unique_ptr<Wizard> m_wizard;

public:
    // Started with the settings store as it is.
    WizardDriver();
    explicit WizardDriver(const TempDatabase& db);
    ~WizardDriver();
    Wizard& wizard;

    // "Next >" on the connection page.
    WizardDriver& connect();
    // Selects `table` on the table page and presses "Next >".
    WizardDriver& chooseTable(const QString& table);
    // Moves `columns` to the chosen list one by one and presses "Next >".
    WizardDriver& chooseColumns(const QStringList& columns);
};

class Form4;
// A wizard driven to the target page of `table`, with `columns` chosen.
struct OnTargetPage : WizardDriver {
    OnTargetPage(const TempDatabase& db, const QString& table, const QStringList& columns)
        : WizardDriver(db) {
        connect().chooseTable(table).chooseColumns(columns);
    }
    Form4& page();
};

#define VARNOLT_TEST_MAIN(TestClass) VARNOLT_TEST_MAIN_OF(QApplication, TestClass)
