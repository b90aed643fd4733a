#include "WizardPage.h"

#include "HandCursor.h"
#include "Messages.h"
#include "PageButton.h"
#include "Windows.h"
#include "core/Stop.h"
#include "db/DatabaseError.h"

#include <QCloseEvent>
#include <QFrame>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPixmap>

namespace {
constexpr int kTwipsPerInch = 1440;
} // namespace

WizardPage::WizardPage(int widthTwips, int heightTwips) {
    setAttribute(Qt::WA_DeleteOnClose, false);
    setAutoFillBackground(true);
    QPalette white = palette();
    white.setColor(QPalette::Window, Qt::white);
    white.setColor(QPalette::Base, Qt::white);
    white.setColor(QPalette::Button, Qt::white);
    setPalette(white);
    QFont face(QStringLiteral("Arial"));
    face.setBold(true);
    face.setPointSizeF(9);
    setFont(face);
    setFixedSize(pixels(widthTwips), pixels(heightTwips));
    QPixmap blank(32, 32);
    blank.fill(Qt::transparent);
    setWindowIcon(QIcon(blank));
}

int WizardPage::pixels(int twips) const {
    return qRound(static_cast<qreal>(twips) * logicalDpiX() / kTwipsPerInch);
}

QRect WizardPage::twips(int left, int top, int width, int height) const {
    return {pixels(left), pixels(top), pixels(width), pixels(height)};
}

// The page's pointer holds over the page and all its controls alike.
void WizardPage::setPointer(Pointer pointer) {
    if (pointer == m_pointer)
        return;
    m_pointer = pointer;
    QList<QWidget*> widgets = findChildren<QWidget*>();
    widgets.prepend(this);
    for (QWidget* widget : widgets) {
        if (pointer == Pointer::Busy)
            widget->setCursor(Qt::WaitCursor);
        else if (pointer == Pointer::Hand)
            widget->setCursor(HandCursor::cursor());
        else if (m_ownCursors.contains(widget))
            widget->setCursor(m_ownCursors.value(widget));
        else
            widget->unsetCursor();
    }
}

void WizardPage::setHoverRule(QWidget* control, HoverRule rule) {
    m_rules.insert(control, rule);
}

void WizardPage::armHover() {
    setMouseTracking(true);
    for (QWidget* widget : findChildren<QWidget*>()) {
        if (widget->testAttribute(Qt::WA_SetCursor))
            m_ownCursors.insert(widget, widget->cursor());
        widget->setMouseTracking(true);
        widget->installEventFilter(this);
    }
}

QWidget* WizardPage::controlOf(QObject* object) const {
    auto* widget = qobject_cast<QWidget*>(object);
    while (widget && widget->parentWidget() != this)
        widget = widget->parentWidget();
    return widget;
}

void WizardPage::hoverOver(QWidget* control) {
    if (m_pointer == Pointer::Busy)
        return;
    // A disabled control takes no mouse: the bare page's rule holds over it.
    HoverRule rule = HoverRule::Ordinary;
    if (control && control->isEnabled()) {
        rule = m_rules.value(control, qobject_cast<PageButton*>(control) ? HoverRule::Hand
                                                                         : HoverRule::Ordinary);
    }
    if (rule != HoverRule::None)
        setPointer(rule == HoverRule::Hand ? Pointer::Hand : Pointer::Ordinary);
}

bool WizardPage::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseMove || event->type() == QEvent::Enter)
        hoverOver(controlOf(watched));
    return QWidget::eventFilter(watched, event);
}

// Moves that a control does not take reach the page too; the control under
// the mouse decides, and only over no control does the bare page's rule hold.
void WizardPage::mouseMoveEvent(QMouseEvent* event) {
    hoverOver(controlOf(childAt(event->position().toPoint())));
    QWidget::mouseMoveEvent(event);
}

void WizardPage::loadCommon(const QString& caption) {
    Ui::CenterForm(this);
    HandCursor::load();
    setWindowTitle(caption);
}

void WizardPage::runAction(const std::function<void()>& action, const QString& doing) {
    try {
        action();
    } catch (const Db::DatabaseError& error) {
        setPointer(Pointer::Ordinary);
        setEnabled(true);
        Messages::show(error.message(),
                       (doing.isEmpty() ? QString() : QStringLiteral("While %1.\n").arg(doing)) +
                           error.details());
    } catch (const Stopped&) {
    }
}

void WizardPage::runBusy(const std::function<void()>& action, const QString& doing) {
    setPointer(Pointer::Busy);
    setEnabled(false);
    runAction(action, doing);
    setEnabled(true);
    setPointer(Pointer::Ordinary);
}

QLabel* WizardPage::addLabel(const QString& caption, int left, int top, int width, int height) {
    auto* label = new QLabel(caption, this);
    label->setGeometry(twips(left, top, width, height));
    label->setWordWrap(height > 300);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return label;
}

PageButton* WizardPage::addButton(const QString& caption, int left, int top, int width,
                                  int height) {
    auto* button = new PageButton(caption, this, caption == QStringLiteral("?") ? 9 : 11.25);
    button->setGeometry(twips(left, top, width, height));
    return button;
}

WizardPage::ButtonRow WizardPage::addButtonRow(int top, int finishLeft, int finishWidth) {
    m_row = {addButton(QStringLiteral("Cancel"), 120, top, 1335, 400),
             addButton(QStringLiteral("< Back"), 1560, top, 1335, 400),
             addButton(QStringLiteral("Next >"), 3000, top, 1335, 400),
             addButton(QStringLiteral("Finish"), finishLeft, top, finishWidth, 400)};
    connect(m_row.cancel, &QPushButton::clicked, this, &WizardPage::closed);
    connect(m_row.back, &QPushButton::clicked, this, &WizardPage::backRequested);
    connect(m_row.next, &QPushButton::clicked, this, &WizardPage::nextRequested);
    return m_row;
}

void WizardPage::setEnterAction(QWidget* control, std::function<void()> action) {
    m_enterActions.insert(control, std::move(action));
}

void WizardPage::keyPressEvent(QKeyEvent* event) {
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (event->modifiers() & ~Qt::KeypadModifier || !m_row.cancel ||
        (!enter && event->key() != Qt::Key_Escape)) {
        QWidget::keyPressEvent(event);
        return;
    }
    QWidget* focused = focusWidget();
    QPushButton* press = m_row.cancel;
    if (enter) {
        if (const auto action = m_enterActions.find(focused); action != m_enterActions.end()) {
            action.value()();
            return;
        }
        auto* button = qobject_cast<QPushButton*>(focused);
        press = button ? button : m_row.next->isEnabled() ? m_row.next : m_row.finish;
    }
    if (press->isEnabled() && press->isVisible())
        press->click();
}

QFrame* WizardPage::addLine(int top) {
    auto* line = new QFrame(this);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    line->setGeometry(twips(120, top, 5640, 30));
    return line;
}

void WizardPage::chainTabOrder(const QList<QWidget*>& widgets) {
    for (qsizetype i = 1; i < widgets.size(); ++i)
        setTabOrder(widgets.at(i - 1), widgets.at(i));
}

void WizardPage::closeEvent(QCloseEvent* event) {
    event->accept();
    emit closed();
}
