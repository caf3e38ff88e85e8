#pragma once
// A connection to the answer log for one call, closed and removed again whatever the way
// out. Each has a name of its own, so that readers on several threads never share one.

#include <QSqlDatabase>
#include <QString>

struct sqlite3;

namespace keta {

// SQLite's own handle behind a Qt connection, for the bulk readers that step statements
// themselves; null when the driver is not SQLite's or the connection is closed.
sqlite3* SqliteHandle(const QSqlDatabase& db);

class LogConnection {
public:
    enum class Access { ReadOnly, ReadWrite };
    // Long enough to wait out the writer's longest transaction, short enough not to hang.
    static constexpr int kBusyTimeoutMs = 2000;

    LogConnection(const QString& path, Access access);
    ~LogConnection();
    LogConnection(const LogConnection&) = delete;
    LogConnection& operator=(const LogConnection&) = delete;

    bool IsOpen() const { return open_; }
    QSqlDatabase Database() const;
    sqlite3* Handle() const;

private:
    QString name_;
    bool open_ = false;
};

}  // namespace keta
