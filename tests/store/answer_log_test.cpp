// The answer log and the recorder on real SQLite files: what is stored and read back, two
// instances on one file, and every way the file can fail, each injected for real.

#include "answer_log.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <QDir>
#include <QElapsedTimer>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QVariant>

#include "log_test_support.h"
#include "test_support.h"

namespace keta::test {
namespace {

using analysis::AnswerRecord;
using analysis::RoundRecord;

struct LogTest : ::testing::Test {
    TestDir dir;
    QString path = dir.File("解答ログ.db");
    RecordingBoxes boxes;

    // A log holding `rounds` rounds of 20 answers, closed again.
    void Seed(int rounds) {
        AnswerLog log(path);
        for (int k = 0; k < rounds; ++k) {
            RoundRecord r = MakeRound(20);
            ASSERT_EQ(log.WriteRound(r), AnswerLog::WriteResult::Written);
        }
    }
    int RoundsIn(const QString& file) {
        Peek p(file);
        return p.One(QStringLiteral("SELECT count(*) FROM rounds")).toInt();
    }
};

TEST_F(LogTest, RoundsEventsAndSavesComeBackAsWritten) {
    AnswerLog log(path, &boxes);
    RoundRecord first = MakeRound(30, "－", 90);
    first.events[3].cleared = true;
    first.events[3].typed.clear();
    RoundRecord second = MakeRound(0);  // closed without an answer: still a round
    ASSERT_EQ(log.WriteRound(first, {{"2026/01/02", "10:01:31"}}), AnswerLog::WriteResult::Written);
    ASSERT_EQ(log.WriteRound(second), AnswerLog::WriteResult::Written);
    ASSERT_EQ(log.AddSave(first.id, {"2026/01/02", "10:05:00"}), AnswerLog::WriteResult::Written);
    EXPECT_NE(first.id, second.id);

    const auto back = log.LoadRound(first.id);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->modeText, "－");
    EXPECT_EQ(std::tie(back->timeLimit, back->answers, back->correct, back->wrong),
              std::tie(first.timeLimit, first.answers, first.correct, first.wrong));
    ASSERT_EQ(back->events.size(), 30u);
    for (std::size_t k = 0; k < 30; ++k) {
        const AnswerRecord &a = back->events[k], &b = first.events[k];
        EXPECT_EQ(std::tie(a.ms, a.box, a.left, a.right, a.typed, a.expected, a.correct, a.cleared),
                  std::tie(b.ms, b.box, b.left, b.right, b.typed, b.expected, b.correct, b.cleared))
            << k;
    }
    const std::vector<SaveStamp> saves = log.SavesOf(first.id);
    ASSERT_EQ(saves.size(), 2u);
    EXPECT_EQ(saves[1].time, QStringLiteral("10:05:00"));

    struct Case {
        const char* date;
        const char* time;
        int answers, correct, wrong;
        std::int64_t expectedId;  // 0: none
    };
    const Case cases[] = {
        {"2026/01/02", "10:01:31", 30, first.correct, first.wrong, first.id},
        {"2026/01/02", "10:05:00", 30, first.correct, first.wrong, first.id},
        {"2026/01/02", "10:01:31", 31, first.correct, first.wrong, 0},  // counts disagree
        {"2026/01/03", "10:01:31", 30, first.correct, first.wrong, 0},
    };
    for (const Case& c : cases) {
        const auto found = log.FindRoundBySave(QString::fromUtf8(c.date), QString::fromUtf8(c.time),
                                               c.answers, c.correct, c.wrong);
        EXPECT_EQ(found ? found->id : 0, c.expectedId)
            << c.date << " " << c.time << " " << c.answers;
    }
    const std::vector<RoundRecord> all = log.LoadAllRounds();
    ASSERT_EQ(all.size(), 2u);
    EXPECT_EQ(all[0].events.size(), 30u);
    EXPECT_TRUE(all[1].events.empty());
    EXPECT_TRUE(boxes.shown.empty());

