#pragma once

#include "PageContext.h"
#include "ui/WizardPage.h"

#include <memory>

class QCheckBox;
class QLabel;
class QLineEdit;
class QTableView;
class PageButton;
struct RunInputs;
struct RunResult;

namespace Ui {
class GridSource;
class RunProgress;
} // namespace Ui

// The target table page: the new table's name, the run, and its result.
class Form4 : public WizardPage {
    Q_OBJECT
public:
    explicit Form4(PageContext& context);
    ~Form4() override;

    // Proposes the new name (ProposedName).
    void Form_Load();
    bool isRunning() const { return m_running; }

    QLabel* Label1;
    QLineEdit* Text1;
    // Keeps the removed rows in a table named after the new one.
    QCheckBox* Check5;
    QTableView* DataGrid1;
    PageButton* Check1; // "Cancel"
    PageButton* Check2; // "< Back"
    PageButton* Check3; // "Next >"
    PageButton* Check4; // "Finish", after a run "Exit"

protected:
    // The proposed name is selected whenever the page appears, so typing
    // replaces it.
    void showEvent(QShowEvent* event) override;

private:
    void Check4_Click();
    QString removedTable() const;
    void setRunning(bool running);
    void finishRun(const RunInputs& inputs, const RunResult& result);

    std::unique_ptr<Ui::GridSource> m_result;
    Ui::RunProgress* m_progress;
    bool m_running = false;
    PageContext& m_context;
};
