#include "result_saver.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <tuple>

#include "drill.h"
#include "test_support.h"

namespace keta {
namespace {

using namespace Qt::Literals::StringLiterals;
using test::Cp932;
using test::ReadBytes;
using test::RecordingBoxes;
using test::WriteBytes;
using Kind = RecordingBoxes::Kind;

class ResultSaverTest : public ::testing::Test {
protected:
    ResultSaverTest()
        : path(dir.File("履歴.txt")),
          history(grid, boxes, path),
          saver(
              state, grid, history, boxes, [this] { return mode; }, [this] { return Tick(); }) {
        history.InitRireki();
        state.intJikan = 60;
    }

    // Each reading of the clock is one second later than the one before.
    QDateTime Tick() {
        const QDateTime t = clock;
        clock = clock.addSecs(1);
        return t;
    }

    void Round(std::int16_t monsu, std::int16_t ok, std::int16_t ng) {
        state.intMonsu = monsu;
        state.intOk = ok;
        state.intNg = ng;
    }

    test::TestDir dir;
    QString path;
    DrillState state;
    HistoryModel grid;
    RecordingBoxes boxes;
    HistoryFile history;
    QString mode = u"＋"_s;
    QDateTime clock{QDate(2004, 5, 1), QTime(13, 5, 9)};
    ResultSaver saver;
};

// The clock moves a second at every reading: row, line and the stamp told to the log are one
// reading all the same, so that the log finds the row's round.
TEST_F(ResultSaverTest, SavesTheRowFirstThenTheLineWithOneClockReading) {
    Round(25, 22, 3);
    QString toldDate, toldTime;
    saver.OnSaved([&](const QString& d, const QString& t) {
        toldDate = d;
        toldTime = t;
    });
    clock = QDateTime(QDate(2004, 5, 1), QTime(23, 59, 59));
    saver.cmdHozon_Click();
    ASSERT_EQ(grid.Rows(), 2);
    const QString row[] = {u"1"_s, u"2004/05/01"_s, u"23:59:59"_s, u"25"_s,   u"22"_s,
                           u"3"_s, u"88.0%"_s,      u"0.37/秒"_s,  u"60秒"_s, u"＋"_s};
    for (int col = 0; col < 10; ++col) EXPECT_EQ(grid.TextMatrix(1, col), row[col]) << col;
    EXPECT_EQ(
        ReadBytes(path),
        Cp932("\"2004/05/01\",\"23:59:59\",25,22,3,\"88.0%\",\"0.37/秒\",\"60秒\",\"＋\"\r\n"));
    EXPECT_EQ(toldDate, u"2004/05/01"_s);
    EXPECT_EQ(toldTime, u"23:59:59"_s);
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_EQ(state.intOk, 22);  // nothing marks the round as saved
}

TEST_F(ResultSaverTest, DoesNothingBeforeAnyAnswerOrWhileARoundRuns) {
    saver.cmdHozon_Click();
    Round(5, 4, 1);
    state.blnPlay = True;
    saver.cmdHozon_Click();
    state.blnPlay = False;
    state.blnCountdown = True;
    saver.cmdHozon_Click();
    EXPECT_EQ(grid.Rows(), 1);
    EXPECT_FALSE(QFile::exists(path));
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(ResultSaverTest, SavingAgainAppendsTheSameResultUnderTheCurrentLimitAndMode) {
    Round(3, 0, 3);
    saver.cmdHozon_Click();
    state.intJikan = 90;
    mode = u"－"_s;
    saver.cmdHozon_Click();
    EXPECT_EQ(grid.TextMatrix(1, 6), u"0.0%"_s);
    EXPECT_EQ(grid.TextMatrix(1, 7), u"0.00/秒"_s);
    EXPECT_EQ(grid.TextMatrix(2, 0), u"2"_s);
    EXPECT_EQ(grid.TextMatrix(2, 8), u"90秒"_s);
    const QByteArray file = ReadBytes(path);
    EXPECT_EQ(file.count("\r\n"), 2);
    EXPECT_TRUE(file.endsWith(Cp932(",3,0,3,\"0.0%\",\"0.00/秒\",\"90秒\",\"－\"\r\n")));
}

// The browser edition exports its history with HistoryFileBytes: the same results saved here
// must give the same file, byte for byte, including after a last line without its line end.
TEST_F(ResultSaverTest, AnExportOfTheSavedRecordsIsTheFileTheDesktopWrote) {
    for (const bool tornStart : {false, true}) {
        SCOPED_TRACE(tornStart);
        const QByteArray start = tornStart ? Cp932(
                                                 "\"2004/04/30\",\"10:00:00\",1,1,0,\"a\",\"b\","
                                                 "\"c\",\"d\"")
                                           : QByteArray();
        WriteBytes(path, start);
        history.LoadRireki();
        for (const auto& [monsu, ok, modeText] :
             {std::tuple{25, 22, u"＋"_s}, {80, 3, u"－"_s}, {3, 0, u"交互"_s}}) {
            Round(static_cast<std::int16_t>(monsu), static_cast<std::int16_t>(ok),
                  static_cast<std::int16_t>(monsu - ok));
            mode = modeText;
            saver.cmdHozon_Click();
        }
        const QByteArray file = ReadBytes(path);
        HistoryLines lines;
        lines.bytes = file.toStdString();
        HistoryLoadReport report;
        CollectHistoryRecords(lines, report);
        EXPECT_EQ(lines.Count(), tornStart ? 4 : 3);
        EXPECT_EQ(report.skippedLines, 0);
        EXPECT_EQ(ToQByteArray(HistoryFileBytes(lines)), file);
    }
}

TEST_F(ResultSaverTest, TheSaveThatMakesEightRowsScrollsToTheNewRow) {
    Round(1, 1, 0);
    for (int i = 0; i < 6; ++i) saver.cmdHozon_Click();
    EXPECT_EQ(grid.TopRow(), 1);
    saver.cmdHozon_Click();
    EXPECT_EQ(grid.Rows(), 8);
    EXPECT_EQ(grid.TopRow(), 7);
}

// A save that cannot be written leaves grid and file as they were and can be retried.
class FailedSaveTest : public ResultSaverTest {
protected:
    void ExpectNothingSaved(const QByteArray& fileBefore) {
        EXPECT_EQ(grid.Rows(), 8);
        EXPECT_EQ(grid.TopRow(), 7);
        ASSERT_EQ(boxes.Count(Kind::Error), 1);
        EXPECT_EQ(boxes.shown[0].title, u"保存エラー"_s);
        EXPECT_TRUE(boxes.shown[0].text.contains(u"履歴.txt"));
        EXPECT_EQ(state.intOk, 22);
        if (fileBefore.isNull()) {
            EXPECT_FALSE(QFileInfo(path).isFile() && QFileInfo(path).size() > 0);
        } else {
            EXPECT_EQ(ReadBytes(path), fileBefore);
        }
    }

    void SetUp() override {
        Round(1, 1, 0);
        for (int i = 0; i < 7; ++i) saver.cmdHozon_Click();
        Round(25, 22, 3);
    }
};

TEST_F(FailedSaveTest, AFolderInTheWay) {
    QFile::remove(path);
    ASSERT_TRUE(QDir().mkdir(path));
    saver.cmdHozon_Click();
    ExpectNothingSaved(QByteArray());
    ASSERT_TRUE(QDir().rmdir(path));
    saver.cmdHozon_Click();  // the cause removed, the same result saves
    EXPECT_EQ(grid.Rows(), 9);
    EXPECT_EQ(grid.TextMatrix(8, 0), u"8"_s);
    EXPECT_EQ(ReadBytes(path).count("\r\n"), 1);
}

TEST_F(FailedSaveTest, ADiskFullBeforeTheFirstByte) {
    QFile::remove(path);
    ASSERT_TRUE(QFile::link(u"/dev/full"_s, path));
    saver.cmdHozon_Click();
    ExpectNothingSaved(QByteArray());
    QFile::remove(path);  // removes the link only
}

TEST_F(FailedSaveTest, ADiskFullInTheMiddleOfTheLineIsCutBack) {
    const QByteArray before = ReadBytes(path);
    {
        test::FileSizeLimit full(before.size() + 20);
        saver.cmdHozon_Click();
    }
    ExpectNothingSaved(before);
}

TEST_F(FailedSaveTest, AReadOnlyFile) {
    const QByteArray before = ReadBytes(path);
    QFile::setPermissions(path, QFile::ReadOwner | QFile::ReadOther);
    {
        test::AsNobody nobody;
        if (!nobody.active()) GTEST_SKIP() << "cannot drop privileges here";
        saver.cmdHozon_Click();
    }
    ExpectNothingSaved(before);
}

// The engine's round close saves through the attached hook when auto-save is exactly 1.
class SilentView : public DrillView {
public:
    void SetDigitCaption(int, const std::string&) override {}
    std::string DigitCaption(int) const override { return {}; }
    std::string BoxText(int) const override { return {}; }
    void SetBoxText(int, const std::string&) override {}
    void SetBoxBackground(int, PaletteColour) override {}
    void SetBoxVisible(int, bool) override {}
    void FocusBox(int) override {}
    std::string ModeText() const override { return "＋"; }
    void SetResultCaption(ResultLabel, const std::string&) override {}
    void SetStartEnabled(bool) override {}
    void FocusStart() override {}
    void SetLightVisible(int, bool) override {}
    void SetBarWidth(float) override {}
};

class StillClock : public Clock {
public:
    double SecondsSinceMidnight() override { return 47109.0; }
};

TEST_F(ResultSaverTest, TheRoundCloseSavesThroughTheHookOnlyWhenAutoSaveIsOne) {
    SilentView view;
    StillClock still;
    Drill drill(view, still);
    ResultSaver hooked(drill.State(), grid, history, boxes, [] { return u"＋"_s; });
    drill.AttachSave([&] { hooked.cmdHozon_Click(); });
    DrillState& s = drill.State();
    s.intJikan = 60;
    s.intMonsu = 25;
    s.intOk = 22;
    s.intNg = 3;
    s.intAs = True;  // -1 is not 1
    drill.CloseRound();
    EXPECT_EQ(grid.Rows(), 1);
    s.intAs = 1;
    drill.CloseRound();
    ASSERT_EQ(grid.Rows(), 2);
    EXPECT_EQ(grid.TextMatrix(1, 7), u"0.37/秒"_s);
    EXPECT_TRUE(
        ReadBytes(path).endsWith(Cp932(",25,22,3,\"88.0%\",\"0.37/秒\",\"60秒\",\"＋\"\r\n")));
}

}  // namespace
}  // namespace keta
