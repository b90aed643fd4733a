#pragma once

#include "engine/Run.h"

#include <QAbstractTableModel>

// What a dry run found, for a grid: a line of counts, then each group's kept
// row, marked, followed by the rows that repeat it. The kept row shows the
// values of the chosen columns as the grids show values.
class RepeatPreview : public QAbstractTableModel {
    Q_OBJECT
public:
    // `removed` says how the rows that go are told of ("left out", "removed").
    RepeatPreview(const RunResult& result, const QStringList& columns, const QString& removed,
                  const QLocale& locale);

    // The line of counts: "3 of 5 rows stay; 2 rows in 1 group would be left
    // out", and how many groups are not shown.
    static QString Counts(const RunResult& result, const QString& removed, const QLocale& locale);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    // One line of the grid: a row's number, and for a repeat the number of
    // the row it repeats; the kept row's values.
    struct Line {
        qint64 row;
        std::optional<qint64> repeats;
        QVariantList values;
    };
    QString m_counts;
    QStringList m_columns;
    QList<Line> m_lines;
};
