#include "SqliteFile.h"

#include "db/DatabaseError.h"
#include "db/Session.h"

#include <QFile>
#include <QFileInfo>
#include <QUrl>
#include <fcntl.h>
#include <future>
#include <sqlite3.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace Db {

namespace {
// As long as the wizard waits for a locked file through Qt's driver.
constexpr int kBusyMilliseconds = 5000;
// Virtual machine steps between two looks at the stop check: a few
// microseconds of work, so a stop or a repaint never waits long.
constexpr int kStepsPerLook = 1000;
// How often a long write hands the pages it wrote so far to the disk.
constexpr qint64 kWritebackMilliseconds = 50;

// Fills `raw` in place: a function of ours is called for every row, and a
// value built on the stack and copied over costs it more than its work.
void readRawValue(RawValue& raw, sqlite3_value* value, QStringConverter::Encoding encoding) {
    raw = RawValue();
    raw.encoding = encoding;
    switch (sqlite3_value_type(value)) {
    case SQLITE_INTEGER:
        raw.kind = RawValue::Kind::Integer;
        raw.integer = sqlite3_value_int64(value);
        break;
    case SQLITE_FLOAT:
        raw.kind = RawValue::Kind::Real;
        raw.real = sqlite3_value_double(value);
        break;
    case SQLITE_TEXT:
        // A text's bytes as the database stores them, in its own encoding:
        // asking for them as a blob converts nothing and copies nothing, and
        // a conversion would merge texts whose bytes are no valid characters.
        raw.kind = RawValue::Kind::Text;
        raw.data = static_cast<const char*>(sqlite3_value_blob(value));
        raw.size = sqlite3_value_bytes(value);
        break;
    case SQLITE_BLOB:
        raw.kind = RawValue::Kind::Blob;
        raw.data = static_cast<const char*>(sqlite3_value_blob(value));
        raw.size = sqlite3_value_bytes(value);
        break;
    default:
        break;
    }
}

// The encoding the database stores its texts in ("UTF-8", "UTF-16le" or
// "UTF-16be"); the file's header fixes it for good.
QByteArray pragmaText(sqlite3* db, const char* pragma) {
    sqlite3_stmt* statement = nullptr;
    QByteArray value;
    if (sqlite3_prepare_v2(db, pragma, -1, &statement, nullptr) == SQLITE_OK &&
        sqlite3_step(statement) == SQLITE_ROW)
        value = reinterpret_cast<const char*>(sqlite3_column_text(statement, 0));
    sqlite3_finalize(statement);
    return value;
}

QStringConverter::Encoding storedEncoding(sqlite3* db) {
    const QByteArray name = pragmaText(db, "PRAGMA encoding");
    if (name == "UTF-16le")
        return QStringConverter::Utf16LE;
    if (name == "UTF-16be")
        return QStringConverter::Utf16BE;
    return QStringConverter::Utf8;
}

// On processors with AVX-512 glibc copies the short runs of bytes our row
// functions move (key values, 16 to 31 bytes as most texts of a table are)
// with instructions that leave the vector registers' upper halves in use;
// every SSE instruction SQLite then runs pays a state transition. Clearing
// them as each call returns to SQLite costs a cycle: on 1,000,000 rows a run
// took 0.39-0.43 s without, 0.32-0.33 s with it.
#if defined(__x86_64__)
__attribute__((target("avx"))) void clearUpperHalves() {
    __builtin_ia32_vzeroupper();
}
const bool kHasAvx = __builtin_cpu_supports("avx");
#endif

extern "C" void callPredicate(sqlite3_context* context, int count, sqlite3_value** arguments) {
    auto& call = *static_cast<SqliteFile::Registration::Call*>(sqlite3_user_data(context));
    // One call per row: the arguments' place is made once and reused.
    if (call.values.size() < std::size_t(count))
        call.values.resize(std::size_t(count));
    for (int i = 0; i < count; ++i)
        readRawValue(call.values[std::size_t(i)], arguments[i], call.encoding);
    try {
        sqlite3_result_int(context, call.predicate(call.values.data(), count) ? 1 : 0);
#if defined(__x86_64__)
        if (kHasAvx)
            clearUpperHalves();
#endif
    } catch (...) {
        call.pending = std::current_exception();
        sqlite3_result_error(context, "stopped by the program", -1);
    }
}

} // namespace

void RequireSqliteFile(const QString& path) {
    if (!QFileInfo::exists(path))
        throw DatabaseError(QString(), QStringLiteral("There is no file %1.").arg(path));
    if (!IsSqliteFile(path))
        throw DatabaseError(QString(),
                            QStringLiteral("The file %1 is no SQLite database.").arg(path));
}

