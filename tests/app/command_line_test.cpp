#include "command_line.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTextStream>
#include <vector>

#include "log_owner.h"
#include "session_store.h"

namespace keta {
namespace {

using Action = CommandLine::Action;
using Folder = CommandLine::DataFolder;

QStringList Args(const std::vector<const char*>& options) {
    QStringList args{QStringLiteral("ketatobi")};
    for (const char* option : options) args << QString::fromUtf8(option);
    return args;
}

struct ParseCase {
    std::vector<const char*> options;
    Action action;
    Folder folder;
    const char* dataDir;
    const char* historyCsv;
    const char* answersCsv;
};

TEST(CommandLine, ParsesEachWayOfStarting) {
    const std::vector<ParseCase> cases = {
        {{}, Action::Run, Folder::Current, "", "", ""},
        {{"--data-dir", "d"}, Action::Run, Folder::Given, "d", "", ""},
        {{"--data-dir=some/where"}, Action::Run, Folder::Given, "some/where", "", ""},
        {{"--user-data"}, Action::Run, Folder::User, "", "", ""},
        {{"--export-history", "h.csv"}, Action::Export, Folder::Current, "", "h.csv", ""},
        {{"--export-answers", "a.csv", "--user-data"},
         Action::Export,
         Folder::User,
         "",
         "",
         "a.csv"},
        {{"--data-dir", "d", "--export-history", "h.csv", "--export-answers", "a.csv"},
         Action::Export,
         Folder::Given,
         "d",
         "h.csv",
         "a.csv"},
        {{"--help"}, Action::ShowHelp, Folder::Current, "", "", ""},
        {{"-h", "--data-dir", "d"}, Action::ShowHelp, Folder::Current, "", "", ""},
        {{"--version"}, Action::ShowVersion, Folder::Current, "", "", ""},
        {{"-v"}, Action::ShowVersion, Folder::Current, "", "", ""},
    };
    for (const ParseCase& c : cases) {
        const QStringList args = Args(c.options);
        SCOPED_TRACE(args.join(u' ').toStdString());
        const CommandLine line = ParseCommandLine(args);
        EXPECT_EQ(line.action, c.action) << line.error.toStdString();
        EXPECT_EQ(line.folder, c.folder);
        EXPECT_EQ(line.dataDir, QString::fromUtf8(c.dataDir));
        EXPECT_EQ(line.historyCsv, QString::fromUtf8(c.historyCsv));
        EXPECT_EQ(line.answersCsv, QString::fromUtf8(c.answersCsv));
    }
}

TEST(CommandLine, RefusesWhatItCannotMeanAndSaysWhy) {
    const std::vector<std::pair<std::vector<const char*>, const char*>> cases = {
        {{"--bogus"}, "bogus"},
        {{"stray"}, "stray"},
        {{"--data-dir"}, "data-dir"},
        {{"--data-dir", ""}, "--data-dir"},
        {{"--data-dir", "a", "--data-dir", "b"}, "more than once"},
        {{"--data-dir", "a", "--user-data"}, "--user-data"},
        {{"--export-history", "x.csv", "--export-answers", "x.csv"}, "same file"},
        {{"--export-history", "x.csv", "--export-answers", "./x.csv"}, "same file"},
        // One stream under two names: standard output as "-" and as /dev/stdout.
        {{"--export-history", "/dev/stdout", "--export-answers", "-"}, "same file"},
        {{"--export-sessions", "-", "--export-history", "/proc/self/fd/1"}, "same file"},
        {{"--export-history", ""}, "--export-history"},
    };
    for (const auto& [options, told] : cases) {
        const QStringList args = Args(options);
        SCOPED_TRACE(args.join(u' ').toStdString());
        const CommandLine line = ParseCommandLine(args);
        EXPECT_EQ(line.action, Action::Fail);
        EXPECT_TRUE(line.error.contains(QString::fromUtf8(told))) << line.error.toStdString();
    }
}

TEST(CommandLine, TellsQtOptionsFromUnknownOnes) {
    const std::vector<std::pair<std::vector<const char*>, bool>> cases = {
        {{"-platform", "offscreen"}, true},
        {{"--platform=offscreen"}, true},
        {{"--data-dir", "d", "-style", "fusion"}, true},
        {{"-reverse"}, true},
        {{"--bogus"}, false},
        {{"stray", "platform"}, false},
        {{"--", "-platform"}, false},
        {{}, false},
    };
    for (const auto& [options, toolkit] : cases) {
        const QStringList args = Args(options);
        SCOPED_TRACE(args.join(u' ').toStdString());
        EXPECT_EQ(MayHoldToolkitOptions(args), toolkit);
    }
}

// Restores the working folder that a test changes.
class DataFolderTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(temp_.isValid());
        start_ = QDir::currentPath();
        ASSERT_TRUE(QDir::setCurrent(temp_.path()));
    }
    void TearDown() override {
        QDir::setCurrent(start_);
        qunsetenv("XDG_DATA_HOME");
    }
    QString Path(const QString& name) const { return QDir(temp_.path()).filePath(name); }

