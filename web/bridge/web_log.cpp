#include "web_log.h"

#include <sqlite3.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <optional>
#include <utility>
#include <vector>

#include "axis_scale.h"
#include "digit_pairs.h"
#include "json_text.h"
#include "log_check.h"
#include "log_read.h"
#include "log_rows.h"
#include "round_indices.h"
#include "stats.h"
#include "work_curve.h"

namespace keta::web {
namespace {

constexpr const char* kNoFigure = "\xE2\x80\x94";  // —

std::optional<std::int64_t> Number(sqlite3* h, const char* sql, std::int64_t bound = 0) {
    sqlite3_stmt* stmt = nullptr;
    if (h == nullptr || sqlite3_prepare_v2(h, sql, -1, &stmt, nullptr) != SQLITE_OK)
        return std::nullopt;
    if (sqlite3_bind_parameter_count(stmt) > 0) sqlite3_bind_int64(stmt, 1, bound);
    std::optional<std::int64_t> value;
    if (sqlite3_step(stmt) == SQLITE_ROW && sqlite3_column_type(stmt, 0) != SQLITE_NULL)
        value = sqlite3_column_int64(stmt, 0);
    sqlite3_finalize(stmt);
    return value;
}

bool HasRounds(sqlite3* h) {
    return Number(h, "SELECT count(*) FROM sqlite_master WHERE type = 'table' AND name = 'rounds'")
               .value_or(0) > 0;
}

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

std::string SecondsText(std::int64_t ms) {
    return ms % 1000 == 0 ? std::to_string(ms / 1000)
                          : analysis::FormatFigure(static_cast<double>(ms) / 1000.0, 1);
}

std::string MedianSeconds(std::optional<double> ms) {
    return ms ? analysis::FormatFigure(*ms / 1000.0, 2) : kNoFigure;
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
    return HasRounds(waiting_) ? Number(waiting_, "SELECT count(*) FROM rounds").value_or(0) : 0;
}

long long WebLog::Rounds() const {
    return HasRounds(h_) ? Number(h_, "SELECT count(*) FROM rounds").value_or(0) : 0;
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

std::string WebLog::CurveJson(std::int64_t id, int step) const {
    JsonText json;
    json.Begin('{');
    std::optional<std::int64_t> target;
    if (HasRounds(h_)) {
        target = id == 0    ? Number(h_, "SELECT max(id) FROM rounds")
                 : step < 0 ? Number(h_, "SELECT max(id) FROM rounds WHERE id < ?1", id)
                 : step > 0 ? Number(h_, "SELECT min(id) FROM rounds WHERE id > ?1", id)
                            : Number(h_, "SELECT id FROM rounds WHERE id = ?1", id);
    }
    std::optional<analysis::RoundRecord> round;
    if (target) {
        ReadLogRounds(h_, *target, [&round](const analysis::RoundRecord& r) { round = r; });
    }
    json.Key("found").Flag(round.has_value());
    if (!round) {
        json.End('}');
        return json.Str();
    }
    json.Key("id").Number(round->id);
    json.Key("position")
        .Number(Number(h_, "SELECT count(*) FROM rounds WHERE id <= ?1", round->id).value_or(0));
    json.Key("count").Number(Rounds());
    json.Key("hasPrevious")
        .Flag(Number(h_, "SELECT max(id) FROM rounds WHERE id < ?1", round->id).has_value());
    json.Key("hasNext").Flag(
        Number(h_, "SELECT min(id) FROM rounds WHERE id > ?1", round->id).has_value());

    // The title's date and time: the round's first save, or its start for a round never saved.
    analysis::RoundStamp stamp = analysis::StartStamp(*round);
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(h_,
                           "SELECT substr(date_text, 1, 32), substr(time_text, 1, 32) FROM saves"
                           " WHERE round_id = ?1 ORDER BY id LIMIT 1",
                           -1, &stmt, nullptr) == SQLITE_OK) {
        sqlite3_bind_int64(stmt, 1, round->id);
        if (sqlite3_step(stmt) == SQLITE_ROW) {
            const auto text = [stmt](int c) {
                const auto* t = sqlite3_column_text(stmt, c);
                return std::string(t != nullptr ? reinterpret_cast<const char*>(t) : "");
            };
            stamp = {text(0), text(1), true};
        }
    }
    sqlite3_finalize(stmt);

    json.Key("damaged").Flag(round->damaged);
    if (round->damaged) {
        const std::string when =
            stamp.date.empty() ? "日時の分からない回" : stamp.date + " " + stamp.time;
        json.Key("title").Text(when + "・記録が壊れている回");
        json.End('}');
        return json.Str();
    }
    json.Key("title").Text(analysis::RoundTitle(*round, stamp));
    const analysis::WorkCurve curve = analysis::ComputeWorkCurve(*round);
    const analysis::RoundIndices indices = analysis::ComputeIndices(*round, curve);
    json.Key("speed").Text(analysis::FormatFigure(analysis::CorrectPerSecond(*round), 2) + "/秒");
    json.Key("answers").Number(indices.answers);
    json.Key("correct").Number(indices.correct);
    json.Key("errors").Number(indices.errors);
    json.Key("accuracy").Text(analysis::FormatPercentFigure(indices.accuracy));
    double highest = 0.0;
    json.Key("bins").Begin('[');
    for (const analysis::WorkBin& bin : curve.bins) {
        highest = std::max(highest, bin.rate);
        json.Begin('{');
        json.Key("from").Text(SecondsText(bin.startMs));
        json.Key("to").Text(SecondsText(bin.endMs));
        json.Key("answers").Number(bin.answers);
        json.Key("errors").Number(bin.errors);
        json.Key("correctRate").Real(bin.correctRate);
        json.Key("rate").Real(bin.rate);
        json.Key("correctRateText").Text(analysis::FormatFigure(bin.correctRate, 2));
        json.Key("rateText").Text(analysis::FormatFigure(bin.rate, 2));
        json.End('}');
    }
    json.End(']');
    const analysis::AxisScale scale = analysis::RoundScale(0.0, std::max(highest, 0.5));
    json.Key("scale").Begin('{');
    json.Key("high").Real(scale.high);
    json.Key("step").Real(scale.step);
    json.Key("intervals").Number(scale.intervals);
    json.Key("labels").Begin('[');
    for (int k = 0; k <= scale.intervals; ++k)
        json.Text(analysis::FormatFigure(scale.low + scale.step * k, scale.decimals));
    json.End(']');
    json.End('}');
    json.Key("description")
        .Text(std::to_string(curve.bins.size()) + " 区間。最も速い区間は 1秒あたり " +
              analysis::FormatFigure(curve.bins.empty() ? std::optional<double>() : highest, 2) +
              " 問。値は下の表にあります");
    json.End('}');
    return json.Str();
}

std::string WebLog::PairsJson(int mode) const {
    analysis::PairCounter counter;
    bool read = h_ != nullptr;
    if (read) {
        read = ReadLogRounds(h_, std::nullopt, [&counter](const analysis::RoundRecord& r) {
                   counter.Add(r);
               }) == LogReadOutcome::Done;
    }
    const analysis::PairFigures figures = counter.Finish();
    const analysis::Mode which = mode == 1 ? analysis::Mode::Difference : analysis::Mode::Sum;
    const analysis::PairTable& table = figures.of(which);
    const std::string sign = which == analysis::Mode::Difference ? "－" : "＋";

    std::optional<double> highest;
    for (const auto& row : table.cells) {
        for (const analysis::PairCell& cell : row) {
            if (cell.answers >= analysis::kFewestAnswersRated && cell.errorRate)
                highest = std::max(highest.value_or(0.0), *cell.errorRate);
        }
    }
    const double fullRate = std::max(analysis::kLeastFullRate, highest.value_or(0.0));

    JsonText json;
    json.Begin('{');
    json.Key("sign").Text(sign);
    std::string summary;
    if (!read) {
        summary = "解答ログを読み込めませんでした。";
    } else if (figures.rounds == 0) {
        summary = "解答ログにまだ回がありません";
    } else {
        summary = sign + " モードの " + std::to_string(table.rounds) + " 回・解答 " +
                  std::to_string(table.answers) + "、ミス " + std::to_string(table.errors) + "（" +
                  analysis::FormatPercentFigure(table.errorRate) + "）、1問の時間 " +
                  MedianSeconds(table.medianMs) + " 秒";
        if (figures.damaged > 0)
            summary +=
                "（壊れた記録の " + std::to_string(figures.damaged) + " 回は数えていません）";
    }
    json.Key("summary").Text(summary);
    json.Key("cells").Begin('[');
    for (int a = 0; a <= 9; ++a) {
        for (int b = 0; b <= 9; ++b) {
            const analysis::PairCell& cell = table.at(a, b);
            const std::string pair = std::to_string(a) + sign + std::to_string(b);
            json.Begin('{');
            if (cell.answers == 0) {
                json.Key("text").Text(kNoFigure);
                json.Key("state").Text("none");
                json.Key("described").Text(pair + "：まだ解答なし");
            } else if (cell.answers < analysis::kFewestAnswersRated) {
                json.Key("text").Text(kNoFigure);
                json.Key("state").Text("few");
                json.Key("described")
                    .Text(pair + "：解答 " + std::to_string(cell.answers) + "、ミス " +
                          std::to_string(cell.errors) + "（5問未満なので率は出しません）");
            } else {
                const std::array<int, 3> rgb =
                    analysis::HeatRgb(cell.errorRate.value_or(0.0), fullRate);
                json.Key("text").Text(MedianSeconds(cell.medianMs));
                json.Key("state").Text("rated");
                json.Key("rgb").Begin('[').Number(rgb[0]).Number(rgb[1]).Number(rgb[2]).End(']');
                json.Key("described")
                    .Text(pair + "：解答 " + std::to_string(cell.answers) + "、ミス " +
                          std::to_string(cell.errors) + "、ミス率 " +
                          analysis::FormatPercentFigure(cell.errorRate) + "、1問の時間 " +
                          MedianSeconds(cell.medianMs) + " 秒");
            }
            json.End('}');
        }
    }
    json.End(']');
    if (highest) {
        const std::array<int, 3> top = analysis::HeatRgb(*highest, fullRate);
        json.Key("legend").Text("白 " + analysis::FormatPercentFigure(0.0) + " から " +
                                analysis::FormatPercentFigure(highest) + "（表の最高）まで");
        json.Key("legendRgb").Begin('[').Number(top[0]).Number(top[1]).Number(top[2]).End(']');
    } else {
        json.Key("legend").Text("色の付いた組はまだありません");
    }
    json.Key("weakest").Begin('[');
    int rank = 1;
    for (const analysis::WeakPair& w : analysis::WeakestPairs(table)) {
        json.Begin('[');
        json.Text(std::to_string(rank++));
        json.Text(std::to_string(w.left) + sign + std::to_string(w.right));
        json.Text(std::to_string(w.answers));
        json.Text(std::to_string(w.errors));
        json.Text(analysis::FormatPercentFigure(analysis::Ratio(w.errors, w.answers)));
        json.Text(analysis::FormatFigure(w.score, 3));
        json.Text(MedianSeconds(w.medianMs));
        json.End(']');
    }
    json.End(']');
    std::string note;
    if (table.rounds == 0) {
        note = sign + " モードの回が解答ログにまだありません。" + sign +
               " モードで遊ぶと、解答が5問以上の組から並びます。";
    } else {
        note = "どの組もまだ解答が5問に届いていません（" + sign + " モードの解答 " +
               std::to_string(table.answers) + " 問）。" + sign +
               " モードをもう少し遊ぶと並びます。";
    }
    json.Key("note").Text(note);
    json.End('}');
    return json.Str();
}

}  // namespace keta::web
