#pragma once

#include "ui/WizardPage.h"

class Wizard;

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

    explicit Form1(Wizard& wizard);

    // The start-up sequence: centre, maybe the maker's page, hand pointer,
    // stored connection data, and the automatic connect.
    void Form_Load();
    // Whether the load step's connect went on to the table page.
    bool autoConnected() const { return m_autoConnected; }

    QLabel* Label1;
    QLabel* Label2;
    QLabel* Label4;
    QLabel* Label5;
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
    void Check3_Click();
    void Check5_Click();
    void Check6_Click();
    void Check7_Click();
    QLineEdit* addTextBox(int left, int top, int width, int height, const QString& key);

    bool m_autoConnected = false;
    Wizard& m_wizard;
};