    Peek p(path);
    EXPECT_EQ(p.One(QStringLiteral("PRAGMA user_version")).toInt(), AnswerLog::kSchemaVersion);
    EXPECT_EQ(p.One(QStringLiteral("PRAGMA journal_mode")).toString(), QStringLiteral("wal"));
    // Foreign keys hold: an answer of a round that does not exist is refused.
    EXPECT_EQ(p.Exec(QStringLiteral("PRAGMA foreign_keys = ON")), true);
    EXPECT_FALSE(
        p.Exec(QStringLiteral("INSERT INTO answers VALUES (999, 0, 0, 1, 1, 1, '2', 2, 1, 0)")));
}

TEST_F(LogTest, TwoInstancesInOneFolderBothKeepTheirRounds) {
    AnswerLog a(path, &boxes), b(path, &boxes);
    for (int k = 0; k < 5; ++k) {
        RoundRecord ra = MakeRound(10 + k), rb = MakeRound(20 + k);
        ASSERT_EQ(a.WriteRound(ra), AnswerLog::WriteResult::Written);
        ASSERT_EQ(b.WriteRound(rb), AnswerLog::WriteResult::Written);
    }
    EXPECT_EQ(a.LoadAllRounds().size(), 10u);
    EXPECT_EQ(RoundsIn(path), 10);
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(LogTest, AFolderInItsPlaceIsReportedOnceAndNothingIsWritten) {
    ASSERT_TRUE(QDir().mkdir(path));
    AnswerLog log(path, &boxes);
    for (int k = 0; k < 3; ++k) {
        RoundRecord r = MakeRound(5);
        EXPECT_EQ(log.WriteRound(r), AnswerLog::WriteResult::Failed);
    }
    EXPECT_FALSE(log.IsAvailable());
    EXPECT_FALSE(log.LoadRound(1));
    ASSERT_EQ(boxes.Count(RecordingBoxes::Kind::Error), 1);
    EXPECT_TRUE(boxes.shown[0].text.contains(QStringLiteral("フォルダー")));
    EXPECT_TRUE(QFileInfo(path).isDir());
}

// Garbage and a file cut short: set aside under a new name with every byte, a fresh log.
TEST_F(LogTest, ADamagedFileIsKeptAsideAndAFreshLogStarted) {
    const auto garbage = [this] { WriteBytes(path, QByteArray(8192, 'x')); };
    const auto truncated = [this] {
        Seed(200);
        QFile f(path);
        ASSERT_TRUE(f.resize(f.size() / 2));
    };
    for (const auto& damage : {std::function<void()>(garbage), std::function<void()>(truncated)}) {
        QFile::remove(path);
        for (const QString& f : QDir(dir.dir.path()).entryList({QStringLiteral("*.corrupt-*")}))
            QFile::remove(dir.dir.filePath(f));
        boxes.shown.clear();
        damage();
        const QByteArray before = ReadBytes(path);

        AnswerLog log(path, &boxes);
        for (int k = 0; k < 2; ++k) {
            RoundRecord r = MakeRound(7);
            ASSERT_EQ(log.WriteRound(r), AnswerLog::WriteResult::Written);
        }
        const QStringList aside =
            QDir(dir.dir.path()).entryList({QStringLiteral("解答ログ.db.corrupt-*")});
        ASSERT_GE(aside.size(), 1);
        QString kept;
        for (const QString& name : aside)
            if (!name.endsWith(QStringLiteral("-wal")) && !name.endsWith(QStringLiteral("-shm")))
                kept = name;
        EXPECT_EQ(ReadBytes(dir.dir.filePath(kept)), before);
        ASSERT_EQ(boxes.Count(RecordingBoxes::Kind::Error), 1);
        EXPECT_TRUE(boxes.shown[0].text.contains(QStringLiteral("corrupt-")));
        EXPECT_EQ(log.LoadAllRounds().size(), 2u);
    }
}

TEST_F(LogTest, ALockHeldByAnotherInstanceWaitsThenReportsOnceAndLosesNothing) {
    Seed(1);
    Peek other(path);
    ASSERT_TRUE(other.Exec(QStringLiteral("BEGIN IMMEDIATE")));
    AnswerLog log(path, &boxes, 100);
    RoundRecord r = MakeRound(12);
    EXPECT_EQ(log.WriteRound(r), AnswerLog::WriteResult::Busy);
    EXPECT_EQ(log.WriteRound(r), AnswerLog::WriteResult::Busy);
    EXPECT_EQ(boxes.Count(RecordingBoxes::Kind::Error), 1);
    EXPECT_TRUE(log.IsAvailable());
    ASSERT_TRUE(other.Exec(QStringLiteral("ROLLBACK")));
    EXPECT_EQ(log.WriteRound(r), AnswerLog::WriteResult::Written);
    EXPECT_EQ(log.LoadAllRounds().size(), 2u);
    EXPECT_EQ(boxes.Count(RecordingBoxes::Kind::Error), 1);
}

TEST_F(LogTest, AReadOnlyFileIsReportedOnceAndLeftAsItWas) {
    Seed(3);
    ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), 0644), 0);
    const QByteArray before = ReadBytes(path);
    {
        AsNobody nobody;
        if (!nobody.active()) GTEST_SKIP() << "needs root to drop to a user the file refuses";
        AnswerLog log(path, &boxes);
        for (int k = 0; k < 2; ++k) {
            RoundRecord r = MakeRound(5);
            EXPECT_NE(log.WriteRound(r), AnswerLog::WriteResult::Written);
        }
    }
    EXPECT_EQ(boxes.Count(RecordingBoxes::Kind::Error), 1);
    EXPECT_EQ(ReadBytes(path), before);
    EXPECT_EQ(RoundsIn(path), 3);
}

