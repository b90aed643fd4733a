#include "DatabaseError.h"

namespace Db {

namespace {
QString textOf(const QSqlError& error) {
    const QString database = error.databaseText();
    return database.isEmpty() ? error.driverText() : database;
}
} // namespace

DatabaseError::DatabaseError(const QString& nativeCode, const QString& text)
    : std::runtime_error(text.toStdString()), m_code(nativeCode), m_text(text) {}

DatabaseError::DatabaseError(const QSqlError& error)
    : DatabaseError(error.nativeErrorCode(), textOf(error)) {
    m_driverText = error.driverText();
}

QString DatabaseError::details() const {
    // The program's own words need no one to say them.
    if (m_code.isEmpty() && m_driverText.isEmpty())
        return m_text;
    QString said = QStringLiteral("The database said: %1").arg(message());
    if (!m_driverText.isEmpty() && m_driverText != m_text)
        said += QStringLiteral("\nThe driver said: %1").arg(m_driverText);
    return said;
}

QString DatabaseError::message() const {
    if (m_code.isEmpty())
        return m_text;
    return QStringLiteral("Error %1: %2").arg(m_code, m_text);
}

} // namespace Db
