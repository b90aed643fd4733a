#include "RepeatPreview.h"

#include "ui/CellData.h"

#include <QColor>
#include <QSize>

namespace {

// The row number, how the row fares, then the chosen columns.
constexpr int kFixedColumns = 2;

} // namespace

RepeatPreview::RepeatPreview(const RunResult& result, const QStringList& columns,
                             const QString& removed, const QLocale& locale)
    : m_counts(Counts(result, removed, locale)), m_columns(columns) {
    for (const RepeatGroup& group : result.groups) {
        m_lines.append({group.kept, std::nullopt, group.values});
        for (const qint64 repeat : group.repeats)
            m_lines.append({repeat, group.kept, {}});
    }
}

QString RepeatPreview::Counts(const RunResult& result, const QString& removed,
                              const QLocale& locale) {
    if (result.status != RunResult::Status::Done)
        return result.message;
    QString counts =
        QStringLiteral("%1 of %2 %3; ")
            .arg(locale.toString(result.rowsKept), Rows(result.rowsRead, locale),
                 result.rowsKept == 1 ? QStringLiteral("stays") : QStringLiteral("stay"));
    if (result.rowsRemoved == 0)
        return counts + QStringLiteral("no row repeats another.");
    const QString groups =
        result.repeatedGroups == 1
            ? QStringLiteral("1 group")
            : QStringLiteral("%1 groups").arg(locale.toString(result.repeatedGroups));
    counts += QStringLiteral("%1 in %2 would be %3.")
                  .arg(Rows(result.rowsRemoved, locale), groups, removed);
    if (const qint64 more = result.repeatedGroups - result.groups.size(); more > 0)
        counts += QStringLiteral(" The first %1 are shown, %2 more are not.")
                      .arg(locale.toString(result.groups.size()), locale.toString(more));
    return counts;
}

int RepeatPreview::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(m_lines.size()) + 1;
}

int RepeatPreview::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kFixedColumns + int(m_columns.size());
}

QVariant RepeatPreview::data(const QModelIndex& index, int role) const {
    if (!index.isValid())
        return {};
    if (index.row() == 0) {
        // The counts span the grid, and size none of its columns.
        if (role == Qt::SizeHintRole)
            return QSize(0, 0);
        if (index.column() == 0 &&
            (role == Qt::DisplayRole || role == Qt::AccessibleTextRole || role == Qt::ToolTipRole))
            return m_counts;
        return {};
    }
    const Line& line = m_lines.at(index.row() - 1);
    // The row that stays is shaded, as a selection would be, but lighter.
    if (role == Qt::BackgroundRole && !line.repeats)
        return QColor(0xe3, 0xee, 0xfa);
    switch (index.column()) {
    case 0:
        return role == Qt::DisplayRole || role == Qt::AccessibleTextRole ? QVariant(line.row)
                                                                         : QVariant();
    case 1:
        if (role != Qt::DisplayRole && role != Qt::AccessibleTextRole)
            return {};
        return line.repeats ? QStringLiteral("repeats row %1").arg(*line.repeats)
                            : QStringLiteral("stays");
    default:
        if (line.repeats)
            return {};
        return Ui::CellData(line.values.value(index.column() - kFixedColumns), role);
    }
}

QVariant RepeatPreview::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole || orientation != Qt::Horizontal)
        return {};
    if (section == 0)
        return QStringLiteral("Row");
    if (section == 1)
        return QString();
    return m_columns.value(section - kFixedColumns);
}
