#include "log_schema.h"

#include <sqlite3.h>

#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QVariant>
#include <atomic>

#include "log_check.h"
#include "log_connection.h"

namespace keta {
namespace {

enum SqliteCode { kBusy = 5, kLocked = 6, kCorrupt = 11, kNotADatabase = 26 };

int CodeOf(const QSqlError& error) {
    bool ok = false;
    const int code = error.nativeErrorCode().toInt(&ok);
    return ok ? (code & 0xFF) : -1;
}

QString NextConnectionName(const char* what) {
    static std::atomic<unsigned> serial{0};
    return QStringLiteral("ketatobi-log-%1-%2").arg(QLatin1String(what)).arg(++serial);
}

}  // namespace

LogInspection InspectLog(const QString& path, int busyTimeoutMs) {
    LogInspection result;
    if (!QFileInfo::exists(path)) {
        result.kind = LogInspection::Kind::Missing;
        return result;
    }
    const QString name = NextConnectionName("inspect");
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(path);
        db.setConnectOptions(
            QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1;QSQLITE_OPEN_READONLY").arg(busyTimeoutMs));
        const auto failed = [&result](int code, const QString& detail) {
            result.kind = code == kBusy || code == kLocked            ? LogInspection::Kind::Busy
                          : code == kCorrupt || code == kNotADatabase ? LogInspection::Kind::Corrupt
                                                                      : LogInspection::Kind::Failed;
            result.detail = detail;
        };
        if (!db.open()) {
            failed(CodeOf(db.lastError()), db.lastError().text());
        } else if (sqlite3* h = SqliteHandle(db)) {
            // One read transaction: the mark, the version and the tables are seen as one
            // commit left them. Read one by one, a log another instance is making at this
            // moment could show its tables without its mark, and pass for another program's.
            sqlite3_exec(h, "BEGIN", nullptr, nullptr, nullptr);
            const LogCheck check = CheckLog(h);
            sqlite3_exec(h, "COMMIT", nullptr, nullptr, nullptr);
            if (!check.read) {
                failed(check.code, QString::fromUtf8(check.detail));
            } else {
                result.version = check.version;
                result.marked = check.marked;
                result.kind = check.kind == LogCheck::Kind::Empty   ? LogInspection::Kind::Empty
                              : check.kind == LogCheck::Kind::Ours  ? LogInspection::Kind::Ours
                              : check.kind == LogCheck::Kind::Newer ? LogInspection::Kind::Newer
                                                                    : LogInspection::Kind::Foreign;
            }
        } else {
            failed(-1, QStringLiteral("no SQLite handle"));
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    return result;
}

}  // namespace keta
