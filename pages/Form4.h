#pragma once

#include "app/WizardPage.h"

#include <memory>

class QLabel;
class QLineEdit;
class QTableView;
class PageButton;
struct RunResult;

namespace Oracle {
class GridSource;
}

// The target table page: the new table's name, the run, and its result.
class Form4 : public WizardPage {
    Q_OBJECT
public:
    explicit Form4(Wizard& wizard);
    ~Form4() override;

    // Proposes the new name: the source table's name followed by "2", or by
    // "Two" when it already ends in "2".
    void Form_Load();
    static QString ProposedName(const QString& sourceTable);
    bool isRunning() const { return m_running; }
    Oracle::GridSource& result() { return *m_result; }

    QLabel* Label1;
    QLineEdit* Text1;
    QTableView* DataGrid1;
    PageButton* Check1;
    PageButton* Check2;
    PageButton* Check3;
    PageButton* Check4;

private:
    void Check2_Click();
    void Check4_Click();
    void finishRun(const RunResult& result);

    std::unique_ptr<Oracle::GridSource> m_result;
    bool m_running = false;
};
