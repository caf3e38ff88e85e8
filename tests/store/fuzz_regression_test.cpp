// The nastiest inputs tried on the readers while fuzzing them: lines of 100 000 characters,
// runs of NUL bytes, a lead byte cut off at the end, numbers with thousands of digits.

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "history_file.h"
#include "number_text.h"
#include "record_line.h"
#include "settings_file.h"
#include "test_support.h"

namespace keta {
namespace {

using namespace Qt::Literals::StringLiterals;
using test::ReadBytes;
using test::RecordingBoxes;
using test::WriteBytes;

const QByteArray kRecord =
    "\"2004/05/01\",\"13:05:09\",25,22,3,\"88.0%\",\"0.37/"
    "\x95\x62\",\"60\x95\x62\",\"\x81\x7B\"\r\n";

std::optional<std::int16_t> Int(const std::string& text) {
    const std::u16string s(text.begin(), text.end());
    return ReadInt16Item({s, false}, AfterNumber::MustEnd);
}

TEST(NastyNumbers, ThousandsOfDigitsRoundAndReadAsTheirExactValue) {
    const std::string zeros(5000, '0');
    // Only a digit far behind the point tells a half from more than a half.
    EXPECT_EQ(Int("2.5" + zeros + "1"), 3);
    EXPECT_EQ(Int("2.5" + zeros), 2);
    EXPECT_EQ(Int("-3.5" + zeros), -4);
    EXPECT_EQ(Int("-0.4" + std::string(5000, '9')), 0);
    EXPECT_EQ(Int(zeros + "7"), 7);
    EXPECT_EQ(Int(zeros + "32767.49"), 32767);
    EXPECT_FALSE(Int("1" + zeros));        // beyond 16 bits however long
    EXPECT_FALSE(Int("1" + zeros + "x"));  // and not a number at all

    EXPECT_EQ(ReadNumber("1" + zeros + "e-5000"), 1.0);
    EXPECT_EQ(ReadNumber("0." + zeros + "1e5001"), 1.0);
    EXPECT_EQ(ReadNumber("0." + zeros + "1"), 0.0);  // below the smallest double
    EXPECT_TRUE(std::isinf(ReadNumber("1e99999999999999999999")));
    EXPECT_EQ(ReadNumber("-1e-99999999999999999999"), 0.0);
    std::string fullWidth;
    for (int i = 0; i < 5000; ++i) fullWidth += "９";
    EXPECT_EQ(ReadNumber(fullWidth), ReadNumber(std::string(5000, '9')));
}

class NastyHistory : public ::testing::Test {
protected:
    NastyHistory() : path(dir.File("履歴.txt")), history(grid, boxes, path) {
        history.InitRireki();
    }

    void Load(const QByteArray& bytes) {
        WriteBytes(path, bytes);
        boxes.shown.clear();
        history.LoadRireki();
    }

