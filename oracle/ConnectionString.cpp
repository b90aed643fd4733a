#include "ConnectionString.h"

namespace Oracle {

namespace {
const QString kProvider = QStringLiteral("Provider=OraOLEDB.Oracle;Data Source=");
const QString kUser = QStringLiteral(";User Id=");
const QString kPassword = QStringLiteral(";Password=");
const QString kEnd = QStringLiteral(";");
} // namespace

QString ConnectionString(const QString& sid, const QString& user, const QString& password) {
    return kProvider + sid + kUser + user + kPassword + password + kEnd;
}

QString ConnectionString(const ConnectionData& data) {
    return ConnectionString(data.sid, data.user, data.password);
}

std::optional<ConnectionData> ParseConnectionString(const QString& text) {
    if (!text.startsWith(kProvider) || !text.endsWith(kEnd))
        return std::nullopt;
    const qsizetype userAt = text.indexOf(kUser, kProvider.size());
    if (userAt < 0)
        return std::nullopt;
    const qsizetype passwordAt = text.indexOf(kPassword, userAt + kUser.size());
    if (passwordAt < 0)
        return std::nullopt;
    const qsizetype passwordStart = passwordAt + kPassword.size();
    if (passwordStart > text.size() - kEnd.size())
        return std::nullopt;

    ConnectionData data;
    data.sid = text.mid(kProvider.size(), userAt - kProvider.size());
    data.user = text.mid(userAt + kUser.size(), passwordAt - userAt - kUser.size());
    data.password = text.mid(passwordStart, text.size() - kEnd.size() - passwordStart);
    return data;
}

} // namespace Oracle