TEST_F(LogTest, AFullDiskRefusesTheRoundButKeepsTheOldOnes) {
    Seed(2);
    const QByteArray before = ReadBytes(path);
    AnswerLog log(path, &boxes);
    ASSERT_TRUE(log.Open());
    RoundRecord big = MakeRound(3000);
    {
        FileSizeLimit limit(static_cast<rlim_t>(before.size()) + 4096);
        EXPECT_EQ(log.WriteRound(big), AnswerLog::WriteResult::Failed);
        EXPECT_EQ(log.WriteRound(big), AnswerLog::WriteResult::Failed);
    }
    EXPECT_EQ(boxes.Count(RecordingBoxes::Kind::Error), 1);
    EXPECT_EQ(log.LoadAllRounds().size(), 2u);
    // Room again: the same log takes the round.
    EXPECT_EQ(log.WriteRound(big), AnswerLog::WriteResult::Written);
    EXPECT_EQ(RoundsIn(path), 3);
}

TEST_F(LogTest, ALogFromANewerProgramIsLeftUntouched) {
    Seed(1);
    { Peek(path).Exec(QStringLiteral("PRAGMA user_version = 7")); }
    const QByteArray before = ReadBytes(path);
    AnswerLog log(path, &boxes);
    RoundRecord r = MakeRound(3);
    EXPECT_EQ(log.WriteRound(r), AnswerLog::WriteResult::Failed);
    EXPECT_EQ(boxes.Count(RecordingBoxes::Kind::Error), 1);
    EXPECT_EQ(ReadBytes(path), before);
}

