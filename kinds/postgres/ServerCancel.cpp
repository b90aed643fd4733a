#include "ServerCancel.h"

#include "db/Session.h"

#include <QSqlDriver>
#include <libpq-fe.h>

namespace Db {

ServerCancel::ServerCancel(Session& session) {
    const QVariant handle = session.database().driver()->handle();
    if (qstrcmp(handle.typeName(), "PGconn*") != 0)
        return;
    if (PGconn* connection = *static_cast<PGconn* const*>(handle.data()))
        m_cancel = PQgetCancel(connection);
}

ServerCancel::~ServerCancel() {
    PQfreeCancel(static_cast<PGcancel*>(m_cancel));
}

void ServerCancel::cancel() const {
    if (!m_cancel)
        return;
    char error[256];
    PQcancel(static_cast<PGcancel*>(m_cancel), error, sizeof error);
}

} // namespace Db
