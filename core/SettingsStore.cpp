#include "SettingsStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

const QString SettingsStore::kSid = QStringLiteral("OracleSID");
const QString SettingsStore::kUser = QStringLiteral("OracleUser");
const QString SettingsStore::kPassword = QStringLiteral("OraclePassword");
const QString SettingsStore::kKeepRemoved = QStringLiteral("KeepRemovedRows");

namespace {
const QString kSection = QStringLiteral("Varnolt");
constexpr QFileDevice::Permissions kOwnerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
} // namespace

SettingsStore::SettingsStore()
    : m_settings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Kestrelby")) {}

QString SettingsStore::read(const QString& key) const {
    return m_settings.value(kSection + QLatin1Char('/') + key, QString()).toString();
}

void SettingsStore::write(const QString& key, const QString& value) {
    restrictToOwner();
    m_settings.setValue(kSection + QLatin1Char('/') + key, value);
    m_settings.sync();
    restrictToOwner();
}

void SettingsStore::remove(const QString& key) {
    m_settings.remove(kSection + QLatin1Char('/') + key);
    m_settings.sync();
}

// Creating the file ourselves, owner-only, before the first write means the
// password never sits in a file that others can read, not even for a moment.
void SettingsStore::restrictToOwner() {
    const QString path = m_settings.fileName();
    if (QFileInfo::exists(path)) {
        if (QFile::permissions(path) != kOwnerOnly)
            QFile::setPermissions(path, kOwnerOnly);
        return;
    }
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        return;
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly, kOwnerOnly))
        file.close();
}
