#include "TableChoices.h"

#include "core/SettingsStore.h"

#include <QJsonDocument>
#include <QUrl>

namespace {

// A key of the store's own for each database and table: the names encoded,
// since a table's name may hold what the settings file reads as a path.
QString keyOf(const QString& sid, const QString& table) {
    return QStringLiteral("TableChoices/") +
           QString::fromLatin1(QUrl::toPercentEncoding(sid + QLatin1Char('\n') + table));
}

} // namespace

RunOptions TableChoices::forRun(const QString& newTable) const {
    RunOptions run = options;
    if (!keepRemoved)
        run.removedInto.clear();
    else if (run.removedInto.isEmpty())
        run.removedInto = newTable + QStringLiteral("_REMOVED");
    return run;
}

QString TableChoices::summary(const QString& newTable) const {
    const RunOptions run = forRun(newTable);
    QStringList parts;
    if (run.keep == RunOptions::Keep::Last || !run.orderBy.isEmpty()) {
        QString stays = run.keep == RunOptions::Keep::Last ? QStringLiteral("Last row")
                                                           : QStringLiteral("First row");
        if (!run.orderBy.isEmpty())
            stays += QStringLiteral(" by ") + run.orderBy.first().column +
                     (run.orderBy.first().descending ? QStringLiteral(" falling") : QString());
        parts << stays + QStringLiteral(" stays");
    }
    if (run.ignoreCase)
        parts << QStringLiteral("case ignored");
    if (run.trim)
        parts << QStringLiteral("blanks at the ends ignored");
    if (!run.removedInto.isEmpty())
        parts << QStringLiteral("removed rows kept in %1").arg(run.removedInto);
    if (!run.reportFile.isEmpty())
        parts << QStringLiteral("groups reported to %1").arg(run.reportFile);
    if (run.withoutIndexes)
        parts << QStringLiteral("no indexes");
    return parts.join(QStringLiteral("; "));
}

TableChoices LoadChoices(const SettingsStore& settings, const QString& sid, const QString& table) {
    TableChoices choices;
    const QString kept = settings.read(keyOf(sid, table));
    if (kept.isEmpty()) {
        choices.keepRemoved = settings.read(SettingsStore::kKeepRemoved) == QStringLiteral("1");
        return choices;
    }
    const QJsonObject json = QJsonDocument::fromJson(kept.toUtf8()).object();
    choices.options = RunOptionsFromJson(json);
    choices.keepRemoved = json.value(QStringLiteral("keep_removed")).toBool();
    return choices;
}

void SaveChoices(SettingsStore& settings, const QString& sid, const QString& table,
                 const TableChoices& choices) {
    QJsonObject json = JsonOf(choices.options);
    json.insert(QStringLiteral("keep_removed"), choices.keepRemoved);
    settings.write(keyOf(sid, table),
                   QString::fromUtf8(QJsonDocument(json).toJson(QJsonDocument::Compact)));
    settings.write(SettingsStore::kKeepRemoved,
                   choices.keepRemoved ? QStringLiteral("1") : QStringLiteral("0"));
}
