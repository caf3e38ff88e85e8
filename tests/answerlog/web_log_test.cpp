#include "web_log.h"

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

#include "log_schema_steps.h"

namespace keta::web {
namespace {

double clockSeconds = 0;

// A log on the test's own clock.
class Log {
public:
    WebLog* operator->() { return &log_; }
    WebLog& operator*() { return log_; }

private:
    WebLog log_{[] { return clockSeconds; }};
};

// A round of ten seconds: answers at 0.1 s, 5.1 s and 5.2 s (one wrong), started at 100 s.
void PlayRound(WebLog& round) {
    clockSeconds = 100;
    round.SetStartStamp("2026-12-09T07:00:00");
    round.PlayStarted();
    for (const auto& [at, correct] : {std::pair{100.1, true}, {105.1, false}, {105.2, true}}) {
        clockSeconds = at;
        round.AnswerScored(1, 3, 4, "7", 7, correct);
    }
    round.RoundClosed({3, 2, 1, 10, "＋"});
}

std::string FileOf(const char* sql, bool wal) {
    char name[] = "/tmp/weblogXXXXXX";
    const int fd = mkstemp(name);
    close(fd);
    std::remove(name);
    sqlite3* h = nullptr;
    sqlite3_open(name, &h);
    if (wal) sqlite3_exec(h, "PRAGMA journal_mode = WAL", nullptr, nullptr, nullptr);
    EXPECT_EQ(sqlite3_exec(h, sql, nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(h);
    sqlite3_close(h);
    std::ifstream in(name, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::remove(name);
    return bytes;
}

TEST(WebLog, KeepsRoundsAndTheirCurveAcrossItsOwnBytes) {
    Log log;
    ASSERT_EQ(log->Read({}), LogOutcome::Taken);
    log->Commit();
    PlayRound(*log);
    log->NoteSave("2026/12/09", "07:00:11");
    EXPECT_EQ(log->Failures(), 0);
    EXPECT_EQ(log->Rounds(), 1);
    // Bins of 5 s: one answer in the first, two (one wrong) in the second; 2 correct ÷ 10 s.
    const std::string curve = log->CurveJson(0, 0);
    EXPECT_NE(curve.find("\"title\":\"2026/12/09 07:00:11・＋・10秒・正解 2/3・0.20/秒\""),
              std::string::npos)
        << curve;
    EXPECT_NE(curve.find("\"from\":\"0\",\"to\":\"5\",\"answers\":1,\"errors\":0"),
              std::string::npos);
    EXPECT_NE(curve.find("\"from\":\"5\",\"to\":\"10\",\"answers\":2,\"errors\":1"),
              std::string::npos);
    EXPECT_NE(curve.find("\"hasPrevious\":false,\"hasNext\":false"), std::string::npos);

    Log again;
    ASSERT_EQ(again->Read(log->FileBytes()), LogOutcome::Taken);
    EXPECT_EQ(again->WaitingRounds(), 1);
    again->Commit();
    EXPECT_EQ(again->CurveJson(0, 0), curve);
}

TEST(WebLog, RefusesWhatIsNoLogOfThisProgramAndKeepsTheOneItHas) {
    const std::string mark = "PRAGMA application_id = " + std::to_string(kLogApplicationId) + ";";
    std::string current;
    for (int v = 0; v < kLogSchemaVersion; ++v)
        for (const char* step : MigrationSteps(v)) current += std::string(step) + ";";
    std::string log = FileOf((current + mark + "PRAGMA user_version = 3;").c_str(), false);
    const std::string cut = log.substr(0, log.size() / 2);
    const struct {
        const char* name;
        std::string bytes;
        LogOutcome outcome;
    } cases[] = {
        {"text", "\"2026/12/03\",\"22:18:51\",111,103,8\r\n", LogOutcome::Corrupt},
        {"a header and nothing", "SQLite format 3" + std::string(1, '\0') + std::string(200, 'x'),
         LogOutcome::Corrupt},
        {"another program's",
         FileOf("CREATE TABLE notes (id INTEGER PRIMARY KEY, body TEXT)", false),
         LogOutcome::Foreign},
        {"a later version", FileOf((current + mark + "PRAGMA user_version = 4;").c_str(), false),
         LogOutcome::Newer},
        {"cut short", cut, LogOutcome::Corrupt},
    };
    Log held;
    ASSERT_EQ(held->Read({}), LogOutcome::Taken);
    held->Commit();
    PlayRound(*held);
    for (const auto& c : cases) {
        EXPECT_EQ(held->Read(c.bytes), c.outcome) << c.name;
        EXPECT_FALSE(held->Refusal().empty()) << c.name;
        held->Commit();  // nothing waits: the log stays as it was
        EXPECT_EQ(held->Rounds(), 1) << c.name;
    }
    // Over the bound, refused before a byte is read.
    const char one = 'x';
    EXPECT_EQ(held->Read(std::string_view(&one, kMostLogImportBytes + 1)), LogOutcome::TooLarge);
}

TEST(WebLog, TakesTheDesktopsLogInWalModeAndBringsOlderOnesUp) {
    std::string v1;
    for (const char* step : MigrationSteps(0)) v1 += std::string(step) + ";";
    v1 +=
        "PRAGMA user_version = 1; INSERT INTO rounds (started_at, time_limit, mode_text, answers,"
        " correct, wrong) VALUES ('2026-01-02T03:04:05', 60, '＋', 1, 1, 0);"
        " INSERT INTO answers VALUES (1, 0, 2500, 3, 1, 2, '3', 3, 1, 0);";
    const std::string bytes = FileOf(v1.c_str(), true);
    ASSERT_EQ(bytes[18], 2);  // the file says WAL
    Log log;
    ASSERT_EQ(log->Read(bytes), LogOutcome::Taken) << log->Refusal();
    log->Commit();
    EXPECT_EQ(log->Rounds(), 1);
    PlayRound(*log);
    EXPECT_EQ(log->Failures(), 0) << log->LastError();
    EXPECT_EQ(log->Rounds(), 2);
    const std::string file = log->FileBytes();
    // Written out at the current version, with the mark, as the desktop opens it.
    sqlite3* h = nullptr;
    sqlite3_open(":memory:", &h);
    auto* copy = static_cast<unsigned char*>(sqlite3_malloc64(file.size()));
    std::copy(file.begin(), file.end(), copy);
    ASSERT_EQ(sqlite3_deserialize(h, "main", copy, static_cast<sqlite3_int64>(file.size()),
                                  static_cast<sqlite3_int64>(file.size()),
                                  SQLITE_DESERIALIZE_FREEONCLOSE),
              SQLITE_OK);
    sqlite3_stmt* stmt = nullptr;
    sqlite3_prepare_v2(h,
                       "SELECT (SELECT user_version FROM pragma_user_version),"
                       " (SELECT application_id FROM pragma_application_id),"
                       " (SELECT count(*) FROM answers)",
                       -1, &stmt, nullptr);
    ASSERT_EQ(sqlite3_step(stmt), SQLITE_ROW);
    EXPECT_EQ(sqlite3_column_int(stmt, 0), kLogSchemaVersion);
    EXPECT_EQ(sqlite3_column_int(stmt, 1), kLogApplicationId);
    EXPECT_EQ(sqlite3_column_int(stmt, 2), 4);
    sqlite3_finalize(stmt);
    sqlite3_close(h);
}

}  // namespace
}  // namespace keta::web