    test::TestDir dir;
    QString path;
    HistoryModel grid;
    RecordingBoxes boxes;
    HistoryFile history;
};

TEST_F(NastyHistory, AHundredThousandCharacterItemIsKeptWhole) {
    const QByteArray longText(100'000, 'x');
    QByteArray line = kRecord;
    line.replace("88.0%", longText);
    Load(kRecord + line + kRecord);
    ASSERT_EQ(grid.Rows(), 4);
    EXPECT_EQ(grid.TextMatrix(2, 6), QString::fromLatin1(longText));
    EXPECT_EQ(grid.TextMatrix(2, 9), u"＋"_s);
    EXPECT_EQ(grid.TextMatrix(3, 6), u"88.0%"_s);
    EXPECT_TRUE(boxes.shown.empty());
}

// Whatever a torn or padded tail holds, it is skipped as one line, the file stays as it is,
// and the next save still becomes a row of its own.
TEST_F(NastyHistory, TornTailsAreSkippedAndTheNextSaveStillLoads) {
    const QByteArray torn = kRecord.chopped(2);
    const QByteArray tails[] = {
        QByteArray(65'536, '\0'),                // a crash that left only zeros
        torn + QByteArray(4096, '\0'),           // a record padded with zeros
        torn.chopped(1) + "\x81",                // a lead byte cut off at the end
        QByteArray(100'000, '"'),                // quotes that never pair up
        QByteArray(99'999, '\x81'),              // lead bytes, the last one alone
        torn + QByteArray(100'000, ',') + "\r",  // far too many items, a lone CR
    };
    for (const QByteArray& tail : tails) {
        SCOPED_TRACE(tail.left(16).toHex().toStdString());
        history.InitRireki();
        Load(kRecord + tail);
        EXPECT_EQ(grid.Rows(), 2);
        EXPECT_EQ(history.LastLoad().skippedLines, 1);
        EXPECT_EQ(history.LastLoad().firstSkippedLine, 2);
        EXPECT_EQ(boxes.Count(RecordingBoxes::Kind::Error), 1);
        EXPECT_EQ(ReadBytes(path), kRecord + tail);

        ASSERT_TRUE(history.AppendLine(kRecord));
        history.InitRireki();
        history.LoadRireki();
        EXPECT_EQ(grid.Rows(), 3);
        EXPECT_EQ(grid.TextMatrix(2, 1), u"2004/05/01"_s);
        EXPECT_EQ(history.LastLoad().skippedLines, 1);
    }
}

class NastySettings : public ::testing::Test {
protected:
    NastySettings() : path(dir.File("設定.txt")), settings(state, controls, boxes, path) {
        controls.onClick = [this] { settings.chkAs_Click(); };
    }

    test::TestDir dir;
    QString path;
    DrillState state;
    test::FakeControls controls;
    RecordingBoxes boxes;
    SettingsFile settings;
};

TEST_F(NastySettings, WhatFollowsTheSecondItemIsNeverReadHoweverBad) {
    const QByteArray file =
        "90,0\r\n" + QByteArray(100'000, '\0') + "\r\n" + QByteArray(100'000, 'x') + "\x81";
    WriteBytes(path, file);
    settings.ReadSettei();
    EXPECT_EQ(state.intJikan, 90);
    EXPECT_EQ(state.intAs, 0);
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_EQ(ReadBytes(path), "90,0\r\n");  // the start-up rewrite for the cleared box
}

TEST_F(NastySettings, NulRunsAndEndlessNumbersGiveTheDefaultsAndKeepTheFile) {
    const QByteArray files[] = {
        QByteArray(4096, '\0') + ",0\r\n",
        "90," + QByteArray(4096, '\0'),
        QByteArray(5000, '9') + ",0\r\n",
        "0." + QByteArray(5000, '0') + "1,0\r\n",  // rounds to a limit of 0
        "90,0" + QByteArray(100'000, ' ') + "\x81",
    };
    const std::int16_t limits[] = {60, 90, 60, 60, 60};
    const std::int16_t flags[] = {0, 1, 0, 0, 1};
    for (int i = 0; i < 5; ++i) {
        SCOPED_TRACE(i);
        DrillState fresh;
        test::FakeControls box;
        RecordingBoxes seen;
        SettingsFile file(fresh, box, seen, path);
        box.onClick = [&] { file.chkAs_Click(); };
        WriteBytes(path, files[i]);
        file.ReadSettei();
        EXPECT_EQ(fresh.intJikan, limits[i]);
        EXPECT_EQ(fresh.intAs, flags[i]);
        EXPECT_EQ(seen.Count(RecordingBoxes::Kind::Error), 1);
        EXPECT_EQ(ReadBytes(path), files[i]);
    }
}

TEST_F(NastySettings, AComboTextBeyondEveryRangeChangesNothing) {
    WriteBytes(path, "60,1\r\n");
    settings.ReadSettei();
    const std::string endless(5000, '9');
    const std::string texts[] = {endless, "-" + endless, "1e99999999999999999999",
                                 "0." + std::string(5000, '0') + "1"};
    for (const std::string& text : texts) {
        controls.text = QString::fromStdString(text);
        settings.cboJikan_Click();
    }
    EXPECT_EQ(state.intJikan, 60);
    EXPECT_EQ(ReadBytes(path), "60,1\r\n");
    controls.text = QString::fromStdString("1" + std::string(5000, '0') + "e-4998");
    settings.cboJikan_Click();
    EXPECT_EQ(state.intJikan, 100);
    EXPECT_EQ(ReadBytes(path), "100,1\r\n");
}

}  // namespace
}  // namespace keta
