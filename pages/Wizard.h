#pragma once

#include "PageContext.h"

#include <QObject>
#include <memory>
#include <tuple>

class Form1;
class Form2;
class Form3;
class Form4;
class QWidget;
class WizardPage;

// The four page windows of one run of the program, what they share, and the
// page flow between them: which page "Next >" and "< Back" lead to and the
// step each page runs when it is entered. Each page is made the first time
// it is used and afterwards only shown and hidden; the pages know nothing of
// each other.
class Wizard : public QObject, public PageContext {
    Q_OBJECT
public:
    explicit Wizard(StartupServices services);
    ~Wizard() override;

    // Loads the connection page and connects with the stored data, or with
    // `dataSource` as if typed as the SID, going on to the table page when it
    // can.
    void start(const QString& dataSource = {});

    // A page, made, loaded and wired into the flow the first time it is used.
    template <typename Form> Form& page();
    Form1& form1() { return page<Form1>(); }
    Form2& form2() { return page<Form2>(); }
    Form3& form3() { return page<Form3>(); }
    Form4& form4() { return page<Form4>(); }
    bool hasForm2() const { return std::get<std::unique_ptr<Form2>>(m_pages) != nullptr; }

    Db::ConnectionData connectionData() override;
    KeepGoing keepGoing() override;
    bool isEnding() const override { return m_ending; }
    SettingsStore& settings() override { return m_settings; }
    PasswordStore& passwords() override { return m_passwords; }
    const StartupServices& services() const override { return m_services; }
    const WizardChoices& choices() const override { return m_choices; }

    // Shows `next`, then hides `current`.
    void go(QWidget& next, QWidget& current);
    void endProgram();

signals:
    void ended();

private:
    // Each page's place in the flow, wired when the page is first made.
    void wire(Form1& page);
    void wire(Form2& page);
    void wire(Form3& page);
    void wire(Form4& page);
    // The table page, its tables listed anew, in place of `from`.
    void enterTables(WizardPage& from, const QString& doing);
    // The field page for the chosen table, in place of `from`.
    void enterFields(WizardPage& from, const QString& table);

    StartupServices m_services;
    SettingsStore m_settings;
    PasswordStore m_passwords{m_settings};
    bool m_ending = false;
    WizardChoices m_choices;
    // The pages, in the order of the flow.
    std::tuple<std::unique_ptr<Form1>, std::unique_ptr<Form2>, std::unique_ptr<Form3>,
               std::unique_ptr<Form4>>
        m_pages;
};