// Rows changed by hand or by a hostile program: each round with a value the drill cannot
// produce comes back flagged, without events, from every way of reading it.
TEST_F(LogTest, ARoundWithAValueOutOfBoundsComesBackDamagedAndWithoutEvents) {
    struct Case {
        const char* sql;  // applied to a log of one round of 20 answers, limit 60
        bool damaged;
    };
    const Case cases[] = {
        {"", false},
        {"UPDATE rounds SET time_limit = 25", false},  // a limit from a hand-edited settings file
        {"UPDATE answers SET ms = 3600000 WHERE seq = 19", false},  // a late closing answer
        {"UPDATE rounds SET time_limit = 2147483647", true},
        {"UPDATE rounds SET time_limit = 4294967356", true},  // 60 in its low 32 bits
        {"UPDATE rounds SET time_limit = 0", true},
        {"UPDATE rounds SET time_limit = 32768", true},
        {"UPDATE rounds SET time_limit = 'sixty'", true},
        {"UPDATE rounds SET time_limit = 1e300", true},
        {"UPDATE rounds SET answers = 2147483647", true},
        {"UPDATE rounds SET answers = -1", true},
        {"UPDATE rounds SET correct = correct + 1", true},
        {"UPDATE rounds SET answers = 3, correct = 2, wrong = 1", true},  // fewer than scored
        {"UPDATE rounds SET mode_text = printf('%.5000c', 'x')", true},
        {"UPDATE answers SET ms = -5 WHERE seq = 0", true},
        {"UPDATE answers SET ms = 60000 + 86400000 + 1 WHERE seq = 19", true},
        {"UPDATE answers SET ms = 0 WHERE seq = 5", true},  // time going back
        {"UPDATE answers SET box = 0 WHERE seq = 3", true},
        {"UPDATE answers SET box = 15 WHERE seq = 3", true},
        {"UPDATE answers SET left_digit = 10 WHERE seq = 3", true},
        {"UPDATE answers SET right_digit = -1 WHERE seq = 3", true},
        {"UPDATE answers SET expected = 4294967298 WHERE seq = 3", true},  // 2 in 32 bits
        {"UPDATE answers SET correct = 2 WHERE seq = 3", true},
        {"UPDATE answers SET typed = printf('%.5000c', '7') WHERE seq = 3", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.sql);
        QFile::remove(path);
        Seed(1);
        if (*c.sql != '\0') {
            ASSERT_TRUE(Peek(path).Exec(QString::fromUtf8(c.sql)));
        }
        AnswerLog log(path, nullptr, 2000, AnswerLog::Access::ReadOnly);
        const std::vector<RoundRecord> all = log.LoadAllRounds();
        ASSERT_EQ(all.size(), 1u);
        const auto one = log.LoadRound(all[0].id);
        ASSERT_TRUE(one);
        int visited = 0;
        ASSERT_TRUE(log.ForEachAnswer([&](const RoundRecord&, const std::vector<SaveStamp>&,
                                          const AnswerRecord&) { ++visited; }));
        for (const RoundRecord* r : {&all[0], &*one}) {
            EXPECT_EQ(r->damaged, c.damaged);
            EXPECT_EQ(r->events.size(), c.damaged ? 0u : 20u);
        }
        EXPECT_EQ(visited, c.damaged ? 0 : 20);
    }
}

TEST_F(LogTest, AHugeTimeLimitLoadsAtOnceInLittleMemory) {
    Seed(200);
    ASSERT_TRUE(
        Peek(path).Exec(QStringLiteral("UPDATE rounds SET time_limit = 2147483647,"
                                       " answers = 2147483647, correct = 2147483647")));
    rusage before{}, after{};
    getrusage(RUSAGE_SELF, &before);
    QElapsedTimer t;
    t.start();
    AnswerLog log(path, nullptr, 2000, AnswerLog::Access::ReadOnly);
    const std::vector<RoundRecord> all = log.LoadAllRounds();
    const qint64 ms = t.elapsed();
    getrusage(RUSAGE_SELF, &after);
    ASSERT_EQ(all.size(), 200u);
    for (const RoundRecord& r : all) EXPECT_TRUE(r.damaged && r.events.empty());
    EXPECT_LT(ms, 1000);
    EXPECT_LT(after.ru_maxrss - before.ru_maxrss, 64 * 1024);  // KiB
}

