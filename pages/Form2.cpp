#include "Form2.h"

#include "db/Catalogue.h"
#include "ui/Lists.h"
#include "ui/PageButton.h"
#include "ui/Windows.h"

#include <QLabel>
#include <QListWidget>

Form2::Form2(PageContext& context) : WizardPage(5880, 2685), m_context(context) {
    Label1 = addLabel(QStringLiteral(" Which table do you want to search for duplicate field "
                                     "values?"),
                      240, 120, 5415, 255);
    List1 = new QListWidget(this);
    List1->setGeometry(twips(120, 480, 5640, 1410));
    List1->setSelectionMode(QAbstractItemView::SingleSelection);
    List1->setAccessibleName(QStringLiteral("Tables"));
    Label1->setBuddy(List1);
    addLine(2040);
    const ButtonRow row = addButtonRow(2160);
    Check1 = row.cancel;
    Check2 = row.back;
    Check3 = row.next;
    Check4 = row.finish;
    Check4->setEnabled(false);
    chainTabOrder({List1, Check1, Check2, Check3, Check4});
    armHover();
}

void Form2::Form_Load() {
    loadCommon(QStringLiteral("Varnolt"));
}

void Form2::ListTables(const QString& doing) {
    Ui::CenterForm(this);
    runBusy(
        [this] {
            Db::Session session(m_context.kind(), m_context.connectionData());
            session.open();
            List1->clear();
            List1->addItems(Db::TableList(session, m_context.keepGoing()));
            if (List1->count() > 0)
                List1->setCurrentRow(0);
        },
        doing);
}

QString Form2::chosenTable() const {
    const int row = Ui::SelectedRow(List1);
    return row < 0 ? QString() : List1->item(row)->text();
}
