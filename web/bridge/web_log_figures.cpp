// The figures the page's windows show from its answer log: a round's work curve and the
// weak-pairs map, each as JSON with every text written here.

#include <sqlite3.h>

#include <algorithm>
#include <optional>

#include "axis_scale.h"
#include "digit_pairs.h"
#include "json_text.h"
#include "log_read.h"
#include "round_indices.h"
#include "sqlite_columns.h"
#include "stats.h"
#include "web_log.h"
#include "work_curve.h"

namespace keta::web {
namespace {

constexpr const char* kNoFigure = "\xE3\x81\xAA\xE3\x81\x97";  // なし

std::string SecondsText(std::int64_t ms) {
    return ms % 1000 == 0 ? std::to_string(ms / 1000)
                          : analysis::FormatFigure(static_cast<double>(ms) / 1000.0, 1);
}

std::string MedianSeconds(std::optional<double> ms) {
    return ms ? analysis::FormatFigure(*ms / 1000.0, 2) : kNoFigure;
}

}  // namespace

std::string WebLog::CurveJson(std::int64_t id, int step) const {
    JsonText json;
    json.Begin('{');
    std::optional<std::int64_t> target;
    if (HasRoundsTable(h_)) {
        target = id == 0    ? QueryNumber(h_, "SELECT max(id) FROM rounds")
                 : step < 0 ? QueryNumber(h_, "SELECT max(id) FROM rounds WHERE id < ?1", id)
                 : step > 0 ? QueryNumber(h_, "SELECT min(id) FROM rounds WHERE id > ?1", id)
                            : QueryNumber(h_, "SELECT id FROM rounds WHERE id = ?1", id);
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
        .Number(
            QueryNumber(h_, "SELECT count(*) FROM rounds WHERE id <= ?1", round->id).value_or(0));
    json.Key("count").Number(Rounds());
    json.Key("hasPrevious")
        .Flag(QueryNumber(h_, "SELECT max(id) FROM rounds WHERE id < ?1", round->id).has_value());
    json.Key("hasNext").Flag(
        QueryNumber(h_, "SELECT min(id) FROM rounds WHERE id > ?1", round->id).has_value());

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
