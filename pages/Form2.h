#pragma once

#include "PageContext.h"
#include "ui/WizardPage.h"

class QLabel;
class QListWidget;
class PageButton;

// The table page: the tables of the connected schema, one to choose.
class Form2 : public WizardPage {
    Q_OBJECT
public:
    explicit Form2(PageContext& context);

    void Form_Load();
    // Centres the page and lists the tables anew from the current connection
    // data; `doing` says when, for the message should that fail.
    void ListTables(const QString& doing);
    // The selected table, or the empty text when none is.
    QString chosenTable() const;

    QLabel* Label1;
    QListWidget* List1;
    PageButton* Check1; // "Cancel"
    PageButton* Check2; // "< Back"
    PageButton* Check3; // "Next >"
    PageButton* Check4; // "Finish"

private:
    PageContext& m_context;
};
