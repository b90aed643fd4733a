#include "FakeOracle.h"

#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlField>
#include <QSqlRecord>

namespace FakeOracle {

namespace {

Script& script() {
    static Script current;
    return current;
}

// Whether statements wait for a COMMIT instead of committing on their own.
bool& inTransaction() {
    static bool open = false;
    return open;
}

// The most expressions any IN list of the statement holds.
qsizetype longestInList(const QString& sql) {
    qsizetype longest = 0;
    for (qsizetype at = sql.indexOf(QStringLiteral(" IN (")); at >= 0;
         at = sql.indexOf(QStringLiteral(" IN ("), at + 1)) {
        const qsizetype open = at + 4;
        const qsizetype close = sql.indexOf(QLatin1Char(')'), open);
        longest = std::max(longest, sql.mid(open, close - open).count(QLatin1Char(',')) + 1);
    }
    return longest;
}

Answer oracleError(int code, const QString& text) {
    const QString number = QString::number(code);
    return {{}, {}, number, QStringLiteral("ORA-%1: %2").arg(number.rightJustified(5, '0'), text)};
}

Answer missing() {
    return oracleError(942, QStringLiteral("table or view does not exist"));
}

Answer nameTaken() {
    return oracleError(955, QStringLiteral("name is already used by an existing object"));
}

// A name as a statement gives it: between double quotes (a doubled quote
// inside), or bare and so in capitals.
QString nameIn(const QString& text) {
    if (text.startsWith(QLatin1Char('"')))
        return text.mid(1, text.size() - 2).replace(QStringLiteral("\"\""), QStringLiteral("\""));
    return text.toUpper();
}

const QString kName = QStringLiteral(R"(("(?:[^"]|"")*"|[A-Za-z_][A-Za-z0-9_$#]*))");

QRegularExpressionMatch matchOf(const QString& pattern, const QString& sql) {
    return QRegularExpression(QStringLiteral("^") +
                                  QString(pattern).replace(QLatin1Char('@'), kName) +
                                  QStringLiteral("$"),
                              QRegularExpression::CaseInsensitiveOption |
                                  QRegularExpression::DotMatchesEverythingOption)
        .match(sql);
}

// Creates or drops a sequence or an index, refused as a server refuses it.
Answer changeObjects(QSet<QString>& objects, const QString& name, bool create, int absent,
                     const QString& absentText) {
    if (create == objects.contains(name))
        return create ? nameTaken() : oracleError(absent, absentText);
    if (create)
        objects.insert(name);
    else
        objects.remove(name);
    return {};
}

// What the server itself answers.
Answer serve(const QString& sql, const QVariantList& binds) {
    auto& tables = schema().tables;
    if (sql.compare(QStringLiteral("select table_name from user_tables"), Qt::CaseInsensitive) ==
        0) {
        Answer answer{{QStringLiteral("TABLE_NAME")}, {}};
        for (const QString& table : tables.keys())
            answer.rows << QVariantList{table};
        return answer;
    }
    if (sql.contains(QStringLiteral("USER_TAB_COLUMNS"))) {
        const bool typed = sql.contains(QStringLiteral("DATA_TYPE"));
        Answer answer{typed ? QStringList{"COLUMN_NAME", "DATA_TYPE"} : QStringList{"COLUMN_NAME"},
                      {}};
        for (const auto& [name, type] : tables.value(binds.value(0).toString()))
            answer.rows << (typed ? QVariantList{name, type} : QVariantList{name});
        return answer;
    }
    if (auto m = matchOf(QStringLiteral("CREATE TABLE @ AS SELECT \\* from @"), sql);
        m.hasMatch()) {
        if (tables.contains(nameIn(m.captured(1))))
            return nameTaken();
        if (!tables.contains(nameIn(m.captured(2))))
            return missing();
        tables.insert(nameIn(m.captured(1)), tables.value(nameIn(m.captured(2))));
        return {};
    }
    // A table of chosen columns: each keeps its type, and takes its alias.
    if (auto m = matchOf(QStringLiteral("CREATE TABLE @ AS SELECT (.*) FROM @ WHERE 1 = 0"), sql);
        m.hasMatch()) {
        if (tables.contains(nameIn(m.captured(1))))
            return nameTaken();
        if (!tables.contains(nameIn(m.captured(3))))
            return missing();
        const auto source = tables.value(nameIn(m.captured(3)));
        QList<std::pair<QString, QString>> columns;
        for (const QString& item : m.captured(2).split(QStringLiteral(", "))) {
            static const QRegularExpression typedNull(
                QStringLiteral(R"(^CAST\(NULL AS (\w+)\(\d+\)\) AS (.*)$)"));
            if (const auto cast = typedNull.match(item); cast.hasMatch()) {
                columns.append({nameIn(cast.captured(2)), cast.captured(1)});
                continue;
            }
            const QString name = nameIn(item.section(QStringLiteral(" AS "), 0, 0));
            const auto at = std::find_if(source.begin(), source.end(),
                                         [&](const auto& c) { return c.first == name; });
            if (at == source.end())
                return oracleError(904, QStringLiteral("\"%1\": invalid identifier").arg(name));
            columns.append({nameIn(item.section(QStringLiteral(" AS "), -1)), at->second});
        }
        tables.insert(nameIn(m.captured(1)), columns);
        return {};
    }
    if (auto m = matchOf(QStringLiteral("DROP TABLE @"), sql); m.hasMatch())
        return tables.remove(nameIn(m.captured(1))) ? Answer{} : missing();
    if (auto m = matchOf(QStringLiteral("ALTER TABLE @ RENAME TO @"), sql); m.hasMatch()) {
        if (!tables.contains(nameIn(m.captured(1))))
            return missing();
        if (tables.contains(nameIn(m.captured(2))))
            return nameTaken();
        tables.insert(nameIn(m.captured(2)), tables.take(nameIn(m.captured(1))));
        return {};
    }
    if (auto m = matchOf(QStringLiteral("ALTER TABLE @ (ADD|DROP COLUMN) @.*"), sql);
        m.hasMatch()) {
        if (!tables.contains(nameIn(m.captured(1))))
            return missing();
        auto& columns = tables[nameIn(m.captured(1))];
        const QString column = nameIn(m.captured(3));
        const auto at = std::find_if(columns.begin(), columns.end(),
                                     [&](const auto& c) { return c.first == column; });
        const bool adding = m.captured(2).compare(QStringLiteral("ADD"), Qt::CaseInsensitive) == 0;
        if (adding && at != columns.end())
            return oracleError(1430, QStringLiteral("column being added already exists in table"));
        if (!adding && at == columns.end())
            return oracleError(904, QStringLiteral("\"%1\": invalid identifier").arg(column));
        if (adding)
            columns.append({column, QStringLiteral("NUMBER")});
        else
            columns.erase(at);
        return {};
    }
    if (auto m = matchOf(QStringLiteral("(CREATE|DROP) SEQUENCE @.*"), sql); m.hasMatch())
        return changeObjects(schema().sequences, nameIn(m.captured(2)),
                             m.captured(1).toUpper() == QStringLiteral("CREATE"), 2289,
                             QStringLiteral("sequence does not exist"));
    if (auto m = matchOf(QStringLiteral("CREATE INDEX @ ON @ .*"), sql); m.hasMatch()) {
        if (!tables.contains(nameIn(m.captured(2))))
            return missing();
        return changeObjects(schema().indexes, nameIn(m.captured(1)), true, 0, {});
    }
    if (auto m = matchOf(QStringLiteral("DROP INDEX @"), sql); m.hasMatch())
        return changeObjects(schema().indexes, nameIn(m.captured(1)), false, 1418,
                             QStringLiteral("specified index does not exist"));
    if (longestInList(sql) > 1000)
        return oracleError(1795, QStringLiteral("maximum number of expressions in a list is 1000"));
    // Any other statement on a table that is not there.
    const QRegularExpression addressed(QStringLiteral("(?:FROM|UPDATE|INTO) ") + kName,
                                       QRegularExpression::CaseInsensitiveOption);
    for (auto it = addressed.globalMatch(sql); it.hasNext();) {
        const QString table = nameIn(it.next().captured(1));
        if (table != QStringLiteral("DUAL") && !tables.contains(table))
            return missing();
    }
    return {};
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
        // DDL commits what the transaction did before it runs.
        static const QRegularExpression ddl(QStringLiteral("^(CREATE|DROP|ALTER|TRUNCATE) "),
                                            QRegularExpression::CaseInsensitiveOption);
        if (inTransaction() && ddl.match(lastQuery()).hasMatch()) {
            log() << QStringLiteral("COMMIT");
            inTransaction() = false;
        }
        std::optional<Answer> scripted;
        if (script())
            scripted = script()(lastQuery(), binds);
        m_answer = scripted ? *scripted : serve(lastQuery(), binds);
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
    bool beginTransaction() override { return endTransaction(QStringLiteral("BEGIN"), true); }
    bool commitTransaction() override { return endTransaction(QStringLiteral("COMMIT"), false); }
    bool rollbackTransaction() override {
        return endTransaction(QStringLiteral("ROLLBACK"), false);
    }
    QSqlResult* createResult() const override { return new Result(this); }

private:
    static bool endTransaction(const QString& step, bool opening) {
        log() << step;
        inTransaction() = opening;
        return true;
    }
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

Schema& schema() {
    static Schema held;
    return held;
}

void install() {
    static const bool registered = [] {
        QSqlDatabase::registerSqlDriver(QStringLiteral("QOCI"), new QSqlDriverCreator<Driver>);
        return true;
    }();
    Q_UNUSED(registered);
    log().clear();
    inTransaction() = false;
    script() = {};
    schema() = {};
}

void setScript(Script answer) {
    script() = std::move(answer);
}

} // namespace FakeOracle
