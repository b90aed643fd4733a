#include "SelectAllOnFocus.h"

#include <QEvent>
#include <QLineEdit>
#include <QTimer>

SelectAllOnFocus::SelectAllOnFocus(QLineEdit* box) : QObject(box), m_box(box) {
    box->installEventFilter(this);
}

bool SelectAllOnFocus::eventFilter(QObject* watched, QEvent* event) {
    // The mouse press that brings the focus would move the cursor and drop a
    // selection made at once, so the selection waits for it.
    if (watched == m_box && event->type() == QEvent::FocusIn)
        QTimer::singleShot(0, m_box, &QLineEdit::selectAll);
    return QObject::eventFilter(watched, event);
}
