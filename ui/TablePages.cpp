#include "TablePages.h"

#include "db/DatabaseError.h"

#include <QColor>

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

namespace {

// How many blanks (spaces, tabs, line breaks) a text starts and ends with.
std::pair<qsizetype, qsizetype> edgeBlanks(const QString& text) {
    qsizetype leading = 0;
    while (leading < text.size() && text.at(leading).isSpace())
        ++leading;
    qsizetype trailing = 0;
    while (trailing < text.size() - leading && text.at(text.size() - 1 - trailing).isSpace())
        ++trailing;
    return {leading, trailing};
}

// A NULL reads "NULL", greyed, as in every database tool, so it is not
// taken for an empty text; blanks at either end of a text are shown as dots,
// so "Oslo " does not pass for "Oslo".
QString shownText(const QVariant& value) {
    if (value.isNull())
        return QStringLiteral("NULL");
    QString text = value.toString();
    const auto [leading, trailing] = edgeBlanks(text);
    const QChar dot(0x00B7);
    for (qsizetype i = 0; i < leading; ++i)
        text[i] = dot;
    for (qsizetype i = text.size() - trailing; i < text.size(); ++i)
        text[i] = dot;
    return text;
}

// What a screen reader says of a value, the same distinctions in words.
QString spokenText(const QVariant& value) {
    if (value.isNull())
        return QStringLiteral("null");
    const QString text = value.toString();
    if (text.isEmpty())
        return QStringLiteral("empty text");
    const auto [leading, trailing] = edgeBlanks(text);
    if (leading == 0 && trailing == 0)
        return text;
    return QStringLiteral("%1 (%2 blanks before, %3 after)")
        .arg(text.trimmed())
        .arg(leading)
        .arg(trailing);
}

} // namespace

QVariant TablePages::data(const QModelIndex& index, int role) const {
    if (!index.isValid())
        return {};
    const QVariant& value = m_rows.at(index.row()).at(index.column());
    switch (role) {
    case Qt::DisplayRole:
        return shownText(value);
    case Qt::AccessibleTextRole:
    case Qt::ToolTipRole:
        return spokenText(value);
    case Qt::ForegroundRole:
        return value.isNull() ? QVariant(QColor(Qt::gray)) : QVariant();
    default:
        return {};
    }
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
