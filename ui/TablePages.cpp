#include "TablePages.h"

#include "CellData.h"
#include "db/DatabaseError.h"

namespace Ui {

namespace {

QVariant shown(const QVariant& value) {
    if (value.typeId() == QMetaType::QByteArray)
        return QStringLiteral("(%1 bytes)").arg(value.toByteArray().size());
    if (value.typeId() == QMetaType::QString &&
        value.toString().size() > Db::Dialect::kGridTextLength)
        return value.toString().left(Db::Dialect::kGridTextLength) + QChar(0x2026);
    return value;
}

} // namespace

TablePages::TablePages(std::shared_ptr<Db::Session> session, const QString& table,
                       const QStringList& columns)
    : m_session(std::move(session)), m_table(table), m_columns(columns) {
    {
        Db::RecordSet key(*m_session, m_session->dialect().gridKey(),
                          {{QStringLiteral("table_name"), table}});
        if (key.next())
            m_key = key.value(0).toString();
    }
    readPage();
}

void TablePages::readPage() {
    const Db::Dialect& dialect = m_session->dialect();
    const bool keyed = !m_key.isEmpty();
    const bool first = m_rows.isEmpty();
    QVariantMap values;
    if (!keyed)
        values.insert(QStringLiteral("skip"), m_rows.size());
    else if (!first)
        values.insert(QStringLiteral("after"), m_after);
    QList<QVariantList> page;
    {
        Db::RecordSet rows(*m_session, dialect.gridPage(m_table, m_columns, m_key, first), values);
        const int lead = keyed ? 1 : 0;
        while (rows.next()) {
            if (keyed)
                m_after = rows.value(0);
            QVariantList row;
            row.reserve(m_columns.size());
            for (int column = 0; column < m_columns.size(); ++column)
                row << shown(rows.value(lead + column));
            page << row;
        }
    }
    m_complete = page.size() < Db::Dialect::kGridPageRows;
    if (page.isEmpty())
        return;
    beginInsertRows({}, int(m_rows.size()), int(m_rows.size() + page.size() - 1));
    m_rows += page;
    endInsertRows();
}

int TablePages::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(m_rows.size());
}

int TablePages::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(m_columns.size());
}

QVariant TablePages::data(const QModelIndex& index, int role) const {
    if (!index.isValid())
        return {};
    return CellData(m_rows.at(index.row()).at(index.column()), role);
}

QVariant TablePages::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole)
        return {};
    if (orientation == Qt::Horizontal)
        return m_columns.value(section);
    return section + 1;
}

bool TablePages::canFetchMore(const QModelIndex& parent) const {
    return !parent.isValid() && !m_complete;
}

// A page that cannot be read ends the grid where it is; the view has nowhere
// to report the failure, and the rows it shows are still right.
void TablePages::fetchMore(const QModelIndex& parent) {
    if (!canFetchMore(parent))
        return;
    try {
        readPage();
    } catch (const Db::DatabaseError&) {
        m_complete = true;
    }
}

} // namespace Ui
