#include "log_connection.h"

#include <QSqlDriver>
#include <QVariant>
#include <atomic>

namespace keta {

sqlite3* SqliteHandle(const QSqlDatabase& db) {
    if (!db.isOpen()) return nullptr;
    const QVariant handle = db.driver()->handle();
    if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0) return nullptr;
    return *static_cast<sqlite3* const*>(handle.constData());
}

LogConnection::LogConnection(const QString& path, Access access) {
    static std::atomic<unsigned> serial{0};
    name_ = QStringLiteral("ketatobi-log-call-%1").arg(++serial);
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name_);
    db.setDatabaseName(path);
    db.setConnectOptions(
        QStringLiteral("%1QSQLITE_BUSY_TIMEOUT=%2")
            .arg(access == Access::ReadOnly ? QStringLiteral("QSQLITE_OPEN_READONLY;") : QString())
            .arg(kBusyTimeoutMs));
    open_ = db.isValid() && db.open();
}

LogConnection::~LogConnection() {
    {
        QSqlDatabase db = QSqlDatabase::database(name_, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(name_);
}

QSqlDatabase LogConnection::Database() const { return QSqlDatabase::database(name_, false); }

sqlite3* LogConnection::Handle() const { return open_ ? SqliteHandle(Database()) : nullptr; }

}  // namespace keta
