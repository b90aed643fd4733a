#pragma once

#include <QCursor>
#include <QHash>
#include <QWidget>
#include <functional>

class QFrame;
class QLabel;
class PageButton;

// What all four wizard pages share: a fixed size given in twips, white
// background, bold Arial, one pointer setting for the whole page, the row of
// "Cancel", "< Back", "Next >" and "Finish" with the keys every wizard has,
// and signals for what the user asks of the page flow.
class WizardPage : public QWidget {
    Q_OBJECT
public:
    enum class Pointer { Ordinary = 0, Busy = 11, Hand = 99 };
    // What the mouse over a control does to the page's pointer.
    enum class HoverRule { Hand, Ordinary, None };

    WizardPage(int widthTwips, int heightTwips);

    Pointer pointer() const { return m_pointer; }
    void setPointer(Pointer pointer);

    // Runs a page action: a database failure becomes a message with the
    // error's number and text, its details saying who said so and what the
    // page was `doing`; an action that was stopped ends quietly.
    void runAction(const std::function<void()>& action, const QString& doing = {});
    // The hourglass and no input while `action` runs.
    void runBusy(const std::function<void()>& action, const QString& doing = {});

    // Pixels for a length in twips at the screen's logical resolution.
    int pixels(int twips) const;
    QRect twips(int left, int top, int width, int height) const;

signals:
    // The user closed the window, or pressed "Cancel".
    void closed();
    // The user pressed "< Back" or "Next >".
    void backRequested();
    void nextRequested();

protected:
    // The part of the load step every page has: centre, hand pointer, caption.
    void loadCommon(const QString& caption);

    // The row every page ends with, at `top`; "Finish" may sit a little
    // apart. "Cancel" closes, "< Back" and "Next >" ask the page flow.
    struct ButtonRow {
        PageButton* cancel;
        PageButton* back;
        PageButton* next;
        PageButton* finish;
    };
    ButtonRow addButtonRow(int top, int finishLeft = 4440, int finishWidth = 1320);
    // Enter on `control` runs `action` instead of pressing the forward button.
    void setEnterAction(QWidget* control, std::function<void()> action);

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
    // Enter presses a focused button, else the forward button ("Next >", or
    // "Finish" where "Next >" is off); Escape presses "Cancel".
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    // The control of this page that `object` is, or is part of.
    QWidget* controlOf(QObject* object) const;
    void hoverOver(QWidget* control);

    Pointer m_pointer = Pointer::Ordinary;
    ButtonRow m_row{};
    QHash<const QWidget*, std::function<void()>> m_enterActions;
    QHash<const QWidget*, HoverRule> m_rules;
    // Cursors the controls bring of their own, such as a text box's I-beam.
    QHash<QWidget*, QCursor> m_ownCursors;
};
