#include "GridSource.h"

#include "TablePages.h"
#include "db/Catalogue.h"

#include <QTableView>
#include <algorithm>

namespace Ui {

GridSource::GridSource(QTableView* view) : m_view(view) {
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // Tab moves on to the next control, as it does everywhere else on a page.
    view->setTabKeyNavigation(false);
}

GridSource::~GridSource() {
    unbind();
}

void GridSource::bind(std::shared_ptr<Db::Session> session, const QString& table) {
    const QStringList columns = Db::ColumnList(*session, table);
    bind(std::move(session), table, columns);
}

void GridSource::bind(std::shared_ptr<Db::Session> session, const QString& table,
                      const QStringList& columns) {
    unbind();
    m_model = std::make_unique<TablePages>(std::move(session), table, columns);
    m_view->setModel(m_model.get());
    m_view->resizeColumnsToContents();
    // A long text would otherwise push every column after it out of sight.
    const int widest = m_view->viewport()->width() * 2 / 3;
    for (int column = 0; column < m_model->columnCount(); ++column)
        m_view->setColumnWidth(column, std::min(m_view->columnWidth(column), widest));
}

void GridSource::unbind() {
    m_view->setModel(nullptr);
    m_model.reset();
}

} // namespace Ui
