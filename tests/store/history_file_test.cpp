#include "history_file.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include "test_support.h"

namespace keta {
namespace {

using namespace Qt::Literals::StringLiterals;
using test::Cp932;
using test::ReadBytes;
using test::RecordingBoxes;
using test::WriteBytes;
using Kind = RecordingBoxes::Kind;

// Record i has i % 1000 correct answers, so that records can be told apart.
QByteArray Record(int i) {
    return Cp932("\"2004/05/01\",\"13:05:09\",25,") + QByteArray::number(i % 1000) +
           Cp932(",3,\"88.0%\",\"0.37/秒\",\"60秒\",\"＋\"\r\n");
}

QByteArray Records(int count) {
    QByteArray bytes;
    for (int i = 1; i <= count; ++i) bytes += Record(i);
    return bytes;
}

class HistoryFileTest : public ::testing::Test {
protected:
    HistoryFileTest() : path(dir.File("履歴.txt")), history(grid, boxes, path) {
        history.InitRireki();
    }

    void Load(const QByteArray& bytes) {
        WriteBytes(path, bytes);
        history.LoadRireki();
    }

    test::TestDir dir;
    QString path;
    HistoryModel grid;
    RecordingBoxes boxes;
    HistoryFile history;
};

TEST_F(HistoryFileTest, ScrollsToTheNewestRecordOnlyPastSevenRows) {
    Load("");
    EXPECT_EQ(grid.Rows(), 1);
    EXPECT_EQ(grid.TopRow(), 1);
    Load(Records(6));
    EXPECT_EQ(grid.Rows(), 7);
    EXPECT_EQ(grid.TopRow(), 1);
    history.InitRireki();
    Load(Records(7).chopped(2));  // the last line without its CR LF is read too
    EXPECT_EQ(grid.Rows(), 8);
    EXPECT_EQ(grid.TopRow(), 7);
    EXPECT_EQ(grid.TextMatrix(7, 0), u"7"_s);
    EXPECT_EQ(grid.TextMatrix(7, 9), u"＋"_s);
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(HistoryFileTest, ShowsTheItemsItemThreeAsWrittenAndTheCountsAsNumbers) {
    Load(Cp932(" \"2004/05/01\" ,13:05:09, 007 ,007,-07,\"88.0%\",\"0.37/秒\",\"60秒\",\"－\""));
    ASSERT_EQ(grid.Rows(), 2);
    const QString expected[] = {u"1"_s,  u"2004/05/01"_s, u"13:05:09"_s, u"007"_s,  u"7"_s,
                                u"-7"_s, u"88.0%"_s,      u"0.37/秒"_s,  u"60秒"_s, u"－"_s};
    for (int col = 0; col < 10; ++col) EXPECT_EQ(grid.TextMatrix(1, col), expected[col]) << col;
}

TEST_F(HistoryFileTest, SkipsMalformedLinesReportsThemOnceAndNeverRewritesTheFile) {
    const auto line = [](const char* counts, const char* rest) {
        return Cp932("\"2004/05/01\",\"13:05:09\",25,") + counts + Cp932(rest);
    };
    const char* rest = ",\"88.0%\",\"0.37/秒\",\"60秒\",\"＋\"\r\n";
    const QByteArray bytes =
        Record(1) + "\r\n   \r\n" +  // 2, 3: blank, silent
        "\"2004/05/01\",25\r\n" +    // 4: too few items
        Record(2) +                  // 5
        line("22,3,4", rest) +       // 6: too many items
        line("22,x", rest) +         // 7: not a number
        line("22,32768", rest) +     // 8: beyond 16 bits
        "\"2004/05/01\",\"13:05:09\",25,22,3,\"88.0%\",\"0.37/\x81\","
        "\"60\",\"x\"\r\n" +                                   // 9: bad bytes
        line("22,3", ",\"88.0%\",\"0.37\",\"60\",\"＋\r\n") +  // 10: open quote
        Record(8) +                                            // 11
        QByteArray(12, '\0') +
        "\r\n" +                                  // 12: crash leftovers
        Cp932("\"2004/05/01\",\"13:0") + "\x95";  // 13: torn, lone lead
    Load(bytes);
    EXPECT_EQ(ReadBytes(path), bytes);
    ASSERT_EQ(grid.Rows(), 4);
    EXPECT_EQ(grid.TextMatrix(1, 4), u"1"_s);
    EXPECT_EQ(grid.TextMatrix(2, 4), u"2"_s);
    EXPECT_EQ(grid.TextMatrix(3, 4), u"8"_s);
    EXPECT_EQ(grid.TextMatrix(3, 0), u"3"_s);
    EXPECT_EQ(history.LastLoad().skippedLines, 8);
    EXPECT_EQ(history.LastLoad().firstSkippedLine, 4);
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].kind, Kind::Error);
    EXPECT_TRUE(boxes.shown[0].text.contains(u"8 行"));
    EXPECT_TRUE(boxes.shown[0].text.contains(u"4 行目"));
}

TEST_F(HistoryFileTest, LoadsMoreRecordsThanASixteenBitCounterHolds) {
    Load(Records(32770));
    EXPECT_EQ(grid.Rows(), 32771);
    EXPECT_EQ(grid.TextMatrix(32770, 0), u"32770"_s);
    EXPECT_EQ(grid.TopRow(), 32770);
    EXPECT_EQ(grid.TextMatrix(32770, 4), u"770"_s);
    EXPECT_EQ(history.LastLoad().skippedLines, 0);
}

TEST_F(HistoryFileTest, AMissingFileIsAnEmptyHistoryAndAnUnreadableOneIsReported) {
    history.LoadRireki();
    EXPECT_EQ(grid.Rows(), 1);
    EXPECT_TRUE(boxes.shown.empty());
    ASSERT_TRUE(QDir().mkdir(path));
    history.LoadRireki();
    EXPECT_EQ(grid.Rows(), 1);
    EXPECT_EQ(boxes.Count(Kind::Error), 1);
}

TEST_F(HistoryFileTest, ClearAsksAndCancelChangesNothing) {
    Load(Records(3));
    boxes.answer = MessageBoxes::Answer::Cancel;
    history.cmdClear_Click();
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].kind, Kind::Ask);
    EXPECT_EQ(boxes.shown[0].text, u"履歴データをクリアします。よろしいですか？"_s);
    EXPECT_EQ(boxes.shown[0].title, u"クリア確認"_s);
    EXPECT_EQ(grid.Rows(), 4);
    EXPECT_EQ(ReadBytes(path), Records(3));
}

