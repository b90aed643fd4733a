#include "Wizard.h"

#include "Form1.h"
#include "Form2.h"
#include "Form3.h"
#include "Form4.h"

#include <QCoreApplication>
#include <QLineEdit>

Wizard::Wizard(StartupServices services) : m_services(std::move(services)) {}

Wizard::~Wizard() = default;

void Wizard::start() {
    Form1& connection = form1();
    if (!connection.autoConnected())
        connection.show();
}

namespace {
template <typename Form> Form& loadOnce(std::unique_ptr<Form>& slot, Wizard& wizard) {
    if (!slot) {
        slot = std::make_unique<Form>(wizard);
        QObject::connect(slot.get(), &WizardPage::closed, &wizard, &Wizard::endProgram);
        slot->Form_Load();
    }
    return *slot;
}
} // namespace

Form1& Wizard::form1() {
    return loadOnce(m_form1, *this);
}
Form2& Wizard::form2() {
    return loadOnce(m_form2, *this);
}
Form3& Wizard::form3() {
    return loadOnce(m_form3, *this);
}
Form4& Wizard::form4() {
    return loadOnce(m_form4, *this);
}

Db::ConnectionData Wizard::connectionData() {
    const Form1& connection = form1();
    return {connection.Text1->text(), connection.Text2->text(), connection.Text3->text()};
}

void Wizard::go(QWidget& next, QWidget& current) {
    if (m_ending)
        return;
    next.show();
    current.hide();
}

KeepGoing Wizard::keepGoing() {
    return [this] {
        QCoreApplication::processEvents();
        return !m_ending;
    };
}

void Wizard::endProgram() {
    if (m_ending)
        return;
    m_ending = true;
    for (QWidget* page : std::initializer_list<QWidget*>{m_form1.get(), m_form2.get(),
                                                         m_form3.get(), m_form4.get()}) {
        if (page)
            page->hide();
    }
    emit ended();
    QCoreApplication::exit(0);
}
