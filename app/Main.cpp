#include "Main.h"

#include <QFileInfo>
#include <QGuiApplication>
#include <QListWidget>
#include <QScreen>
#include <QWidget>
#include <cmath>

namespace Main {

QPointF CenteredPosition(const QSizeF& window, const QRectF& screen) {
    return {screen.left() + (screen.width() - window.width()) / 2.0,
            screen.top() + (screen.height() - window.height()) / 2.0};
}

void CenterForm(QWidget* form) {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    // The frame is only known once the window system has decorated the window.
    const QSize frame = form->isVisible() ? form->frameGeometry().size() : form->size();
    const QPointF corner = CenteredPosition(QSizeF(frame), QRectF(screen->geometry()));
    form->move(static_cast<int>(std::floor(corner.x())), static_cast<int>(std::floor(corner.y())));
}

bool FileExists(const QString& path) {
    if (path.isEmpty())
        return false;
    const QFileInfo info(path);
    return info.exists() && info.lastModified().isValid();
}

QVariant NullToDefault(const QVariant& value, const QVariant& fallback) {
    return value.isNull() ? fallback : value;
}

bool ListContains(const QListWidget* list, const QString& text) {
    bool found = false;
    for (int i = 0; i < list->count(); ++i) {
        if (list->item(i)->text() == text)
            found = true;
    }
    return found;
}

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

} // namespace Main
