#include "PageButton.h"

PageButton::PageButton(const QString& caption, QWidget* parent, qreal pointSize)
    : QPushButton(caption, parent) {
    QFont face(QStringLiteral("Arial"));
    face.setBold(true);
    face.setPointSizeF(pointSize);
    setFont(face);
    setAutoDefault(false);
    setAccessibleName(caption);
}
