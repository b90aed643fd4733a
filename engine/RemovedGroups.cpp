#include "RemovedGroups.h"

#include "RunContext.h"
#include "db/DatabaseError.h"
#include "db/Session.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSaveFile>
#include <cstdio>
#include <fcntl.h>

bool RemovedGroups::next() {
    if (!m_started)
        m_row = m_next();
    m_started = true;
    if (!m_row)
        return false;
    m_group = RepeatGroup{m_row->kept, {}, m_row->key};
    do {
        m_group.repeats << m_row->removed;
        m_row = m_next();
    } while (m_row && m_row->kept == m_group.kept);
    return true;
}

QJsonValue JsonValueOf(const QVariant& value) {
    if (value.isNull())
        return QJsonValue::Null;
    if (value.typeId() == QMetaType::QByteArray)
        return QString::fromLatin1(value.toByteArray().toHex());
    return QJsonValue::fromVariant(value);
}

namespace {

QByteArray compact(const QJsonArray& values) {
    return QJsonDocument(values).toJson(QJsonDocument::Compact);
}

// The report is put on disk as it is written, so that putting it in place at
// the end does not wait for all of it at once.
constexpr qint64 kBytesPerWriteback = qint64(4) << 20;

} // namespace

GroupReport::GroupReport(const QString& file) : m_name(file) {
    if (file == QStringLiteral("-"))
        m_file = std::make_unique<QFile>();
    else
        m_file = std::make_unique<QSaveFile>(file);
}

namespace {

Db::DatabaseError unwritten(const QString& name, const QString& reason) {
    const QString where = name == QStringLiteral("-") ? QStringLiteral("to standard output")
                                                      : QStringLiteral("to ") + name;
    return Db::DatabaseError(
        QString(), QStringLiteral("The report could not be written %1: %2").arg(where, reason));
}

} // namespace

void GroupReport::write(RemovedGroups& groups) {
    auto* output = qobject_cast<QFile*>(m_file.get());
    const bool opened =
        output ? output->open(stdout, QIODevice::WriteOnly) : m_file->open(QIODevice::WriteOnly);
    if (!opened)
        throw unwritten(m_name, m_file->errorString());
    auto* saved = qobject_cast<QSaveFile*>(m_file.get());
    while (groups.next()) {
        QJsonArray key, removed;
        for (const QVariant& value : groups.group().values)
            key.append(JsonValueOf(value));
        for (const qint64 row : groups.group().repeats)
            removed.append(row);
        // Written by hand to keep the fields in the order people read them in.
        const QByteArray line = "{\"key\":" + compact(key) +
                                ",\"kept\":" + QByteArray::number(groups.group().kept) +
                                ",\"removed\":" + compact(removed) + "}\n";
        if (m_file->write(line) != line.size())
            throw unwritten(m_name, m_file->errorString());
        if (saved && m_file->pos() - m_writtenBack >= kBytesPerWriteback && m_file->flush()) {
            sync_file_range(m_file->handle(), 0, 0, SYNC_FILE_RANGE_WRITE);
            m_writtenBack = m_file->pos();
        }
    }
}

void GroupReport::finish() {
    auto* saved = qobject_cast<QSaveFile*>(m_file.get());
    const bool written = saved ? saved->commit() : m_file->flush() && ::fflush(stdout) == 0;
    if (!written)
        throw unwritten(m_name, m_file->errorString());
    m_finished = true;
}

void GroupReport::cancel() {
    if (auto* saved = qobject_cast<QSaveFile*>(m_file.get())) {
        if (m_finished)
            QFile::remove(m_name);
        else
            saved->cancelWriting();
    }
}

QString ReportRefusal(const QString& file, const QStringList& databaseFiles) {
    if (file.isEmpty() || file == QStringLiteral("-"))
        return {};
    const QFileInfo report(file);
    const QString refused = QStringLiteral("The report cannot be written to %1: %2 Please choose "
                                           "another file.");
    if (report.exists() && report.isDir())
        return refused.arg(file, QStringLiteral("it is a folder."));
    if (report.exists() && !report.isFile())
        return refused.arg(file, QStringLiteral("it is not a plain file."));
    if (Db::IsSqliteFile(file))
        return refused.arg(file, QStringLiteral("it is a database."));
    // The journal and the write-ahead log may not be there yet; they are the
    // database all the same.
    const auto where = [](const QFileInfo& info) {
        return QFileInfo(info.absolutePath()).canonicalFilePath() + QLatin1Char('/') +
               info.fileName();
    };
    const QFileInfo target(report.isSymLink() ? report.symLinkTarget() : file);
    for (const QString& database : databaseFiles) {
        if (where(target) == where(QFileInfo(database)))
            return refused.arg(file, QStringLiteral("it belongs to the database."));
    }
    return {};
}

void ShowGroups(RemovedGroups& groups, int shown, RunResult& result) {
    result.groups.clear();
    result.repeatedGroups = 0;
    while (groups.next()) {
        if (++result.repeatedGroups <= shown)
            result.groups << groups.group();
    }
}

RemovedGroups ReadRemovedGroups(Db::Session& session, const QString& sql, qint64* removed) {
    auto rows = std::make_shared<Db::RecordSet>(session, sql);
    return RemovedGroups([rows, removed]() -> std::optional<RemovedGroups::Row> {
        if (!rows->next())
            return std::nullopt;
        if (removed)
            ++*removed;
        RemovedGroups::Row row{rows->value(0).toLongLong(), rows->value(1).toLongLong(), {}};
        for (int i = 2; i < rows->fieldCount(); ++i)
            row.key << rows->value(i);
        return row;
    });
}
