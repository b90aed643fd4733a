#pragma once

#include "app/WizardPage.h"

class QLabel;
class QListWidget;
class PageButton;

// The table page: the tables of the connected schema, one to choose.
class Form2 : public WizardPage {
    Q_OBJECT
public:
    explicit Form2(Wizard& wizard);

    // Lists the tables anew from the current connection data; run when the
    // page loads and each time the connection page moves on to it.
    void Form_Load();

    QLabel* Label1;
    QListWidget* List1;
    PageButton* Check1;
    PageButton* Check2;
    PageButton* Check3;
    PageButton* Check4;

private:
    void Check3_Click();
};
