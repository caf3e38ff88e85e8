#include "history_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <chrono>
#include <optional>
#include <random>
#include <thread>
#include <vector>

#include "result_saver.h"
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

// The file read ahead while the window is built is used only while it is still the same file:
// a record appended, a file emptied or removed, or a file put in place after the read ahead is
// shown as it is at the load.
TEST_F(HistoryFileTest, AReadAheadIsUsedOnlyWhileTheFileIsUnchanged) {
    const struct {
        const char* what;
        std::optional<QByteArray> before, after;
        int rows;
    } cases[] = {
        {"unchanged", Records(3), Records(3), 4},
        {"a record appended", Records(3), Records(4), 5},
        {"emptied", Records(3), QByteArray(), 1},
        {"removed", Records(3), std::nullopt, 1},
        {"made after", std::nullopt, Records(2), 3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        QFile::remove(path);
        if (c.before) WriteBytes(path, *c.before);
        HistoryModel model;
        HistoryFile file(model, boxes, path);
        file.InitRireki();
        file.PrefetchRireki();
        // Long enough for the read ahead to be done before the file changes.
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        QFile::remove(path);
        if (c.after) WriteBytes(path, *c.after);
        file.LoadRireki();
        EXPECT_EQ(model.Rows(), c.rows);
    }
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

// Lines dropped anywhere, blank ones too, leave the rows in their places and whole.
TEST_F(HistoryFileTest, DroppedLinesAndLineEndsLeaveTheRecordsWhole) {
    const struct {
        const char* name;
        QByteArray bytes;
        int rows;
    } cases[] = {
        {"blank first", "\r\n\n" + Record(1) + Record(2), 2},
        {"bad first", "x\r\n" + Record(1) + Record(2), 2},
        {"bad between", Record(1) + "x\n" + Record(2), 2},
        {"lone CRs", Record(1).chopped(1) + Record(2).chopped(2) + "\r", 2},
        {"LFs only", Record(1).chopped(2) + "\n" + Record(2).chopped(2) + "\n", 2},
        {"CR CR LF", Record(1).chopped(2) + "\r\r\n" + Record(2), 2},
        {"no end", Record(1) + Record(2).chopped(2), 2},
        {"only blank", "\r\n  \r\n\t", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        history.InitRireki();
        Load(c.bytes);
        ASSERT_EQ(grid.Rows(), c.rows + 1);
        for (int row = 1; row <= c.rows; ++row) {
            EXPECT_EQ(grid.TextMatrix(row, 4), QString::number(row));
            EXPECT_EQ(grid.TextMatrix(row, 1), u"2004/05/01"_s);
            EXPECT_EQ(grid.TextMatrix(row, 9), u"＋"_s);
        }
    }
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

TEST_F(HistoryFileTest, OnlyARegularFileIsReadAndAnythingElseIsAnEmptyHistory) {
    const QByteArray fifo = QFile::encodeName(path);
    const struct {
        const char* what;
        std::function<bool()> make;
    } cases[] = {
        {"a FIFO, which blocks an open for reading until a writer comes",
         [&] { return ::mkfifo(fifo.constData(), 0600) == 0; }},
        {"a link to an endless device", [&] { return QFile::link(u"/dev/zero"_s, path); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        QFile::remove(path);
        ASSERT_TRUE(c.make());
        boxes.shown.clear();
        QElapsedTimer timer;
        timer.start();
        history.InitRireki();
        history.LoadRireki();
        EXPECT_LT(timer.elapsed(), 5000);
        EXPECT_EQ(grid.Rows(), 1);
        ASSERT_EQ(boxes.Count(Kind::Error), 1);
        EXPECT_TRUE(boxes.shown[0].text.contains(u"読み込めませんでした"));
        // Neither is written to: the save says it failed instead of vanishing.
        EXPECT_FALSE(history.AppendLine(Record(1)));
        history.cmdClear_Click();
        EXPECT_EQ(boxes.Count(Kind::Inform), 0);
    }
}

// Lines that could never be records cost neither memory nor time, however long they are.
TEST_F(HistoryFileTest, EndlessLinesAreSkippedWithoutBeingKept) {
    // Big enough to need a quarter of a GiB as texts and item lists; the hostile start-up
    // tests take larger ones under a memory limit.
    constexpr qsizetype kLong = qsizetype{8} << 20;
    const QByteArray tails[] = {QByteArray(kLong, ','), QByteArray(kLong, '\0'),
                                QByteArray(kLong, '\n')};
    for (const QByteArray& tail : tails) {
        SCOPED_TRACE(tail.left(1).toHex().toStdString());
        history.InitRireki();
        boxes.shown.clear();
        QElapsedTimer timer;
        timer.start();
        Load(Record(1) + tail + "\r\n" + Record(2));
        EXPECT_LT(timer.elapsed(), 30000);
        ASSERT_EQ(grid.Rows(), 3);
        EXPECT_EQ(grid.TextMatrix(2, 4), u"2"_s);
        EXPECT_EQ(history.LastLoad().skippedLines, tail[0] == '\n' ? 0 : 1);
    }
}

TEST_F(HistoryFileTest, TheGridShowsTheStartOfAHugeItemAndKeepsItWhole) {
    QByteArray line = Record(1);
    const QByteArray huge(10 << 20, 'x');
    line.replace("88.0%", huge);
    Load(line);
    ASSERT_EQ(grid.Rows(), 2);
    const QString shown = grid.data(grid.index(0, 5)).toString();
    EXPECT_EQ(shown, QString(HistoryModel::kShownCharacters, u'x') + u'…');
    EXPECT_EQ(grid.data(grid.index(0, 6)).toString(), u"0.37/秒"_s);
    EXPECT_EQ(grid.TextMatrix(1, 6).size(), huge.size());
    EXPECT_EQ(ReadBytes(path), line);
}

// The model keeps file rows as bytes; writing a cell of one turns the row into texts and must
// keep its other cells.
TEST_F(HistoryFileTest, WritingACellOfAFileRowKeepsTheOtherCells) {
    Load(Records(3));
    grid.SetCurrentRow(2);
    grid.SetCurrentCol(6);
    grid.SetCurrentText(u"99.9%");
    EXPECT_EQ(grid.TextMatrix(2, 6), u"99.9%"_s);
    EXPECT_EQ(grid.TextMatrix(2, 4), u"2"_s);
    EXPECT_EQ(grid.TextMatrix(2, 9), u"＋"_s);
    EXPECT_EQ(grid.data(grid.index(1, 8)).toString(), u"＋"_s);
    EXPECT_EQ(grid.headerData(1, Qt::Vertical).toString(), u"2"_s);
    EXPECT_EQ(grid.TextMatrix(3, 4), u"3"_s);
}

TEST_F(HistoryFileTest, TwoHundredThousandRecordsLoadShowTheNewestAndTakeASave) {
    constexpr int kRecords = 200'000;
    Load(Records(kRecords));
    ASSERT_EQ(grid.Rows(), kRecords + 1);
    EXPECT_EQ(grid.TopRow(), kRecords);
    EXPECT_EQ(grid.headerData(kRecords - 1, Qt::Vertical).toString(), u"200000"_s);
    EXPECT_EQ(grid.data(grid.index(kRecords - 1, 3)).toString(), u"0"_s);  // 200000 % 1000
    EXPECT_EQ(grid.data(grid.index(kRecords - 1, 0)).toString(), u"2004/05/01"_s);

    DrillState state;
    state.intJikan = 60;
    state.intMonsu = 25;
    state.intOk = 22;
    state.intNg = 3;
    ResultSaver saver(state, grid, history, boxes, [] { return u"－"_s; });
    saver.cmdHozon_Click();
    ASSERT_EQ(grid.Rows(), kRecords + 2);
    EXPECT_EQ(grid.TextMatrix(kRecords + 1, 0), u"200001"_s);
    EXPECT_EQ(grid.TopRow(), kRecords + 1);
    EXPECT_TRUE(boxes.shown.empty());
    history.InitRireki();
    history.LoadRireki();
    EXPECT_EQ(grid.Rows(), kRecords + 2);
    EXPECT_EQ(grid.TextMatrix(kRecords + 1, 9), u"－"_s);
}

// A history file the user may append to but not read (mode 0200): its last byte cannot be
// looked at, so the record goes on a line of its own rather than onto a torn last line.
TEST_F(HistoryFileTest, AnUnreadableLastLineStillGetsTheRecordOnALineOfItsOwn) {
    WriteBytes(path, Record(1) + "torn");
    const QByteArray name = QFile::encodeName(path);
    ASSERT_EQ(::chown(name.constData(), 65534, 65534), 0);
    ASSERT_EQ(::chmod(name.constData(), 0200), 0);
    {
        test::AsNobody nobody;
        if (!nobody.active()) GTEST_SKIP() << "needs root to act as another user";
        ASSERT_TRUE(history.AppendLine(Record(2)));
    }
    EXPECT_EQ(ReadBytes(path), Record(1) + "torn\r\n" + Record(2));
}

TEST_F(HistoryFileTest, EveryAppendAndClearIsFlushedToTheDisk) {
    for (int i = 1; i <= 3; ++i) ASSERT_TRUE(history.AppendLine(Record(i)));
    history.cmdClear_Click();
    history.WaitForSyncs();
    EXPECT_EQ(history.SyncedWrites(), 4);
    EXPECT_EQ(ReadBytes(path), QByteArray());
}

}  // namespace
}  // namespace keta
