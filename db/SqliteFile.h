#pragma once

#include "core/Stop.h"

#include <QByteArray>
#include <QString>
#include <QStringConverter>
#include <QVariant>
#include <functional>
#include <memory>

struct sqlite3;
struct sqlite3_stmt;

namespace Db {

// A value as SQLite holds it, read without conversion: texts keep their exact
// bytes in the database's own encoding, whatever they are, so two texts that
// differ only in bytes no conversion keeps apart stay apart.
struct RawValue {
    enum class Kind { Null, Integer, Real, Text, Blob };
    Kind kind = Kind::Null;
    qint64 integer = 0;
    double real = 0;
    const char* data = nullptr;
    int size = 0;
    QStringConverter::Encoding encoding = QStringConverter::Utf8;

    QVariant toVariant() const;
};

// A SQLite database file opened through SQLite's own interface, for the work
// that Qt's driver would slow down: reading millions of values as they are
// stored, and writing inside one transaction with a function of our own.
class SqliteFile {
public:
    class Statement {
    public:
        Statement(SqliteFile& file, const QString& sql);
        ~Statement();
        Statement(const Statement&) = delete;
        Statement& operator=(const Statement&) = delete;

        void bind(int index, const QString& text);
        // Moves to the next row; false past the last one. Throws DatabaseError,
        // or Stopped when the file's stop check asked to stop.
        bool step();
        int columnCount() const;
        RawValue value(int column) const;
        QString text(int column) const;
        qint64 integer(int column) const;

    private:
        SqliteFile& m_file;
        sqlite3_stmt* m_statement = nullptr;
    };

    // Throws DatabaseError when the file cannot be opened.
    explicit SqliteFile(const QString& path);
    ~SqliteFile();
    SqliteFile(const SqliteFile&) = delete;
    SqliteFile& operator=(const SqliteFile&) = delete;

    // Runs statements that return no rows; throws like Statement::step.
    void execute(const QString& sql);
    // The number a one-row, one-column `sql` gives, counted on a connection
    // of its own in a second thread while `stop` is asked every few
    // milliseconds: a count of millions of rows is one long step that would
    // otherwise freeze the window. -1 when the count cannot be had; throws
    // Stopped when `stop` says so.
    qint64 countAside(const QString& sql, StopCheck& stop);
    // Rows changed by the last statement.
    qint64 changes() const;

    // Long statements ask `stop` now and then; once it says stop, the
    // statement is interrupted and throws Stopped. While `writing`, the
    // system is also told now and then to start putting the file's new pages
    // on disk, so the commit at the end does not wait for all of them at once.
    void watch(StopCheck* stop, bool writing = false);

    // A function of one or more arguments that statements can call, true or
    // false for each row; it is gone again when `Registration` is.
    using Predicate = std::function<bool(const RawValue* arguments, int count)>;
    class Registration {
    public:
        Registration(SqliteFile& file, const QString& name, Predicate predicate);
        ~Registration();

        struct Call {
            Predicate predicate;
            QStringConverter::Encoding encoding;
        };

    private:
        SqliteFile& m_file;
        QByteArray m_name;
        std::unique_ptr<Call> m_call;
    };

private:
    QStringConverter::Encoding m_encoding = QStringConverter::Utf8;
    [[noreturn]] void fail(int code) const;

    QByteArray m_path;

    void look();

    sqlite3* m_db = nullptr;
    int m_writeback = -1; // the file, opened to hand its pages to the disk early
    StopCheck* m_stop = nullptr;
    bool m_writing = false;
    QElapsedTimer m_sinceWriteback;
    bool m_stopped = false;
};

} // namespace Db
