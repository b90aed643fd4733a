#include "FakeOracle.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlField>
#include <QSqlRecord>

namespace FakeOracle {

namespace {

std::function<Answer(const QString&, const QVariantList&)>& script() {
    static std::function<Answer(const QString&, const QVariantList&)> current;
    return current;
}

class Result : public QSqlResult {
public:
    explicit Result(const QSqlDriver* driver) : QSqlResult(driver) {}

protected:
    QVariant data(int field) override { return m_answer.rows.at(at()).value(field); }
    bool isNull(int field) override { return data(field).isNull(); }
    bool reset(const QString& sql) override {
        setQuery(sql);
        return run({});
    }
    bool prepare(const QString& sql) override {
        setQuery(sql);
        return true;
    }
    bool exec() override { return run(boundValues()); }
    bool fetch(int row) override {
        if (row < 0 || row >= m_answer.rows.size())
            return false;
        setAt(row);
        return true;
    }
    bool fetchFirst() override { return fetch(0); }
    bool fetchLast() override { return fetch(static_cast<int>(m_answer.rows.size()) - 1); }
    int size() override { return static_cast<int>(m_answer.rows.size()); }
    int numRowsAffected() override { return 0; }
    QSqlRecord record() const override {
        QSqlRecord record;
        for (const QString& column : m_answer.columns)
            record.append(QSqlField(column, QMetaType::fromType<QString>()));
        return record;
    }

private:
    bool run(const QVariantList& binds) {
        QStringList shown;
        for (const QVariant& bind : binds)
            shown << bind.toString();
        log() << (binds.isEmpty() ? lastQuery()
                                  : lastQuery() + QStringLiteral("; binds: ") +
                                        shown.join(QStringLiteral(", ")));
        m_answer = script() ? script()(lastQuery(), binds) : Answer{};
        if (!m_answer.errorCode.isEmpty()) {
            setLastError(QSqlError(QString(), m_answer.errorText, QSqlError::StatementError,
                                   m_answer.errorCode));
            return false;
        }
        setActive(true);
        setSelect(!m_answer.columns.isEmpty());
        setAt(QSql::BeforeFirstRow);
        return true;
    }

    Answer m_answer;
};

class Driver : public QSqlDriver {
public:
    bool hasFeature(DriverFeature feature) const override {
        return feature == PreparedQueries || feature == NamedPlaceholders ||
               feature == Transactions;
    }
    bool open(const QString&, const QString&, const QString& password, const QString&, int,
              const QString& options) override {
        connectOptions() = options;
        if (password != kPassword) {
            setLastError(QSqlError(QString(),
                                   QStringLiteral("ORA-01017: invalid username/password; "
                                                  "logon denied"),
                                   QSqlError::ConnectionError, QStringLiteral("1017")));
            setOpenError(true);
            return false;
        }
        setOpen(true);
        setOpenError(false);
        return true;
    }
    void close() override { setOpen(false); }
    QSqlResult* createResult() const override { return new Result(this); }
};

} // namespace

QString& connectOptions() {
    static QString options;
    return options;
}

QStringList& log() {
    static QStringList statements;
    return statements;
}

void install() {
    static const bool registered = [] {
        QSqlDatabase::registerSqlDriver(QStringLiteral("QOCI"), new QSqlDriverCreator<Driver>);
        return true;
    }();
    Q_UNUSED(registered);
    log().clear();
    script() = {};
}

void setScript(std::function<Answer(const QString&, const QVariantList&)> answer) {
    script() = std::move(answer);
}

} // namespace FakeOracle
