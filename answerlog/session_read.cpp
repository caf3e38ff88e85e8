#include "session_read.h"

#include <sqlite3.h>

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <unordered_map>

#include "log_bounds.h"
#include "session_figure_texts.h"
#include "sqlite_columns.h"

namespace keta {
namespace {

struct SessionReading {
    StoredSession* session;
    log_bounds::SessionLineChecker lines;
    std::vector<std::pair<std::int64_t, std::int64_t>> declared;  // answers, errors per line
    std::int64_t previousMs = 0;
    std::size_t lineOfPrevious = SIZE_MAX;
};

void MarkDamaged(StoredSession& s) {
    s.damaged = true;
    s.lines.clear();
    s.lines.shrink_to_fit();
}

}  // namespace

std::optional<std::vector<StoredSession>> ReadLogSessions(sqlite3* h, std::int64_t low,
                                                          std::int64_t high,
                                                          const std::function<bool()>& stop,
                                                          bool* stopped) {
    std::vector<StoredSession> sessions;
    sqlite3_exec(h, "BEGIN", nullptr, nullptr, nullptr);
    struct EndRead {
        sqlite3* h;
        ~EndRead() { sqlite3_exec(h, "COMMIT", nullptr, nullptr, nullptr); }
    } endRead{h};

    std::vector<SessionReading> reading;
    std::unordered_map<std::int64_t, std::size_t> index;
    {
        SqliteStatement q(
            h,
            "SELECT id, substr(started_at, 1, 4097), line_seconds, first_lines,"
            " second_lines, rest_minutes, mode, show_marks, show_time_left, state,"
            " length(started_at) FROM sessions WHERE id BETWEEN ?1 AND ?2 ORDER BY id");
        if (!q.Valid()) return std::nullopt;
        q.Range(low, high);
        while (q.Step()) {
            StoredSession s;
            s.id = q.Int(0);
            log_bounds::SessionRow row;
            row.lineSeconds = q.Int(2);
            row.firstLines = q.Int(3);
            row.secondLines = q.Int(4);
            row.restMinutes = q.Int(5);
            row.mode = q.Int(6);
            row.showMarks = q.Int(7);
            row.showTimeLeft = q.Int(8);
            row.startedChars = q.Int(10);
            const std::string state = q.Text(9);
            s.damaged = !log_bounds::SessionRowInBounds(row) ||
                        (state != "finished" && state != "stopped" && state != "running");
            if (!s.damaged) {
                s.startedAt = q.Text(1);
                s.settings.lineSeconds = static_cast<int>(row.lineSeconds);
                s.settings.firstHalfLines = static_cast<int>(row.firstLines);
                s.settings.secondHalfLines = static_cast<int>(row.secondLines);
                s.settings.restMinutes = static_cast<int>(row.restMinutes);
                s.settings.mode = static_cast<SessionMode>(row.mode);
                s.settings.showMarks = row.showMarks != 0;
                s.settings.showTimeLeft = row.showTimeLeft != 0;
                s.running = state == "running";
                s.state = state == "finished" ? SessionState::Finished : SessionState::Stopped;
            }
            index.emplace(s.id, sessions.size());
            sessions.push_back(std::move(s));
            reading.push_back({nullptr, log_bounds::SessionLineChecker(row), {}});
        }
        if (!q.Done()) return std::nullopt;
    }
    for (std::size_t i = 0; i < sessions.size(); ++i) reading[i].session = &sessions[i];

    {
        SqliteStatement q(h,
                          "SELECT session_id, half, line, difference, answers, errors"
                          " FROM session_lines WHERE session_id BETWEEN ?1 AND ?2"
                          " ORDER BY session_id, half, line");
        if (!q.Valid()) return std::nullopt;
        q.Range(low, high);
        while (q.Step()) {
            const auto it = index.find(q.Int(0));
            if (it == index.end()) continue;
            SessionReading& r = reading[it->second];
            if (r.session->damaged) continue;
            const log_bounds::SessionLineRow row{q.Int(1), q.Int(2), q.Int(3), q.Int(4), q.Int(5)};
            if (!r.lines.Accept(row)) {
                MarkDamaged(*r.session);
                continue;
            }
            LineResult line;
            line.half = static_cast<int>(row.half);
            line.line = static_cast<int>(row.line);
            line.difference = row.difference != 0;
            // The count a row claims is not trusted with memory: the answers read decide, and
            // a line that claims more than it holds marks its session damaged below.
            line.answers.reserve(static_cast<std::size_t>(std::min<std::int64_t>(row.answers, 64)));
            r.session->lines.push_back(std::move(line));
            r.declared.emplace_back(row.answers, row.errors);
        }
        if (!q.Done()) return std::nullopt;
    }

    {
        SqliteStatement q(
            h,
            "SELECT session_id, half, line, ms, box, left_digit, right_digit, typed,"
            " expected, correct FROM session_answers WHERE session_id BETWEEN ?1 AND ?2"
            " ORDER BY session_id, half, line, seq");
        if (!q.Valid()) return std::nullopt;
        q.Range(low, high);
        std::int64_t lastId = 0;
        SessionReading* last = nullptr;
        std::uint32_t rows = 0;
        while (q.Step()) {
            if ((++rows & 1023u) == 0 && stop && stop()) {
                if (stopped != nullptr) *stopped = true;
                return std::nullopt;
            }
            // Each column is read once: this loop runs for every answer of every session.
            const std::int64_t id = q.Int(0);
            // Rows come session by session: one look-up per session, not per answer.
            if (last == nullptr || id != lastId) {
                const auto it = index.find(id);
                lastId = id;
                last = it == index.end() ? nullptr : &reading[it->second];
            }
            if (last == nullptr) continue;
            SessionReading& r = *last;
            StoredSession& s = *r.session;
            if (s.damaged) continue;
            // Lines are kept in order without gaps, so a line's place follows from its number.
            const std::int64_t half = q.Int(1), number = q.Int(2);
            if (!log_bounds::Within(half, 1, 2) || !log_bounds::Within(number, 1, 30)) {
                MarkDamaged(s);
                continue;
            }
            const std::int64_t place = (half == 2 ? s.settings.firstHalfLines : 0) + number - 1;
            if (place < 0 || place >= static_cast<std::int64_t>(s.lines.size()) ||
                s.lines[static_cast<std::size_t>(place)].half != half ||
                s.lines[static_cast<std::size_t>(place)].line != number) {
                MarkDamaged(s);  // an answer of a line that is not there
                continue;
            }
            const auto at = static_cast<std::size_t>(place);
            if (r.lineOfPrevious != at) r.previousMs = 0;
            const log_bounds::SessionAnswerRow row{q.Int(3), q.Int(4), q.Int(5),  q.Int(6),
                                                   q.Int(8), q.Int(9), q.Bytes(7)};
            LineResult& line = s.lines[at];
            if (!log_bounds::SessionAnswerInBounds(row, r.previousMs, r.lines.LineMs()) ||
                line.Answers() >= r.declared[at].first) {
                MarkDamaged(s);
                continue;
            }
            r.previousMs = row.ms;
            r.lineOfPrevious = at;
            LineAnswer& a = line.answers.emplace_back();
            a.ms = row.ms;
            a.box = static_cast<int>(row.box);
            a.left = static_cast<int>(row.left);
            a.right = static_cast<int>(row.right);
            a.typed = q.Text(7);
            a.expected = static_cast<int>(row.expected);
            a.correct = row.correct != 0;
        }
        if (!q.Done()) return std::nullopt;
    }
    // Each line's counts must match its answers: a count without them would be a figure the
    // log cannot back.
    for (SessionReading& r : reading) {
        StoredSession& s = *r.session;
        if (s.damaged) continue;
        for (std::size_t i = 0; i < s.lines.size(); ++i) {
            if (s.lines[i].Answers() != r.declared[i].first ||
                s.lines[i].Errors() != r.declared[i].second) {
                MarkDamaged(s);
                break;
            }
        }
    }
    return sessions;
}

std::set<std::int64_t> ParseLeftOutSessions(std::string_view text) {
    std::set<std::int64_t> ids;
    while (!text.empty()) {
        const std::size_t comma = text.find(',');
        const std::string_view part = text.substr(0, comma);
        std::int64_t id = 0;
        const auto [end, error] = std::from_chars(part.data(), part.data() + part.size(), id);
        if (error == std::errc() && end == part.data() + part.size() && id > 0) ids.insert(id);
        if (comma == std::string_view::npos) break;
        text.remove_prefix(comma + 1);
    }
    return ids;
}

std::string LeftOutSessionsText(const std::set<std::int64_t>& ids) {
    std::string text;
    for (const std::int64_t id : ids) {
        if (!text.empty()) text += ',';
        text += std::to_string(id);
    }
    return text;
}

std::set<std::int64_t> ReadLeftOutSessions(sqlite3* h) {
    if (h == nullptr) return {};
    SqliteStatement q(h, "SELECT substr(value, 1, 100000) FROM preferences WHERE key = ?");
    if (!q.Valid()) return {};  // an older log without the preferences table
    sqlite3_bind_text(q.Handle(), 1, kLeftOutSessionsKey, -1, SQLITE_STATIC);
    return q.Step() ? ParseLeftOutSessions(q.Text(0)) : std::set<std::int64_t>{};
}

bool IsEarlierSession(const StoredSession& s, const SessionSettings& settings,
                      std::int64_t beforeId, std::int64_t skipId,
                      const std::set<std::int64_t>& leftOut) {
    if (s.damaged || s.running || s.state != SessionState::Finished) return false;
    if (s.id == skipId || (beforeId != 0 && s.id >= beforeId)) return false;
    return !leftOut.contains(s.id) && analysis::SameFormat(s.settings, settings);
}

}  // namespace keta
