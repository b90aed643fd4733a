#include "DatabaseError.h"

namespace Oracle {

namespace {
QString textOf(const QSqlError& error) {
    const QString database = error.databaseText();
    return database.isEmpty() ? error.driverText() : database;
}
} // namespace

DatabaseError::DatabaseError(const QString& nativeCode, const QString& text)
    : std::runtime_error(text.toStdString()), m_code(nativeCode), m_text(text) {}

DatabaseError::DatabaseError(const QSqlError& error)
    : DatabaseError(error.nativeErrorCode(), textOf(error)) {}

QString DatabaseError::message() const {
    const QString code = m_code.isEmpty() ? QStringLiteral("0") : m_code;
    return QStringLiteral("Error %1: %2").arg(code, m_text);
}

} // namespace Oracle
