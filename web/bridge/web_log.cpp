#include "web_log.h"

#include <sqlite3.h>

#include <cmath>
#include <cstring>
#include <utility>

#include "log_check.h"
#include "log_rows.h"
#include "sqlite_columns.h"

namespace keta::web {
namespace {

// The bytes as a database of their own, in memory. A log the desktop left in WAL mode says so
// in two header bytes; a database in memory keeps no WAL, so it is read as a rollback-journal
// file (the desktop turns WAL on again when it opens the file to write).
sqlite3* OpenBytes(std::string_view bytes) {
    sqlite3* h = nullptr;
    if (sqlite3_open_v2(":memory:", &h, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) !=
        SQLITE_OK) {
        sqlite3_close(h);
        return nullptr;
    }
    // Nothing in a file from elsewhere may run code or write through the schema.
    sqlite3_db_config(h, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
    sqlite3_db_config(h, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, nullptr);
    if (bytes.empty()) return h;
    auto* copy = static_cast<unsigned char*>(sqlite3_malloc64(bytes.size()));
    if (copy == nullptr) {
        sqlite3_close(h);
        return nullptr;
    }
    std::memcpy(copy, bytes.data(), bytes.size());
    constexpr char kHeader[] = "SQLite format 3";  // with its NUL: 16 bytes
    if (bytes.size() >= 100 && std::memcmp(copy, kHeader, sizeof kHeader) == 0 && copy[18] == 2 &&
        copy[19] == 2) {
        copy[18] = 1;
        copy[19] = 1;
    }
    const auto size = static_cast<sqlite3_int64>(bytes.size());
    if (sqlite3_deserialize(h, "main", copy, size, size,
                            SQLITE_DESERIALIZE_FREEONCLOSE | SQLITE_DESERIALIZE_RESIZEABLE) !=
        SQLITE_OK) {
        sqlite3_close(h);
        return nullptr;
    }
    return h;
}

}  // namespace

WebLog::WebLog(std::function<double()> nowSeconds) : nowSeconds_(std::move(nowSeconds)) {}

WebLog::~WebLog() {
    sqlite3_close(waiting_);
    sqlite3_close(h_);
}

LogOutcome WebLog::Read(std::string_view bytes) {
    sqlite3_close(waiting_);
    waiting_ = nullptr;
    refusal_.clear();
    const auto refuse = [this](LogOutcome outcome, std::string why) {
        refusal_ = std::move(why);
        sqlite3_close(waiting_);
        waiting_ = nullptr;
        return outcome;
    };
    if (bytes.size() > kMostLogImportBytes)
        return refuse(LogOutcome::TooLarge, "大きすぎます（256 MB まで）。");
    waiting_ = OpenBytes(bytes);
    if (waiting_ == nullptr)
        return refuse(LogOutcome::Corrupt, "SQLite のデータベースとして読めません。");
    sqlite3_exec(waiting_, "BEGIN", nullptr, nullptr, nullptr);
    const LogCheck check = CheckLog(waiting_);
    sqlite3_exec(waiting_, "COMMIT", nullptr, nullptr, nullptr);
    if (!check.read)
        return refuse(LogOutcome::Corrupt,
                      "解答ログとして読めません（壊れているか、データベースではありません: " +
                          check.detail + "）。");
    if (check.kind == LogCheck::Kind::Newer)
        return refuse(LogOutcome::Newer,
                      "このプログラムより新しい版の解答ログです。この版では読めません。");
    if (check.kind == LogCheck::Kind::Foreign)
        return refuse(LogOutcome::Foreign,
                      "ケタトビの解答ログではありません（ほかのプログラムのデータベースか、"
                      "手で変えられたファイルです）。");
    // A file cut short keeps a readable first page; the check finds the missing rest.
    sqlite3_stmt* stmt = nullptr;
    std::string verdict;
    if (sqlite3_prepare_v2(waiting_, "PRAGMA quick_check(1)", -1, &stmt, nullptr) == SQLITE_OK &&
        sqlite3_step(stmt) == SQLITE_ROW) {
        const auto* text = sqlite3_column_text(stmt, 0);
        verdict = text != nullptr ? reinterpret_cast<const char*>(text) : "";
    } else {
        verdict = sqlite3_errmsg(waiting_);
    }
    sqlite3_finalize(stmt);
    if (verdict != "ok") return refuse(LogOutcome::Corrupt, "解答ログが壊れています: " + verdict);
    std::string error;
    sqlite3_exec(waiting_, "PRAGMA foreign_keys = ON", nullptr, nullptr, nullptr);
    if (!MigrateLog(waiting_, &error))
        return refuse(LogOutcome::Failed, "解答ログを今の版にできませんでした: " + error);
    return LogOutcome::Taken;
}

void WebLog::Commit() {
    if (waiting_ == nullptr) return;
    sqlite3_close(h_);
    h_ = waiting_;
    waiting_ = nullptr;
    lastRound_ = 0;
    ++changes_;
}

long long WebLog::WaitingRounds() const {
    return HasRoundsTable(waiting_)
               ? QueryNumber(waiting_, "SELECT count(*) FROM rounds").value_or(0)
               : 0;
}

long long WebLog::Rounds() const {
    return HasRoundsTable(h_) ? QueryNumber(h_, "SELECT count(*) FROM rounds").value_or(0) : 0;
}

std::string WebLog::FileBytes() const {
    if (h_ == nullptr) return {};
    sqlite3_int64 size = 0;
    unsigned char* bytes = sqlite3_serialize(h_, "main", &size, 0);
    if (bytes == nullptr) return {};
    std::string file(reinterpret_cast<const char*>(bytes), static_cast<std::size_t>(size));
    sqlite3_free(bytes);
    return file;
}

std::int64_t WebLog::Elapsed() const {
    // Whole milliseconds since play began, cut down as a millisecond timer counts them.
    const double ms = std::floor((nowSeconds_() - playStarted_) * 1000.0);
    return ms > 0 && ms < 9.0e15 ? static_cast<std::int64_t>(ms) : 0;
}

void WebLog::PlayStarted() {
    notes_.Start(startStamp_);
    playStarted_ = nowSeconds_();
}

void WebLog::AnswerScored(int box, int left, int right, const std::string& typed, int expected,
                          bool correct) {
    if (notes_.Playing()) notes_.Answer(Elapsed(), box, left, right, typed, expected, correct);
}

void WebLog::BoxClearedByClick(int box) {
    if (notes_.Playing()) notes_.Cleared(Elapsed(), box);
}

void WebLog::RoundClosed(const RoundSummary& summary) {
    std::optional<analysis::RoundRecord> round = notes_.Close(summary);
    if (!round) return;
    lastRound_ = 0;
    std::string error;
    if (h_ == nullptr) {
        error = "解答ログが使えません。";
    } else if (WriteRoundRows(h_, *round, {}, &error)) {
        lastRound_ = round->id;
        ++changes_;
        return;
    }
    Failed("この回の解答", error);
}

void WebLog::Failed(const std::string& what, const std::string& error) {
    ++failures_;
    lastError_ = what + "を解答ログに書けませんでした（" + error + "）。";
}

void WebLog::NoteSave(const std::string& date, const std::string& time) {
    if (h_ == nullptr || lastRound_ == 0) return;  // a save before any logged round belongs to none
    std::string error;
    if (WriteSaveRow(h_, lastRound_, {date, time}, &error)) {
        ++changes_;
    } else {
        Failed("保存の記録", error);
    }
}

}  // namespace keta::web
