#pragma once

#include <QSettings>
#include <QString>

// The per-user store of the last connection data: application "Kestrelby",
// section "Varnolt". Every write reaches the file at once. The file holds the
// password in plain text, so only its owner may read it.
class SettingsStore {
public:
    static const QString kSid;
    static const QString kUser;
    static const QString kPassword;
    // "1" when the removed rows are kept in a table of their own.
    static const QString kKeepRemoved;

    SettingsStore();

    // The stored text, or the empty text when the key is absent or the store
    // cannot be read.
    QString read(const QString& key) const;
    // Stores `value` under `key`; a store that cannot be written is left as it
    // is and the program goes on.
    void write(const QString& key, const QString& value);
    // Takes `key` out of the file.
    void remove(const QString& key);
    QString fileName() const { return m_settings.fileName(); }

private:
    void restrictToOwner();

    QSettings m_settings;
};
