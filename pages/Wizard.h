#pragma once

#include "MakerPage.h"
#include "core/SettingsStore.h"
#include "core/Stop.h"
#include "db/ConnectionData.h"

#include <QObject>
#include <QStringList>
#include <functional>
#include <memory>

class Form1;
class Form2;
class Form3;
class Form4;
class QWidget;

// The four page windows of one run of the program and what they share. Each
// page is made the first time it is used and afterwards only shown and hidden.
class Wizard : public QObject {
    Q_OBJECT
public:
    explicit Wizard(StartupServices services);
    ~Wizard() override;

    // Loads the connection page, whose load step connects with the stored data
    // and goes on to the table page when it can.
    void start();

    Form1& form1();
    Form2& form2();
    Form3& form3();
    Form4& form4();
    bool hasForm2() const { return m_form2 != nullptr; }

    const StartupServices& services() const { return m_services; }
    SettingsStore& settings() { return m_settings; }
    // The connection page's boxes as they are at this moment.
    Db::ConnectionData connectionData();

    // The source table chosen on the table page, exactly as listed.
    QString selectedTable;
    // The chosen columns in the chosen list's order; a list rather than the
    // names joined by ", ", since a name may itself hold ", ".
    QStringList selectedFields;

    // Shows `next`, then hides `current`.
    void go(QWidget& next, QWidget& current);
    // What long work asks now and then: lets the window repaint and take
    // clicks, and says stop once the program is ending.
    KeepGoing keepGoing();
    void endProgram();
    bool isEnding() const { return m_ending; }

signals:
    void ended();

private:
    StartupServices m_services;
    SettingsStore m_settings;
    bool m_ending = false;
    std::unique_ptr<Form1> m_form1;
    std::unique_ptr<Form2> m_form2;
    std::unique_ptr<Form3> m_form3;
    std::unique_ptr<Form4> m_form4;
};
