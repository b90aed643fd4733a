#pragma once

#include <QPointF>
#include <QRectF>
#include <QSizeF>

class QWidget;

namespace Ui {

// The top left corner that centres a window of `window` size on `screen`; halves
// are kept, and a window larger than the screen gets a negative corner.
QPointF CenteredPosition(const QSizeF& window, const QRectF& screen);
// Centres a top-level window on its screen without changing its size.
void CenterForm(QWidget* form);

} // namespace Ui
