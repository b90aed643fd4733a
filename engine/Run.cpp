#include "Run.h"

#include <QCommandLineParser>
#include <QJsonArray>
#include <QRegularExpression>

QString PhaseText(Phase phase) {
    switch (phase) {
    case Phase::Checking:
        return QStringLiteral("Checking the table");
    case Phase::Copying:
        return QStringLiteral("Copying the table");
    case Phase::Numbering:
        return QStringLiteral("Numbering the rows");
    case Phase::Reading:
        return QStringLiteral("Reading rows");
    case Phase::Removing:
        return QStringLiteral("Removing repeated rows");
    case Phase::Writing:
        return QStringLiteral("Writing the new table");
    case Phase::Finishing:
        return QStringLiteral("Finishing");
    }
    return {};
}

namespace {

// `word` as a shell reads it back whole, to be pasted as it stands: quoted
// unless it holds only characters no shell reads otherwise.
QString shellWord(QString word) {
    static const QRegularExpression plain(QStringLiteral("^[A-Za-z0-9_@%+=:,./-]+$"));
    if (plain.match(word).hasMatch())
        return word;
    return QLatin1Char('\'') + word.replace(QLatin1Char('\''), QStringLiteral("'\\''")) +
           QLatin1Char('\'');
}

// A column and its direction as a user writes them: "C", "C:asc" or
// "C:desc"; a colon before anything else is part of the name.
OrderTerm orderTermFrom(const QString& text) {
    const qsizetype colon = text.lastIndexOf(QLatin1Char(':'));
    const QString direction = colon < 0 ? QString() : text.mid(colon + 1).toLower();
    if (direction == QStringLiteral("desc") || direction == QStringLiteral("asc"))
        return {text.left(colon), direction == QStringLiteral("desc")};
    return {text, false};
}

} // namespace

void AddRunOptions(QCommandLineParser& parser) {
    parser.addOptions(
        {{"keep",
          "which row of each group stays: 'first' (the default) or 'last' in the judging order "
          "(e.g. --keep last)",
          "first|last", "first"},
         {"order-by",
          "judge first and last in the order of column C, rising, or falling with ':desc'; "
          "repeatable; ties and the default go by the table's own order (e.g. --order-by "
          "UPDATED:desc)",
          "C[:desc]"},
         {"ignore-case",
          "texts that differ only in letter case are the same (e.g. 'Anna Berg' and 'anna "
          "berg')"},
         {"trim", "texts that differ only in white space at either end are the same; blanks alone "
                  "equal '' and NULL (e.g. 'Oslo ' and 'Oslo')"},
         {"removed-into",
          "also make table N of the removed rows, with VARNOLT_ROW (the row's number) and "
          "VARNOLT_KEPT_ROW (the number of the row kept in its place) (e.g. --removed-into "
          "ORDERS_REMOVED)",
          "N"},
         {"in-place",
          "remove the repeats from TABLE itself, in one transaction, keeping them in the table of "
          "--removed-into (default: TABLE_REMOVED); 'restore' puts them back"},
         {"without-indexes",
          "make the copy without the source's indexes (those that keys and UNIQUE make stay)"},
         {"report",
          "write each group that had repeats to FILE as a JSON line {\"key\": [...], \"kept\": "
          "ROW, \"removed\": [ROW, ...]}, also with --dry-run (e.g. --report groups.jsonl)",
          "FILE"}});
}

QJsonObject JsonOf(const RunOptions& options) {
    QJsonArray order;
    for (const OrderTerm& term : options.orderBy)
        order.append(term.column + (term.descending ? QStringLiteral(":desc") : QString()));
    const auto named = [](const QString& name) {
        return name.isEmpty() ? QJsonValue() : QJsonValue(name);
    };
    return {{"keep", options.keep == RunOptions::Keep::Last ? "last" : "first"},
            {"order_by", order},
            {"ignore_case", options.ignoreCase},
            {"trim", options.trim},
            {"without_indexes", options.withoutIndexes},
            {"removed_into", named(options.removedInto)},
            {"report", named(options.reportFile)}};
}

