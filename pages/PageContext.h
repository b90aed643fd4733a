#pragma once

#include "MakerPage.h"
#include "core/SettingsStore.h"
#include "core/Stop.h"
#include "db/Catalogue.h"
#include "db/ConnectionData.h"
#include "kinds/KindTable.h"
#include "ui/PasswordStore.h"

#include <QStringList>

// What the user chose on the pages, handed to the run as it stands.
struct WizardChoices {
    // The source table chosen on the table page, exactly as listed.
    QString table;
    // The chosen columns in the chosen list's order, with their types; a list
    // rather than the names joined by ", ", since a name may itself hold ", ".
    QList<Db::Column> columns;
    // All the columns of the table, in its order.
    QStringList tableColumns;
};

// What a page needs of the program it is part of, and nothing of the other
// pages: the page flow (Wizard) is the one place that knows them all.
class PageContext {
public:
    virtual ~PageContext() = default;

    // The connection page's boxes as they are at this moment.
    virtual Db::ConnectionData connectionData() = 0;
    // The kind of database the SID box names.
    const RunKind& kind() { return KindOf(connectionData().sid); }
    // What long work asks now and then: lets the window repaint and take
    // clicks, and says stop once the program is ending.
    virtual KeepGoing keepGoing() = 0;
    virtual bool isEnding() const = 0;
    virtual SettingsStore& settings() = 0;
    virtual PasswordStore& passwords() = 0;
    // Writes the password typed to the keyring item of the connection.
    void savePassword() { passwords().save(PasswordStore::accountOf(connectionData())); }
    virtual const StartupServices& services() const = 0;

    // What the user has chosen so far, which the page flow keeps.
    virtual const WizardChoices& choices() const = 0;
};
