#pragma once

#include <QObject>

class QLineEdit;

// Selects a text box's whole text when the focus enters it, by the keyboard or
// by a click, so the next key press replaces it.
class SelectAllOnFocus : public QObject {
    Q_OBJECT
public:
    explicit SelectAllOnFocus(QLineEdit* box);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QLineEdit* m_box;
};