    QTemporaryDir temp_;
    QString start_;
};

TEST_F(DataFolderTest, GivenFolderIsCreatedAndEntered) {
    const CommandLine line = ParseCommandLine(Args({"--data-dir", "new/nested/../folder"}));
    QString error;
    ASSERT_TRUE(EnterDataFolder(line, &error)) << error.toStdString();
    EXPECT_EQ(QDir::currentPath(), QDir(Path(QStringLiteral("new/folder"))).canonicalPath());
    EXPECT_FALSE(QDir(Path(QStringLiteral("new/nested"))).exists());
}

TEST_F(DataFolderTest, UserFolderFollowsXdgDataHome) {
    qputenv("XDG_DATA_HOME", Path(QStringLiteral("xdg")).toUtf8());
    const CommandLine line = ParseCommandLine(Args({"--user-data"}));
    EXPECT_EQ(DataFolderPath(line), Path(QStringLiteral("xdg/ketatobi")));
    QString error;
    ASSERT_TRUE(EnterDataFolder(line, &error)) << error.toStdString();
    EXPECT_EQ(QDir::currentPath(), QDir(Path(QStringLiteral("xdg/ketatobi"))).canonicalPath());
}

TEST_F(DataFolderTest, NoOptionStaysInTheCurrentFolder) {
    QString error;
    ASSERT_TRUE(EnterDataFolder(ParseCommandLine(Args({})), &error));
    EXPECT_EQ(QDir::currentPath(), QDir(temp_.path()).canonicalPath());
}

