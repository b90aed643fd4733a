#pragma once

#include "PageContext.h"
#include "ui/WizardPage.h"

class QLabel;
class QLineEdit;
class PageButton;

// The connection page: SID, user name and password, a connection test, help on
// what a SID is, and the way on to the table page.
class Form1 : public WizardPage {
    Q_OBJECT
public:
    static const QString kSidHelp;
    static const QString kLobNote;

    explicit Form1(PageContext& context);

    // The load step: centre, maybe the maker's page, hand pointer, and the
    // stored connection data in the boxes.
    void Form_Load();

    QLabel* Label1;
    QLabel* Label2;
    QLabel* Label4;
    QLabel* Label5;
    // Under the boxes, where no keyring service keeps the password.
    QLabel* NoKeyringLine;
    QLineEdit* Text1;
    QLineEdit* Text2;
    QLineEdit* Text3;
    PageButton* Check1; // "Cancel"
    PageButton* Check2; // "< Back"
    PageButton* Check3; // "Next >"
    PageButton* Check4; // "Finish"
    PageButton* Check5; // "Test Connection"
    PageButton* Check6; // "Help"
    PageButton* Check7; // "?"

private:
    void Check5_Click();
    void Check6_Click();
    void Check7_Click();
    QLineEdit* addTextBox(int left, int top, int width, int height, const QString& key,
                          const QString& name);

    PageContext& m_context;
};
