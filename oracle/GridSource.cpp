#include "GridSource.h"

#include "DatabaseError.h"

#include <QSqlError>
#include <QTableView>

namespace Oracle {

GridSource::GridSource(QTableView* view) : m_model(new QSqlQueryModel(view)) {
    view->setModel(m_model);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
}

GridSource::~GridSource() { unbind(); }

void GridSource::bind(std::shared_ptr<Session> session, const QString& sql) {
    unbind();
    m_model->setQuery(sql, session->database());
    if (m_model->lastError().isValid()) {
        const DatabaseError error(m_model->lastError());
        m_model->clear();
        throw error;
    }
    m_session = std::move(session);
}

void GridSource::unbind() {
    // The model's query must go before its session can be released.
    m_model->clear();
    m_session.reset();
}

} // namespace Oracle
