#pragma once

#include "Fixture.h"
#include "ui/TablePages.h"

// Reads `table` of `db` through a grid a page at a time, as the pages show
// it: its `rows` rows (id 1 up, in the table's order) each once and in
// order, a NULL note as NULL and the 400 characters of row 2's cut with a
// mark.
template <typename Database>
void CheckGridPages(const Database& db, const QString& table, int rows) {
    auto session = std::make_shared<TestSession>(db.connection());
    session->open();
    Ui::TablePages grid(session, table, {"id", "note"});
    while (grid.canFetchMore({}))
        grid.fetchMore({});
    QCOMPARE(grid.rowCount(), rows);
    for (int row = 0; row < rows; ++row)
        QCOMPARE(grid.index(row, 0).data().toInt(), row + 1);
    QCOMPARE(grid.index(0, 1).data().toString(), QStringLiteral("NULL"));
    QCOMPARE(grid.index(1, 1).data().toString(), QString(300, 'x') + QChar(0x2026));
}