TEST_F(HistoryFileTest, ClearWithOkEmptiesFileAndGridAndSaysSo) {
    Load(Records(9));
    history.cmdClear_Click();
    EXPECT_EQ(grid.Rows(), 1);
    EXPECT_EQ(ReadBytes(path), QByteArray());
    ASSERT_EQ(boxes.shown.size(), 2u);
    EXPECT_EQ(boxes.shown[1].kind, Kind::Inform);
    EXPECT_EQ(boxes.shown[1].text, u"履歴データをクリアしました"_s);
    EXPECT_EQ(boxes.shown[1].title, u"クリア終了"_s);
    // After a restart the grid shows the header row only.
    history.InitRireki();
    history.LoadRireki();
    EXPECT_EQ(grid.Rows(), 1);
    // An empty history still asks, and the file is created when missing.
    QFile::remove(path);
    history.cmdClear_Click();
    EXPECT_EQ(boxes.Count(Kind::Ask), 2);
    EXPECT_EQ(boxes.Count(Kind::Inform), 2);
    EXPECT_TRUE(QFile::exists(path));
}

TEST_F(HistoryFileTest, AClearThatCannotEmptyTheFileKeepsTheGrid) {
    Load(Records(2));
    QFile::remove(path);
    ASSERT_TRUE(QDir().mkdir(path));
    history.cmdClear_Click();
    EXPECT_EQ(grid.Rows(), 3);
    EXPECT_EQ(boxes.Count(Kind::Inform), 0);
    ASSERT_EQ(boxes.Count(Kind::Error), 1);
    EXPECT_TRUE(boxes.shown.back().text.contains(u"履歴.txt"));
}

TEST_F(HistoryFileTest, AppendStartsANewLineAfterALastLineWithoutLineEnd) {
    WriteBytes(path, "x");
    ASSERT_TRUE(history.AppendLine("a\r\n"));
    WriteBytes(path, "x\r");
    ASSERT_TRUE(history.AppendLine("a\r\n"));
    EXPECT_EQ(ReadBytes(path), "x\r\na\r\n");
    ASSERT_TRUE(history.AppendLine("b\r\n"));
    EXPECT_EQ(ReadBytes(path), "x\r\na\r\nb\r\n");
    QFile::remove(path);
    ASSERT_TRUE(history.AppendLine("c\r\n"));
    EXPECT_EQ(ReadBytes(path), "c\r\n");
}

}  // namespace
}  // namespace keta
