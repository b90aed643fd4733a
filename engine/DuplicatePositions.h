#pragma once

#include "core/Stop.h"

#include <QList>
#include <QStringList>

// The 1-based positions of every element that repeats an earlier one, highest
// first. Values compare exactly (case-sensitive, no trimming).
QList<qint64> DuplicatePositions(const QStringList& values, const KeepGoing& keepGoing = {});
