#include "KindTable.h"

#include "mariadb/MariaDbKind.h"
#include "oracle/OracleKind.h"
#include "postgres/PostgresKind.h"
#include "sqlite/SqliteKind.h"

#include <array>

const RunKind& KindOf(const QString& dataSource) {
    static const PostgresKind postgres;
    static const MariaDbKind mariadb;
    static const SqliteKind sqlite;
    static const OracleKind oracle; // takes whatever names no other kind
    static const std::array<const RunKind*, 4> kinds{&postgres, &mariadb, &sqlite, &oracle};
    for (const RunKind* kind : kinds) {
        if (kind->names(dataSource))
            return *kind;
    }
    return oracle;
}
