// Reading the history file for the progress figures: which lines become points, with what
// numbers, and what is skipped.

#include "history_points.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QFileInfo>
#include <QTemporaryDir>
#include <string>
#include <vector>

#include "answer_log.h"
#include "log_test_support.h"
#include "test_support.h"

namespace keta::test {
namespace {

struct LineCase {
    const char* name;
    const char* line;  // UTF-8, written in code page 932 with CR LF
    bool isPoint;
    int answers, correct, wrong, timeLimit;
    const char* mode;
};

const LineCase kLines[] = {
    {"as the drill writes it",
     "\"2004/05/01\",\"13:05:09\",25,22,3,\"88.0%\",\"0.37/秒\",\"60秒\",\"＋\"", true, 25, 22, 3,
     60, "＋"},
    {"difference mode, other limit",
     "\"2004/05/02\",\"09:00:00\",10,9,1,\"90.0%\",\"0.08/秒\",\"120秒\",\"－\"", true, 10, 9, 1,
     120, "－"},
    {"hand-made answers with leading zeros",
     "\"2004/05/01\",\"13:05:09\",007,5,2,\"71.4%\",\"0.08/秒\",\"60秒\",\"＋\"", true, 7, 5, 2, 60,
     "＋"},
    {"answers that are no number: correct + wrong",
     "\"2004/05/01\",\"13:05:09\",\"abc\",5,2,\"71.4%\",\"0.08/秒\",\"60秒\",\"＋\"", true, 7, 5, 2,
     60, "＋"},
    {"a limit without digits is 0",
     "\"2004/05/01\",\"13:05:09\",3,3,0,\"100.0%\",\"\",\"秒\",\"＋\"", true, 3, 3, 0, 0, "＋"},
    {"eight items", "\"2004/05/01\",\"13:05:09\",25,22,3,\"88.0%\",\"0.37/秒\",\"60秒\"", false, 0,
     0, 0, 0, ""},
    {"ten items", "\"2004/05/01\",\"13:05:09\",25,22,3,\"88.0%\",\"0.37/秒\",\"60秒\",\"＋\",1",
     false, 0, 0, 0, 0, ""},
    {"correct count out of 16 bits",
     "\"2004/05/01\",\"13:05:09\",25,40000,3,\"88.0%\",\"0.37/秒\",\"60秒\",\"＋\"", false, 0, 0, 0,
     0, ""},
    {"quoted wrong count",
     "\"2004/05/01\",\"13:05:09\",25,22,\"3\",\"88.0%\",\"0.37/秒\",\"60秒\",\"＋\"", false, 0, 0,
     0, 0, ""},
    {"unclosed quote", "\"2004/05/01,\"13:05:09\",25,22,3,\"88.0%\",\"0.37/秒\",\"60秒\",\"＋\"",
     false, 0, 0, 0, 0, ""},
};

TEST(HistoryPoints, EachKindOfLine) {
    for (const LineCase& c : kLines) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("履歴.txt"));
        WriteBytes(path, Cp932(c.line) + "\r\n");
        const HistoryPointsRead read = ReadHistoryPoints(path);
        EXPECT_EQ(read.status, HistoryPointsRead::Status::Read);
        ASSERT_EQ(read.points.size(), c.isPoint ? 1u : 0u);
        EXPECT_EQ(read.skippedLines, c.isPoint ? 0 : 1);
        if (!c.isPoint) continue;
        const analysis::HistoryPoint& p = read.points[0];
        EXPECT_EQ(p.answers, c.answers);
        EXPECT_EQ(p.correct, c.correct);
        EXPECT_EQ(p.wrong, c.wrong);
        EXPECT_EQ(p.timeLimit, c.timeLimit);
        EXPECT_EQ(p.modeText, c.mode);
    }
}

