#include "ConnectionData.h"

namespace Db {

QString ConnectionString(const ConnectionData& data) {
    return QStringLiteral("Provider=OraOLEDB.Oracle;Data Source=") + data.sid +
           QStringLiteral(";User Id=") + data.user + QStringLiteral(";Password=") + data.password +
           QLatin1Char(';');
}

} // namespace Db
