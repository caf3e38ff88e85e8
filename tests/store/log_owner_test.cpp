// The answer log's one owner on real files, each fault injected for real: locks held by
// another connection, a full disk, a file replaced or set aside under a second writer, a
// newer program's migration, and the journal that carries writes over to the next run.

#include "log_owner.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTime>

#include "answer_log.h"
#include "log_journal.h"
#include "log_test_support.h"
#include "round_recorder.h"
#include "test_support.h"

namespace keta::test {
namespace {

struct OwnerTest : ::testing::Test {
    TestDir dir;
    QString path = dir.File("解答ログ.db");
    QObject context;
    RecordingBoxes boxes;

    OwnerTest() { CoreApp(); }
    std::shared_ptr<LogOwner> Make(int busyTimeoutMs = 100) {
        auto owner = std::make_shared<LogOwner>(path, LogOwner::Options{busyTimeoutMs, 30, 200000});
        owner->Listen(&context, &boxes);
        return owner;
    }
    // Waits for the owner, then shows what it posted.
    static void Settle(LogOwner& owner, bool idle = true) {
        EXPECT_TRUE(idle ? owner.WaitUntilIdle(10000) : owner.WaitUntilTried(10000));
        QCoreApplication::processEvents();
    }
    int RoundsIn(const QString& file) {
        if (!QFileInfo::exists(file)) return 0;
        Peek p(file);
        return p.One(QStringLiteral("SELECT count(*) FROM rounds")).toInt();
    }
    QStringList Named(const QString& pattern) const {
        return QDir(dir.dir.path()).entryList({pattern}, QDir::Files);
    }
    QString Told() const {
        QStringList texts;
        for (const auto& shown : boxes.shown) texts << shown.text;
        return texts.join(u'\n');
    }
};

// The recorder through the owner: events of play only, the start's wall clock, saves tied to
// the round closed last; nothing is made before the first write.
TEST_F(OwnerTest, RoundsAndTheirSavesArriveInOrderAndNothingIsMadeBefore) {
    auto owner = Make();
    owner->OpenSoon();
    Settle(*owner);
    EXPECT_TRUE(Named(QStringLiteral("解答ログ.db*")).isEmpty());
    RoundRecorder recorder(*owner, [] { return QDateTime(QDate(2026, 3, 4), QTime(5, 6, 7)); });
    const auto play = [&](int answers, int wrong) {
        recorder.PlayStarted();
        for (int k = 0; k < answers; ++k)
            recorder.AnswerScored(k % 14 + 1, 3, 4, k < wrong ? "8" : "7", 7, k >= wrong);
        recorder.BoxClearedByClick(2);
        recorder.RoundClosed({answers, answers - wrong, wrong, 60, "＋"});
    };
    recorder.ResultSaved(QStringLiteral("2026/03/04"), QStringLiteral("05:00:00"));  // no round
    play(5, 1);
    recorder.ResultSaved(QStringLiteral("2026/03/04"), QStringLiteral("05:07:09"));
    recorder.ResultSaved(QStringLiteral("2026/03/04"), QStringLiteral("05:08:00"));
    play(3, 0);
    Settle(*owner);
    AnswerLog log(path);
    const std::vector<RoundRecord> all = log.LoadAllRounds();
    ASSERT_EQ(all.size(), 2u);
    EXPECT_EQ(all[0].startedAt, "2026-03-04T05:06:07");
    ASSERT_EQ(all[0].events.size(), 6u);
    EXPECT_TRUE(all[0].events[5].cleared);
    EXPECT_EQ(log.SavesOf(all[0].id).size(), 2u);
    EXPECT_TRUE(log.SavesOf(all[1].id).empty());
    EXPECT_EQ(owner->PendingRounds(), 0u);
    EXPECT_TRUE(boxes.shown.empty()) << Told().toStdString();
}

// Another program holds the write lock while rounds close. However many, and whether it lets go
// before the end of the run or not, every round ends in the log: at once after the lock, or
// from the journal at the next run. Nothing is dropped, and the person hears where they are.
TEST_F(OwnerTest, ALockCostsNoRoundHoweverLongItLasts) {
    struct Case {
        const char* name;
        int lockedRounds;
        bool releasedBeforeTheEnd;
    };
    for (const Case c :
         {Case{"34 rounds, released", 34, true}, Case{"5 rounds, past the end", 5, false},
          Case{"40 rounds, past the end", 40, false}}) {
        SCOPED_TRACE(c.name);
        QFile::remove(path);
        boxes.shown.clear();
        { AnswerLog(path).Open(); }
        auto other = std::make_unique<Peek>(path);
        ASSERT_TRUE(other->Exec(QStringLiteral("BEGIN IMMEDIATE")));
        {
            auto owner = Make(20);
            for (int k = 0; k < c.lockedRounds; ++k) {
                RoundRecord r = MakeRound(30);
                r.startedAt =
                    QTime(10, 0).addSecs(61 * k).toString(u"'2026-01-02T'HH:mm:ss").toStdString();
                owner->TakeRound(std::move(r));
            }
            Settle(*owner, false);
            EXPECT_EQ(owner->PendingRounds(), static_cast<std::size_t>(c.lockedRounds));
            if (c.releasedBeforeTheEnd) {
                other.reset();
                Settle(*owner);  // tried again by itself, without another round
                EXPECT_EQ(RoundsIn(path), c.lockedRounds);
            }
            EXPECT_TRUE(owner->Finish().Empty());
            QCoreApplication::processEvents();
        }
        EXPECT_TRUE(Told().contains(QStringLiteral("預かり"))) << Told().toStdString();
        if (c.releasedBeforeTheEnd) {
            EXPECT_TRUE(Named(QStringLiteral("*.pending-*")).isEmpty());
            continue;
        }
        ASSERT_EQ(Named(QStringLiteral("*.pending-*")).size(), 1);
        EXPECT_TRUE(Told().contains(
            QStringLiteral("%1 回分の解答を 解答ログ.db.pending-").arg(c.lockedRounds)))
            << Told().toStdString();
        other.reset();
        EXPECT_EQ(RoundsIn(path), 0);
        auto next = Make();
        next->OpenSoon();
        Settle(*next);
        EXPECT_EQ(RoundsIn(path), c.lockedRounds);
        EXPECT_TRUE(Named(QStringLiteral("*.pending-*")).isEmpty());
    }
}

// A journal replayed, then found again (the program died after the writes, before it removed
// the file): the second replay writes nothing twice, yet leaves nothing out.
TEST_F(OwnerTest, AJournalReplayedAgainAfterACrashWritesNothingTwice) {
    { AnswerLog(path).Open(); }
    {
        Peek other(path);
        ASSERT_TRUE(other.Exec(QStringLiteral("BEGIN IMMEDIATE")));
        auto owner = Make(20);
        for (int k = 0; k < 3; ++k) {
            const std::uint64_t round = owner->TakeRound(MakeRound(10 + k));
            owner->TakeSave(round,
                            {QStringLiteral("2026/01/02"), QStringLiteral("10:0%1:00").arg(k)});
        }
        const std::uint64_t session = owner->StartSession("2026-01-02T11:00:00", SessionSettings{});
        owner->TakeLine(session, {1, 1, false, 0, {{500, 1, 3, 4, "7", 7, true}}});
        owner->EndSession(session, SessionState::Stopped);
        Settle(*owner, false);
        EXPECT_TRUE(owner->Finish().Empty());
    }
    const QStringList journals = Named(QStringLiteral("*.pending-*"));
    ASSERT_EQ(journals.size(), 1);
    const QString journal = dir.dir.filePath(journals.front());
    const QByteArray bytes = ReadBytes(journal);
    const auto counts = [this] {
        Peek p(path);
        return std::vector<int>{
            p.One(QStringLiteral("SELECT count(*) FROM rounds")).toInt(),
            p.One(QStringLiteral("SELECT count(*) FROM saves")).toInt(),
            p.One(QStringLiteral("SELECT count(*) FROM answers")).toInt(),
            p.One(QStringLiteral("SELECT count(*) FROM sessions")).toInt(),
            p.One(QStringLiteral("SELECT count(*) FROM session_lines")).toInt()};
    };
    const std::vector<int> whole{3, 3, 10 + 11 + 12, 1, 1};
    for (int replay = 0; replay < 2; ++replay) {
        SCOPED_TRACE(replay);
        if (replay == 1)
            WriteBytes(journal, bytes);  // back, as a crash before its removal leaves it
        auto next = Make();
        next->OpenSoon();
        Settle(*next);
        EXPECT_EQ(counts(), whole);
        EXPECT_TRUE(Named(QStringLiteral("*.pending-*")).isEmpty());
    }
}

// A full disk: the round is kept and lands once there is room; at the end of the run, with the
// disk still full, neither log nor journal takes it and the person is told how many.
TEST_F(OwnerTest, AFullDiskKeepsTheRoundsUntilThereIsRoomOrSaysHowManyWereLost) {
    { AnswerLog(path).Open(); }
    const qint64 size = QFileInfo(path).size();
    auto owner = Make();
    {
        FileSizeLimit limit(static_cast<rlim_t>(size) + 4096);
        owner->TakeRound(MakeRound(3000));
        Settle(*owner, false);
        EXPECT_EQ(owner->PendingRounds(), 1u);
    }
    Settle(*owner);
    EXPECT_EQ(RoundsIn(path), 1);
    EXPECT_TRUE(Told().contains(QStringLiteral("ディスクの空き"))) << Told().toStdString();

    boxes.shown.clear();
    {
        FileSizeLimit limit(static_cast<rlim_t>(QFileInfo(path).size()) + 4096);
        owner->TakeRound(MakeRound(3000));
        owner->TakeRound(MakeRound(3000));
        Settle(*owner, false);
        const LogTally lost = owner->Finish();
        EXPECT_EQ(lost.rounds, 2u);
    }
    QCoreApplication::processEvents();
    EXPECT_TRUE(Told().contains(QStringLiteral("2 回分の解答を解答ログに残せませんでした")))
        << Told().toStdString();
}

// The file under the path is replaced (a backup put back with mv): the next round goes to the
// file that is there now, not to the one moved away.
TEST_F(OwnerTest, AFileReplacedUnderTheOwnerGetsTheNextRounds) {
    auto owner = Make();
    owner->TakeRound(MakeRound(4));
    Settle(*owner);
    const QString backup = dir.File("backup.db");
    {
        AnswerLog other(backup);
        RoundRecord r = MakeRound(6);
        ASSERT_EQ(other.WriteRound(r), AnswerLog::WriteResult::Written);
        r = MakeRound(7);
        ASSERT_EQ(other.WriteRound(r), AnswerLog::WriteResult::Written);
    }
    const QString moved = dir.File("moved.db");
    ASSERT_EQ(::rename(QFile::encodeName(path).constData(), QFile::encodeName(moved).constData()),
              0);
    ASSERT_EQ(::rename(QFile::encodeName(backup).constData(), QFile::encodeName(path).constData()),
              0);
    owner->TakeRound(MakeRound(5));
    Settle(*owner);
    EXPECT_EQ(RoundsIn(path), 3);
    EXPECT_EQ(RoundsIn(moved), 1) << QDir(dir.dir.path()).entryList().join(u' ').toStdString();
    EXPECT_TRUE(boxes.shown.empty()) << Told().toStdString();
}

// Two instances write to one log; it is found damaged by one of them, which sets it aside and
// starts afresh. The other's next round goes to the fresh log as well, never into the file set
// aside, and the fresh log is not set aside a second time.
TEST_F(OwnerTest, ALogSetAsideUnderASecondWriterTakesBothWritersRounds) {
    auto second = Make();
    second->TakeRound(MakeRound(4));
    Settle(*second);
    {
        Peek p(path);
        p.One(QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"));
    }
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::ReadWrite));
        ASSERT_EQ(f.write(QByteArray(8192, 'x')), 8192);
    }
    auto first = Make();
    first->TakeRound(MakeRound(5));
    Settle(*first);
    second->TakeRound(MakeRound(6));
    Settle(*second);
    const QStringList aside = Named(QStringLiteral("解答ログ.db.corrupt-*"));
    ASSERT_EQ(aside.filter(QRegularExpression(QStringLiteral("corrupt-[0-9-]+$"))).size(), 1)
        << aside.join(u' ').toStdString();
    EXPECT_EQ(RoundsIn(path), 2);
    // Told, with the name it was kept under.
    EXPECT_TRUE(Told().contains(aside.filter(QRegularExpression(QStringLiteral("[0-9]$"))).front()))
        << Told().toStdString();
}

