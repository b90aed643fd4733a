#pragma once

#include "engine/RunPlan.h"

// The kind of database a Data Source (the SID box, or the command line's DB)
// names: the first of the kinds in the table that takes it. This is the one
// place that knows every kind.
const RunKind& KindOf(const QString& dataSource);
