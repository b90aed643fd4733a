#include "RunContext.h"

#include "db/Catalogue.h"
#include "db/DatabaseError.h"

#include <QLocale>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <algorithm>

bool RunContext::tell(const Progress& progress) const {
    m_rowsSeen = std::max(m_rowsSeen, progress.done);
    return !m_callbacks.progress || m_callbacks.progress(progress);
}

void RunContext::report(Phase phase, qint64 done, qint64 total) const {
    if (!tell({phase, done, total}))
        throw Stopped{};
}

KeepGoing RunContext::keepGoingIn(Phase phase, const qint64& done, const qint64& total) const {
    return [this, phase, &done, &total] { return tell({phase, done, total}); };
}

KeepGoing RunContext::keepGoingIn(Phase phase, const qint64& done) const {
    static const qint64 unknown = -1;
    return keepGoingIn(phase, done, unknown);
}

KeepGoing RunContext::keepGoingIn(Phase phase) const {
    static const qint64 none = 0;
    return keepGoingIn(phase, none);
}

bool RunContext::mayReplace(const QString& table) const {
    const QString question =
        QStringLiteral("A table named %1 already exists. Do you want to replace it?").arg(table);
    return m_callbacks.confirmReplace && m_callbacks.confirmReplace(question);
}

QList<Db::Column> RunContext::chosenColumns(const Db::Dialect& dialect,
                                            const QList<Db::Column>& table) const {
    QList<Db::Column> chosen;
    for (const Db::Column& column : inputs.columns) {
        const auto found = std::find_if(table.begin(), table.end(), [&](const Db::Column& own) {
            return dialect.sameName(own.name, column.name);
        });
        if (found == table.end())
            throw Refusal{QStringLiteral("The table %1 has no column %2.")
                              .arg(inputs.sourceTable, column.name)};
        if (!column.type.isEmpty() && column.type != found->type)
            throw Db::DatabaseError(QString(),
                                    QStringLiteral("The column %1 of %2 is of another type than "
                                                   "when it was chosen.")
                                        .arg(column.name, inputs.sourceTable));
        chosen << *found;
    }
    return chosen;
}

void FirstGroups::add(qint64 kept, qint64 repeat, const std::function<QVariantList()>& values) {
    m_kept.push_back(kept);
    auto group = m_groups.find(kept);
    if (group == m_groups.end()) {
        if (m_groups.size() == std::size_t(m_shown)) {
            if (m_shown == 0)
                return;
            if (kept > m_groups.rbegin()->first)
                return;
            m_groups.erase(std::prev(m_groups.end()));
        }
        group = m_groups.emplace(kept, RepeatGroup{kept, {}, values()}).first;
    }
    group->second.repeats << repeat;
}

qint64 FirstGroups::count() {
    std::sort(m_kept.begin(), m_kept.end());
    return std::unique(m_kept.begin(), m_kept.end()) - m_kept.begin();
}

QList<RepeatGroup> FirstGroups::groups() const {
    QList<RepeatGroup> all;
    for (const auto& entry : m_groups)
        all << entry.second;
    return all;
}

void RefuseObstaclesInPlace(const QString& table, const QStringList& referring,
                            const QStringList& triggers) {
    if (!referring.isEmpty())
        throw Refusal{QStringLiteral("The table %1 cannot be cleaned in place: the FOREIGN KEYs "
                                     "of %2 refer to it.")
                          .arg(table, referring.join(QStringLiteral(", ")))};
    if (!triggers.isEmpty())
        throw Refusal{QStringLiteral("The table %1 cannot be cleaned in place: the trigger %2 "
                                     "acts on its deletes.")
                          .arg(table, triggers.join(QStringLiteral(", ")))};
}

QString NoRemovedRows(const QString& table, const QString& from) {
    return QStringLiteral("%1 holds no rows removed from %2.").arg(from, table);
}

void RefuseDanglingReferences(qint64 count, const QStringList& columns) {
    const QString through = columns.join(QStringLiteral(", "));
    if (count == 1)
        throw Refusal{
            QStringLiteral("1 kept row refers through %1 to a row that is removed.").arg(through)};
    if (count > 1)
        throw Refusal{QStringLiteral("%1 kept rows refer through %2 to rows that are removed.")
                          .arg(QLocale::c().toString(count), through)};
}

namespace {

bool holdsRemovedRows(Db::Session& session, const QString& table, const QString& from) {
    const QStringList tables = Db::TableList(session);
    return tables.contains(table) && tables.contains(from) &&
           Db::ColumnList(session, from).contains(kRowNumberColumn);
}

} // namespace