RunOptions RunOptionsFromJson(const QJsonObject& json) {
    RunOptions options;
    if (json.value("keep").toString() == QStringLiteral("last"))
        options.keep = RunOptions::Keep::Last;
    for (const QJsonValue& term : json.value("order_by").toArray())
        options.orderBy << orderTermFrom(term.toString());
    options.ignoreCase = json.value("ignore_case").toBool();
    options.trim = json.value("trim").toBool();
    options.withoutIndexes = json.value("without_indexes").toBool();
    options.removedInto = json.value("removed_into").toString();
    options.reportFile = json.value("report").toString();
    return options;
}

std::optional<RunOptions> RunOptionsFrom(const QCommandLineParser& options, QString& problem) {
    RunOptions run;
    const QString keep = options.value(QStringLiteral("keep"));
    if (keep == QStringLiteral("last"))
        run.keep = RunOptions::Keep::Last;
    else if (!keep.isEmpty() && keep != QStringLiteral("first"))
        problem = QStringLiteral("--keep takes 'first' or 'last'");
    // An empty value is most often a shell variable that was never set.
    for (const QString& name : {QStringLiteral("removed-into"), QStringLiteral("report")}) {
        if (options.isSet(name) && options.value(name).isEmpty())
            problem = QStringLiteral("--%1 needs a name, not an empty text").arg(name);
    }
    if (!problem.isEmpty())
        return std::nullopt;
    for (const QString& term : options.values(QStringLiteral("order-by")))
        run.orderBy << orderTermFrom(term);
    run.ignoreCase = options.isSet(QStringLiteral("ignore-case"));
    run.trim = options.isSet(QStringLiteral("trim"));
    run.removedInto = options.value(QStringLiteral("removed-into"));
    run.reportFile = options.value(QStringLiteral("report"));
    run.withoutIndexes = options.isSet(QStringLiteral("without-indexes"));
    run.inPlace = options.isSet(QStringLiteral("in-place"));
    return run;
}

RunInputs Prepared(RunInputs inputs) {
    if (inputs.options.inPlace) {
        inputs.newTable = inputs.sourceTable;
        if (inputs.options.removedInto.isEmpty())
            inputs.options.removedInto = inputs.sourceTable + QStringLiteral("_REMOVED");
    }
    return inputs;
}

QString RunSummary(const RunInputs& inputs, const RunResult& result, const QLocale& locale) {
    const QString held = result.rowsKept == 1 ? QStringLiteral("%1 holds %2 row.")
                                              : QStringLiteral("%1 holds %2 rows.");
    const QString count = locale.toString(result.rowsRemoved);
    // Judged in another order, a removed row may come before the one kept.
    const QString other =
        inputs.options.keep == RunOptions::Keep::Last || !inputs.options.orderBy.isEmpty()
            ? QStringLiteral("another")
            : QStringLiteral("an earlier");
    const QString gone =
        inputs.options.inPlace ? QStringLiteral("removed") : QStringLiteral("left out");
    QString removed = QStringLiteral("No row repeated another.");
    if (result.rowsRemoved == 1)
        removed = QStringLiteral("%1 row that repeated %2 row was %3.").arg(count, other, gone);
    else if (result.rowsRemoved > 1)
        removed = QStringLiteral("%1 rows that repeated %2 row were %3.").arg(count, other, gone);
    if (result.rowsRemoved > 0 && !inputs.options.removedInto.isEmpty())
        removed += QStringLiteral("\n%1 holds them.").arg(inputs.options.removedInto);
    if (result.rowsRemoved > 0 && inputs.options.inPlace)
        removed += QStringLiteral(" To put them back: varnolt-cli restore %1 %2 --from %3")
                       .arg(shellWord(inputs.connection.sid), shellWord(inputs.sourceTable),
                            shellWord(inputs.options.removedInto));
    return held.arg(inputs.newTable, locale.toString(result.rowsKept)) + QLatin1Char('\n') +
           removed;
}
