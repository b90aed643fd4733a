#pragma once

#include "PostgresDialect.h"
#include "db/Session.h"
#include "engine/Run.h"

// What lets a copy take its source's place, made in the run's transaction.
namespace PostgresOwnParts {

// Before the copy is filled: drops the indexes it took from the source that
// no constraint needs, where the user leaves them out.
void LeaveOutIndexes(Db::Session& session, const Db::PostgresDialect& sql, const RunInputs& inputs,
                     const QString& copy);

// Once it is filled: the source's FOREIGN KEYs (one that refers to the
// source refers to the copy, and is refused where kept rows would refer to
// removed ones), and sequences of its own for serial and identity columns
// that go on after the source's.
void Finish(Db::Session& session, const Db::PostgresDialect& sql, const QString& schema,
            const RunInputs& inputs, const QString& copy);

// The name the copy is built under, the run's alone until it commits: the
// new name itself, or where that names a table to replace, a free one, so
// that readers of the old table wait only for the swap. Throws
// DatabaseError where another run is making the same table.
QString Claim(Db::Session& session, const Db::PostgresDialect& sql, const QString& schema,
              const QString& newTable, bool replacing);
// Just before the commit: drops the table replaced, and gives the copy
// built under `building`, and the names derived from it, the new name.
void TakeNewName(Db::Session& session, const Db::PostgresDialect& sql, const QString& building,
                 const QString& newTable);

} // namespace PostgresOwnParts
