#pragma once

#include "engine/Run.h"

class SettingsStore;

// How the run on one table judges its rows and what it keeps, as the target
// page's options give it and the settings store keeps it for that table.
struct TableChoices {
    // Its removedInto is a name the user gave, or empty for the new table's
    // name followed by "_REMOVED".
    RunOptions options;
    bool keepRemoved = false;

    // The options a run takes, the removed rows' table named after `newTable`
    // unless the user named it.
    RunOptions forRun(const QString& newTable) const;
    // The choices that differ from the default, in one line ("Last row by
    // UPDATED stays; case ignored"), or the empty text.
    QString summary(const QString& newTable) const;

    bool operator==(const TableChoices&) const = default;
};

// The choices kept for `table` of the database `sid`; where there are none,
// the default, the removed rows kept as they were last time.
TableChoices LoadChoices(const SettingsStore& settings, const QString& sid, const QString& table);
void SaveChoices(SettingsStore& settings, const QString& sid, const QString& table,
                 const TableChoices& choices);
