#include "Session.h"

#include "DatabaseError.h"
#include "Dialect.h"

#include <QDir>
#include <QFile>
#include <QSqlError>
#include <QSqlRecord>
#include <atomic>
#include <new>

namespace Db {

namespace {

std::atomic<quint64> nextSessionNumber{1};

void bindAll(QSqlQuery& query, const QVariantMap& values) {
    for (auto it = values.cbegin(); it != values.cend(); ++it)
        query.bindValue(QLatin1Char(':') + it.key(), it.value());
}

void run(QSqlQuery& query, const QString& sql, const QVariantMap& values) {
    FaultInjection::check(FaultInjection::Point::Statement);
    if (values.isEmpty()) {
        if (!query.exec(sql))
            throw DatabaseError(query.lastError());
        return;
    }
    if (!query.prepare(sql))
        throw DatabaseError(query.lastError());
    bindAll(query, values);
    if (!query.exec())
        throw DatabaseError(query.lastError());
}

} // namespace

bool IsSqliteFile(const QString& path) {
    if (path.isEmpty())
        return false;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    static const QByteArray header("SQLite format 3\0", 16);
    return file.read(header.size()) == header;
}

Session::Session(const Kind& kind, ConnectionData data)
    : m_kind(kind), m_data(std::move(data)),
      m_name(QStringLiteral("varnolt-session-%1").arg(nextSessionNumber++)) {}

Session::~Session() {
    if (QSqlDatabase::contains(m_name)) {
        QSqlDatabase::database(m_name, false).close();
        QSqlDatabase::removeDatabase(m_name);
    }
}

void Session::open() {
    FaultInjection::check(FaultInjection::Point::Open);
    m_kind.check(m_data);
    if (!QSqlDatabase::isDriverAvailable(m_kind.driver()))
        throw DatabaseError(QString(), m_kind.missingDriver());
    QSqlDatabase db = QSqlDatabase::addDatabase(m_kind.driver(), m_name);
    m_kind.configure(db, m_data);
    if (!db.open())
        throw DatabaseError(db.lastError());
    m_kind.opened(db);
}

QSqlDatabase Session::database() const {
    return QSqlDatabase::database(m_name, false);
}

void Session::execute(const QString& sql, const QVariantMap& values) {
    QSqlQuery query(database());
    run(query, sql, values);
}

RecordSet::RecordSet(Session& session, const QString& sql, const QVariantMap& values)
    : m_query(session.database()) {
    m_query.setForwardOnly(true);
    // Numbers are read exactly (as text where the driver would round them).
    m_query.setNumericalPrecisionPolicy(QSql::HighPrecision);
    run(m_query, sql, values);
}

bool RecordSet::next() {
    FaultInjection::check(FaultInjection::Point::Fetch);
    if (m_query.next())
        return true;
    if (m_query.lastError().isValid())
        throw DatabaseError(m_query.lastError());
    return false;
}

int RecordSet::fieldCount() const {
    return m_query.record().count();
}

namespace FaultInjection {

namespace {
// A run judges its keys in a thread of its own, which checks too.
struct Armed {
    std::atomic<Point> point = Point::Open;
    std::atomic<int> remaining = 0;
    QString code;
    QString text;
    std::atomic<bool> fired = false;
};
Armed armed;
} // namespace

void failAt(Point point, int k, const QString& nativeCode, const QString& text) {
    armed.remaining = 0;
    armed.point = point;
    armed.code = nativeCode;
    armed.text = text;
    armed.fired = false;
    armed.remaining = k;
}

void clear() {
    armed.remaining = 0;
}

bool fired() {
    return armed.fired;
}

void check(Point point) {
    if (armed.remaining <= 0 || armed.point != point || armed.remaining.fetch_sub(1) != 1)
        return;
    armed.fired = true;
    if (point == Point::Memory)
        throw std::bad_alloc();
    throw DatabaseError(armed.code, armed.text);
}

} // namespace FaultInjection

int RegisteredConnections() {
    return static_cast<int>(QSqlDatabase::connectionNames().size());
}

} // namespace Db
