// Focus rounds in the answer log: their own kind and settings, older logs carried forward.

#include <QSqlDatabase>
#include <QSqlQuery>

#include "answer_log.h"
#include "log_owner.h"
#include "log_schema.h"
#include "round_recorder.h"
#include "test_support.h"

namespace keta {
namespace {

using analysis::RoundKind;

// Runs the statements on a connection of the test's own, as another program would.
void RunSql(const QString& path, const QStringList& statements) {
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), "kind-test");
        db.setDatabaseName(path);
        ASSERT_TRUE(db.open());
        for (const QString& sql : statements)
            ASSERT_TRUE(QSqlQuery(db).exec(sql)) << sql.toStdString();
    }
    QSqlDatabase::removeDatabase("kind-test");
}

// A log made by the steps up to `version`, marked as ours, with two rounds of answers.
void MakeOldLog(const QString& path, int version) {
    QStringList sql;
    for (int v = 0; v < version; ++v) {
        for (const char* step : MigrationSteps(v)) sql << QLatin1String(step);
    }
    sql << QStringLiteral("PRAGMA user_version = %1").arg(version)
        << QStringLiteral("PRAGMA application_id = %1").arg(kLogApplicationId)
        << QStringLiteral(
               "INSERT INTO rounds (id, started_at, time_limit, mode_text, answers, correct, wrong)"
               " VALUES (1, '2025-01-01T10:00:00', 60, '＋', 2, 1, 1),"
               " (2, '2025-01-02T10:00:00', 30, '－', 1, 1, 0)")
        << QStringLiteral(
               "INSERT INTO answers VALUES (1, 0, 500, 1, 7, 8, '4', 5, 0, 0),"
               " (1, 1, 900, 2, 8, 1, '9', 9, 1, 0), (2, 0, 700, 1, 9, 6, '3', 3, 1, 0)")
        << QStringLiteral(
               "INSERT INTO saves (round_id, date_text, time_text)"
               " VALUES (1, '2025/01/01', '10:01:00')");
    RunSql(path, sql);
}

TEST(RoundKind, OlderLogsAreReadAsTheyAreAndMigrateKeepingEveryRound) {
    test::TestDir dir;
    const QString path = dir.File("解答ログ.db");
    for (const int version : {1, 2}) {
        SCOPED_TRACE(version);
        QFile::remove(path);
        MakeOldLog(path, version);
        const QByteArray before = test::ReadBytes(path);
        {
            // Read as it is (an export): readable, and the file stays as it was.
            AnswerLog reader(path, nullptr, 2000, AnswerLog::Access::ReadOnly);
            ASSERT_EQ(reader.LoadAllRounds().size(), 2u);
            ASSERT_TRUE(reader.LoadRound(2).has_value());
        }
        EXPECT_EQ(test::ReadBytes(path), before);

        AnswerLog log(path);
        analysis::RoundRecord focus;
        focus.startedAt = "2026-03-04T09:08:07";
        focus.timeLimit = 60;
        focus.modeText = "＋";
        focus.answers = focus.correct = 1;
        focus.events.push_back({400, 1, 7, 8, "5", 5, true, false});
        focus.kind = RoundKind::Focus;
        focus.focusPercent = 50;
        focus.focusPairs = "78 96";
        ASSERT_EQ(log.WriteRound(focus), AnswerLog::WriteResult::Written);
        const auto rounds = log.LoadAllRounds();
        ASSERT_EQ(rounds.size(), 3u);
        EXPECT_EQ(rounds[0].kind, RoundKind::Drill);
        EXPECT_EQ(rounds[0].events.size(), 2u);
        EXPECT_EQ(rounds[1].kind, RoundKind::Drill);
        EXPECT_EQ(rounds[1].modeText, "－");
        EXPECT_EQ(rounds[2].kind, RoundKind::Focus);
        EXPECT_EQ(rounds[2].focusPercent, 50);
        EXPECT_EQ(rounds[2].focusPairs, "78 96");
        EXPECT_EQ(log.SavesOf(1).size(), 1u);
        const LogInspection seen = InspectLog(path, 100);
        EXPECT_EQ(seen.kind, LogInspection::Kind::Ours);
        EXPECT_EQ(seen.version, kLogSchemaVersion);
    }
}

TEST(RoundKind, TheRecorderTagsRoundsClosedAfterTheKindIsSet) {
    test::TestDir dir;
    const QString path = dir.File("解答ログ.db");
    AnswerLog log(path);
    {
        test::CoreApp();
        LogOwner owner(path);
        RoundRecorder recorder(owner);
        for (const bool focus : {false, true}) {
            if (focus) recorder.SetKind(RoundKind::Focus, 75, "33 96");
            recorder.PlayStarted();
            recorder.AnswerScored(1, 3, 3, "6", 6, true);
            recorder.RoundClosed({1, 1, 0, 30, "＋"});
        }
        ASSERT_TRUE(owner.WaitUntilIdle(5000));
    }
    const auto rounds = log.LoadAllRounds();
    ASSERT_EQ(rounds.size(), 2u);
    EXPECT_EQ(rounds[0].kind, RoundKind::Drill);
    EXPECT_EQ(rounds[1].kind, RoundKind::Focus);
    EXPECT_EQ(rounds[1].focusPercent, 75);
    EXPECT_EQ(rounds[1].focusPairs, "33 96");
    // A kind this program does not know still counts, as the drill's.
    RunSql(path, {QStringLiteral("UPDATE rounds SET kind = 7 WHERE id = 2")});
    EXPECT_EQ(log.LoadRound(2)->kind, RoundKind::Drill);
}

}  // namespace
}  // namespace keta
