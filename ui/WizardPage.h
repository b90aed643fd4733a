#pragma once

#include <QCursor>
#include <QHash>
#include <QWidget>
#include <functional>

class QFrame;
class QLabel;
class PageButton;

// What all four wizard pages share: a fixed size given in twips, white
// background, bold Arial, one pointer setting for the whole page, and a signal
// when the user closes the window.
class WizardPage : public QWidget {
    Q_OBJECT
public:
    enum class Pointer { Ordinary = 0, Busy = 11, Hand = 99 };
    // What the mouse over a control does to the page's pointer.
    enum class HoverRule { Hand, Ordinary, None };

    WizardPage(int widthTwips, int heightTwips);

    Pointer pointer() const { return m_pointer; }
    void setPointer(Pointer pointer);

    // Pixels for a length in twips at the screen's logical resolution.
    int pixels(int twips) const;
    QRect twips(int left, int top, int width, int height) const;

signals:
    // The user closed the window.
    void closed();

protected:
    // The part of the load step every page has: centre, hand pointer, caption.
    void loadCommon(const QString& caption);
    // Runs a page action: a database failure becomes a message with the
    // error's number and text, and an action that was stopped ends quietly.
    void runAction(const std::function<void()>& action);
    // The hourglass (and, unless `keepEnabled`, no input) while `action` runs.
    void runBusy(const std::function<void()>& action);

    QLabel* addLabel(const QString& caption, int left, int top, int width, int height);
    PageButton* addButton(const QString& caption, int left, int top, int width, int height);
    QFrame* addLine(int top);
    // Tab moves through `widgets` in this order.
    void chainTabOrder(const QList<QWidget*>& widgets);

    // Controls whose rule is not their kind's: a page button shows the hand,
    // everything else the ordinary pointer.
    void setHoverRule(QWidget* control, HoverRule rule);
    // Watches the mouse over every control; run once all controls exist.
    void armHover();

    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    // The control of this page that `object` is, or is part of.
    QWidget* controlOf(QObject* object) const;
    void hoverOver(QWidget* control);

    Pointer m_pointer = Pointer::Ordinary;
    QHash<const QWidget*, HoverRule> m_rules;
    // Cursors the controls bring of their own, such as a text box's I-beam.
    QHash<QWidget*, QCursor> m_ownCursors;
};
