#include "PasswordStore.h"

#include <QEventLoop>
#include <QTimer>
#include <qt6keychain/keychain.h>

const QString PasswordStore::kService = QStringLiteral("Varnolt");

PasswordStore::PasswordStore(SettingsStore& settings) : m_settings(settings) {}

QString PasswordStore::accountOf(const Db::ConnectionData& data) {
    return data.user + QLatin1Char('@') + data.sid;
}

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

namespace {

// The keyring's answer for one item, the event loop running until it comes.
std::pair<QKeychain::Error, QString> readItem(const QString& key) {
    auto* job = new QKeychain::ReadPasswordJob(PasswordStore::kService);
    job->setKey(key);
    QEventLoop waiting;
    std::pair<QKeychain::Error, QString> answer{QKeychain::OtherError, QString()};
    QObject::connect(job, &QKeychain::Job::finished, &waiting, [&](QKeychain::Job*) {
        answer = {job->error(), job->textData()};
        waiting.quit();
    });
    job->start();
    waiting.exec();
    return answer;
}

} // namespace

QString PasswordStore::load(const QString& account) {
    const QString inFile = m_settings.read(SettingsStore::kPassword);
    auto [error, inKeyring] = readItem(account);
    m_where = whereAfter(error);
    if (m_where != Where::Keyring)
        return inFile;
    // A password in the file was written where no keyring answered, or by an
    // older version, as was the keyring's one item of old: it moves into the
    // connection's own item.
    if (error == QKeychain::EntryNotFound && inFile.isEmpty())
        inKeyring = readItem(SettingsStore::kPassword).second;
    const QString found = inFile.isEmpty() ? inKeyring : inFile;
    m_held[account] = inKeyring;
    if (!found.isEmpty() && found != inKeyring) {
        remember(found);
        save(account);
    }
    return found;
}

void PasswordStore::remember(const QString& password) {
    if (m_where == Where::File)
        keepInFile(password);
    else if (m_where == Where::Keyring)
        m_typed = password;
}

void PasswordStore::save(const QString& account) {
    if (m_where != Where::Keyring || !m_typed)
        return;
    const QString typed = *std::exchange(m_typed, std::nullopt);
    const auto held = m_held.find(account);
    if (held != m_held.end() && held->second == typed)
        return;
    m_held[account] = typed;
    m_pending = {account, typed};
    if (!m_writing)
        writeNext();
}

void PasswordStore::finish(int milliseconds) {
    if (!m_writing)
        return;
    QEventLoop waiting;
    QTimer::singleShot(milliseconds, &waiting, &QEventLoop::quit);
    QTimer poll;
    connect(&poll, &QTimer::timeout, &waiting, [&] {
        if (!m_writing)
            waiting.quit();
    });
    poll.start(10);
    waiting.exec();
}

void PasswordStore::writeNext() {
    if (!m_pending) {
        m_writing = false;
        return;
    }
    m_writing = true;
    const auto [account, password] = *std::exchange(m_pending, std::nullopt);
    auto* job = new QKeychain::WritePasswordJob(kService);
    job->setKey(account);
    job->setTextData(password);
    connect(job, &QKeychain::Job::finished, this, [this, job, password](QKeychain::Job*) {
        if (job->error() == QKeychain::NoError) {
            // Once the keyring holds it, the file holds no password at all.
            if (!m_settings.read(SettingsStore::kPassword).isEmpty())
                m_settings.remove(SettingsStore::kPassword);
        } else {
            m_where = whereAfter(job->error());
            remember(password);
        }
        writeNext();
    });
    job->start();
}

void PasswordStore::keepInFile(const QString& password) {
    m_settings.write(SettingsStore::kPassword, password);
}
