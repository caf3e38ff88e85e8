// The practice sessions of the page's answer log: written line by line as on the desktop, and
// read back for the comparison with the earlier sessions in the same format.

#include <limits>

#include "json_text.h"
#include "log_rows.h"
#include "round_indices.h"
#include "session_figure_texts.h"
#include "session_read.h"
#include "web_log.h"

namespace keta::web {

void WebLog::SessionStarted(const SessionSettings& settings, std::int64_t /*startMs*/) {
    sessionId_ = 0;
    std::string error;
    if (h_ == nullptr) {
        Failed("練習の記録", "解答ログが使えません");
    } else if (WriteSessionStartRows(h_, startStamp_, settings, &sessionId_, &error)) {
        ++changes_;
    } else {
        sessionId_ = 0;
        Failed("練習の記録", error);
    }
}

void WebLog::LineCompleted(const LineResult& line) {
    if (sessionId_ == 0) return;  // the session's row could not be written: told already
    std::string error;
    if (WriteSessionLineRows(h_, sessionId_, line, &error)) {
        ++changes_;
    } else {
        Failed("練習の " + std::to_string(line.line) + " 行目", error);
    }
}

void WebLog::SessionEnded(SessionState state) {
    if (sessionId_ == 0) return;
    std::string error;
    if (WriteSessionEndRow(h_, sessionId_, state, &error)) {
        ++changes_;
    } else {
        Failed("練習の終わり", error);
    }
}

std::string WebLog::EarlierJson(const SessionSettings& settings,
                                const std::vector<LineResult>& lines, std::int64_t beforeId) const {
    struct Shown {
        std::string when;  // "2026/12/07 21:03"
        analysis::SessionFigureValues values;
    };
    std::vector<Shown> earlier;
    bool read = h_ != nullptr;
    if (read) {
        const auto all = ReadLogSessions(h_, std::numeric_limits<std::int64_t>::min(),
                                         std::numeric_limits<std::int64_t>::max());
        read = all.has_value();
        // A session left out of the means on the desktop stays out here too.
        const std::set<std::int64_t> leftOut = ReadLeftOutSessions(h_);
        for (const StoredSession& s : all.value_or(std::vector<StoredSession>{})) {
            if (!IsEarlierSession(s, settings, beforeId, 0, leftOut)) continue;
            earlier.push_back({analysis::SessionWhenText(s.startedAt),
                               analysis::ComputeSessionFigureValues(s.lines, s.settings)});
        }
    }
    std::vector<analysis::SessionFigureValues> before;
    for (const Shown& e : earlier) before.push_back(e.values);
    const std::vector<analysis::EarlierFigure> means = analysis::EarlierFigureMeans(before);
    const std::vector<analysis::SessionFigureRow>& rows = analysis::SessionFigureRows();

    JsonText json;
    json.Begin('{');
    json.Key("title").Text(read ? analysis::EarlierTitleText(earlier.size())
                                : "解答ログを読めないため、これまでの回と比べられません。");
    json.Key("means").Begin('[');
    for (std::size_t i = 0; i < rows.size(); ++i) {
        json.Begin('{');
        json.Key("value").Text(analysis::SessionFigureText(rows[i].kind, means[i].mean, true));
        json.Key("covers").Text(
            analysis::EarlierCoversText(rows[i], earlier.size(), means[i].withValue));
        json.End('}');
    }
    json.End(']');
    // Answers per line of each half, session by session, this one last.
    const analysis::SessionFigureValues now = analysis::ComputeSessionFigureValues(lines, settings);
    json.Key("trend").Begin('[');
    const auto row = [&json](const std::string& when, const analysis::SessionFigureValues& v) {
        json.Begin('[');
        json.Text(when);
        json.Text(analysis::FormatFigure(v.firstMean, 1));
        json.Text(analysis::FormatFigure(v.secondMean, 1));
        json.End(']');
    };
    for (const Shown& e : earlier) row(e.when, e.values);
    row("この回", now);
    json.End(']');
    json.End('}');
    return json.Str();
}

}  // namespace keta::web
