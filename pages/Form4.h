#pragma once

#include "PageContext.h"
#include "PreviewRun.h"
#include "TableChoices.h"
#include "ui/WizardPage.h"

#include <memory>

class QLabel;
class QLineEdit;
class QTableView;
class PageButton;
class RepeatPreview;

namespace Ui {
class GridSource;
class RunProgress;
} // namespace Ui

// The target table page: the new table's name, the options of the run, what
// the run would do (a dry run that starts whenever the page appears or an
// option changes), the run, and its result.
class Form4 : public WizardPage {
    Q_OBJECT
public:
    explicit Form4(PageContext& context);
    ~Form4() override;

    // Proposes the new name (ProposedName).
    void Form_Load();
    bool isRunning() const { return m_running; }
    // The last preview's result, until the options change.
    const std::optional<RunResult>& preview() const { return m_previewResult; }
    bool isPreviewing() const { return m_preview.isRunning(); }
    const TableChoices& tableChoices() const { return m_choices; }

    QLabel* Label1;
    QLineEdit* Text1;
    // The options that differ from the default, in one line.
    QLabel* Label2;
    PageButton* Check6; // "Options..."
    QTableView* DataGrid1;
    PageButton* Check1; // "Cancel"
    PageButton* Check2; // "< Back"
    PageButton* Check3; // "Next >"
    PageButton* Check4; // "Finish", after a run "Exit"

protected:
    // The proposed name is selected whenever the page appears, so typing
    // replaces it.
    void showEvent(QShowEvent* event) override;
    // A page out of sight reads nothing.
    void hideEvent(QHideEvent* event) override;

private:
    void Check4_Click();
    void Check6_Click();
    // Why the options cannot be used, or the empty text.
    QString optionsRefusal(const TableChoices& choices);
    // The run the page's choices describe.
    RunInputs pageInputs();
    void startPreview();
    void showPreview(const RunResult& result);
    void setRunning(bool running);
    void finishRun(const RunInputs& inputs, const RunResult& result);

    std::unique_ptr<Ui::GridSource> m_result;
    TableChoices m_choices;
    PreviewRun m_preview;
    std::optional<RunResult> m_previewResult;
    std::unique_ptr<RepeatPreview> m_previewModel;
    Ui::RunProgress* m_progress;
    bool m_running = false;
    PageContext& m_context;
};
