// The two CSV exports: exact bytes for a hand-made history and a small log, and the failures
// that must say so instead of leaving a file behind.

#include "csv_export.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QDir>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <string>
#include <thread>

#include "answer_log.h"
#include "csv_cells.h"
#include "export_target.h"
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
              "\xEF\xBB\xBF日付,時間,問数,ＯＫ,ＮＧ,正解率,秒当たり,表示秒数,モード\r\n"
              "2004/05/01,13:05:09,25,22,3,88.0%,0.37/秒,60秒,＋\r\n"
              // item 3 keeps its characters, 4 and 5 pass through a number, as in the grid;
              // a text a spreadsheet would compute is kept as text, and quoted for its comma
              "2004/05/02,08:00:00,007,7,0,100.0%,0.12/秒,60秒,\"'=1+1,x\"\r\n");
}

// The browser edition exports the history it holds with HistoryCsv: the same history must give
// the desktop's file byte for byte, lines that are no record and awkward cells included.
TEST_F(CsvTest, TheSharedHistoryCsvIsTheDesktopsExport) {
    const QString history = dir.File("履歴.txt");
    const QByteArray bytes =
        Cp932(
            "\"2004/05/01\",\"13:05:09\",25,22,3,\"88.0%\",\"0.37/秒\",\"60秒\",\"＋\"\r\n"
            "  \r\nnot a record\n"
            " \"=a\" ,-5, 007 ,+07,-0,x\"y,\" s \",\"@\",\"ｱ,\"\r"
            "\"\",\"\",,0,0,\"\",\"\",\"\",\"－\"") +
        "\r\n\"a\",\"\x95\",1,2,3,\"\",\"\",\"\",\"\"";
    WriteBytes(history, bytes);
    ASSERT_TRUE(ExportHistoryCsv(history, csv, &error)) << error.toStdString();
    HistoryLines lines;
    lines.bytes = bytes.toStdString();
    HistoryLoadReport report;
    CollectHistoryRecords(lines, report);
    ASSERT_EQ(lines.Count(), 3);  // the last line is no record: a lead byte before a quote
    EXPECT_EQ(ReadBytes(csv).toStdString(), HistoryCsv(lines, true));
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
              "\xEF\xBB\xBF回番号,開始日時,制限時間,モード,問数,ＯＫ,ＮＧ,保存日付,保存時間,"
              "経過ミリ秒,枠,"
              "左の数字,右の数字,入力,正解,正誤,クリック消去\r\n"
              // every save of a round, the n-th date beside the n-th time
              "1,2026-01-02T10:00:00,60,－,2,1,1,2026/01/02; 2026/01/02,10:01:02; 10:09:00,"
              "120,1,3,8,5,5,1,0\r\n"
              "1,2026-01-02T10:00:00,60,－,2,1,1,2026/01/02; 2026/01/02,10:01:02; 10:09:00,"
              "900,2,,,,,,1\r\n"
              "1,2026-01-02T10:00:00,60,－,2,1,1,2026/01/02; 2026/01/02,10:01:02; 10:09:00,"
              "1500,2,8,0,'-9,8,0,0\r\n"
              "2,2026-01-02T10:00:00,60,－,2,1,1,,,120,1,3,8,5,5,1,0\r\n");
    EXPECT_EQ(ReadBytes(logPath), before);
}

