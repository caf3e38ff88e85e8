// Focus rounds in the answer log: their own kind and settings, older logs carried forward.

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QVariant>

#include "answer_log.h"
#include "log_schema.h"
#include "round_recorder.h"
#include "test_support.h"

namespace keta {
namespace {

using analysis::RoundKind;
using analysis::RoundRecord;

struct Conn {
    explicit Conn(const QString& path) : name(QStringLiteral("kind-%1").arg(++serial)) {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(path);
        EXPECT_TRUE(db.open());
    }
    ~Conn() {
        QSqlDatabase::database(name).close();
        QSqlDatabase::removeDatabase(name);
    }
    bool Exec(const QString& sql) { return QSqlQuery(QSqlDatabase::database(name)).exec(sql); }
    QVariant One(const QString& sql) {
        QSqlQuery q(QSqlDatabase::database(name));
        return q.exec(sql) && q.next() ? q.value(0) : QVariant();
    }
    QString name;
    static inline int serial = 0;
};

struct RoundKindTest : ::testing::Test {
    test::TestDir dir;
    QString path = dir.File("解答ログ.db");

    // A log made by the steps up to `version`, marked as ours, with two rounds of answers.
    void MakeOldLog(int version) {
        Conn c(path);
        for (int v = 0; v < version; ++v) {
            for (const char* step : MigrationSteps(v)) ASSERT_TRUE(c.Exec(QLatin1String(step)));
        }
        ASSERT_TRUE(c.Exec(QStringLiteral("PRAGMA user_version = %1").arg(version)));
        ASSERT_TRUE(c.Exec(QStringLiteral("PRAGMA application_id = %1").arg(kLogApplicationId)));
        ASSERT_TRUE(c.Exec(QStringLiteral(
            "INSERT INTO rounds (id, started_at, time_limit, mode_text, answers, correct, wrong)"
            " VALUES (1, '2025-01-01T10:00:00', 60, '＋', 2, 1, 1),"
            " (2, '2025-01-02T10:00:00', 30, '－', 1, 1, 0)")));
        ASSERT_TRUE(c.Exec(QStringLiteral(
            "INSERT INTO answers VALUES (1, 0, 500, 1, 7, 8, '4', 5, 0, 0),"
            " (1, 1, 900, 2, 8, 1, '9', 9, 1, 0), (2, 0, 700, 1, 9, 6, '3', 3, 1, 0)")));
        ASSERT_TRUE(c.Exec(QStringLiteral(
            "INSERT INTO saves (round_id, date_text, time_text) VALUES (1, '2025/01/01', "
            "'10:01:00')")));
    }
};

RoundRecord FocusRound() {
    RoundRecord r;
    r.startedAt = "2026-03-04T09:08:07";
    r.timeLimit = 60;
    r.modeText = "＋";
    r.answers = 1;
    r.correct = 1;
    r.events.push_back({400, 1, 7, 8, "5", 5, true, false});
    r.kind = RoundKind::Focus;
    r.focusPercent = 50;
    r.focusPairs = "78 96";
    return r;
}

TEST_F(RoundKindTest, OlderLogsMigrateKeepingEveryRoundAsTheDrills) {
    for (const int version : {1, 2}) {
        SCOPED_TRACE(version);
        QFile::remove(path);
        MakeOldLog(version);
        AnswerLog log(path);
        RoundRecord focus = FocusRound();
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
        EXPECT_EQ(InspectLog(path, 100).kind, LogInspection::Kind::Ours);
        EXPECT_EQ(InspectLog(path, 100).version, kLogSchemaVersion);
    }
}

TEST_F(RoundKindTest, AnOlderLogReadAsItIsStaysUnchangedAndReadable) {
    MakeOldLog(2);
    const QByteArray before = test::ReadBytes(path);
    AnswerLog reader(path, nullptr, 2000, AnswerLog::Access::ReadOnly);
    const auto rounds = reader.LoadAllRounds();
    ASSERT_EQ(rounds.size(), 2u);
    EXPECT_EQ(rounds[0].kind, RoundKind::Drill);
    ASSERT_TRUE(reader.LoadRound(2).has_value());
    EXPECT_EQ(test::ReadBytes(path), before);
}

TEST_F(RoundKindTest, TheRecorderTagsRoundsClosedAfterTheKindIsSet) {
    AnswerLog log(path);
    {
        RoundRecorder recorder(log);
        for (const bool focus : {false, true}) {
            if (focus) recorder.SetKind(RoundKind::Focus, 75, "33 96");
            recorder.PlayStarted();
            recorder.AnswerScored(1, 3, 3, "6", 6, true);
            recorder.RoundClosed({1, 1, 0, 30, "＋"});
        }
    }
    const auto rounds = log.LoadAllRounds();
    ASSERT_EQ(rounds.size(), 2u);
    EXPECT_EQ(rounds[0].kind, RoundKind::Drill);
    EXPECT_EQ(rounds[1].kind, RoundKind::Focus);
    EXPECT_EQ(rounds[1].focusPercent, 75);
    EXPECT_EQ(rounds[1].focusPairs, "33 96");
    // A kind this program does not know still counts, as the drill's.
    Conn c(path);
    ASSERT_TRUE(c.Exec(QStringLiteral("UPDATE rounds SET kind = 7 WHERE id = 2")));
    EXPECT_EQ(log.LoadRound(2)->kind, RoundKind::Drill);
}

}  // namespace
}  // namespace keta
