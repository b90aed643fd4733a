#pragma once

#include "SqliteDialect.h"
#include "SqliteFile.h"

#include <memory>
#include <optional>
#include <queue>
#include <vector>

// The rows a judged run removes. Where they are read back as groups (the
// removed rows' table, the report, a dry run) they go into the TEMP list, each
// with the row kept in its place; otherwise only their numbers are needed,
// and they are kept in memory: sorted a run at a time as they come, each run
// packed as the distances between its numbers, and the runs merged as they
// are read. A sort of millions at once would keep the front end waiting, and
// eight bytes a number would cost more than the rest of the run.
class RemovedRows {
public:
    RemovedRows(Db::SqliteFile& file, const Db::SqliteDialect& sql, bool listed);
    void add(qint64 number, qint64 kept);
    // The removed rows' numbers in rising order, one a call; nothing past
    // the last.
    std::optional<qint64> next();

private:
    void endRun();

    std::unique_ptr<Db::SqliteFile::Statement> m_add;
    std::unique_ptr<Db::SqliteFile::Statement> m_list;
    std::vector<qint64> m_run;
    std::vector<unsigned char> m_packed;
    // Where each packed run ends, after the 0 the first starts at.
    std::vector<std::size_t> m_ends{0};
    // While merging: where each run has got to, and the next number of each.
    std::vector<std::size_t> m_at;
    using Head = std::pair<qint64, std::size_t>;
    std::priority_queue<Head, std::vector<Head>, std::greater<>> m_heads;
    bool m_merging = false;
};
