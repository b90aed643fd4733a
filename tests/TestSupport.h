#pragma once

#include "app/MakerPage.h"
#include "oracle/ConnectionString.h"

#include <QApplication>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>
#include <QVariantList>
#include <memory>

// A SQLite database file in a folder of its own, removed with it.
class TempDatabase {
public:
    TempDatabase();
    ~TempDatabase();

    QString path() const { return m_path; }
    QString connectionString() const { return Oracle::ConnectionString(m_path, {}, {}); }
    // Runs statements separated by ";" on a connection of the test's own.
    void exec(const QString& sql) const;
    QList<QVariantList> rows(const QString& sql) const;
    // One column of a query, as text.
    QStringList column(const QString& sql) const;

private:
    QTemporaryDir m_dir;
    QString m_path;
    QString m_connection;
};

// The five-row example table VISITORS (ID, NAME, CITY): on NAME and CITY,
// rows 3 and 4 repeat rows 1 and 2, and row 5 differs in letter case.
void MakeVisitors(const TempDatabase& db);

// Records the messages the program shows and answers its questions.
class MessageLog {
public:
    MessageLog();
    ~MessageLog();

    QStringList shown;
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

// Removes the settings file, so each test starts with an empty store.
void ClearSettings();

class Wizard;
// A wizard driven as a user would: started with an empty store and the test
// database's path typed into the connection page, then moved on page by page.
class WizardDriver {
    FakeStartup m_startup;
    std::unique_ptr<Wizard> m_wizard;

public:
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

// A test main that points the settings store at a temporary folder before
// anything reads it.
#define VARNOLT_TEST_MAIN(TestClass)                                                               \
    int main(int argc, char** argv) {                                                              \
        QTemporaryDir config;                                                                      \
        qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());                                   \
        QApplication app(argc, argv);                                                              \
        TestClass test;                                                                            \
        return QTest::qExec(&test, argc, argv);                                                    \
    }
