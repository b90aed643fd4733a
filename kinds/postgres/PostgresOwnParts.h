#pragma once

#include "PostgresDialect.h"
#include "db/Session.h"
#include "engine/Run.h"

// What lets a copy take its source's place, made in the run's transaction.
namespace PostgresOwnParts {

// Before the copy is filled: drops the indexes it took from the source that
// no constraint needs, where the user leaves them out.
void LeaveOutIndexes(Db::Session& session, const Db::PostgresDialect& sql, const RunInputs& inputs);

// Once it is filled: the source's FOREIGN KEYs (one that refers to the
// source refers to the copy, and is refused where kept rows would refer to
// removed ones), and sequences of its own for serial and identity columns
// that go on after the source's.
void Finish(Db::Session& session, const Db::PostgresDialect& sql, const QString& schema,
            const RunInputs& inputs);

} // namespace PostgresOwnParts
