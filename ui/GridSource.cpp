#include "GridSource.h"

#include "db/DatabaseError.h"

#include <QSqlError>
#include <QTableView>

namespace Ui {

GridSource::GridSource(QTableView* view) : m_view(view) {
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
}

GridSource::~GridSource() {
    unbind();
}

void GridSource::bind(std::shared_ptr<Db::Session> session, const QString& sql) {
    unbind();
    Db::FaultInjection::check(Db::FaultInjection::Point::Statement);
    auto model = std::make_unique<QSqlQueryModel>();
    model->setQuery(sql, session->database());
    if (model->lastError().isValid())
        throw Db::DatabaseError(model->lastError());
    m_model = std::move(model);
    m_session = std::move(session);
    m_view->setModel(m_model.get());
    m_view->resizeColumnsToContents();
}

void GridSource::unbind() {
    // The model's query must go before its session can be released.
    m_view->setModel(nullptr);
    m_model.reset();
    m_session.reset();
}

} // namespace Ui
