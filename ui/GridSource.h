#pragma once

#include "db/Session.h"

#include <QAbstractTableModel>
#include <memory>

class QTableView;

namespace Ui {

// A table shown in a grid, read-only, fetched a page at a time as the user
// scrolls. The session it came from stays open while the grid shows it, and is
// released when the grid is unbound or bound anew.
class GridSource {
public:
    explicit GridSource(QTableView* view);
    ~GridSource();

    // Shows the rows of `table`; throws DatabaseError when they cannot be read.
    void bind(std::shared_ptr<Db::Session> session, const QString& table);
    // The same, for a caller that has read the table's columns already.
    void bind(std::shared_ptr<Db::Session> session, const QString& table,
              const QStringList& columns);
    void unbind();
    // The rows shown, or null while unbound.
    QAbstractTableModel* model() const { return m_model.get(); }

private:
    QTableView* m_view;
    std::unique_ptr<QAbstractTableModel> m_model;
};

} // namespace Ui
