#include "Wizard.h"

#include "Form1.h"
#include "Form2.h"
#include "Form3.h"
#include "Form4.h"
#include "db/Catalogue.h"
#include "ui/Messages.h"
#include "ui/Windows.h"

#include <QCoreApplication>
#include <QLineEdit>

namespace {
// The longest the end waits for the keyring to take the password.
constexpr int kLastWriteMilliseconds = 1000;
} // namespace

Wizard::Wizard(StartupServices services) : m_services(std::move(services)) {}

Wizard::~Wizard() = default;

void Wizard::start(const QString& dataSource) {
    Form1& connection = form1();
    if (!dataSource.isEmpty())
        connection.Text1->setText(dataSource);
    if (Db::CanConnect(kind(), connectionData()))
        enterTables(connection, QStringLiteral("connecting to the stored connection %1 at start-up")
                                    .arg(connectionData().sid));
    else
        connection.show();
}

template <typename Form> Form& Wizard::page() {
    std::unique_ptr<Form>& slot = std::get<std::unique_ptr<Form>>(m_pages);
    if (!slot) {
        slot = std::make_unique<Form>(*this);
        connect(slot.get(), &WizardPage::closed, this, &Wizard::endProgram);
        slot->Form_Load();
        wire(*slot);
    }
    return *slot;
}

template Form1& Wizard::page<Form1>();
template Form2& Wizard::page<Form2>();
template Form3& Wizard::page<Form3>();
template Form4& Wizard::page<Form4>();

void Wizard::wire(Form1& page) {
    connect(&page, &WizardPage::nextRequested, this, [this, &page] {
        savePassword();
        if (Db::CanConnect(kind(), connectionData()))
            enterTables(page, QStringLiteral("listing the tables of %1").arg(connectionData().sid));
    });
}

void Wizard::wire(Form2& page) {
    connect(&page, &WizardPage::backRequested, this, [this, &page] { go(form1(), page); });
    connect(&page, &WizardPage::nextRequested, this, [this, &page] {
        const QString table = page.chosenTable();
        if (table.isEmpty())
            Messages::show(QStringLiteral("Please select a table"));
        else
            enterFields(page, table);
    });
}

void Wizard::wire(Form3& page) {
    connect(&page, &WizardPage::backRequested, this, [this, &page] {
        Ui::CenterForm(&form2());
        go(form2(), page);
    });
    connect(&page, &WizardPage::nextRequested, this, [this, &page] {
        m_choices.columns = page.chosenFields();
        m_choices.tableColumns = page.tableColumns();
        go(form4(), page);
    });
}

void Wizard::wire(Form4& page) {
    connect(&page, &WizardPage::backRequested, this,
            [this, &page] { enterFields(page, m_choices.table); });
}

void Wizard::enterTables(WizardPage& from, const QString& doing) {
    Form2& tables = form2();
    go(tables, from);
    tables.ListTables(doing);
}

void Wizard::enterFields(WizardPage& from, const QString& table) {
    from.runBusy(
        [&] {
            form3().PrepareFieldPage(table);
            m_choices.table = table;
            go(form3(), from);
        },
        QStringLiteral("reading the columns and the first rows of %1").arg(table));
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
    // What was typed reaches the keyring, without holding the end for long.
    savePassword();
    m_passwords.finish(kLastWriteMilliseconds);
    std::apply(
        [](const auto&... pages) {
            for (QWidget* page : std::initializer_list<QWidget*>{pages.get()...}) {
                if (page)
                    page->hide();
            }
        },
        m_pages);
    emit ended();
    QCoreApplication::exit(0);
}
