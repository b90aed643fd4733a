#include "Windows.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <cmath>

namespace Ui {

QPointF CenteredPosition(const QSizeF& window, const QRectF& screen) {
    return {screen.left() + (screen.width() - window.width()) / 2,
            screen.top() + (screen.height() - window.height()) / 2};
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

} // namespace Ui
