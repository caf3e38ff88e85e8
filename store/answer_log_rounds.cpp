#include "answer_log_rounds.h"

#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QVariant>
#include <atomic>
#include <unordered_map>

namespace keta {
namespace {

// Opens a read-only connection for one call and removes it again, whatever the way out.
class ReadConnection {
public:
    explicit ReadConnection(const QString& path) {
        static std::atomic<unsigned> serial{0};
        name_ = QStringLiteral("ketatobi-log-rounds-%1").arg(++serial);
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name_);
        db.setDatabaseName(path);
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_BUSY_TIMEOUT=2000"));
        open_ = db.isValid() && db.open();
    }
    ~ReadConnection() {
        {
            QSqlDatabase db = QSqlDatabase::database(name_, false);
            db.close();
        }
        QSqlDatabase::removeDatabase(name_);
    }
    ReadConnection(const ReadConnection&) = delete;
    ReadConnection& operator=(const ReadConnection&) = delete;
    bool IsOpen() const { return open_; }
    QSqlDatabase Database() const { return QSqlDatabase::database(name_, false); }

private:
    QString name_;
    bool open_ = false;
};

}  // namespace

std::optional<std::vector<LoggedRound>> ListLoggedRounds(const QString& logPath, QString* error) {
    const auto fail = [error](const QString& why) {
        if (error != nullptr) *error = why;
        return std::nullopt;
    };
    if (!QFileInfo(logPath).isFile()) {
        return fail(QStringLiteral("解答ログがまだありません。1回遊ぶとできます。"));
    }
    std::vector<LoggedRound> rounds;
    {
        ReadConnection connection(logPath);
        if (!connection.IsOpen()) return fail(QStringLiteral("解答ログを開けませんでした。"));
        QSqlQuery q(connection.Database());
        q.setForwardOnly(true);
        // One read transaction: a round written meanwhile is in both lists or in neither.
        if (!q.exec(QStringLiteral("BEGIN")))
            return fail(QStringLiteral("解答ログを読めませんでした。"));
        bool ok = q.exec(QStringLiteral("SELECT id, started_at FROM rounds ORDER BY id"));
        std::unordered_map<qlonglong, std::size_t> index;
        while (ok && q.next()) {
            LoggedRound round;
            round.id = q.value(0).toLongLong();
            round.startedAt = q.value(1).toString();
            index.emplace(round.id, rounds.size());
            rounds.push_back(round);
        }
        // Two scans in key order instead of a lookup per round: saves has no index by round.
        ok = ok &&
             q.exec(QStringLiteral("SELECT round_id, date_text, time_text FROM saves ORDER BY id"));
        while (ok && q.next()) {
            const auto it = index.find(q.value(0).toLongLong());
            if (it == index.end()) continue;
            LoggedRound& round = rounds[it->second];
            if (round.saved) continue;
            round.saved = true;
            round.firstSave = {q.value(1).toString(), q.value(2).toString()};
        }
        q.finish();
        QSqlQuery(connection.Database()).exec(QStringLiteral("COMMIT"));
        if (!ok) return fail(QStringLiteral("解答ログを読めませんでした。"));
    }
    return rounds;
}

}  // namespace keta
