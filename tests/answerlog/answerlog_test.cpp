#include <gtest/gtest.h>
#include <sqlite3.h>

#include <set>
#include <string>
#include <vector>

#include "log_check.h"
#include "log_read.h"
#include "log_rows.h"
#include "log_schema_steps.h"
#include "round_notes.h"
#include "session_figure_texts.h"
#include "session_read.h"

namespace keta {
namespace {

struct Db {
    sqlite3* h = nullptr;
    Db() { sqlite3_open(":memory:", &h); }
    ~Db() { sqlite3_close(h); }
    bool Exec(const std::string& sql) {
        return sqlite3_exec(h, sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK;
    }
    void Steps(int upTo) {
        for (int v = 0; v < upTo; ++v)
            for (const char* step : MigrationSteps(v)) ASSERT_TRUE(Exec(step)) << step;
    }
    long long One(const std::string& sql) {
        sqlite3_stmt* stmt = nullptr;
        sqlite3_prepare_v2(h, sql.c_str(), -1, &stmt, nullptr);
        const long long v = sqlite3_step(stmt) == SQLITE_ROW ? sqlite3_column_int64(stmt, 0) : -1;
        sqlite3_finalize(stmt);
        return v;
    }
};

analysis::RoundRecord Round(analysis::RoundKind kind) {
    analysis::RoundRecord r;
    r.startedAt = "2026-12-09T07:01:02";
    r.timeLimit = 10;
    r.modeText = "－";
    r.answers = 2;
    r.correct = 1;
    r.wrong = 1;
    r.kind = kind;
    if (kind == analysis::RoundKind::Focus) {
        r.focusPercent = 50;
        r.focusPairs = "78 96";
    }
    r.events = {{120, 1, 7, 8, "1", 1, true, false},
                {900, 1, 7, 8, "", 0, false, true},
                {5100, 2, 8, 3, "4", 5, false, false}};
    return r;
}

TEST(AnswerLogRows, WrittenRoundsReadBackAsTheyWere) {
    Db db;
    std::string error;
    ASSERT_TRUE(MigrateLog(db.h, &error)) << error;
    analysis::RoundRecord drill = Round(analysis::RoundKind::Drill);
    analysis::RoundRecord focus = Round(analysis::RoundKind::Focus);
    ASSERT_TRUE(WriteRoundRows(db.h, drill, {{"2026/12/09", "07:01:20"}}, &error)) << error;
    ASSERT_TRUE(WriteRoundRows(db.h, focus, {}, &error)) << error;
    EXPECT_EQ(drill.id, 1);
    EXPECT_EQ(focus.id, 2);
    ASSERT_TRUE(WriteSaveRow(db.h, focus.id, {"2026/12/09", "07:02:00"}, &error)) << error;
    EXPECT_EQ(db.One("SELECT count(*) FROM saves"), 2);
    EXPECT_EQ(db.One("SELECT percent FROM focus_rounds WHERE round_id = 2"), 50);

    std::vector<analysis::RoundRecord> read;
    ASSERT_EQ(ReadLogRounds(db.h, std::nullopt,
                            [&](const analysis::RoundRecord& r) { read.push_back(r); }),
              LogReadOutcome::Done);
    ASSERT_EQ(read.size(), 2u);
    for (const analysis::RoundRecord& r : read) {
        EXPECT_FALSE(r.damaged);
        EXPECT_EQ(r.startedAt, drill.startedAt);
        EXPECT_EQ(r.modeText, "－");
        ASSERT_EQ(r.events.size(), 3u);
        for (std::size_t i = 0; i < 3; ++i) {
            EXPECT_EQ(r.events[i].ms, drill.events[i].ms);
            EXPECT_EQ(r.events[i].box, drill.events[i].box);
            EXPECT_EQ(r.events[i].correct, drill.events[i].correct);
            EXPECT_EQ(r.events[i].cleared, drill.events[i].cleared);
        }
    }
    // A row the drill cannot produce keeps the round out of every figure.
    ASSERT_TRUE(db.Exec("UPDATE answers SET box = 15 WHERE round_id = 2 AND seq = 2"));
    std::optional<analysis::RoundRecord> damaged;
    ReadLogRounds(db.h, 2, [&](const analysis::RoundRecord& r) { damaged = r; });
    ASSERT_TRUE(damaged);
    EXPECT_TRUE(damaged->damaged);
    EXPECT_TRUE(damaged->events.empty());
}

TEST(AnswerLogCheck, TellsLogsFromOtherDatabases) {
    const std::string mark = "PRAGMA application_id = " + std::to_string(kLogApplicationId) + ";";
    struct Case {
        const char* name;
        int steps;
        std::string extra;
        LogCheck::Kind kind;
    } cases[] = {
        {"empty", 0, "", LogCheck::Kind::Empty},
        {"current", kLogSchemaVersion, mark + "PRAGMA user_version = 3", LogCheck::Kind::Ours},
        {"first version from before the mark", 1, "PRAGMA user_version = 1", LogCheck::Kind::Ours},
        {"second version without the mark", 2, "PRAGMA user_version = 2", LogCheck::Kind::Foreign},
        {"a later version", kLogSchemaVersion, mark + "PRAGMA user_version = 4",
         LogCheck::Kind::Newer},
        {"a table added by hand", 3, mark + "PRAGMA user_version = 3; CREATE TABLE notes (x)",
         LogCheck::Kind::Foreign},
        {"another program's", 0, "CREATE TABLE rounds (id INTEGER PRIMARY KEY, score REAL)",
         LogCheck::Kind::Foreign},
        {"the version said but the tables missing", 0, mark + "PRAGMA user_version = 3",
         LogCheck::Kind::Foreign},
    };
    for (const Case& c : cases) {
        Db db;
        db.Steps(c.steps);
        ASSERT_TRUE(db.Exec(c.extra)) << c.name;
        const LogCheck check = CheckLog(db.h);
        ASSERT_TRUE(check.read) << c.name;
        EXPECT_EQ(check.kind, c.kind) << c.name;
    }
}

TEST(AnswerLogCheck, MigratingAnOldLogKeepsItsRounds) {
    Db db;
    db.Steps(1);
    ASSERT_TRUE(
        db.Exec("PRAGMA user_version = 1; INSERT INTO rounds (started_at, time_limit,"
                " mode_text, answers, correct, wrong) VALUES ('2020-01-01T00:00:00', 60,"
                " '＋', 0, 0, 0)"));
    std::string error;
    ASSERT_TRUE(MigrateLog(db.h, &error)) << error;
    const LogCheck check = CheckLog(db.h);
    EXPECT_EQ(check.kind, LogCheck::Kind::Ours);
    EXPECT_TRUE(check.marked);
    EXPECT_EQ(check.version, kLogSchemaVersion);
    EXPECT_EQ(db.One("SELECT kind FROM rounds"), 0);
    // A newer log is never written into.
    ASSERT_TRUE(db.Exec("PRAGMA user_version = 9"));
    EXPECT_FALSE(MigrateLog(db.h, &error));
    EXPECT_EQ(db.One("PRAGMA user_version"), 9);
}

TEST(RoundNotes, KeepOnlyTimedPlayAndTheKindInForce) {
    RoundNotes notes;
    notes.Answer(5, 1, 2, 3, "5", 5, true);  // before play: no round to note it in
    EXPECT_FALSE(notes.Close({}));
    notes.SetKind(analysis::RoundKind::Focus, 25, "33");
    notes.Start("2026-12-09T08:00:00");
    notes.Answer(10, 1, 2, 3, "5", 5, true);
    notes.Cleared(20, 1);
    const auto round = notes.Close({1, 1, 0, 60, "＋"});
    ASSERT_TRUE(round);
    EXPECT_EQ(round->events.size(), 2u);
    EXPECT_TRUE(round->events[1].cleared);
    EXPECT_EQ(round->kind, analysis::RoundKind::Focus);
    EXPECT_EQ(round->focusPairs, "33");
    EXPECT_EQ(round->timeLimit, 60);
    EXPECT_FALSE(notes.Playing());
    EXPECT_FALSE(notes.Close({}));  // closed once
}

}  // namespace
}  // namespace keta

namespace keta {
namespace {

LineResult Line(int half, int line, std::vector<bool> right) {
    LineResult l;
    l.half = half;
    l.line = line;
    std::int64_t ms = 0;
    for (const bool r : right) l.answers.push_back({ms += 700, 1, 3, 4, r ? "7" : "8", 7, r});
    return l;
}

TEST(AnswerLogSessions, LeftOutSessionsReadFromTheirTextAndBack) {
    const struct {
        const char* text;
        std::set<std::int64_t> ids;
    } cases[] = {
        {"3,7", {3, 7}},
        {"", {}},
        // A hand-edited value keeps what reads as ids: no zero, sign, space, overflow or word.
        {"x,5,-2,0,5, 9,12345678901234567890,7a", {5}},
    };
    for (const auto& c : cases) EXPECT_EQ(ParseLeftOutSessions(c.text), c.ids) << c.text;
    EXPECT_EQ(LeftOutSessionsText({12, 3}), "3,12");
    EXPECT_EQ(LeftOutSessionsText({}), "");
}

TEST(AnswerLogSessions, WrittenLineByLineAndReadBackWithTheirState) {
    Db db;
    std::string error;
    ASSERT_TRUE(MigrateLog(db.h, &error)) << error;
    SessionSettings s;
    s.lineSeconds = 10;
    s.firstHalfLines = 2;
    s.secondHalfLines = 0;
    s.restMinutes = 0;
    std::int64_t finished = 0, stopped = 0, running = 0;
    ASSERT_TRUE(WriteSessionStartRows(db.h, "2026-12-09T07:00:00", s, &finished, &error));
    ASSERT_TRUE(WriteSessionLineRows(db.h, finished, Line(1, 1, {true, false}), &error));
    // A line written twice (an answer that never came back) stays one line.
    ASSERT_TRUE(WriteSessionLineRows(db.h, finished, Line(1, 1, {true, false}), &error));
    ASSERT_TRUE(WriteSessionLineRows(db.h, finished, Line(1, 2, {true}), &error));
    ASSERT_TRUE(WriteSessionEndRow(db.h, finished, SessionState::Finished, &error));
    ASSERT_TRUE(WriteSessionStartRows(db.h, "2026-12-09T07:01:00", s, &stopped, &error));
    ASSERT_TRUE(WriteSessionEndRow(db.h, stopped, SessionState::Stopped, &error));
    ASSERT_TRUE(WriteSessionStartRows(db.h, "2026-12-09T07:02:00", s, &running, &error));
    EXPECT_EQ(db.One("SELECT count(*) FROM session_answers"), 3);

    const auto sessions = ReadLogSessions(db.h, 0, 1000);
    ASSERT_TRUE(sessions);
    ASSERT_EQ(sessions->size(), 3u);
    const StoredSession& first = (*sessions)[0];
    EXPECT_FALSE(first.damaged);
    EXPECT_EQ(first.state, SessionState::Finished);
    ASSERT_EQ(first.lines.size(), 2u);
    EXPECT_EQ(first.lines[0].Answers(), 2);
    EXPECT_EQ(first.lines[0].Errors(), 1);
    EXPECT_EQ(first.lines[1].answers[0].typed, "7");
    EXPECT_EQ((*sessions)[1].state, SessionState::Stopped);
    EXPECT_TRUE((*sessions)[2].running);

    // A line claiming more answers than it holds cannot back its figures.
    ASSERT_TRUE(db.Exec("UPDATE session_lines SET answers = 5 WHERE line = 2"));
    EXPECT_TRUE(ReadLogSessions(db.h, 0, 1000)->front().damaged);
}

TEST(EarlierSessions, EachFigureIsMeanedOverTheSessionsThatHaveIt) {
    SessionSettings s;
    s.firstHalfLines = 1;
    s.secondHalfLines = 1;
    s.restMinutes = 0;
    // Answers 2 and 4 in the first session's two lines, 6 and none in the second's.
    const analysis::SessionFigureValues a = analysis::ComputeSessionFigureValues(
        {Line(1, 1, {true, true}), Line(2, 1, {true, false, true, true})}, s);
    const analysis::SessionFigureValues b =
        analysis::ComputeSessionFigureValues({Line(1, 1, std::vector<bool>(6, true))}, s);
    const auto means = analysis::EarlierFigureMeans({a, b});
    const auto& rows = analysis::SessionFigureRows();
    const auto at = [&rows](const std::string& caption) {
        for (std::size_t i = 0; i < rows.size(); ++i)
            if (rows[i].caption == caption) return i;
        ADD_FAILURE() << "no figure " << caption;
        return std::size_t{0};
    };
    EXPECT_EQ(means[at("解答数")].mean, 6.0);  // (6 + 6) ÷ 2
    EXPECT_EQ(means[at("解答数")].withValue, 2);
    // Only the first session reached the second half.
    EXPECT_EQ(means[at("平均（後半）")].mean, 4.0);
    EXPECT_EQ(means[at("平均（後半）")].withValue, 1);
    EXPECT_EQ(analysis::EarlierTitleText(0), "同じ設定で終えた回はまだありません。");
    SessionSettings other = s;
    other.showMarks = !s.showMarks;
    EXPECT_TRUE(analysis::SameFormat(s, other));
    other.restMinutes = 1;
    EXPECT_FALSE(analysis::SameFormat(s, other));
}

}  // namespace
}  // namespace keta
