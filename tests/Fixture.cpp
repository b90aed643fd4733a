#include "Fixture.h"

#include "core/SettingsStore.h"

#include <QCryptographicHash>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

namespace {
int nextConnection = 0;
}

TempDatabase::TempDatabase(const QString& encoding)
    : m_path(m_dir.filePath(QStringLiteral("test.sqlite"))),
      m_connection(QStringLiteral("test-db-%1").arg(++nextConnection)) {
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connection);
    db.setDatabaseName(m_path);
    if (!db.open())
        qFatal("cannot open the test database");
    // An empty file is no SQLite database yet; a table makes it one and fixes
    // its encoding.
    exec(QStringLiteral("PRAGMA encoding = '%1'; CREATE TABLE varnolt_test_marker(x); "
                        "DROP TABLE varnolt_test_marker")
             .arg(encoding));
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

void ClearSettings() {
    const QString file = SettingsStore().fileName();
    QFile::setPermissions(file, QFile::ReadOwner | QFile::WriteOwner);
    QFile::remove(file);
}

QByteArray SettingsFileText() {
    QFile file(SettingsStore().fileName());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
