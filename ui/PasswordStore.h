#pragma once

#include "core/SettingsStore.h"

#include <QObject>
#include <QString>
#include <optional>

// Where the connection page's password is kept: in the desktop keyring
// (Secret Service, service "Varnolt"), and only where no keyring answers, in
// the settings file, readable by its owner only. A password an older version
// left in the settings file moves into the keyring.
class PasswordStore : public QObject {
    Q_OBJECT
public:
    static const QString kService;

    explicit PasswordStore(SettingsStore& settings);

    // The stored password. Asks the keyring and waits for its answer, a few
    // seconds at the most, the event loop running meanwhile: for the start,
    // before any window is shown.
    QString load();
    // Keeps a password as it is typed. Returns at once: the keyring is written
    // in the background, the latest password winning, so typing stays fluid.
    void store(const QString& password);
    // Whether the keyring answered the last time it was asked.
    bool usesKeyring() const { return m_where == Where::Keyring; }

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
    std::optional<QString> m_pending;
};
