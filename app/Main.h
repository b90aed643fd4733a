#pragma once

#include <QPointF>
#include <QRectF>
#include <QSizeF>
#include <QString>
#include <QVariant>

class QListWidget;
class QWidget;

namespace Main {

// The top left corner that centres a window of `window` size on `screen`; halves
// are kept, and a window larger than the screen gets a negative corner.
QPointF CenteredPosition(const QSizeF& window, const QRectF& screen);
// Centres a top-level window on its screen without changing its size.
void CenterForm(QWidget* form);
// True when the file system can tell the file's time of last change; false on
// any error (no such file or folder, a bad path, no access).
bool FileExists(const QString& path);
// `fallback` when `value` is NULL, otherwise `value` itself, of its own type.
QVariant NullToDefault(const QVariant& value, const QVariant& fallback);
// True when at least one item's text equals `text` exactly (case-sensitive).
bool ListContains(const QListWidget* list, const QString& text);

// The position of the selected item, or -1 when no item is selected.
int SelectedRow(const QListWidget* list);
// Removes one item the way the wizard's lists expect: a removed selected item
// leaves the list without a selection, and removing another item keeps the
// selected one selected.
void RemoveListItem(QListWidget* list, int row);

} // namespace Main
