#include "RemovedGroups.h"

#include "RunContext.h"
#include "db/DatabaseError.h"

#include <QJsonArray>
#include <QJsonDocument>
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

void GroupReport::write(RemovedGroups& groups) {
    if (!m_file.open(QIODevice::WriteOnly))
        throw Db::DatabaseError(QString(), QStringLiteral("The report %1 could not be written: %2")
                                               .arg(m_file.fileName(), m_file.errorString()));
    while (groups.next()) {
        QJsonArray key, removed;
        for (const QVariant& value : groups.group().values)
            key.append(JsonValueOf(value));
        for (const qint64 row : groups.group().repeats)
            removed.append(row);
        // Written by hand to keep the fields in the order people read them in.
        m_file.write("{\"key\":" + compact(key) +
                     ",\"kept\":" + QByteArray::number(groups.group().kept) +
                     ",\"removed\":" + compact(removed) + "}\n");
        if (m_file.pos() - m_writtenBack >= kBytesPerWriteback && m_file.flush()) {
            sync_file_range(m_file.handle(), 0, 0, SYNC_FILE_RANGE_WRITE);
            m_writtenBack = m_file.pos();
        }
    }
}

bool GroupReport::commit(QString& error) {
    if (m_file.commit())
        return true;
    error = QStringLiteral("The tables were made, but the report %1 could not be written: %2")
                .arg(m_file.fileName(), m_file.errorString());
    return false;
}

QList<RepeatGroup> ShownGroups(RemovedGroups& groups) {
    QList<RepeatGroup> shown;
    while (shown.size() < kShownGroups && groups.next())
        shown << groups.group();
    return shown;
}
