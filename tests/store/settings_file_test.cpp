#include "settings_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QDir>
#include <QFileInfo>

#include "test_support.h"

namespace keta {
namespace {

using namespace Qt::Literals::StringLiterals;

using test::FakeControls;
using test::ReadBytes;
using test::RecordingBoxes;
using test::WriteBytes;
using Kind = RecordingBoxes::Kind;

class SettingsFileTest : public ::testing::Test {
protected:
    SettingsFileTest() : path(dir.File("設定.txt")), settings(state, controls, boxes, path) {
        controls.onClick = [this] { settings.chkAs_Click(); };
    }

    ino_t Inode() const {
        struct stat st {};
        return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_ino : 0;
    }

    void Pick(const char* entry) {
        controls.text = QString::fromUtf8(entry);
        settings.cboJikan_Click();
    }

    test::TestDir dir;
    QString path;
    DrillState state;
    FakeControls controls;
    RecordingBoxes boxes;
    SettingsFile settings;
};

TEST_F(SettingsFileTest, AFileMatchingTheTickedBoxIsLeftUntouchedAtStartUp) {
    WriteBytes(path, "45 ,1 and more\r\nsecond line");
    const ino_t before = Inode();
    settings.ReadSettei();
    EXPECT_EQ(state.intJikan, 45);
    EXPECT_EQ(state.intAs, 1);
    EXPECT_EQ(ReadBytes(path), "45 ,1 and more\r\nsecond line");
    EXPECT_EQ(Inode(), before);  // not even replaced by an equal copy
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(SettingsFileTest, AnyOtherFileIsRewrittenInTheExactFormAtStartUp) {
    WriteBytes(path, " 60 , 0 trailing text");  // blanks, trailing text, no final CR LF
    settings.ReadSettei();
    EXPECT_EQ(state.intJikan, 60);
    EXPECT_EQ(state.intAs, 0);
    EXPECT_EQ(controls.state, 0);
    EXPECT_EQ(ReadBytes(path), "60,0\r\n");
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(SettingsFileTest, PicksAndTogglesRewriteBothValues) {
    WriteBytes(path, "60,1\r\n");
    settings.ReadSettei();
    Pick("90");
    EXPECT_EQ(ReadBytes(path), QByteArray("\x39\x30\x2C\x31\x0D\x0A"));
    controls.SetAutoSaveState(0);
    EXPECT_EQ(ReadBytes(path), "90,0\r\n");
    controls.SetAutoSaveState(1);
    EXPECT_EQ(ReadBytes(path), "90,1\r\n");
    WriteBytes(path, "junk");
    Pick("90");  // the entry already shown still rewrites the line
    EXPECT_EQ(ReadBytes(path), "90,1\r\n");
}

TEST_F(SettingsFileTest, TheComboTextGivesItsLeadingNumberRoundedHalfToEven) {
    Pick("12.5秒");
    EXPECT_EQ(state.intJikan, 12);
    Pick(" 13.5");
    EXPECT_EQ(state.intJikan, 14);
    EXPECT_EQ(ReadBytes(path), "14,0\r\n");
    for (const char* text : {"abc", "0", "-10", "40000"}) Pick(text);  // no usable limit
    EXPECT_EQ(state.intJikan, 14);
    EXPECT_EQ(ReadBytes(path), "14,0\r\n");
}

TEST_F(SettingsFileTest, AMissingFileGivesTheDefaultsSilentlyAndIsWrittenAtTheFirstChange) {
    settings.ReadSettei();
    EXPECT_EQ(state.intJikan, 60);
    EXPECT_EQ(state.intAs, 1);
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_FALSE(QFile::exists(path));
    controls.SetAutoSaveState(0);
    EXPECT_EQ(ReadBytes(path), "60,0\r\n");
}

TEST_F(SettingsFileTest, AMalformedFileWarnsOnceUsesDefaultsForBadValuesAndStaysAsItIs) {
    struct Case {
        QByteArray content;
        std::int16_t limit, flag;
    };
    const Case cases[] = {
        {"", 60, 1},        {"90", 90, 1},        {"abc,0", 60, 0}, {"90,abc", 90, 1},
        {"70000,0", 60, 0}, {"90,-40000", 90, 1}, {"0,0", 60, 0},   {"-5,1", 60, 1},
        {"\"90,0", 60, 1},  {"9\x81,0", 60, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.content.toStdString());
        DrillState fresh;
        FakeControls box;
        RecordingBoxes seen;
        SettingsFile file(fresh, box, seen, path);
        box.onClick = [&] { file.chkAs_Click(); };
        WriteBytes(path, c.content);
        file.ReadSettei();
        EXPECT_EQ(fresh.intJikan, c.limit);
        EXPECT_EQ(fresh.intAs, c.flag);
        EXPECT_EQ(box.state, c.flag);
        ASSERT_EQ(seen.shown.size(), 1u);
        EXPECT_EQ(seen.shown[0].kind, Kind::Error);
        EXPECT_TRUE(seen.shown[0].text.contains(u"設定.txt"));
        EXPECT_EQ(ReadBytes(path), c.content);  // also when the box was toggled
    }
}

// Whatever follows the flag is never read, also bytes that are no character of the code page.
TEST_F(SettingsFileTest, BytesAfterTheSecondItemAreIgnoredWhateverTheyAre) {
    const struct {
        QByteArray content;
        std::int16_t flag;
        QByteArray after;  // the file once start-up is done
    } cases[] = {
        {QByteArray("45,0,\xFF"), 0, "45,0\r\n"},
        {QByteArray("45,0,\x80\r\n"), 0, "45,0\r\n"},
        {QByteArray("45,0,\x81"), 0, "45,0\r\n"},  // a lead byte without its trail byte
        {QByteArray("45,0,\x81,"), 0, "45,0\r\n"},
        {QByteArray("45,0,\0\0", 7), 0, "45,0\r\n"},
        {QByteArray("45,0 \t,\xFF\xFE"), 0, "45,0\r\n"},
        {QByteArray("45,0,\"\xFF"), 0, "45,0\r\n"},  // a quote never closed
        {QByteArray("45\r\n0,\xFD\r\n\xFF"), 0, "45,0\r\n"},
        {QByteArray("45,1,\xFF\r\n"), 1, QByteArray("45,1,\xFF\r\n")},  // matches the box
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.content.toHex(' ').toStdString());
        DrillState fresh;
        FakeControls box;
        RecordingBoxes seen;
        SettingsFile file(fresh, box, seen, path);
        box.onClick = [&] { file.chkAs_Click(); };
        WriteBytes(path, c.content);
        file.ReadSettei();
        EXPECT_EQ(fresh.intJikan, 45);
        EXPECT_EQ(fresh.intAs, c.flag);
        EXPECT_TRUE(seen.shown.empty());
        EXPECT_EQ(ReadBytes(path), c.after);
    }
}

TEST_F(SettingsFileTest, AFolderInTheFilesPlaceIsReportedWhenReadAndWhenWritten) {
    ASSERT_TRUE(QDir().mkdir(path));
    settings.ReadSettei();
    EXPECT_EQ(state.intJikan, 60);
    EXPECT_EQ(state.intAs, 1);
    EXPECT_EQ(boxes.Count(Kind::Error), 1);
    Pick("120");
    EXPECT_EQ(state.intJikan, 120);  // the choice still applies for this run
    ASSERT_EQ(boxes.Count(Kind::Error), 2);
    EXPECT_TRUE(boxes.shown[1].text.contains(u"設定.txt"));
    EXPECT_EQ(boxes.shown[1].title, u"保存エラー"_s);
}

TEST_F(SettingsFileTest, ADiskThatFillsUpKeepsTheOldFileWhole) {
    WriteBytes(path, "60,1\r\n");
    settings.ReadSettei();
    {
        test::FileSizeLimit full(3);  // the new line is cut after "120"
        Pick("120");
    }
    EXPECT_EQ(state.intJikan, 120);
    EXPECT_EQ(ReadBytes(path), "60,1\r\n");
    EXPECT_EQ(boxes.Count(Kind::Error), 1);
    EXPECT_EQ(QDir(dir.dir.path()).entryList(QDir::Files), QStringList{u"設定.txt"_s});
}

// The warning names the values the program goes on with, not the defaults it did not use.
TEST_F(SettingsFileTest, TheWarningNamesTheValuesActuallyUsed) {
    const struct {
        QByteArray content;
        const char16_t* limit;
        const char16_t* autoSave;
    } cases[] = {
        {"abc,0", u"プレイ秒数 60 秒", u"自動保存オフ"},
        {"1,abc", u"プレイ秒数 1 秒", u"自動保存オン"},
        {"abc,7", u"プレイ秒数 60 秒", u"自動保存オフ"},  // only 1 saves
        {"\"90,0", u"プレイ秒数 60 秒", u"自動保存オン"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.content.toStdString());
        DrillState fresh;
        FakeControls box;
        RecordingBoxes seen;
        SettingsFile file(fresh, box, seen, path);
        WriteBytes(path, c.content);
        file.ReadSettei();
        ASSERT_EQ(seen.shown.size(), 1u);
        EXPECT_TRUE(seen.shown[0].text.contains(QStringView(c.limit)))
            << seen.shown[0].text.toStdString();
        EXPECT_TRUE(seen.shown[0].text.contains(QStringView(c.autoSave)));
    }
}

TEST_F(SettingsFileTest, TheStartUpRewriteLeavesAFileThatAlreadyHoldsItsLineAlone) {
    WriteBytes(path, "60,0\r\n");
    const ino_t before = Inode();
    settings.ReadSettei();
    EXPECT_EQ(state.intAs, 0);
    EXPECT_EQ(Inode(), before);
    EXPECT_TRUE(boxes.shown.empty());
    // Also in a folder the user cannot write to: no warning at every start.
    test::AsNobody nobody;
    if (!nobody.active()) GTEST_SKIP() << "needs root to act as another user";
    DrillState fresh;
    FakeControls box;
    RecordingBoxes seen;
    SettingsFile file(fresh, box, seen, path);
    box.onClick = [&] { file.chkAs_Click(); };
    file.ReadSettei();
    EXPECT_TRUE(seen.shown.empty());
}

// The folder takes no new file, the file itself may be written: it is written in place.
TEST_F(SettingsFileTest, AFolderTheUserCannotWriteToStillTakesTheSettings) {
    WriteBytes(path, "60,1\r\n");
    const QByteArray name = QFile::encodeName(path);
    ASSERT_EQ(::chown(name.constData(), 65534, 65534), 0);
    settings.ReadSettei();
    {
        test::AsNobody nobody;
        if (!nobody.active()) GTEST_SKIP() << "needs root to act as another user";
        Pick("120");
        controls.SetAutoSaveState(0);
    }
    EXPECT_EQ(ReadBytes(path), "120,0\r\n");
    EXPECT_TRUE(boxes.shown.empty());
    // A file the user cannot write either is still reported.
    ASSERT_EQ(::chmod(name.constData(), 0444), 0);
    {
        test::AsNobody nobody;
        Pick("30");
    }
    EXPECT_EQ(ReadBytes(path), "120,0\r\n");
    EXPECT_EQ(boxes.Count(Kind::Error), 1);
}

TEST_F(SettingsFileTest, AFifoInTheFilesPlaceIsReportedInsteadOfHangingTheStart) {
    ASSERT_EQ(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    settings.ReadSettei();
    EXPECT_EQ(state.intJikan, 60);
    EXPECT_EQ(state.intAs, 1);
    ASSERT_EQ(boxes.Count(Kind::Error), 1);
    EXPECT_TRUE(boxes.shown[0].text.contains(u"読み込めませんでした"));
}

}  // namespace
}  // namespace keta
