#pragma once

#include <QPushButton>

// A button of the wizard's button rows: one action per press, shown released
// again after it, and none while disabled.
class PageButton : public QPushButton {
    Q_OBJECT
public:
    PageButton(const QString& caption, QWidget* parent, qreal pointSize = 11.25);
};
