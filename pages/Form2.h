#pragma once

#include "ui/WizardPage.h"

class Wizard;

class QLabel;
class QListWidget;
class PageButton;

// The table page: the tables of the connected schema, one to choose.
class Form2 : public WizardPage {
    Q_OBJECT
public:
    explicit Form2(Wizard& wizard);

    // Centres the page and lists the tables.
    void Form_Load();
    // Lists the tables anew from the current connection data; run when the
    // page loads and each time the connection page moves on to it.
    void ListTables();

    QLabel* Label1;
    QListWidget* List1;
    PageButton* Check1; // "Cancel"
    PageButton* Check2; // "< Back"
    PageButton* Check3; // "Next >"
    PageButton* Check4; // "Finish"

private:
    void Check3_Click();
    Wizard& m_wizard;
};
