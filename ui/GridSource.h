#pragma once

#include "db/Session.h"

#include <QSqlQueryModel>
#include <memory>

class QTableView;

namespace Ui {

// A record set bound to a grid. The grid shows it read-only and fetches rows as
// the user scrolls; the session it came from stays open for as long as the grid
// shows it, and is released when the grid is unbound or bound anew.
class GridSource {
public:
    explicit GridSource(QTableView* view);
    ~GridSource();

    // Shows the rows of `sql`; throws DatabaseError when the query fails.
    void bind(std::shared_ptr<Db::Session> session, const QString& sql);
    void unbind();
    // The rows shown, or null while unbound.
    QSqlQueryModel* model() const { return m_model.get(); }

private:
    QTableView* m_view;
    // A new model per binding: a cleared model still holds a result of its old
    // driver, which must not outlive the session it came from.
    std::unique_ptr<QSqlQueryModel> m_model;
    std::shared_ptr<Db::Session> m_session;
};

} // namespace Ui
