#pragma once

namespace Db {

class Session;

// Asks a PostgreSQL server to cancel the statement a session is running.
// Made in the session's own thread; cancel() may be called from any other,
// which is the point: the thread that waits for the statement cannot.
class ServerCancel {
public:
    explicit ServerCancel(Session& session);
    ~ServerCancel();
    ServerCancel(const ServerCancel&) = delete;
    ServerCancel& operator=(const ServerCancel&) = delete;

    void cancel() const;

private:
    void* m_cancel = nullptr; // libpq's PGcancel
};

} // namespace Db
