#pragma once

#include "core/Stop.h"
#include "db/RawValue.h"

#include <QByteArray>
#include <QString>
#include <QStringConverter>
#include <QVariant>
#include <exception>
#include <functional>
#include <future>
#include <memory>
#include <thread>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace Db {

// Throws DatabaseError, saying so, unless `path` is such a file. Opening a
// missing file would otherwise make an empty database of it.
void RequireSqliteFile(const QString& path);

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
        void bind(int index, qint64 number);
        // Makes the statement ready to run again, its bindings kept.
        void reset();
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
    // How a connection of another thread reads the file while this one
    // writes, neither waiting for the other's lock: in WAL mode as any
    // reader; in rollback mode without locks and without a look at the
    // journal, which is sound only while this connection holds the write
    // lock and has written no page yet, and writes none of what the other
    // reads later.
    struct ReadingBeside {
        QByteArray uri;
    };
    ReadingBeside readingBeside() const;
    // A read-only connection for another thread, opened as `beside` says.
    explicit SqliteFile(const ReadingBeside& beside);
    // Whether writing may move pages of other tables (auto_vacuum), which a
    // connection reading beside would then miss.
    bool movesPages() const;
    // Makes what this connection runs stop soon; callable from any thread.
    void interrupt();
    // The encoding the file stores its texts in.
    QStringConverter::Encoding encoding() const { return m_encoding; }
    // The collation a column of a table of the main database sorts its texts
    // by ("BINARY" where it declares none), or the empty text where SQLite
    // cannot tell.
    QString collationOf(const QString& table, const QString& column) const;
    ~SqliteFile();
    SqliteFile(const SqliteFile&) = delete;
    SqliteFile& operator=(const SqliteFile&) = delete;

    // Runs statements that return no rows; throws like Statement::step.
    void execute(const QString& sql);
    // The number a one-row, one-column `sql` gives, counted on a connection
    // of its own in a second thread while the work on this one goes on: a
    // count of millions of rows takes long enough to be worth not waiting for.
    class CountAside {
    public:
        CountAside(const SqliteFile& file, const QString& sql);
        // Interrupts a count still going.
        ~CountAside();
        CountAside(const CountAside&) = delete;
        CountAside& operator=(const CountAside&) = delete;
        // Whether the count is over; then rows() is the number, or -1 when it
        // could not be had.
        bool ready();
        qint64 rows() const { return m_rows; }

    private:
        sqlite3* m_aside = nullptr;
        std::future<qint64> m_count;
        std::thread m_counting;
        qint64 m_rows = -1;
    };
    // Rows changed by the last statement.
    qint64 changes() const;

    // Long statements ask `stop` now and then; once it says stop, the
    // statement is interrupted and throws Stopped. While `writing`, the
    // system is also told now and then to start putting the file's new pages
    // on disk, so the commit at the end does not wait for all of them at once.
    void watch(StopCheck* stop, bool writing = false);
    // Puts every page written so far on disk on a thread of its own, asking
    // `stop` meanwhile: the commit's own syncs then wait only for its last
    // pages, where they would otherwise hold the front end for as long as the
    // disk takes for the whole table.
    void settle(StopCheck& stop);

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
            std::exception_ptr& pending;
            std::vector<RawValue> values = {};
        };

    private:
        SqliteFile& m_file;
        QByteArray m_name;
        std::unique_ptr<Call> m_call;
    };

private:
    QStringConverter::Encoding m_encoding = QStringConverter::Utf8;
    // What a function of ours threw inside a statement: SQLite's own frames
    // cannot pass an exception on, so the statement fails and the exception
    // is thrown again once the statement has returned.
    std::exception_ptr m_pending;
    [[noreturn]] void fail(int code);

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
