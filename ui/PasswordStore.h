#pragma once

#include "core/SettingsStore.h"
#include "db/ConnectionData.h"

#include <QObject>
#include <QString>
#include <map>
#include <optional>

// Where the connection page's password is kept: in the desktop keyring
// (Secret Service, service "Varnolt"), one item for each server and user, and
// only where no keyring service exists, in the settings file, readable by its
// owner only. A password an older version left in the settings file, or in
// the keyring's one item of old, moves into the item of its connection.
class PasswordStore : public QObject {
    Q_OBJECT
public:
    static const QString kService;

    explicit PasswordStore(SettingsStore& settings);

    // The keyring item of a connection: its server and its user.
    static QString accountOf(const Db::ConnectionData& data);

    // The stored password of `account`. Asks the keyring and waits for its
    // answer, however long the user takes over an unlock prompt, the event
    // loop running meanwhile: for the start, before any window is shown.
    QString load(const QString& account);
    // Takes a password as it is typed: held until save(), or written to the
    // settings file at once where it is kept there.
    void remember(const QString& password);
    // Writes the password last typed to the keyring item of `account`, where
    // it changed; returns at once, the keyring written in the background.
    void save(const QString& account);
    // Waits at most `milliseconds` for the keyring writes still under way.
    void finish(int milliseconds);
    // Whether the keyring answered the last time it was asked, and whether
    // the password goes to the settings file since no keyring service exists.
    bool usesKeyring() const { return m_where == Where::Keyring; }
    bool keepsInFile() const { return m_where == Where::File; }

private:
    // The keyring; the settings file, where no keyring answers; or nowhere,
    // where the user refused the keyring access: a refusal is no reason to
    // put the password in a file instead.
    enum class Where { Keyring, File, Nowhere };
    static Where whereAfter(int keyringError);
    void writeNext();
    void keepInFile(const QString& password);

    SettingsStore& m_settings;
    Where m_where = Where::File;
    bool m_writing = false;
    // What was typed and not yet saved, and what waits to be written where.
    std::optional<QString> m_typed;
    std::optional<std::pair<QString, QString>> m_pending;
    // What each item is known to hold, so that nothing is written twice.
    std::map<QString, QString> m_held;
};
