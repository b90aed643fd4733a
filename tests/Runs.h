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
