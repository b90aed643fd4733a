#include "Messages.h"

#include <QAbstractButton>
#include <QMessageBox>

namespace {

const QString kTitle = QStringLiteral("Varnolt");

// Some styles put pictures on dialog buttons; these boxes show none at all.
void plainButtons(QMessageBox& box) {
    for (QAbstractButton* button : box.buttons())
        button->setIcon(QIcon());
}

void showBox(const QString& text, const QString& details) {
    QMessageBox box(QMessageBox::NoIcon, kTitle, text, QMessageBox::Ok);
    box.setDetailedText(details);
    plainButtons(box);
    box.exec();
}

bool askBox(const QString& text) {
    QMessageBox box(QMessageBox::NoIcon, kTitle, text, QMessageBox::Yes | QMessageBox::No);
    plainButtons(box);
    box.setDefaultButton(QMessageBox::No);
    box.setEscapeButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

Messages::ShowFn& showHandler() {
    static Messages::ShowFn handler = showBox;
    return handler;
}

Messages::AskFn& askHandler() {
    static Messages::AskFn handler = askBox;
    return handler;
}

} // namespace

void Messages::show(const QString& text, const QString& details) {
    showHandler()(text, details);
}

bool Messages::ask(const QString& text) {
    return askHandler()(text);
}

void Messages::setHandlers(ShowFn show, AskFn ask) {
    showHandler() = std::move(show);
    askHandler() = std::move(ask);
}
