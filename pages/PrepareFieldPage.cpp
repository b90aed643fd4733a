#include "PrepareFieldPage.h"

#include "Form3.h"
#include "app/Wizard.h"
#include "dedupe/ZizEzevo.h"
#include "oracle/Catalogue.h"
#include "oracle/GridSource.h"

#include <QListWidget>

void PrepareFieldPage(Wizard& wizard, const QString& table) {
    auto session = std::make_shared<Oracle::Session>(wizard.connectionString());
    session->open();
    Form3& fields = wizard.form3();
    fields.List1->clear();
    fields.preview().unbind();
    const QString preview = session->dialect().preview(table);
    const QStringList columns = Oracle::ColumnList(*session, table, wizard.throttledYield());
    fields.preview().bind(std::move(session), preview);
    fields.List1->addItems(columns);
    ZizEzevo::RemoveItemsListedIn(fields.List1, fields.List2);
    // The buttons and the selection follow the list as it is once the chosen
    // columns are out of it.
    fields.refreshButtons();
    if (fields.List1->count() > 0)
        fields.List1->setCurrentRow(0);
}
