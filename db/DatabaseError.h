#pragma once

#include <QSqlError>
#include <QString>
#include <stdexcept>

namespace Db {

// A failure of the database or of the driver, with the database's own error
// number and message text, as the user is shown them.
class DatabaseError : public std::runtime_error {
public:
    DatabaseError(const QString& nativeCode, const QString& text);
    explicit DatabaseError(const QSqlError& error);

    const QString& nativeCode() const { return m_code; }
    const QString& text() const { return m_text; }
    // Who said what, for a message's details: the database's words and the
    // driver's, where they differ from the text.
    QString details() const;
    // "Error <number>: <text>", the form every message box uses; the text
    // alone where the failure has no number of the database's.
    QString message() const;

private:
    QString m_code;
    QString m_text;
    QString m_driverText;
};

} // namespace Db