TEST(HistoryPoints, KeepsFileOrderAndSkipsBlankAndBrokenLines) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("履歴.txt"));
    QByteArray bytes =
        Cp932("\"2004/05/02\",\"10:00:00\",4,4,0,\"100.0%\",\"0.07/秒\",\"60秒\",\"＋\"");
    bytes += "\r\n\r\n   \r\n";
    // Nine items, but a NUL inside one: what a crash leaves in place of a record.
    bytes += "\"2004/05/01\",\"10:00:00\",4,4,0,\"x\",\"y\",\"60";
    bytes += '\0';
    bytes += "\",\"+\"";
    bytes += "\r\n\xFF\xFF\r\n";  // not code page 932
    // The last line without its line end, as a hand-made file may have it.
    bytes += Cp932("\"2004/05/01\",\"09:00:00\",5,3,2,\"60.0%\",\"0.05/秒\",\"60秒\",\"－\"");
    WriteBytes(path, bytes);
    const HistoryPointsRead read = ReadHistoryPoints(path);
    ASSERT_EQ(read.points.size(), 2u);
    EXPECT_EQ(read.points[0].date, "2004/05/02");
    EXPECT_EQ(read.points[1].time, "09:00:00");
    EXPECT_EQ(read.points[1].modeText, "－");
    EXPECT_EQ(read.skippedLines, 2);  // blank lines are not counted
}

TEST(HistoryPoints, OnlyARegularFileIsRead) {
    QTemporaryDir dir;
    EXPECT_EQ(ReadHistoryPoints(dir.filePath(QStringLiteral("none.txt"))).status,
              HistoryPointsRead::Status::Missing);
    EXPECT_EQ(ReadHistoryPoints(dir.path()).status, HistoryPointsRead::Status::NotRegular);
    const QString fifo = dir.filePath(QStringLiteral("fifo"));
    ASSERT_EQ(::mkfifo(fifo.toLocal8Bit().constData(), 0600), 0);
    // Would block forever if it were opened for reading like a file.
    EXPECT_EQ(ReadHistoryPoints(fifo).status, HistoryPointsRead::Status::NotRegular);
    WriteBytes(dir.filePath(QStringLiteral("empty.txt")), "");
    const HistoryPointsRead empty = ReadHistoryPoints(dir.filePath(QStringLiteral("empty.txt")));
    EXPECT_EQ(empty.status, HistoryPointsRead::Status::Read);
    EXPECT_TRUE(empty.points.empty());
}

TEST(HistoryPoints, ARecordRepeatingTheOneBeforeIsMarked) {
    const char* saved = "\"2004/05/01\",\"13:05:09\",25,22,3,\"88.0%\",\"0.37/秒\",\"60秒\",\"＋\"";
    const struct {
        const char* name;
        std::vector<const char*> lines;
        std::vector<bool> repeats;
    } cases[] = {
        {"saved twice", {saved, saved}, {false, true}},
        {"saved three times", {saved, saved, saved}, {false, true, true}},
        {"one item differs (the rate as text)",
         {saved, "\"2004/05/01\",\"13:05:09\",25,22,3,\"88.0%\",\"0.38/秒\",\"60秒\",\"＋\""},
         {false, false}},
        {"one item quoted differently",
         {saved, "\"2004/05/01\",\"13:05:09\",\"25\",22,3,\"88.0%\",\"0.37/秒\",\"60秒\",\"＋\""},
         {false, false}},
        {"another result between",
         {saved, "\"2004/05/01\",\"13:06:00\",1,1,0,\"100.0%\",\"0.02/秒\",\"60秒\",\"＋\"", saved},
         {false, false, false}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("履歴.txt"));
        QByteArray bytes;
        for (const char* line : c.lines) bytes += Cp932(line) + "\r\n";
        WriteBytes(path, bytes);
        const HistoryPointsRead read = ReadHistoryPoints(path);
        ASSERT_EQ(read.points.size(), c.repeats.size());
        for (std::size_t i = 0; i < c.repeats.size(); ++i) {
            EXPECT_EQ(read.points[i].repeatsPrevious, c.repeats[i]) << i;
        }
    }
}

// A history line of 2026/01/02 as the drill writes it, in code page 932.
QByteArray SavedLine(const char* time, const RoundRecord& r) {
    return Cp932Bytes(
               QStringLiteral("\"2026/01/02\",\"%1\",%2,%3,%4,\"x\",\"y\",\"60秒\",\"＋\"\r\n")
                   .arg(QLatin1String(time))
                   .arg(r.answers)
                   .arg(r.correct)
                   .arg(r.wrong))
        .value();
}