// A data folder with every kind of data file, and targets that name them in every way.
TEST_F(CsvTest, EveryDataFileIsRefusedWhateverPathNamesIt) {
    ASSERT_TRUE(QDir().mkpath(dir.File("data/sub")) && QDir().mkpath(dir.File("elsewhere")));
    const char* const own[] = {"履歴.txt",        "設定.txt",
                               "解答ログ.db",     "解答ログ.db-wal",
                               "解答ログ.db-shm", "解答ログ.db.corrupt-20260101-000000"};
    for (const char* name : own) WriteBytes(dir.dir.filePath(QStringLiteral("data/") + name), "x");
    const QString history = dir.File("data/履歴.txt");
    ASSERT_TRUE(QFile::link(history, dir.File("elsewhere/history-link.csv")));
    ASSERT_TRUE(QFile::link(dir.File("data"), dir.File("elsewhere/data-link")));
    // A link to a journal that is not there yet.
    ASSERT_TRUE(QFile::link(dir.File("data/解答ログ.db-journal"), dir.File("elsewhere/dangling")));
    ASSERT_EQ(::link(QFile::encodeName(history).constData(),
                     QFile::encodeName(dir.File("elsewhere/hard.csv")).constData()),
              0);
    // Each data file by its own name, and the same files by other names; the journal is not
    // there, and "data" is a folder.
    QStringList refused{QStringLiteral("data/解答ログ.db-journal"),
                        QStringLiteral("data"),
                        QStringLiteral("data/sub/../設定.txt"),
                        QStringLiteral("elsewhere/history-link.csv"),
                        QStringLiteral("elsewhere/data-link/履歴.txt"),
                        QStringLiteral("elsewhere/dangling"),
                        QStringLiteral("elsewhere/hard.csv")};
    for (const char* name : own) refused << QStringLiteral("data/") + name;
    for (const QString& name : refused) {
        const QString target = dir.dir.filePath(name);
        const ExportTarget t = ResolveExportTarget(dir.File("data"), target);
        EXPECT_EQ(int(t.kind), int(ExportTarget::Kind::Refused)) << name.toStdString();
        error.clear();
        EXPECT_FALSE(ExportHistoryCsv(history, target, &error)) << name.toStdString();
        EXPECT_TRUE(!error.isEmpty() && error == t.reason) << name.toStdString();
    }
    EXPECT_EQ(int(ResolveExportTarget(dir.File("data"), dir.File("elsewhere/履歴.txt")).kind),
              int(ExportTarget::Kind::File));  // another folder's history is anyone's file
    for (const char* name : own)
        EXPECT_EQ(ReadBytes(dir.dir.filePath(QStringLiteral("data/") + name)), "x") << name;
    EXPECT_FALSE(QFileInfo::exists(dir.File("data/解答ログ.db-journal")));
}

