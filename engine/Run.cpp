#include "Run.h"

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

QString RunSummary(const QString& newTable, const RunResult& result, const QLocale& locale) {
    const QString held = result.rowsKept == 1 ? QStringLiteral("%1 holds %2 row.")
                                              : QStringLiteral("%1 holds %2 rows.");
    const QString count = locale.toString(result.rowsRemoved);
    QString removed = QStringLiteral("No row repeated another.");
    if (result.rowsRemoved == 1)
        removed = QStringLiteral("%1 row that repeated an earlier row was left out.").arg(count);
    else if (result.rowsRemoved > 1)
        removed = QStringLiteral("%1 rows that repeated an earlier row were left out.").arg(count);
    return held.arg(newTable, locale.toString(result.rowsKept)) + QLatin1Char('\n') + removed;
}