TEST(HistoryPoints, ALaterSaveOfALoggedRoundIsMarked) {
    // Rounds of the log: a and c of the same counts (20 right, 5 wrong), b of others.
    const RoundRecord a = MakeRound(25), b = MakeRound(30), c = MakeRound(25);
    const struct {
        const char* name;
        std::vector<const char*> savesOfA, savesOfB, savesOfC;  // times on 2026/01/02
        std::vector<std::pair<const char*, const RoundRecord*>> lines;
        std::vector<bool> marked;
        int byLog;  // of them, marked here rather than as a line repeated
    } cases[] = {
        {"saved at the end, then by hand",
         {"10:01:31", "10:01:36"},
         {},
         {},
         {{"10:01:31", &a}, {"10:01:36", &a}},
         {false, true},
         1},
        {"the first save's line is gone from the history",
         {"10:01:31", "10:01:36"},
         {},
         {},
         {{"10:01:36", &a}},
         {false},
         0},
        {"two rounds, each saved twice, a result of no log between",
         {"10:01:31", "10:01:36"},
         {"10:05:00", "10:05:04"},
         {},
         {{"10:01:31", &a}, {"10:03:00", &a}, {"10:05:00", &b}, {"10:01:36", &a}, {"10:05:04", &b}},
         {false, false, false, true, true},
         2},
        {"counts that are not the round's",
         {"10:01:31", "10:01:36"},
         {},
         {},
         {{"10:01:31", &a}, {"10:01:36", &b}},
         {false, false},
         0},
        // The second line is c's only save; the third repeats the line before it.
        {"two rounds of the same counts saved in the same second",
         {"10:01:31", "10:01:36"},
         {},
         {"10:01:36"},
         {{"10:01:31", &a}, {"10:01:36", &a}, {"10:01:36", &a}},
         {false, false, true},
         0},
    };
    for (const auto& k : cases) {
        SCOPED_TRACE(k.name);
        QTemporaryDir dir;
        const QString logPath = dir.filePath(QStringLiteral("log.db"));
        {
            AnswerLog log(logPath);
            const auto write = [&log](RoundRecord r, const std::vector<const char*>& times) {
                std::vector<SaveStamp> saves;
                for (const char* t : times) saves.push_back({"2026/01/02", t});
                return log.WriteRound(r, saves);
            };
            ASSERT_EQ(write(a, k.savesOfA), AnswerLog::WriteResult::Written);
            ASSERT_EQ(write(b, k.savesOfB), AnswerLog::WriteResult::Written);
            ASSERT_EQ(write(c, k.savesOfC), AnswerLog::WriteResult::Written);
        }
        const QString path = dir.filePath(QStringLiteral("履歴.txt"));
        QByteArray bytes;
        for (const auto& [time, round] : k.lines) bytes += SavedLine(time, *round);
        WriteBytes(path, bytes);
        HistoryPointsRead read = ReadHistoryPoints(path);
        ASSERT_EQ(read.points.size(), k.marked.size());
        EXPECT_EQ(MarkSavedAgain(read.points, logPath), k.byLog);
        for (std::size_t i = 0; i < k.marked.size(); ++i)
            EXPECT_EQ(read.points[i].repeatsPrevious, k.marked[i]) << i;
    }
}

TEST(HistoryPoints, WithoutAReadableLogNothingIsMarked) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("履歴.txt"));
    const RoundRecord a = MakeRound(25);
    WriteBytes(path, SavedLine("10:01:31", a) + SavedLine("10:01:36", a));
    const QString garbage = dir.filePath(QStringLiteral("garbage.db"));
    WriteBytes(garbage, QByteArray(4096, 'x'));
    const QString notALog = dir.filePath(QStringLiteral("other.db"));
    ASSERT_TRUE(Peek(notALog).Exec(QStringLiteral("CREATE TABLE t (x)")));
    for (const QString& logPath :
         {QString(), dir.filePath(QStringLiteral("none.db")), garbage, notALog, dir.path()}) {
        SCOPED_TRACE(logPath.toStdString());
        HistoryPointsRead read = ReadHistoryPoints(path);
        ASSERT_EQ(read.points.size(), 2u);
        EXPECT_EQ(MarkSavedAgain(read.points, logPath), -1);
        EXPECT_FALSE(read.points[0].repeatsPrevious || read.points[1].repeatsPrevious);
    }
    EXPECT_FALSE(QFileInfo::exists(dir.filePath(QStringLiteral("none.db"))));  // none was made
}

}  // namespace
}  // namespace keta::test
