#pragma once

class QListWidget;

namespace Ui {

// The position of the selected item, or -1 when no item is selected.
int SelectedRow(const QListWidget* list);

// Removes one item the way the wizard's lists expect: a removed selected item
// leaves the list without a selection, and removing another item keeps the
// selected one selected.
void RemoveListItem(QListWidget* list, int row);

// Removes from `target` every item whose text equals the text of an item of
// `reference`, each occurrence; `reference` is not changed.
void RemoveItemsListedIn(QListWidget* target, const QListWidget* reference);

} // namespace Ui
