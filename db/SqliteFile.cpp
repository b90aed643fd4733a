#include "SqliteFile.h"

#include "DatabaseError.h"
#include "Session.h"

#include <QFile>
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

RawValue rawValue(sqlite3_value* value, QStringConverter::Encoding encoding) {
    RawValue raw;
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
        // Asked for in the encoding the database stores, a text comes as it
        // is stored: converting would merge texts whose bytes are no valid
        // characters.
        raw.kind = RawValue::Kind::Text;
        switch (encoding) {
        case QStringConverter::Utf16LE:
            raw.data = static_cast<const char*>(sqlite3_value_text16le(value));
            raw.size = sqlite3_value_bytes16(value);
            break;
        case QStringConverter::Utf16BE:
            raw.data = static_cast<const char*>(sqlite3_value_text16be(value));
            raw.size = sqlite3_value_bytes16(value);
            break;
        default:
            raw.data = reinterpret_cast<const char*>(sqlite3_value_text(value));
            raw.size = sqlite3_value_bytes(value);
            break;
        }
        break;
    case SQLITE_BLOB:
        raw.kind = RawValue::Kind::Blob;
        raw.data = static_cast<const char*>(sqlite3_value_blob(value));
        raw.size = sqlite3_value_bytes(value);
        break;
    default:
        break;
    }
    return raw;
}

// The encoding the database stores its texts in ("UTF-8", "UTF-16le" or
// "UTF-16be"); the file's header fixes it for good.
QStringConverter::Encoding storedEncoding(sqlite3* db) {
    sqlite3_stmt* statement = nullptr;
    QByteArray name;
    if (sqlite3_prepare_v2(db, "PRAGMA encoding", -1, &statement, nullptr) == SQLITE_OK &&
        sqlite3_step(statement) == SQLITE_ROW)
        name = reinterpret_cast<const char*>(sqlite3_column_text(statement, 0));
    sqlite3_finalize(statement);
    if (name == "UTF-16le")
        return QStringConverter::Utf16LE;
    if (name == "UTF-16be")
        return QStringConverter::Utf16BE;
    return QStringConverter::Utf8;
}

extern "C" void callPredicate(sqlite3_context* context, int count, sqlite3_value** arguments) {
    const auto& call = *static_cast<SqliteFile::Registration::Call*>(sqlite3_user_data(context));
    // One call per row: the common few arguments stay off the heap.
    constexpr int kOnStack = 8;
    RawValue onStack[kOnStack];
    std::vector<RawValue> onHeap(count > kOnStack ? std::size_t(count) : 0);
    RawValue* values = count > kOnStack ? onHeap.data() : onStack;
    for (int i = 0; i < count; ++i)
        values[i] = rawValue(arguments[i], call.encoding);
    sqlite3_result_int(context, call.predicate(values, count) ? 1 : 0);
}

} // namespace

QVariant RawValue::toVariant() const {
    switch (kind) {
    case Kind::Integer:
        return integer;
    case Kind::Real:
        return real;
    case Kind::Text: {
        QStringDecoder decode(encoding);
        return QString(decode(QByteArrayView(data, size)));
    }
    case Kind::Blob:
        return QByteArray(data, size);
    case Kind::Null:
        break;
    }
    return QVariant(QMetaType::fromType<QString>());
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

SqliteFile::~SqliteFile() {
    sqlite3_close_v2(m_db);
    if (m_writeback >= 0)
        ::close(m_writeback);
}

void SqliteFile::fail(int code) const {
    if (m_stopped)
        throw Stopped{};
    throw DatabaseError(QString::number(code), QString::fromUtf8(sqlite3_errmsg(m_db)));
}

void SqliteFile::execute(const QString& sql) {
    Statement statement(*this, sql);
    while (statement.step()) {
    }
}

qint64 SqliteFile::countAside(const QString& sql, StopCheck& stop) {
    sqlite3* aside = nullptr;
    if (sqlite3_open_v2(m_path.constData(), &aside, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX,
                        nullptr) != SQLITE_OK) {
        sqlite3_close(aside);
        return -1;
    }
    sqlite3_busy_timeout(aside, kBusyMilliseconds);
    const QByteArray text = sql.toUtf8();
    std::packaged_task<qint64()> count([aside, &text] {
        sqlite3_stmt* statement = nullptr;
        qint64 rows = -1;
        if (sqlite3_prepare_v2(aside, text.constData(), int(text.size()), &statement, nullptr) ==
                SQLITE_OK &&
            sqlite3_step(statement) == SQLITE_ROW)
            rows = sqlite3_column_int64(statement, 0);
        sqlite3_finalize(statement);
        return rows;
    });
    std::future<qint64> rows = count.get_future();
    std::thread counting(std::move(count));
    const auto finish = [&] {
        counting.join();
        sqlite3_close(aside);
    };
    try {
        while (rows.wait_for(std::chrono::milliseconds(5)) != std::future_status::ready)
            stop.check();
    } catch (...) {
        sqlite3_interrupt(aside);
        finish();
        throw;
    }
    finish();
    return rows.get();
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
    return rawValue(sqlite3_column_value(m_statement, column), m_file.m_encoding);
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
      m_call(std::make_unique<Call>(Call{std::move(predicate), file.m_encoding})) {
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
