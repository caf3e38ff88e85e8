#include "answer_log.h"

#include <sys/stat.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>
#include <algorithm>
#include <atomic>
#include <utility>

#include "log_schema.h"

namespace keta {
namespace {

const QString kTitle = QStringLiteral("解答ログ");

// SQLite's primary result codes, as Qt reports them in QSqlError::nativeErrorCode().
enum SqliteCode { kBusy = 5, kLocked = 6, kCorrupt = 11, kNotADatabase = 26 };

int CodeOf(const QSqlError& error) {
    bool ok = false;
    const int code = error.nativeErrorCode().toInt(&ok);
    return ok ? (code & 0xFF) : -1;  // an extended code carries the primary one in its low byte
}
bool IsBusy(const QSqlError& e) { return CodeOf(e) == kBusy || CodeOf(e) == kLocked; }
bool IsCorrupt(const QSqlError& e) { return CodeOf(e) == kCorrupt || CodeOf(e) == kNotADatabase; }

}  // namespace

QString AnswerLog::FileName() { return QStringLiteral("解答ログ.db"); }

AnswerLog::AnswerLog(QString path, MessageBoxes* boxes, int busyTimeoutMs, Access access)
    : path_(std::move(path)), boxes_(boxes), busyTimeoutMs_(busyTimeoutMs), access_(access) {
    static std::atomic<unsigned> serial{0};
    connection_ = QStringLiteral("ketatobi-answer-log-%1").arg(++serial);
}

AnswerLog::~AnswerLog() { CloseConnection(); }

void AnswerLog::CloseConnection() {
    if (QSqlDatabase::contains(connection_)) {
        {
            QSqlDatabase db = QSqlDatabase::database(connection_, false);
            db.close();
        }
        QSqlDatabase::removeDatabase(connection_);
    }
    opened_ = false;
}

void AnswerLog::ReportOnce(const QString& text) {
    if (reported_) return;
    reported_ = true;
    if (boxes_ != nullptr) boxes_->ReportError(text, kTitle);
}

void AnswerLog::Fail(const QString& text) {
    lastError_ = text;
    ReportOnce(text);
}

AnswerLog::OpenResult AnswerLog::OpenConnection() {
    CloseConnection();
    const QFileInfo info(path_);
    if (info.exists() && !info.isFile()) {
        lastError_ = QStringLiteral("%1 の場所にファイルでないもの（フォルダーなど）があります。")
                         .arg(info.fileName());
        return OpenResult::Failed;
    }
    if (access_ == Access::ReadOnly && !info.exists()) {
        lastError_ = QStringLiteral("%1 がありません。").arg(path_);
        return OpenResult::Failed;
    }
    // A look through a read-only connection first: a database that is not one of this
    // program's logs is never written to, not even its journal mode.
    const LogInspection seen = InspectLog(path_, busyTimeoutMs_);
    switch (seen.kind) {
        case LogInspection::Kind::Busy:
            lastError_ = seen.detail;
            return OpenResult::Busy;
        case LogInspection::Kind::Corrupt:
            lastError_ = QStringLiteral("%1 を使えません: %2").arg(info.fileName(), seen.detail);
            return OpenResult::Corrupt;
        case LogInspection::Kind::Failed:
            lastError_ = QStringLiteral("%1 を開けません: %2").arg(info.fileName(), seen.detail);
            return OpenResult::Failed;
        case LogInspection::Kind::Newer:
            lastError_ = QStringLiteral(
                             "%1 はこのプログラムより新しい版で作られています。"
                             "ファイルには手を付けません。")
                             .arg(info.fileName());
            return OpenResult::Failed;
        case LogInspection::Kind::Foreign:
            lastError_ = QStringLiteral(
                             "%1 は、このプログラムが知っている解答ログではありません（ほかの"
                             "プログラムのデータベースか、手で変えられたものです）。"
                             "ファイルには手を付けません。")
                             .arg(QDir::toNativeSeparators(info.absoluteFilePath()));
            return OpenResult::Failed;
        case LogInspection::Kind::Missing:
        case LogInspection::Kind::Empty:
        case LogInspection::Kind::Ours:
            break;
    }
    if (access_ == Access::ReadOnly && seen.kind != LogInspection::Kind::Ours) {
        lastError_ = QStringLiteral("%1 にはまだ記録がありません。").arg(info.fileName());
        return OpenResult::Failed;
    }
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection_);
    if (!db.isValid()) {
        lastError_ = QStringLiteral("SQLite のドライバーがありません（libqt6sql6-sqlite）。");
        return OpenResult::Failed;
    }
    db.setDatabaseName(path_);
    QString options = QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(busyTimeoutMs_);
    if (access_ == Access::ReadOnly) options += QStringLiteral(";QSQLITE_OPEN_READONLY");
    db.setConnectOptions(options);
    if (!db.open()) {
        lastError_ =
            QStringLiteral("%1 を開けません: %2").arg(info.fileName(), db.lastError().text());
        return OpenResult::Failed;
    }

