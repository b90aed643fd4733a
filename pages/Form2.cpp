#include "Form2.h"

#include "Form1.h"
#include "Form3.h"
#include "Wizard.h"
#include "db/Catalogue.h"
#include "ui/Lists.h"
#include "ui/Messages.h"
#include "ui/PageButton.h"

#include <QLabel>
#include <QListWidget>

Form2::Form2(Wizard& wizard) : WizardPage(5880, 2685), m_wizard(wizard) {
    Label1 = addLabel(QStringLiteral(" Which table do you want to search for duplicate field "
                                     "values?"),
                      240, 120, 5415, 255);
    List1 = new QListWidget(this);
    List1->setGeometry(twips(120, 480, 5640, 1410));
    List1->setSelectionMode(QAbstractItemView::SingleSelection);
    Label1->setBuddy(List1);
    addLine(2040);
    Check1 = addButton(QStringLiteral("Cancel"), 120, 2160, 1335, 400);
    Check2 = addButton(QStringLiteral("< Back"), 1560, 2160, 1335, 400);
    Check3 = addButton(QStringLiteral("Next >"), 3000, 2160, 1335, 400);
    Check4 = addButton(QStringLiteral("Finish"), 4440, 2160, 1320, 400);
    Check4->setEnabled(false);
    chainTabOrder({List1, Check1, Check2, Check3, Check4});
    armHover();

    connect(Check1, &QPushButton::clicked, this, [this] { m_wizard.endProgram(); });
    connect(Check2, &QPushButton::clicked, this, [this] { m_wizard.go(m_wizard.form1(), *this); });
    connect(Check3, &QPushButton::clicked, this, [this] { Check3_Click(); });
}

void Form2::Form_Load() {
    loadCommon(QStringLiteral("Varnolt"));
    ListTables();
}

void Form2::ListTables() {
    runBusy([this] {
        Db::Session session(m_wizard.connectionData());
        session.open();
        List1->clear();
        List1->addItems(Db::TableList(session, m_wizard.keepGoing()));
        if (List1->count() > 0)
            List1->setCurrentRow(0);
    });
}

void Form2::Check3_Click() {
    const int row = Ui::SelectedRow(List1);
    if (row < 0) {
        Messages::show(QStringLiteral("Please select a table"));
        return;
    }
    runBusy([this, row] {
        const QString table = List1->item(row)->text();
        m_wizard.form3().PrepareFieldPage(table);
        m_wizard.selectedTable = table;
        m_wizard.go(m_wizard.form3(), *this);
    });
}
