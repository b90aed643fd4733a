#pragma once

#include "db/Session.h"

#include <QAbstractTableModel>
#include <memory>

namespace Ui {

// The rows of one table for a grid, read a page at a time as the user scrolls
// down, each page by a short statement that is over before the grid shows it.
// Between two pages nothing is held open but the session, so the grid never
// keeps another program from writing. Values longer than a grid shows are cut.
class TablePages : public QAbstractTableModel {
    Q_OBJECT
public:
    // Reads the first page of `table`, whose columns are `columns`; throws
    // DatabaseError.
    TablePages(std::shared_ptr<Db::Session> session, const QString& table,
               const QStringList& columns);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    bool canFetchMore(const QModelIndex& parent) const override;
    void fetchMore(const QModelIndex& parent) override;

private:
    // Appends the next page; throws DatabaseError.
    void readPage();

    std::shared_ptr<Db::Session> m_session;
    QString m_table;
    QStringList m_columns;
    QString m_key;
    QVariant m_after;
    QList<QVariantList> m_rows;
    bool m_complete = false;
};

} // namespace Ui