RunResult PutBackThenDrop(Db::Session& session, const QString& table, const QString& from,
                          bool dryRun) {
    RunResult result;
    result.status = RunResult::Status::Refused;
    session.open();
    if (!holdsRemovedRows(session, table, from)) {
        result.message = NoRemovedRows(table, from);
        return result;
    }
    QSqlDatabase database = session.database();
    if (!database.transaction())
        throw Db::DatabaseError(database.lastError());
    QSqlQuery insert(database);
    if (!insert.exec(session.dialect().restoreRows(table, from, Db::WrittenColumns(session, table),
                                                   kRowNumberColumn))) {
        const QString detail = insert.lastError().text();
        database.rollback();
        result.message = PlaceTaken(table, detail);
        return result;
    }
    result.rowsKept = insert.numRowsAffected();
    if (dryRun) {
        database.rollback();
    } else {
        if (!database.commit())
            throw Db::DatabaseError(database.lastError());
        session.execute(session.dialect().dropTable(from));
    }
    result.status = RunResult::Status::Done;
    return result;
}

QString PlaceTaken(const QString& table, const QString& detail) {
    return QStringLiteral("The removed rows cannot go back into %1: a row holds the place of one "
                          "of them now (%2). Nothing was changed.")
        .arg(table, detail);
}

QString NoTableSource(const QString& name, const QString& what) {
    return QStringLiteral("%1 is %2, not a table. Only tables can be copied.").arg(name, what);
}

QString NoTableTarget(const QString& name, const QString& what) {
    return QStringLiteral("%1 is the name of %2. Please choose another name.").arg(name, what);
}

QString MadeNameRefusal(const QString& name, const RunInputs& inputs, const Db::Dialect& dialect) {
    if (name.trimmed().isEmpty())
        return QStringLiteral("Please enter a name for the new table.");
    if (name.contains(QLatin1Char('"')))
        return QStringLiteral("A table name cannot hold a double quote (\"). Please choose "
                              "another name.");
    if (std::any_of(name.begin(), name.end(),
                    [](QChar c) { return c.category() == QChar::Other_Control; }))
        return QStringLiteral("A table name cannot hold a tab or a line break. Please choose "
                              "another name.");
    if (dialect.longestName() > 0 && name.toUtf8().size() > dialect.longestName())
        return QStringLiteral("The name %1 is longer than the %2 bytes the database keeps of a "
                              "name. Please choose a shorter name.")
            .arg(name)
            .arg(dialect.longestName());
    if (dialect.sameName(name, inputs.sourceTable))
        return QStringLiteral("The new table cannot have the name of the table it is copied "
                              "from. Please choose another name.");
    return {};
}

QString NameRefusal(const RunInputs& inputs, const Db::Dialect& dialect) {
    QString refusal =
        inputs.options.inPlace ? QString() : MadeNameRefusal(inputs.newTable, inputs, dialect);
    const QString& removed = inputs.options.removedInto;
    if (refusal.isEmpty() && !removed.isEmpty()) {
        refusal = MadeNameRefusal(removed, inputs, dialect);
        if (refusal.isEmpty() && dialect.sameName(removed, inputs.newTable))
            refusal = QStringLiteral("The removed rows need a table of their own, not the new "
                                     "table. Please choose another name.");
    }
    if (refusal.isEmpty() && inputs.columns.isEmpty())
        return QStringLiteral("Please choose at least one field.");
    return refusal;
}

QString OptionRefusal(const RunInputs& inputs, const QList<Db::Column>& columns,
                      const Db::Dialect& dialect, const QStringList& ours) {
    const auto has = [&](const QString& name) {
        return std::any_of(columns.begin(), columns.end(), [&](const Db::Column& column) {
            return dialect.sameName(column.name, name);
        });
    };
    for (const QString& name : ours + QStringList{kRowNumberColumn, kKeptNumberColumn}) {
        if (has(name))
            return QStringLiteral("The table %1 has a column named %2, which the run needs for "
                                  "its own numbers.")
                .arg(inputs.sourceTable, name);
    }
    for (const OrderTerm& term : inputs.options.orderBy) {
        if (!has(term.column))
            return QStringLiteral("The table %1 has no column %2 to order the rows by.")
                .arg(inputs.sourceTable, term.column);
    }
    return {};
}

QStringList JudgingTerms(const RunOptions& options) {
    const bool last = options.keep == RunOptions::Keep::Last;
    QStringList terms;
    for (const OrderTerm& term : options.orderBy)
        terms << Db::Dialect::judgingTerm(term.column, term.descending != last);
    return terms;
}
