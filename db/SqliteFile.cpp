#include "SqliteFile.h"

#include "DatabaseError.h"
#include "Session.h"

#include <QFile>
#include <sqlite3.h>
#include <vector>

namespace Db {

namespace {
// As long as the wizard waits for a locked file through Qt's driver.
constexpr int kBusyMilliseconds = 5000;
// Virtual machine steps between two looks at the stop check: a few
// microseconds of work, so a stop or a repaint never waits long.
constexpr int kStepsPerLook = 1000;

RawValue rawValue(sqlite3_value* value) {
    RawValue raw;
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
        raw.kind = RawValue::Kind::Text;
        raw.data = reinterpret_cast<const char*>(sqlite3_value_text(value));
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
    return raw;
}

extern "C" void callPredicate(sqlite3_context* context, int count, sqlite3_value** arguments) {
    const auto& predicate = *static_cast<SqliteFile::Predicate*>(sqlite3_user_data(context));
    std::vector<RawValue> values;
    values.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i)
        values.push_back(rawValue(arguments[i]));
    sqlite3_result_int(context, predicate(values.data(), count) ? 1 : 0);
}

} // namespace

QVariant RawValue::toVariant() const {
    switch (kind) {
    case Kind::Integer:
        return integer;
    case Kind::Real:
        return real;
    case Kind::Text:
        return QString::fromUtf8(data, size);
    case Kind::Blob:
        return QByteArray(data, size);
    case Kind::Null:
        break;
    }
    return QVariant(QMetaType::fromType<QString>());
}

SqliteFile::SqliteFile(const QString& path) {
    FaultInjection::check(FaultInjection::Point::Open);
    const int code =
        sqlite3_open_v2(QFile::encodeName(path).constData(), &m_db, SQLITE_OPEN_READWRITE, nullptr);
    if (code != SQLITE_OK) {
        const QString text = QString::fromUtf8(m_db ? sqlite3_errmsg(m_db) : sqlite3_errstr(code));
        sqlite3_close(m_db);
        throw DatabaseError(QString::number(code), text);
    }
    sqlite3_busy_timeout(m_db, kBusyMilliseconds);
    sqlite3_extended_result_codes(m_db, 0);
}

SqliteFile::~SqliteFile() {
    sqlite3_close_v2(m_db);
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

qint64 SqliteFile::changes() const {
    return sqlite3_changes64(m_db);
}

void SqliteFile::watch(StopCheck* stop) {
    m_stop = stop;
    if (!stop) {
        sqlite3_progress_handler(m_db, 0, nullptr, nullptr);
        return;
    }
    sqlite3_progress_handler(
        m_db, kStepsPerLook,
        [](void* self) -> int {
            auto* file = static_cast<SqliteFile*>(self);
            try {
                file->m_stop->check();
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
    return rawValue(sqlite3_column_value(m_statement, column));
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
      m_predicate(std::make_unique<Predicate>(std::move(predicate))) {
    const int code =
        sqlite3_create_function_v2(file.m_db, m_name.constData(), -1, SQLITE_UTF8,
                                   m_predicate.get(), callPredicate, nullptr, nullptr, nullptr);
    if (code != SQLITE_OK)
        file.fail(code);
}

SqliteFile::Registration::~Registration() {
    sqlite3_create_function_v2(m_file.m_db, m_name.constData(), -1, SQLITE_UTF8, nullptr, nullptr,
                               nullptr, nullptr, nullptr);
}

} // namespace Db