TEST_F(CsvTest, DevicesAndFifosAreWrittenAsStreamsNeverReplaced) {
    const QString history = dir.File("履歴.txt");
    WriteBytes(history, Cp932("\"2004/05/01\",\"13:05:09\",25,22,3,\"a\",\"b\",\"c\",\"=d\"\r\n"));
    // A write error on a device is a failure with its reason.
    EXPECT_FALSE(ExportHistoryCsv(history, QStringLiteral("/dev/full"), &error));
    EXPECT_TRUE(error.contains(QString::fromLocal8Bit(std::strerror(ENOSPC))))
        << error.toStdString();
    const QString fifo = dir.File("fifo.csv");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    error.clear();
    EXPECT_FALSE(ExportHistoryCsv(history, fifo, &error));  // nobody reads: no wait
    EXPECT_FALSE(error.isEmpty());
    // Someone reads: the rows go through without a byte-order mark, the FIFO stays one.
    std::string got;
    std::thread reader([&] {
        QFile in(fifo);
        if (in.open(QIODevice::ReadOnly)) got = in.readAll().toStdString();
    });
    bool done = false;
    for (int i = 0; i < 200 && !done; ++i) {  // until the reader has opened its end
        done = ExportHistoryCsv(history, fifo, &error);
        if (!done) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    reader.join();
    EXPECT_TRUE(done) << error.toStdString();
    EXPECT_EQ(got,
              "日付,時間,問数,ＯＫ,ＮＧ,正解率,秒当たり,表示秒数,モード\r\n"
              "2004/05/01,13:05:09,25,22,3,a,b,c,'=d\r\n");
    EXPECT_TRUE(QFileInfo(fifo).exists() && !QFileInfo(fifo).isFile());
}

TEST_F(CsvTest, AFileIsReplacedWholeOrLeftAsItWas) {
    const QString history = dir.File("履歴.txt");
    WriteBytes(history, Cp932("\"2004/05/01\",\"13:05:09\",25,22,3,\"a\",\"b\",\"c\",\"d\"\r\n"));
    WriteBytes(csv, "old");
    ASSERT_TRUE(QFile::link(csv, dir.File("link.csv")));
    // A source that cannot be read leaves the old file, and nothing beside it.
    EXPECT_FALSE(ExportHistoryCsv(dir.File("none.txt"), csv, &error));
    // A write that is never committed leaves it too.
    {
        ExportSink sink(ResolveExportTarget(dir.File("."), csv));
        ASSERT_TRUE(sink.Open()) << sink.ErrorText().toStdString();
        ASSERT_TRUE(sink.Write("half"));
    }
    EXPECT_EQ(ReadBytes(csv), "old");
    EXPECT_EQ(QDir(dir.dir.path()).entryList(QDir::Files).size(), 3);  // history, csv, link
    // Written through the link: the file it names is replaced, the link stays a link.
    ASSERT_TRUE(ExportHistoryCsv(history, dir.File("link.csv"), &error)) << error.toStdString();
    EXPECT_TRUE(ReadBytes(csv).startsWith("\xEF\xBB\xBF日付,"));
    EXPECT_TRUE(QFileInfo(dir.File("link.csv")).isSymLink());
}

// Every cell a spreadsheet would compute is kept as text, whatever its column; the numbers
// the program writes stay numbers.
TEST_F(CsvTest, FormulaCellsAreKeptAsTextInEveryColumn) {
    // Pairs: item 3 as a hand may have edited it, then the cell it must give.
    const char* const cases[] = {"25",        "25",         "-5",   "-5",    "1.5",    "1.5",
                                 "-0.25",     "-0.25",      "007",  "007",   "=2+3",   "'=2+3",
                                 "@SUM(1+1)", "'@SUM(1+1)", "+1+1", "'+1+1", "-1+1",   "'-1+1",
                                 "+5",        "'+5",        "-",    "'-",    "-.5",    "'-.5",
                                 "-5.",       "'-5.",       "1e5",  "1e5",   "\"=1\"", "'=1"};
    QByteArray lines;
    for (std::size_t i = 0; i < std::size(cases); i += 2) {
        lines += Cp932(
            ("\"=1\",\"@2\"," + std::string(cases[i]) + ",1,1,\"-3\",\"+4\",\"\t5\",\"-5\"\r\n")
                .c_str());
    }
    const QString history = dir.File("履歴.txt");
    WriteBytes(history, lines);
    ASSERT_TRUE(ExportHistoryCsv(history, csv, &error)) << error.toStdString();
    const QList<QByteArray> rows = ReadBytes(csv).split('\n');
    ASSERT_EQ(std::size_t(rows.size()), std::size(cases) / 2 + 2);  // header, rows, ""
    for (std::size_t i = 0; i < std::size(cases); i += 2) {
        // The text columns guard every sign, "-5" among them: it was written as text.
        EXPECT_EQ(rows[qsizetype(i / 2) + 1].toStdString(),
                  "'=1,'@2," + std::string(cases[i + 1]) + ",1,1,'-3,'+4,'\t5,'-5\r")
            << cases[i];
    }
}

// The history is read piece by piece: a line cut at any place between two pieces is read
// whole, and a CR LF cut in two is one line end.
TEST_F(CsvTest, RecordsCutBetweenPiecesAreReadWhole) {
    const QByteArray record =
        Cp932("\"2004/05/01\",\"13:05:09\",25,22,3,\"88.0%\",\"0.37/秒\",\"60秒\",\"＋\"\r\n");
    const QString history = dir.File("履歴.txt");
    constexpr qsizetype kPiece = qsizetype{64} * 1024;  // what the reader takes at a time
    for (qsizetype before = kPiece - record.size() - 1; before <= kPiece; ++before) {
        WriteBytes(history, QByteArray(before, '\n') + record + record);
        ASSERT_TRUE(ExportHistoryCsv(history, csv, &error)) << error.toStdString();
        const QByteArray out = ReadBytes(csv);
        EXPECT_EQ(out.count("2004/05/01,13:05:09,25,22,3,88.0%,0.37/秒,60秒,＋\r\n"), 2) << before;
        EXPECT_EQ(out.count("\r\n"), 3) << before;
    }
}

}  // namespace
}  // namespace keta::test
