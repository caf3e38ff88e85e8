// The two CSV exports: exact bytes for a hand-made history and a small log, and the failures
// that must say so instead of leaving a file behind.

#include "csv_export.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QDir>

#include "answer_log.h"
#include "test_support.h"

namespace keta::test {
namespace {

struct CsvTest : ::testing::Test {
    TestDir dir;
    QString csv = dir.File("out.csv");
    QString error;
};

TEST_F(CsvTest, HistoryRecordsBecomeRowsUnderTheGridHeaders) {
    const QString history = dir.File("履歴.txt");
    WriteBytes(history,
               Cp932("\"2004/05/01\",\"13:05:09\",25,22,3,\"88.0%\",\"0.37/秒\",\"60秒\",\"＋\"\r\n"
                     "\r\n"
                     "not a record\r\n"
                     "\"2004/05/02\",\"08:00:00\",007,007,0,\"100.0%\",\"0.12/秒\",\"60秒\","
                     "\"=1+1,x\"\r\n"
                     "\"2004/05/03\",\"09:00:00\",3,99999,0,\"a\",\"b\",\"c\",\"d\"\r\n"));
    ASSERT_TRUE(ExportHistoryCsv(history, csv, &error)) << error.toStdString();
    EXPECT_EQ(ReadBytes(csv).toStdString(),
              "日付,時間,問数,ＯＫ,ＮＧ,正解率,秒当たり,表示秒数,モード\r\n"
              "2004/05/01,13:05:09,25,22,3,88.0%,0.37/秒,60秒,＋\r\n"
              // item 3 keeps its characters, 4 and 5 pass through a number, as in the grid;
              // a text a spreadsheet would compute is kept as text, and quoted for its comma
              "2004/05/02,08:00:00,007,7,0,100.0%,0.12/秒,60秒,\"'=1+1,x\"\r\n");
}

TEST_F(CsvTest, FailuresSayWhyAndLeaveNoFile) {
    struct Case {
        const char* what;
        QString history;  // source
        QString target;   // CSV
    };
    const QString history = dir.File("履歴.txt");
    WriteBytes(history, "");
    ASSERT_TRUE(QDir().mkdir(dir.File("a folder")));
    ASSERT_EQ(::mkfifo(QFile::encodeName(dir.File("fifo")).constData(), 0600), 0);
    const Case cases[] = {
        {"missing history", dir.File("none.txt"), csv},
        {"history is a folder", dir.File("a folder"), csv},
        {"history is a FIFO (must not hang)", dir.File("fifo"), csv},
        {"CSV into a missing folder", history, dir.File("no/such/out.csv")},
        {"CSV over a folder", history, dir.File("a folder")},
    };
    for (const Case& c : cases) {
        error.clear();
        EXPECT_FALSE(ExportHistoryCsv(c.history, c.target, &error)) << c.what;
        EXPECT_FALSE(error.isEmpty()) << c.what;
        EXPECT_FALSE(QFileInfo(c.target).isFile()) << c.what;
    }
    error.clear();
    EXPECT_FALSE(ExportAnswersCsv(dir.File("none.db"), csv, &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_FALSE(QFileInfo::exists(dir.File("none.db")));  // reading never creates a log
    EXPECT_FALSE(QFileInfo::exists(csv));
}

TEST_F(CsvTest, EveryLoggedAnswerIsARowWithItsRound) {
    const QString logPath = dir.File("解答ログ.db");
    {
        AnswerLog log(logPath);
        analysis::RoundRecord r;
        r.startedAt = "2026-01-02T10:00:00";
        r.timeLimit = 60;
        r.modeText = "－";
        r.answers = 2;
        r.correct = 1;
        r.wrong = 1;
        r.events = {{120, 1, 3, 8, "5", 5, true, false},
                    {900, 2, 8, 0, "", 0, false, true},
                    {1500, 2, 8, 0, "-9", 8, false, false}};
        ASSERT_EQ(log.WriteRound(r, {{"2026/01/02", "10:01:02"}, {"2026/01/02", "10:09:00"}}),
                  AnswerLog::WriteResult::Written);
        analysis::RoundRecord unsaved = r;
        unsaved.events.resize(1);
        ASSERT_EQ(log.WriteRound(unsaved), AnswerLog::WriteResult::Written);
    }
    const QByteArray before = ReadBytes(logPath);
    ASSERT_TRUE(ExportAnswersCsv(logPath, csv, &error)) << error.toStdString();
    EXPECT_EQ(ReadBytes(csv).toStdString(),
              "回番号,開始日時,制限時間,モード,問数,ＯＫ,ＮＧ,保存日付,保存時間,経過ミリ秒,枠,"
              "左の数字,右の数字,入力,正解,正誤,クリック消去\r\n"
              "1,2026-01-02T10:00:00,60,－,2,1,1,2026/01/02,10:01:02,120,1,3,8,5,5,1,0\r\n"
              "1,2026-01-02T10:00:00,60,－,2,1,1,2026/01/02,10:01:02,900,2,,,,,,1\r\n"
              "1,2026-01-02T10:00:00,60,－,2,1,1,2026/01/02,10:01:02,1500,2,8,0,'-9,8,0,0\r\n"
              "2,2026-01-02T10:00:00,60,－,2,1,1,,,120,1,3,8,5,5,1,0\r\n");
    EXPECT_EQ(ReadBytes(logPath), before);
}

}  // namespace
}  // namespace keta::test