    QSqlQuery q(db);
    const auto run = [&](const QString& sql) { return q.exec(sql); };
    const auto failure = [&](const QSqlError& e) {
        lastError_ = IsBusy(e)
                         ? e.text()
                         : QStringLiteral("%1 を使えません: %2").arg(info.fileName(), e.text());
        return IsBusy(e)      ? OpenResult::Busy
               : IsCorrupt(e) ? OpenResult::Corrupt
                              : OpenResult::Failed;
    };
    const auto rollBack = [&] {
        const QSqlError e = q.lastError();
        run(QStringLiteral("ROLLBACK"));
        return failure(e);
    };

    if (!run(QStringLiteral("PRAGMA foreign_keys = ON"))) return failure(q.lastError());
    if (access_ == Access::ReadWrite) {
        // Writers never block the readers of a second instance. Every commit is synced, so a
        // power cut loses at most the round or line being written, as with the history file.
        if (!run(QStringLiteral("PRAGMA journal_mode = WAL"))) return failure(q.lastError());
        q.finish();
        if (!run(QStringLiteral("PRAGMA synchronous = FULL"))) return failure(q.lastError());
        if (seen.kind != LogInspection::Kind::Ours || !seen.marked ||
            seen.version < kSchemaVersion) {
            if (!run(QStringLiteral("BEGIN IMMEDIATE"))) return failure(q.lastError());
            // Read again under the write lock: another instance may have made it meanwhile.
            if (!run(QStringLiteral("PRAGMA user_version")) || !q.next()) return rollBack();
            const int version = q.value(0).toInt();
            q.finish();
            if (version > kSchemaVersion) {
                run(QStringLiteral("ROLLBACK"));
                lastError_ = QStringLiteral("%1 はこのプログラムより新しい版で作られています。")
                                 .arg(info.fileName());
                return OpenResult::Failed;
            }
            for (int v = std::max(version, 0); v < kSchemaVersion; ++v) {
                for (const char* step : MigrationSteps(v)) {
                    if (!run(QString::fromLatin1(step))) return rollBack();
                }
            }
            if (!run(QStringLiteral("PRAGMA application_id = %1").arg(kLogApplicationId)) ||
                !run(QStringLiteral("PRAGMA user_version = %1").arg(kSchemaVersion)) ||
                !run(QStringLiteral("COMMIT")))
                return rollBack();
        }
    }
    // A file cut short keeps a readable first page; the check finds the missing rest.
    if (!run(QStringLiteral("PRAGMA quick_check(1)")) || !q.next()) return failure(q.lastError());
    if (q.value(0).toString() != QStringLiteral("ok")) {
        lastError_ =
            QStringLiteral("%1 が壊れています: %2").arg(info.fileName(), q.value(0).toString());
        return OpenResult::Corrupt;
    }
    q.finish();
    // Only a log read as it is can stay at an older version; the writer migrated its file.
    openedVersion_ = access_ == Access::ReadOnly ? seen.version : kSchemaVersion;
    struct stat st {};
    if (::stat(QFile::encodeName(path_).constData(), &st) == 0) {
        openedDevice_ = st.st_dev;
        openedInode_ = st.st_ino;
    }
    opened_ = true;
    return OpenResult::Ok;
}

