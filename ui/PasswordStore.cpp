#include "PasswordStore.h"

#include <QEventLoop>
#include <QTimer>
#include <qt6keychain/keychain.h>

const QString PasswordStore::kService = QStringLiteral("Varnolt");

namespace {
// The longest the start waits for a keyring that does not answer.
constexpr int kKeyringWaitMilliseconds = 5000;
} // namespace

PasswordStore::PasswordStore(SettingsStore& settings) : m_settings(settings) {}

PasswordStore::Where PasswordStore::whereAfter(int keyringError) {
    switch (keyringError) {
    case QKeychain::NoError:
    case QKeychain::EntryNotFound:
        return Where::Keyring;
    case QKeychain::AccessDenied:
    case QKeychain::AccessDeniedByUser:
        return Where::Nowhere;
    default:
        return Where::File;
    }
}

QString PasswordStore::load() {
    const QString inFile = m_settings.read(SettingsStore::kPassword);
    auto* job = new QKeychain::ReadPasswordJob(kService);
    job->setKey(SettingsStore::kPassword);
    QEventLoop waiting;
    QKeychain::Error error = QKeychain::OtherError;
    QString inKeyring;
    connect(job, &QKeychain::Job::finished, &waiting, [&](QKeychain::Job*) {
        error = job->error();
        inKeyring = job->textData();
        waiting.quit();
    });
    QTimer::singleShot(kKeyringWaitMilliseconds, &waiting, &QEventLoop::quit);
    job->start();
    waiting.exec();
    m_where = whereAfter(error);
    if (m_where != Where::Keyring)
        return inFile;
    // A password in the file was written where no keyring answered, or by an
    // older version, and so is the newer one: it moves into the keyring.
    if (!inFile.isEmpty()) {
        store(inFile);
        return inFile;
    }
    return inKeyring;
}

void PasswordStore::store(const QString& password) {
    if (m_where == Where::Nowhere)
        return;
    if (m_where == Where::File) {
        keepInFile(password);
        return;
    }
    m_pending = password;
    if (!m_writing)
        writeNext();
}

void PasswordStore::writeNext() {
    if (!m_pending) {
        m_writing = false;
        return;
    }
    m_writing = true;
    const QString password = *std::exchange(m_pending, std::nullopt);
    auto* job = new QKeychain::WritePasswordJob(kService);
    job->setKey(SettingsStore::kPassword);
    job->setTextData(password);
    connect(job, &QKeychain::Job::finished, this, [this, job, password](QKeychain::Job*) {
        if (job->error() == QKeychain::NoError) {
            // Once the keyring holds it, the file holds no password at all.
            if (!m_settings.read(SettingsStore::kPassword).isEmpty())
                m_settings.remove(SettingsStore::kPassword);
        } else {
            m_where = whereAfter(job->error());
            store(m_pending.value_or(password));
            m_pending.reset();
        }
        writeNext();
    });
    job->start();
}

void PasswordStore::keepInFile(const QString& password) {
    m_settings.write(SettingsStore::kPassword, password);
}
