#include "Form3.h"

#include "db/Catalogue.h"
#include "ui/GridSource.h"
#include "ui/Lists.h"
#include "ui/Messages.h"
#include "ui/PageButton.h"

#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QTableView>

Form3::Form3(PageContext& context) : WizardPage(5880, 5100), m_context(context) {
    Label2 = addLabel(QStringLiteral(" Preview:"), 240, 120, 3855, 255);
    DataGrid1 = new QTableView(this);
    DataGrid1->setGeometry(twips(120, 480, 5640, 1360));
    DataGrid1->verticalHeader()->setDefaultSectionSize(pixels(255));
    DataGrid1->setAccessibleName(QStringLiteral("Preview"));
    m_preview = std::make_unique<Ui::GridSource>(DataGrid1);
    Label2->setBuddy(DataGrid1);
    Label1 = addLabel(QStringLiteral(" Which fields contain duplicate information?"), 240, 2040,
                      4695, 255);
    List1 = new QListWidget(this);
    List1->setGeometry(twips(120, 2400, 2535, 1860));
    List1->setAccessibleName(QStringLiteral("Available fields"));
    Label1->setBuddy(List1);
    Check5 = addButton(QStringLiteral(">"), 2760, 2400, 375, 400);
    Check6 = addButton(QStringLiteral(">>"), 2760, 2880, 375, 400);
    Check7 = addButton(QStringLiteral("<"), 2760, 3360, 375, 400);
    Check8 = addButton(QStringLiteral("<<"), 2760, 3840, 375, 400);
    List2 = new QListWidget(this);
    List2->setGeometry(twips(3240, 2400, 2520, 1860));
    List2->setAccessibleName(QStringLiteral("Chosen fields"));
    for (QListWidget* list : {List1, List2})
        list->setSelectionMode(QAbstractItemView::SingleSelection);
    addLine(4440);
    const ButtonRow row = addButtonRow(4560);
    Check1 = row.cancel;
    Check2 = row.back;
    Check3 = row.next;
    Check10 = row.finish;
    Check10->setEnabled(false);
    chainTabOrder(
        {Check2, Check1, List1, DataGrid1, List2, Check5, Check6, Check7, Check8, Check3, Check10});
    setHoverRule(Check10, HoverRule::None);
    armHover();

    connect(Check5, &QPushButton::clicked, this, [this] { moveSelected(List1, List2, true); });
    connect(Check6, &QPushButton::clicked, this, [this] { moveAll(List1, List2); });
    connect(Check7, &QPushButton::clicked, this, [this] { moveSelected(List2, List1, true); });
    connect(Check8, &QPushButton::clicked, this, [this] { moveAll(List2, List1); });
    connect(List1, &QListWidget::itemDoubleClicked, this,
            [this] { moveSelected(List1, List2, false); });
    connect(List2, &QListWidget::itemDoubleClicked, this,
            [this] { moveSelected(List2, List1, false); });
    setEnterAction(List1, [this] { moveSelected(List1, List2, false); });
    setEnterAction(List2, [this] { moveSelected(List2, List1, false); });
}

Form3::~Form3() = default;

void Form3::Form_Load() {
    loadCommon(QStringLiteral("Varnolt"));
}

void Form3::showEvent(QShowEvent* event) {
    WizardPage::showEvent(event);
    List1->setFocus();
}

void Form3::PrepareFieldPage(const QString& table) {
    auto session = std::make_shared<Db::Session>(m_context.kind(), m_context.connectionData());
    session->open();
    List1->clear();
    m_preview->unbind();
    const QList<Db::Column> columns = Db::ColumnTypes(*session, table);
    m_columns = Db::NamesOf(columns);
    m_preview->bind(std::move(session), table, Db::NamesOf(columns));
    for (const Db::Column& column : columns) {
        auto* item = new QListWidgetItem(column.name, List1);
        item->setData(Qt::UserRole, column.type);
    }
    Ui::RemoveItemsListedIn(List1, List2);
    // The buttons and the selection follow the list as it is once the chosen
    // columns are out of it.
    refreshButtons();
    if (List1->count() > 0)
        List1->setCurrentRow(0);
}

void Form3::refreshButtons() {
    const bool available = List1->count() > 0;
    Check5->setEnabled(available);
    Check6->setEnabled(available);
    const bool chosen = List2->count() > 0;
    Check7->setEnabled(chosen);
    Check8->setEnabled(chosen);
    Check3->setEnabled(chosen);
}

void Form3::moveSelected(QListWidget* from, QListWidget* to, bool complain) {
    const int row = Ui::SelectedRow(from);
    if (row < 0) {
        if (complain)
            Messages::show(QStringLiteral("Please select a field first."));
        return;
    }
    to->addItem(from->item(row)->clone());
    Ui::RemoveListItem(from, row);
    // The next move needs no mouse: the item below, or the new last one, is
    // selected in its place.
    if (from->count() > 0)
        from->setCurrentRow(std::min(row, from->count() - 1));
    refreshButtons();
}

void Form3::moveAll(QListWidget* from, QListWidget* to) {
    for (int row = 0; row < from->count(); ++row)
        to->addItem(from->item(row)->clone());
    from->clear();
    refreshButtons();
}

QList<Db::Column> Form3::chosenFields() const {
    QList<Db::Column> chosen;
    for (int row = 0; row < List2->count(); ++row)
        chosen.append({List2->item(row)->text(), List2->item(row)->data(Qt::UserRole).toString()});
    return chosen;
}
