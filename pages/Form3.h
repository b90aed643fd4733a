#pragma once

#include "app/WizardPage.h"

#include <memory>

class QLabel;
class QListWidget;
class QTableView;
class PageButton;

namespace Oracle {
class GridSource;
}

// The field page: a preview of the chosen table, and the columns that together
// define a duplicate, moved between the available and the chosen list.
class Form3 : public WizardPage {
    Q_OBJECT
public:
    explicit Form3(Wizard& wizard);
    ~Form3() override;

    void Form_Load();
    // ">" and ">>" while columns are available, "<", "<<" and "Next >" while
    // columns are chosen.
    void refreshButtons();
    Oracle::GridSource& preview() { return *m_preview; }

    QLabel* Label1;
    QLabel* Label2;
    QTableView* DataGrid1;
    QListWidget* List1;
    QListWidget* List2;
    PageButton* Check1;
    PageButton* Check2;
    PageButton* Check3;
    PageButton* Check5;
    PageButton* Check6;
    PageButton* Check7;
    PageButton* Check8;
    PageButton* Check10;

private:
    // Moves the selected item of `from` to the end of `to`; with no selection
    // it says so when `complain`, and changes nothing.
    void moveSelected(QListWidget* from, QListWidget* to, bool complain);
    void moveAll(QListWidget* from, QListWidget* to);
    void Check3_Click();

    std::unique_ptr<Oracle::GridSource> m_preview;
};
