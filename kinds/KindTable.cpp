#include "KindTable.h"

#include "oracle/OracleKind.h"
#include "postgres/PostgresKind.h"
#include "sqlite/SqliteKind.h"

#include <array>

const RunKind& KindOf(const QString& dataSource) {
    static const PostgresKind postgres;
    static const SqliteKind sqlite;
    static const OracleKind oracle; // takes whatever names no other kind
    static const std::array<const RunKind*, 3> kinds{&postgres, &sqlite, &oracle};
    for (const RunKind* kind : kinds) {
        if (kind->names(dataSource))
            return *kind;
    }
    return oracle;
}
