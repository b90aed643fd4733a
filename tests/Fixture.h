#pragma once

#include "db/ConnectionData.h"
#include "db/Session.h"
#include "kinds/KindTable.h"

#include <QCoreApplication>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>
#include <QVariantList>

// A session on whatever kind of database the connection data names.
class TestSession : public Db::Session {
public:
    explicit TestSession(const Db::ConnectionData& data) : Db::Session(KindOf(data.sid), data) {}
};

// Queries on a connection of the test's own, by its name.
class TestConnection {
public:
    QList<QVariantList> rows(const QString& sql) const;
    // One column of a query, as text.
    QStringList column(const QString& sql) const;
    // Runs statements separated by ";".
    void exec(const QString& sql) const;

protected:
    explicit TestConnection(QString name) : m_connection(std::move(name)) {}
    void close() const;
    QString m_connection;
};

// A SQLite database file in a folder of its own, removed with it, made with
// the statements of `setup` (pragmas that only an empty file takes). Its name
// has the characters a file name in a URI must escape.
class TempDatabase : public TestConnection {
public:
    explicit TempDatabase(const QString& setup = QString());
    ~TempDatabase() { close(); }

    QString path() const { return m_path; }
    Db::ConnectionData connection() const { return {m_path, {}, {}}; }
    // A digest of the file's bytes, to show that nothing in it changed.
    QByteArray fileHash() const;

private:
    QTemporaryDir m_dir;
    QString m_path;
};

// A database of its own on a server the test script starts (the PostgreSQL
// server of VARNOLT_TEST_PG, or the one `variable` names), made for this test
// program and dropped at its end, and a connection of the test's own to it;
// not available without a server.
class ServerDatabase : public TestConnection {
public:
    explicit ServerDatabase(const QString& variable = QStringLiteral("VARNOLT_TEST_PG"));
    ~ServerDatabase();

    bool available() const { return !m_name.isEmpty(); }
    const Db::ConnectionData& connection() const { return m_data; }

private:
    void admin(const QString& sql) const;

    Db::ConnectionData m_server;
    QString m_name;
    Db::ConnectionData m_data;
};

// Whether every server a test needs must be there: in CI and in
// scripts/test.sh, which starts them, a test that misses one fails.
bool ServersRequired();

// Leaves a test that cannot reach the server it needs: a failure where the
// servers are required, else a skip, which CTest reports as one.
#define VARNOLT_NEED_SERVER(available, what)                                                       \
    do {                                                                                           \
        if (!(available)) {                                                                        \
            if (ServersRequired())                                                                 \
                QFAIL("No " what " server could be reached, and this run needs every server.");    \
            QSKIP("No " what " server is set: scripts/test.sh starts one.");                       \
        }                                                                                          \
    } while (false)

// The five-row example table VISITORS (ID, NAME, CITY): on NAME and CITY,
// rows 3 and 4 repeat rows 1 and 2, and row 5 differs in letter case.
void MakeVisitors(const TempDatabase& db);

// Removes the settings file, so each test starts with an empty store.
void ClearSettings();
// The settings file as another program reads it: a QSettings of the test's
// own process would share, and flush, the program's unwritten copy.
QByteArray SettingsFileText();

// A test main that points the settings store at a temporary folder before
// anything reads it, and keeps the test away from the user's keyring: only a
// test started in a session bus of its own (VARNOLT_OWN_KEYRING) reaches one.
#define VARNOLT_TEST_MAIN_OF(Application, TestClass)                                               \
    int main(int argc, char** argv) {                                                              \
        QTemporaryDir config;                                                                      \
        qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());                                   \
        if (!qEnvironmentVariableIsSet("VARNOLT_OWN_KEYRING"))                                     \
            qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/varnolt-test-bus");        \
        Application app(argc, argv);                                                               \
        TestClass test;                                                                            \
        return QTest::qExec(&test, argc, argv);                                                    \
    }
#define VARNOLT_GUILESS_TEST_MAIN(TestClass) VARNOLT_TEST_MAIN_OF(QCoreApplication, TestClass)