// Databases that are not this program's log: never changed, and named as unknown.
TEST_F(LogTest, ADatabaseOfAnotherProgramIsLeftByteForByteAndReportedAsUnknown) {
    const char* const cases[] = {
        // user_version 0 with a table of our name
        "CREATE TABLE rounds (id INTEGER PRIMARY KEY, started_at TEXT NOT NULL,"
        " time_limit INTEGER NOT NULL, mode_text TEXT NOT NULL, answers INTEGER NOT NULL,"
        " correct INTEGER NOT NULL, wrong INTEGER NOT NULL)",
        // our schema under another program's mark
        "PRAGMA application_id = 305419896",
        // our mark, a table with other columns
        "ALTER TABLE rounds ADD COLUMN note TEXT",
        // unmarked, at our version, with a table we never made
        "PRAGMA application_id = 0; CREATE TABLE notes (x)",
        // unmarked at a version past the one that had no mark
        "PRAGMA application_id = 0; PRAGMA user_version = 2",
    };
    for (std::size_t k = 0; k < std::size(cases); ++k) {
        SCOPED_TRACE(cases[k]);
        QFile::remove(path);
        boxes.shown.clear();
        if (k > 0) Seed(1);
        {
            Peek p(path);
            for (const QString& sql : QString::fromUtf8(cases[k]).split(QLatin1Char(';')))
                ASSERT_TRUE(p.Exec(sql));
            if (k > 0) {
                ASSERT_TRUE(p.Exec(QStringLiteral("PRAGMA journal_mode = DELETE")));
            }
        }
        const QByteArray before = ReadBytes(path);
        {
            AnswerLog log(path, &boxes);
            RoundRecord r = MakeRound(3);
            EXPECT_EQ(log.WriteRound(r), AnswerLog::WriteResult::Failed);
            EXPECT_FALSE(log.IsAvailable());
            AnswerLog reader(path, nullptr, 2000, AnswerLog::Access::ReadOnly);
            EXPECT_TRUE(reader.LoadAllRounds().empty());
            EXPECT_TRUE(
                reader.LastError().contains(QStringLiteral("知っている解答ログではありません")));
        }
        EXPECT_EQ(ReadBytes(path), before);
        EXPECT_FALSE(QFileInfo::exists(path + QStringLiteral("-wal")));
        ASSERT_EQ(boxes.Count(RecordingBoxes::Kind::Error), 1);
        EXPECT_TRUE(
            boxes.shown[0].text.contains(QStringLiteral("知っている解答ログではありません")));
        EXPECT_TRUE(boxes.shown[0].text.contains(QStringLiteral("解答ログ.db")));
    }
}

// A log of ours from before the mark, and an empty database, are taken on and marked.
TEST_F(LogTest, AnUnmarkedLogOfOursAndAnEmptyDatabaseAreTakenOn) {
    for (const bool empty : {false, true}) {
        QFile::remove(path);
        if (empty) {
            WriteBytes(path, {});
        } else {
            Seed(2);
            // The logs from before the mark were at the first version, without sessions.
            Peek p(path);
            for (const char* sql :
                 {"DROP TABLE session_answers", "DROP TABLE session_lines", "DROP TABLE sessions",
                  "DROP TABLE preferences", "DROP TABLE focus_rounds",
                  "ALTER TABLE rounds DROP COLUMN kind", "PRAGMA user_version = 1",
                  "PRAGMA application_id = 0"})
                ASSERT_TRUE(p.Exec(QString::fromLatin1(sql))) << sql;
        }
        AnswerLog log(path, &boxes);
        RoundRecord r = MakeRound(3);
        EXPECT_EQ(log.WriteRound(r), AnswerLog::WriteResult::Written);
        EXPECT_EQ(log.LoadAllRounds().size(), empty ? 1u : 3u);
        Peek p(path);
        EXPECT_EQ(p.One(QStringLiteral("PRAGMA application_id")).toLongLong(), 0x4B545442);
        EXPECT_EQ(p.One(QStringLiteral("PRAGMA user_version")).toInt(), AnswerLog::kSchemaVersion);
    }
    EXPECT_TRUE(boxes.shown.empty());
}

}  // namespace
}  // namespace keta::test