bool AnswerLog::SetAsideCorruptFile() {
    CloseConnection();
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString aside = path_ + QStringLiteral(".corrupt-") + stamp;
    for (int n = 2; QFileInfo::exists(aside); ++n)
        aside = path_ + QStringLiteral(".corrupt-%1-%2").arg(stamp).arg(n);
    if (!QFile::rename(path_, aside)) return false;
    // The journal belongs to the file it was written for; a fresh log must not replay it.
    for (const QString& suffix : {QStringLiteral("-wal"), QStringLiteral("-shm")}) {
        if (QFileInfo::exists(path_ + suffix)) (void)QFile::rename(path_ + suffix, aside + suffix);
    }
    setAsideName_ = QFileInfo(aside).fileName();
    lastError_ = QStringLiteral(
                     "%1 が壊れていたため %2 という名前で残し、新しい解答ログを"
                     "始めました。練習と履歴.txt への保存はこれまでどおりです。")
                     .arg(QFileInfo(path_).fileName(), setAsideName_);
    // Always told, whatever was said before: the person may want the file back.
    reported_ = true;
    if (boxes_ != nullptr) boxes_->ReportError(lastError_, kTitle);
    return true;
}

bool AnswerLog::Open() {
    if (opened_) return true;
    if (!available_) return false;
    OpenResult result = OpenConnection();
    if (result == OpenResult::Corrupt && access_ == Access::ReadWrite) {
        const QString why = lastError_;
        if (SetAsideCorruptFile()) {
            result = OpenConnection();
        } else {
            lastError_ = why + QStringLiteral("（名前を変えて残すこともできませんでした）");
        }
    }
    lockedAtOpen_ = result == OpenResult::Busy;
    if (result == OpenResult::Ok) return true;
    CloseConnection();
    // A lock is another program's for a while, not the file's state: tried again next time.
    if (lockedAtOpen_) {
        lastError_ = QStringLiteral(
                         "%1 はほかのプログラムが使っています。しばらくしてから"
                         "もう一度お試しください。")
                         .arg(QFileInfo(path_).fileName());
        return false;
    }
    ReportOff(lastError_ + QStringLiteral("\n解答ログは記録しませんが、練習と履歴.txt への保存は"
                                          "これまでどおり続けられます。"));
    return false;
}

bool AnswerLog::OpenIfPresent() {
    if (opened_) return true;
    if (!QFileInfo::exists(path_)) return available_;
    return Open();
}

bool AnswerLog::SameFileAsOpened() const {
    struct stat st {};
    if (::stat(QFile::encodeName(path_).constData(), &st) != 0) return false;
    return static_cast<std::uint64_t>(st.st_dev) == openedDevice_ &&
           static_cast<std::uint64_t>(st.st_ino) == openedInode_;
}

void AnswerLog::ReportOff(const QString& text) {
    available_ = false;
    lastError_ = text;
    // Told even after a warning about a lock: the rounds that warning promised are not kept.
    if (reportedOff_) return;
    reportedOff_ = reported_ = true;
    if (boxes_ != nullptr) boxes_->ReportError(text, kTitle);
}

void AnswerLog::ReportBusy(const QString& what) {
    Fail(QStringLiteral("%1 をほかのプログラム（ほかのケタトビなど）が使っているため、%2をまだ"
                        "書き込めていません。このプログラムが預かり、書き込めるようになりしだい"
                        "書き込みます。")
             .arg(QFileInfo(path_).fileName(), what));
}

bool AnswerLog::Usable() { return Open(); }

}  // namespace keta
