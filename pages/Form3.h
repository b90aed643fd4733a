#pragma once

#include "PageContext.h"
#include "db/Catalogue.h"
#include "ui/WizardPage.h"

#include <memory>

class QLabel;
class QListWidget;
class QTableView;
class PageButton;

namespace Ui {
class GridSource;
}

// The field page: a preview of the chosen table, and the columns that together
// define a duplicate, moved between the available and the chosen list.
class Form3 : public WizardPage {
    Q_OBJECT
public:
    explicit Form3(PageContext& context);
    ~Form3() override;

    void Form_Load();
    // Every column of the table, in its order.
    const QStringList& tableColumns() const { return m_columns; }
    // Fills the page for `table` on a session of its own: the preview grid
    // and the list of available columns, less the columns already chosen.
    // Shows no page. Throws DatabaseError.
    void PrepareFieldPage(const QString& table);
    // The chosen columns with their types, in the chosen list's order.
    QList<Db::Column> chosenFields() const;

    QLabel* Label1;
    QLabel* Label2;
    QTableView* DataGrid1;
    QListWidget* List1;
    QListWidget* List2;
    PageButton* Check1;  // "Cancel"
    PageButton* Check2;  // "< Back"
    PageButton* Check3;  // "Next >"
    PageButton* Check5;  // ">"
    PageButton* Check6;  // ">>"
    PageButton* Check7;  // "<"
    PageButton* Check8;  // "<<"
    PageButton* Check10; // "Finish"

protected:
    // Keys start where the choosing is done: in the list of columns.
    void showEvent(QShowEvent* event) override;

private:
    // ">" and ">>" while columns are available, "<", "<<" and "Next >" while
    // columns are chosen.
    void refreshButtons();
    // Moves the selected item of `from` to the end of `to`, the item that
    // takes its place in `from` selected; with no selection it says so when
    // `complain`, and changes nothing.
    void moveSelected(QListWidget* from, QListWidget* to, bool complain);
    void moveAll(QListWidget* from, QListWidget* to);

    std::unique_ptr<Ui::GridSource> m_preview;
    QStringList m_columns;
    PageContext& m_context;
};
