#include "Fixture.h"

#include "db/Dialect.h"
#include "kinds/KindTable.h"

#include <QCryptographicHash>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QUrl>

namespace {
int nextConnection = 0;

// The server's own database, as the test script gives it in `variable` and
// the variables named after it.
Db::ConnectionData serverData(const QString& variable) {
    return {qEnvironmentVariable(qPrintable(variable)),
            qEnvironmentVariable(qPrintable(variable + QStringLiteral("_USER"))),
            qEnvironmentVariable(qPrintable(variable + QStringLiteral("_PASSWORD")))};
}
} // namespace

TempDatabase::TempDatabase(const QString& setup)
    : TestConnection(QStringLiteral("test-db-%1").arg(++nextConnection)),
      m_path(m_dir.filePath(QStringLiteral("test #1?%20.sqlite"))) {
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connection);
    db.setDatabaseName(m_path);
    if (!db.open())
        qFatal("cannot open the test database");
    // An empty file is no SQLite database yet; a table makes it one and fixes
    // its encoding.
    exec(setup + QStringLiteral("; CREATE TABLE varnolt_test_marker(x); "
                                "DROP TABLE varnolt_test_marker"));
}

void TestConnection::close() const {
    QSqlDatabase::database(m_connection, false).close();
    QSqlDatabase::removeDatabase(m_connection);
}

void TestConnection::exec(const QString& sql) const {
    for (const QString& statement : sql.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        if (!statement.trimmed().isEmpty())
            rows(statement);
    }
}

QList<QVariantList> TestConnection::rows(const QString& sql) const {
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

QStringList TestConnection::column(const QString& sql) const {
    QStringList values;
    for (const QVariantList& row : rows(sql))
        values << row.value(0).toString();
    return values;
}

QByteArray TempDatabase::fileHash() const {
    QFile file(m_path);
    if (!file.open(QIODevice::ReadOnly))
        qFatal("cannot read the test database");
    return QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256);
}

void MakeVisitors(const TempDatabase& db) {
    db.exec(QStringLiteral("CREATE TABLE VISITORS (ID INTEGER, NAME TEXT, CITY TEXT);"
                           "INSERT INTO VISITORS VALUES (1, 'Ann', 'Oslo'), (2, 'Bob', NULL),"
                           "(3, 'Ann', 'Oslo'), (4, 'Bob', NULL), (5, 'ann', 'Oslo')"));
}

namespace {
// Where the README says the settings are, found without a QSettings: one
// made and dropped here would write out what the program has not.
QString settingsPath() {
    return qEnvironmentVariable("XDG_CONFIG_HOME") + QStringLiteral("/Kestrelby.ini");
}
} // namespace

void ClearSettings() {
    QFile::setPermissions(settingsPath(), QFile::ReadOwner | QFile::WriteOwner);
    QFile::remove(settingsPath());
}

QByteArray SettingsFileText() {
    QFile file(settingsPath());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

ServerDatabase::ServerDatabase(const QString& variable)
    : TestConnection(QStringLiteral("test-server-own-") + variable),
      m_server(serverData(variable)) {
    if (m_server.sid.isEmpty())
        return;
    m_name = QStringLiteral("varnolt_test_%1").arg(QCoreApplication::applicationPid());
    admin(QStringLiteral("CREATE DATABASE %1").arg(m_name));
    m_data = m_server;
    QUrl own(m_data.sid);
    own.setPath(QLatin1Char('/') + m_name);
    m_data.sid = own.toString();
    const Db::Kind& kind = KindOf(m_data.sid);
    QSqlDatabase db = QSqlDatabase::addDatabase(kind.driver(), m_connection);
    kind.configure(db, m_data);
    if (!db.open())
        qFatal("cannot open the test database: %s", qPrintable(db.lastError().text()));
    kind.opened(db);
}

ServerDatabase::~ServerDatabase() {
    if (m_name.isEmpty())
        return;
    close();
    const bool postgres = KindOf(m_server.sid).driver() == QStringLiteral("QPSQL");
    admin(QStringLiteral("DROP DATABASE %1%2")
              .arg(m_name, postgres ? QStringLiteral(" WITH (FORCE)") : QString()));
}

bool ServersRequired() {
    return qgetenv("CI") == "true" || qEnvironmentVariableIsSet("VARNOLT_REQUIRE_SERVERS");
}

void ServerDatabase::admin(const QString& sql) const {
    const QString name = QStringLiteral("test-server-admin");
    {
        const Db::Kind& kind = KindOf(m_server.sid);
        QSqlDatabase db = QSqlDatabase::addDatabase(kind.driver(), name);
        kind.configure(db, m_server);
        if (!db.open() || !QSqlQuery(db).exec(sql))
            qFatal("%s failed", qPrintable(sql));
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
}