TEST_F(DataFolderTest, AFileInTheWayFailsAndKeepsTheWorkingFolder) {
    QFile file(Path(QStringLiteral("taken")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    for (const char* dir : {"taken", "taken/below"}) {
        SCOPED_TRACE(dir);
        QString error;
        EXPECT_FALSE(EnterDataFolder(ParseCommandLine(Args({"--data-dir", dir})), &error));
        EXPECT_TRUE(error.contains(QStringLiteral("taken"))) << error.toStdString();
        EXPECT_EQ(QDir::currentPath(), QDir(temp_.path()).canonicalPath());
    }
}

struct Outcome {
    int status;
    QString out;
    QString err;
};

Outcome RunArgs(const std::vector<const char*>& options) {
    Outcome run{};
    QTextStream out(&run.out);
    QTextStream err(&run.err);
    run.status = RunWithoutWindow(ParseCommandLine(Args(options)), out, err);
    out.flush();
    err.flush();
    return run;
}

TEST_F(DataFolderTest, ExportReadsTheDataFolderAndWritesBesideTheStart) {
    ASSERT_TRUE(QDir().mkpath(Path(QStringLiteral("data"))));
    QFile history(Path(QStringLiteral("data/履歴.txt")));
    ASSERT_TRUE(history.open(QIODevice::WriteOnly));
    // Shift_JIS: 秒 is 95 62, ＋ is 81 7B.
    history.write(
        "\"2004/05/01\",\"13:05:09\",25,20,5,\"80.0%\",\"0.33/\x95\x62\","
        "\"60\x95\x62\",\"\x81\x7b\"\r\n");
    history.close();

    const Outcome done = RunArgs({"--data-dir", "data", "--export-history", "out.csv"});
    EXPECT_EQ(done.status, 0) << done.err.toStdString();
    EXPECT_TRUE(done.err.isEmpty());
    QFile csv(Path(QStringLiteral("out.csv")));
    ASSERT_TRUE(csv.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = csv.readAll().trimmed().split('\n');
    ASSERT_EQ(lines.size(), 2);
    EXPECT_TRUE(lines[1].contains("2004/05/01"));
    // An export enters no folder.
    EXPECT_EQ(QDir::currentPath(), QDir(temp_.path()).canonicalPath());

    const Outcome missing = RunArgs({"--data-dir", "nowhere", "--export-history", "x.csv"});
    EXPECT_EQ(missing.status, 1);
    EXPECT_TRUE(missing.err.startsWith(QStringLiteral("ketatobi: "))) << missing.err.toStdString();
    EXPECT_FALSE(QFile::exists(Path(QStringLiteral("x.csv"))));
    EXPECT_FALSE(QDir(Path(QStringLiteral("nowhere"))).exists());
}

// A data file as either target stops both exports before anything is written.
TEST_F(DataFolderTest, ExportsRefuseTheDataFilesBeforeWritingAnything) {
    ASSERT_TRUE(QDir().mkpath(Path(QStringLiteral("data"))));
    QFile history(Path(QStringLiteral("data/履歴.txt")));
    ASSERT_TRUE(history.open(QIODevice::WriteOnly) && history.write("old") == 3);
    history.close();
    for (const char* target : {"data/履歴.txt", "data/設定.txt", "data/解答ログ.db-wal"}) {
        for (const auto& [option, other] : {std::pair{"--export-history", "--export-answers"},
                                            std::pair{"--export-answers", "--export-history"}}) {
            SCOPED_TRACE(std::string(option) + " " + target);
            const Outcome run = RunArgs({"--data-dir", "data", other, "first.csv", option, target});
            EXPECT_EQ(run.status, 1);
            EXPECT_TRUE(run.err.startsWith(QStringLiteral("ketatobi: "))) << run.err.toStdString();
        }
    }
    EXPECT_FALSE(QFile::exists(Path(QStringLiteral("first.csv"))));
    ASSERT_TRUE(history.open(QIODevice::ReadOnly));
    EXPECT_EQ(history.readAll(), "old");
    EXPECT_EQ(QDir(Path(QStringLiteral("data"))).entryList(QDir::Files).size(), 1);
}

// A log with one session of four lines: a header and four rows; a data file, a missing log
// and one file named twice are refused as the other exports refuse them.
TEST_F(DataFolderTest, SessionsExportLikeTheOtherExports) {
    ASSERT_TRUE(QDir().mkpath(Path(QStringLiteral("data"))));
    const QString log = Path(QStringLiteral("data/解答ログ.db"));
    {
        auto owner = std::make_shared<LogOwner>(log);
        SessionRecorder recorder(owner);
        SessionSettings settings;
        settings.firstHalfLines = 2;
        settings.secondHalfLines = 2;
        recorder.SessionStarted(settings, 0);
        for (int k = 0; k < 4; ++k)
            recorder.LineCompleted(
                {k / 2 + 1, k % 2 + 1, false, 0, {{500, 1, 2, 3, "5", 5, true}}});
        recorder.SessionEnded(SessionState::Finished);
        ASSERT_TRUE(owner->WaitUntilIdle(5000));
    }
    const Outcome done = RunArgs({"--data-dir", "data", "--export-sessions", "s.csv"});
    EXPECT_EQ(done.status, 0) << done.err.toStdString();
    QFile csv(Path(QStringLiteral("s.csv")));
    ASSERT_TRUE(csv.open(QIODevice::ReadOnly));
    EXPECT_EQ(csv.readAll().trimmed().split('\n').size(), 5);

    const QByteArray before = [&] {
        QFile f(log);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }();
    const struct {
        std::vector<const char*> options;
        int status;
    } refused[] = {
        {{"--data-dir", "data", "--export-sessions", "data/解答ログ.db"}, 1},
        {{"--data-dir", "nowhere", "--export-sessions", "x.csv"}, 1},
        {{"--export-answers", "x.csv", "--export-sessions", "x.csv"}, 2},
    };
    for (const auto& c : refused) {
        const Outcome run = RunArgs(c.options);
        EXPECT_EQ(run.status, c.status) << run.err.toStdString();
        EXPECT_TRUE(run.err.startsWith(QStringLiteral("ketatobi: "))) << run.err.toStdString();
    }
    EXPECT_FALSE(QFile::exists(Path(QStringLiteral("x.csv"))));
    QFile after(log);
    ASSERT_TRUE(after.open(QIODevice::ReadOnly));
    EXPECT_EQ(after.readAll(), before);
}

TEST(CommandLine, HelpVersionAndUsageErrorsGoToTheirStreams) {
    const Outcome help = RunArgs({"--help"});
    EXPECT_EQ(help.status, 0);
    for (const char* option : {"--data-dir", "--user-data", "--export-history", "--export-answers",
                               "--export-sessions", "--version"}) {
        EXPECT_TRUE(help.out.contains(QString::fromUtf8(option))) << option;
    }
    EXPECT_TRUE(help.err.isEmpty());

    const Outcome version = RunArgs({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out,
              QStringLiteral("ketatobi %1\n").arg(QCoreApplication::applicationVersion()));

    const Outcome wrong = RunArgs({"--nonsense"});
    EXPECT_EQ(wrong.status, 2);
    EXPECT_TRUE(wrong.out.isEmpty());
    EXPECT_TRUE(wrong.err.contains(QStringLiteral("nonsense")));
}

}  // namespace
}  // namespace keta

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("ketatobi"));
    QCoreApplication::setApplicationVersion(QStringLiteral("9.8.7"));
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