// A damaged log is set aside and told at the first look, before any round is at stake.
TEST_F(OwnerTest, ADamagedLogIsToldAtTheFirstLookWithItsNewName) {
    WriteBytes(path, QByteArray(8192, 'x'));
    auto owner = Make();
    owner->OpenSoon();
    Settle(*owner);
    const QStringList aside = Named(QStringLiteral("解答ログ.db.corrupt-*"));
    ASSERT_EQ(aside.size(), 1);
    EXPECT_TRUE(Told().contains(aside.front())) << Told().toStdString();
}

// A newer program migrates the log while this one has it open: no row of the old shape is
// written into it, and the person hears that the rounds are not kept.
TEST_F(OwnerTest, ALogMigratedByANewerProgramMeanwhileTakesNoOldRows) {
    auto owner = Make();
    owner->TakeRound(MakeRound(4));
    Settle(*owner);
    { Peek(path).Exec(QStringLiteral("PRAGMA user_version = %1").arg(kLogSchemaVersion + 1)); }
    owner->TakeRound(MakeRound(5));
    Settle(*owner, false);
    EXPECT_EQ(RoundsIn(path), 1);
    EXPECT_TRUE(owner->IsOff());
    EXPECT_TRUE(Told().contains(QStringLiteral("新しい版"))) << Told().toStdString();
    EXPECT_TRUE(Told().contains(QStringLiteral("1 回分の解答"))) << Told().toStdString();
}

