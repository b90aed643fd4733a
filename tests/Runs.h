#pragma once

#include "engine/DuplicateRemoval.h"
#include "kinds/KindTable.h"

// One run of the engine on any database the test has: `db` is anything with
// connection(), the columns are named as a user names them.
template <typename Database>
RunResult runOn(const Database& db, const QString& source, const QStringList& columns,
                const QString& newTable, RunCallbacks callbacks = {}, bool dryRun = false,
                RunOptions options = {}) {
    return DuplicateRemoval(
               KindOf(db.connection().sid),
               {db.connection(), source, Db::ColumnsNamed(columns), newTable, dryRun, options},
               std::move(callbacks))
        .run();
}

// Callbacks that say yes to replacing a table and tell `progress` how the run
// goes.
inline RunCallbacks Replacing(std::function<bool(const Progress&)> progress = {}) {
    return {std::move(progress), [](const QString&) { return true; }};
}

// Options as a test names them: "last", "case", "trim", and columns to
// order by, ":desc" falling.
inline RunOptions OptionsFrom(const QString& text) {
    RunOptions options;
    for (const QString& word : text.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        if (word == QStringLiteral("last"))
            options.keep = RunOptions::Keep::Last;
        else if (word == QStringLiteral("case"))
            options.ignoreCase = true;
        else if (word == QStringLiteral("trim"))
            options.trim = true;
        else // a column to order by, ":desc" falling
            options.orderBy << OrderTerm{word.section(QLatin1Char(':'), 0, 0).toUpper(),
                                         word.endsWith(QStringLiteral(":desc"))};
    }
    return options;
}