SqliteFile::SqliteFile(const QString& path) : m_path(QFile::encodeName(path)) {
    FaultInjection::check(FaultInjection::Point::Open);
    RequireSqliteFile(path);
    const int code = sqlite3_open_v2(QFile::encodeName(path).constData(), &m_db,
                                     SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
    if (code != SQLITE_OK) {
        const QString text = QString::fromUtf8(m_db ? sqlite3_errmsg(m_db) : sqlite3_errstr(code));
        sqlite3_close(m_db);
        throw DatabaseError(QString::number(code), text);
    }
    sqlite3_busy_timeout(m_db, kBusyMilliseconds);
    m_writeback = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    sqlite3_extended_result_codes(m_db, 0);
    m_encoding = storedEncoding(m_db);
}

SqliteFile::SqliteFile(const ReadingBeside& beside) {
    const int code =
        sqlite3_open_v2(beside.uri.constData(), &m_db,
                        SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX | SQLITE_OPEN_URI, nullptr);
    if (code != SQLITE_OK) {
        const QString text = QString::fromUtf8(m_db ? sqlite3_errmsg(m_db) : sqlite3_errstr(code));
        sqlite3_close(m_db);
        throw DatabaseError(QString::number(code), text);
    }
    sqlite3_busy_timeout(m_db, kBusyMilliseconds);
    sqlite3_extended_result_codes(m_db, 0);
    m_encoding = storedEncoding(m_db);
}

SqliteFile::ReadingBeside SqliteFile::readingBeside() const {
    // A reader holding the shared lock of a rollback journal would keep this
    // connection from writing its pages to the file, and one that took the
    // journal of the open transaction for a crash's would roll it back.
    const bool wal =
        pragmaText(m_db, "PRAGMA journal_mode").compare("wal", Qt::CaseInsensitive) == 0;
    QUrl uri = QUrl::fromLocalFile(QFile::decodeName(m_path));
    uri.setQuery(wal ? QStringLiteral("mode=ro") : QStringLiteral("mode=ro&immutable=1"));
    return {uri.toEncoded()};
}

bool SqliteFile::movesPages() const {
    return pragmaText(m_db, "PRAGMA auto_vacuum") != "0";
}

QString SqliteFile::collationOf(const QString& table, const QString& column) const {
    const char* collation = nullptr;
    if (sqlite3_table_column_metadata(m_db, "main", table.toUtf8().constData(),
                                      column.toUtf8().constData(), nullptr, &collation, nullptr,
                                      nullptr, nullptr) != SQLITE_OK)
        return {};
    return QString::fromUtf8(collation);
}

void SqliteFile::interrupt() {
    sqlite3_interrupt(m_db);
}

SqliteFile::~SqliteFile() {
    sqlite3_close_v2(m_db);
    if (m_writeback >= 0)
        ::close(m_writeback);
}

void SqliteFile::fail(int code) {
    if (m_pending)
        std::rethrow_exception(std::exchange(m_pending, nullptr));
    if (m_stopped)
        throw Stopped{};
    throw DatabaseError(QString::number(code), QString::fromUtf8(sqlite3_errmsg(m_db)));
}

void SqliteFile::execute(const QString& sql) {
    Statement statement(*this, sql);
    while (statement.step()) {
    }
}

SqliteFile::CountAside::CountAside(const SqliteFile& file, const QString& sql) {
    if (sqlite3_open_v2(file.readingBeside().uri.constData(), &m_aside,
                        SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX | SQLITE_OPEN_URI,
                        nullptr) != SQLITE_OK) {
        sqlite3_close(m_aside);
        m_aside = nullptr;
        return;
    }
    sqlite3_busy_timeout(m_aside, kBusyMilliseconds);
    // A count reads each page once: a cache would only hold memory.
    sqlite3_exec(m_aside, "PRAGMA cache_size = 16", nullptr, nullptr, nullptr);
    std::packaged_task<qint64()> count([aside = m_aside, text = sql.toUtf8()] {
        sqlite3_stmt* statement = nullptr;
        qint64 rows = -1;
        if (sqlite3_prepare_v2(aside, text.constData(), int(text.size()), &statement, nullptr) ==
                SQLITE_OK &&
            sqlite3_step(statement) == SQLITE_ROW)
            rows = sqlite3_column_int64(statement, 0);
        sqlite3_finalize(statement);
        return rows;
    });
    m_count = count.get_future();
    m_counting = std::thread(std::move(count));
}

SqliteFile::CountAside::~CountAside() {
    if (!m_aside)
        return;
    sqlite3_interrupt(m_aside);
    m_counting.join();
    sqlite3_close(m_aside);
}

bool SqliteFile::CountAside::ready() {
    if (!m_count.valid())
        return true;
    if (m_count.wait_for(std::chrono::seconds(0)) != std::future_status::ready)
        return false;
    m_rows = m_count.get();
    return true;
}

qint64 SqliteFile::changes() const {
    return sqlite3_changes64(m_db);
}

void SqliteFile::look() {
    m_stop->check();
    if (m_writing && m_writeback >= 0 && m_sinceWriteback.elapsed() >= kWritebackMilliseconds) {
        sync_file_range(m_writeback, 0, 0, SYNC_FILE_RANGE_WRITE);
        m_sinceWriteback.restart();
    }
}

void SqliteFile::settle(StopCheck& stop) {
    if (m_writeback < 0)
        return;
    auto synced = std::async(std::launch::async, [fd = m_writeback] { ::fdatasync(fd); });
    while (synced.wait_for(std::chrono::milliseconds(5)) != std::future_status::ready)
        stop.check();
}

void SqliteFile::watch(StopCheck* stop, bool writing) {
    m_stop = stop;
    m_writing = writing;
    m_sinceWriteback.start();
    if (!stop) {
        sqlite3_progress_handler(m_db, 0, nullptr, nullptr);
        return;
    }
    sqlite3_progress_handler(
        m_db, kStepsPerLook,
        [](void* self) -> int {
            auto* file = static_cast<SqliteFile*>(self);
            try {
                file->look();
                return 0;
            } catch (const Stopped&) {
                file->m_stopped = true;
                return 1;
            }
        },
        this);
}

SqliteFile::Statement::Statement(SqliteFile& file, const QString& sql) : m_file(file) {
    FaultInjection::check(FaultInjection::Point::Statement);
    const QByteArray text = sql.toUtf8();
    const int code =
        sqlite3_prepare_v2(file.m_db, text.constData(), int(text.size()), &m_statement, nullptr);
    if (code != SQLITE_OK)
        file.fail(code);
}

SqliteFile::Statement::~Statement() {
    sqlite3_finalize(m_statement);
}

void SqliteFile::Statement::bind(int index, qint64 number) {
    sqlite3_bind_int64(m_statement, index, number);
}

void SqliteFile::Statement::reset() {
    sqlite3_reset(m_statement);
}

void SqliteFile::Statement::bind(int index, const QString& text) {
    const QByteArray bytes = text.toUtf8();
    sqlite3_bind_text(m_statement, index, bytes.constData(), int(bytes.size()), SQLITE_TRANSIENT);
}

bool SqliteFile::Statement::step() {
    FaultInjection::check(FaultInjection::Point::Fetch);
    const int code = sqlite3_step(m_statement);
    if (code == SQLITE_ROW)
        return true;
    if (code == SQLITE_DONE)
        return false;
    m_file.fail(code);
}

int SqliteFile::Statement::columnCount() const {
    return sqlite3_column_count(m_statement);
}

RawValue SqliteFile::Statement::value(int column) const {
    RawValue raw;
    readRawValue(raw, sqlite3_column_value(m_statement, column), m_file.m_encoding);
    return raw;
}

QString SqliteFile::Statement::text(int column) const {
    return QString::fromUtf8(
        reinterpret_cast<const char*>(sqlite3_column_text(m_statement, column)),
        sqlite3_column_bytes(m_statement, column));
}

qint64 SqliteFile::Statement::integer(int column) const {
    return sqlite3_column_int64(m_statement, column);
}

SqliteFile::Registration::Registration(SqliteFile& file, const QString& name, Predicate predicate)
    : m_file(file), m_name(name.toUtf8()),
      m_call(std::make_unique<Call>(Call{std::move(predicate), file.m_encoding, file.m_pending})) {
    const int code =
        sqlite3_create_function_v2(file.m_db, m_name.constData(), -1, SQLITE_UTF8, m_call.get(),
                                   callPredicate, nullptr, nullptr, nullptr);
    if (code != SQLITE_OK)
        file.fail(code);
}

SqliteFile::Registration::~Registration() {
    sqlite3_create_function_v2(m_file.m_db, m_name.constData(), -1, SQLITE_UTF8, nullptr, nullptr,
                               nullptr, nullptr, nullptr);
}

} // namespace Db