// A journal cut anywhere (a power cut during an append) gives back its whole records only.
TEST_F(OwnerTest, AJournalCutShortGivesBackItsWholeRecordsOnly) {
    std::vector<LogOp> ops(3);
    ops[0].round = MakeRound(20);
    ops[0].ticket = 1;
    ops[1].kind = LogOp::Kind::Save;
    ops[1].ticket = 1;
    ops[1].saves = {{QStringLiteral("2026/01/02"), QStringLiteral("10:01:00")}};
    ops[2].kind = LogOp::Kind::Preference;
    ops[2].key = QStringLiteral("daily_goal_minutes");
    ops[2].value = QStringLiteral("15");
    QString file;
    {
        LogJournal journal(path);
        ASSERT_TRUE(journal.Append(ops, nullptr));
        file = journal.File();
        const auto whole = LogJournal::Read(file);
        ASSERT_TRUE(whole && whole->size() == 3u);
        EXPECT_EQ((*whole)[0].round.events.size(), 20u);
        EXPECT_EQ((*whole)[0].round.events[3].typed, ops[0].round.events[3].typed);
        EXPECT_EQ((*whole)[1].saves.front().time, QStringLiteral("10:01:00"));
        EXPECT_EQ((*whole)[2].value, QStringLiteral("15"));
    }
    const QByteArray bytes = ReadBytes(file);
    const qsizetype last = bytes.size();
    struct Cut {
        qsizetype at;
        std::size_t whole;
    };
    for (const Cut c : {Cut{last - 1, 2}, Cut{last - 30, 2}, Cut{60, 0}, Cut{8, 0}}) {
        SCOPED_TRACE(c.at);
        WriteBytes(file, bytes.left(c.at));
        const auto read = LogJournal::Read(file);
        ASSERT_TRUE(read);
        EXPECT_EQ(read->size(), c.whole);
    }
    WriteBytes(file, QByteArray("not a journal"));
    EXPECT_FALSE(LogJournal::Read(file));
}

}  // namespace
}  // namespace keta::test
