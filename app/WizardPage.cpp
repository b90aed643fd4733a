#include "WizardPage.h"

#include "HandCursor.h"
#include "Main.h"
#include "Messages.h"
#include "PageButton.h"
#include "Wizard.h"
#include "oracle/DatabaseError.h"

#include <QCloseEvent>
#include <QFrame>
#include <QLabel>

namespace {
constexpr int kTwipsPerInch = 1440;
} // namespace

WizardPage::WizardPage(Wizard& wizard, int widthTwips, int heightTwips) : m_wizard(wizard) {
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
}

int WizardPage::pixels(int twips) const {
    return qRound(static_cast<qreal>(twips) * logicalDpiX() / kTwipsPerInch);
}

QRect WizardPage::twips(int left, int top, int width, int height) const {
    return {pixels(left), pixels(top), pixels(width), pixels(height)};
}

void WizardPage::setPointer(Pointer pointer) {
    m_pointer = pointer;
    switch (pointer) {
    case Pointer::Busy:
        setCursor(Qt::WaitCursor);
        break;
    case Pointer::Hand:
        setCursor(HandCursor::cursor());
        break;
    case Pointer::Ordinary:
        unsetCursor();
        break;
    }
}

void WizardPage::loadCommon(const QString& caption) {
    Main::CenterForm(this);
    HandCursor::load();
    setWindowTitle(caption);
}

void WizardPage::runAction(const std::function<void()>& action) {
    try {
        action();
    } catch (const Oracle::DatabaseError& error) {
        setPointer(Pointer::Ordinary);
        setEnabled(true);
        Messages::show(error.message());
    } catch (const Wizard::ProgramEnding&) {
    }
}

void WizardPage::runBusy(const std::function<void()>& action) {
    setPointer(Pointer::Busy);
    setEnabled(false);
    runAction(action);
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
    m_wizard.endProgram();
}
