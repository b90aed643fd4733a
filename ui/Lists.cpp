#include "Lists.h"

#include "core/Values.h"

#include <QHash>
#include <QListWidget>

namespace Ui {

int SelectedRow(const QListWidget* list) {
    const QList<QListWidgetItem*> selected = list->selectedItems();
    return selected.isEmpty() ? -1 : list->row(selected.first());
}

void RemoveListItem(QListWidget* list, int row) {
    const int selectedRow = SelectedRow(list);
    QListWidgetItem* keep = selectedRow == row ? nullptr : list->item(selectedRow);
    delete list->takeItem(row);
    if (keep) {
        list->setCurrentItem(keep);
    } else {
        list->setCurrentItem(nullptr);
        list->clearSelection();
    }
}

void RemoveItemsListedIn(QListWidget* target, const QListWidget* reference) {
    QHash<QString, QList<int>> rowsByText;
    for (int row = 0; row < target->count(); ++row)
        rowsByText[target->item(row)->text()].append(row);

    // A text the reference names twice yields its rows twice.
    QList<int> rows;
    for (int j = 0; j < reference->count(); ++j)
        rows += rowsByText.value(reference->item(j)->text());
    rows = DistinctValues(rows);
    std::sort(rows.begin(), rows.end(), std::greater<>());
    for (const int row : rows)
        RemoveListItem(target, row);
}

} // namespace Ui
