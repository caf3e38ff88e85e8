#include "session_store.h"

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QVariant>

#include "answer_log.h"
#include "csv_export.h"
#include "log_owner.h"
#include "log_schema.h"
#include "log_test_support.h"
#include "test_support.h"

namespace keta {
namespace {

using test::ReadBytes;

// A connection of the test's own, as another program would hold one.
using Other = test::Peek;

// A line of `answers` answers, the first `errors` of them wrong, 900 ms apart.
LineResult Line(int half, int line, bool difference, int answers, int errors) {
    LineResult r{half, line, difference, 0, {}};
    for (int k = 0; k < answers; ++k) {
        const int left = k % 10, right = (k * 7) % 10;
        const int expected =
            difference ? (left > right ? left - right : right - left) : (left + right) % 10;
        const int typed = k < errors ? (expected + 1) % 10 : expected;
        r.answers.push_back({std::int64_t{900} * (k + 1), k % 14 + 1, left, right,
                             std::to_string(typed), expected, k >= errors});
    }
    return r;
}

SessionSettings TwoPlusTwo() {
    SessionSettings s;
    s.lineSeconds = 10;
    s.firstHalfLines = 2;
    s.secondHalfLines = 2;
    s.restMinutes = 0;
    s.mode = SessionMode::Alternating;
    return s;
}

const std::vector<LineResult> kLines = {Line(1, 1, false, 9, 1), Line(1, 2, true, 7, 0),
                                        Line(2, 1, false, 11, 3), Line(2, 2, true, 8, 2)};

// A recorder on an owner of its own, as one running program has; the owner's word on each
// line comes back through the event loop.
struct Recording {
    explicit Recording(const QString& path, int busyTimeoutMs = 2000)
        : owner(std::make_shared<LogOwner>(path, LogOwner::Options{busyTimeoutMs, 50, 200000})),
          recorder(owner, &At) {
        test::CoreApp();
        owner->Listen(&context, &boxes);
    }
    static QDateTime At() { return QDateTime(QDate(2026, 3, 4), QTime(9, 8, 7)); }
    // Waits for the owner, then takes its replies.
    SessionRecorder::Progress Settled(bool idle = true) {
        EXPECT_TRUE(idle ? owner->WaitUntilIdle(5000) : owner->WaitUntilTried(5000));
        QCoreApplication::processEvents();
        return recorder.Lines();
    }
    QObject context;
    test::RecordingBoxes boxes;
    std::shared_ptr<LogOwner> owner;
    SessionRecorder recorder;
};

struct SessionStoreTest : ::testing::Test {
    test::TestDir dir;
    QString path = dir.File("解答ログ.db");

    void Record(const std::vector<LineResult>& lines, SessionState end) {
        Recording r(path);
        r.recorder.SessionStarted(TwoPlusTwo(), 0);
        for (const LineResult& l : lines) r.recorder.LineCompleted(l);
        r.recorder.SessionEnded(end);
        const SessionRecorder::Progress p = r.Settled();
        EXPECT_EQ(p.written, static_cast<int>(lines.size()));
        EXPECT_EQ(p.pending + p.lost, 0);
        EXPECT_NE(r.recorder.SessionId(), 0);
    }
};

TEST_F(SessionStoreTest, ASessionComesBackLineByLineWithItsSettings) {
    Record(kLines, SessionState::Finished);
    Record({kLines[0]}, SessionState::Stopped);
    QString why;
    const auto sessions = LoadSessions(path, &why);
    ASSERT_TRUE(sessions) << why.toStdString();
    ASSERT_EQ(sessions->size(), 2u);
    const StoredSession& s = sessions->front();
    EXPECT_EQ(s.startedAt, "2026-03-04T09:08:07");
    EXPECT_EQ(s.settings, TwoPlusTwo());
    EXPECT_EQ(s.state, SessionState::Finished);
    EXPECT_FALSE(s.damaged || s.running);
    ASSERT_EQ(s.lines.size(), kLines.size());
    for (std::size_t i = 0; i < kLines.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(s.lines[i].half, kLines[i].half);
        EXPECT_EQ(s.lines[i].line, kLines[i].line);
        EXPECT_EQ(s.lines[i].difference, kLines[i].difference);
        EXPECT_EQ(s.lines[i].Answers(), kLines[i].Answers());
        EXPECT_EQ(s.lines[i].Errors(), kLines[i].Errors());
        EXPECT_EQ(s.lines[i].answers.back().typed, kLines[i].answers.back().typed);
        EXPECT_EQ(s.lines[i].answers.back().ms, kLines[i].answers.back().ms);
    }
    EXPECT_EQ(sessions->back().state, SessionState::Stopped);
    EXPECT_EQ(sessions->back().lines.size(), 1u);
    EXPECT_EQ(LoadLastSessionSettings(path), TwoPlusTwo());
}

// A log of the first version, made by its own steps, with rounds: carried to the current
// version with its rounds, and a current log of ours is taken as it is.
TEST_F(SessionStoreTest, AFirstVersionLogIsMigratedAndKeepsItsRounds) {
    {
        Other v1(path);
        for (const char* step : MigrationSteps(0)) ASSERT_TRUE(v1.Exec(QLatin1String(step)));
        ASSERT_TRUE(v1.Exec(QStringLiteral("PRAGMA user_version = 1")));
        ASSERT_TRUE(v1.Exec(QStringLiteral(
            "INSERT INTO rounds VALUES (1, '2025-01-01T10:00:00', 60, '＋', 2, 1, 1),"
            " (2, '2025-01-02T10:00:00', 30, '－', 0, 0, 0)")));
    }
    EXPECT_EQ(InspectLog(path, 100).kind, LogInspection::Kind::Ours);
    EXPECT_EQ(LoadSessions(path)->size(), 0u);  // read before the migration: none yet
    Record(kLines, SessionState::Finished);
    const LogInspection seen = InspectLog(path, 100);
    EXPECT_EQ(seen.kind, LogInspection::Kind::Ours);
    EXPECT_EQ(seen.version, kLogSchemaVersion);
    EXPECT_EQ(AnswerLog(path).LoadAllRounds().size(), 2u);
    Record(kLines, SessionState::Finished);  // the current version opened again
    EXPECT_EQ(LoadSessions(path)->size(), 2u);
    EXPECT_EQ(Other(path).One(QStringLiteral("SELECT count(*) FROM rounds")).toInt(), 2);
}

// Another program holds the write lock across two boundaries: the lines are kept and all of
// them land once it lets go, without a new line to carry them.
TEST_F(SessionStoreTest, ALockMidSessionDelaysTheLinesButLosesNone) {
    Recording r(path, 100);
    r.recorder.SessionStarted(TwoPlusTwo(), 0);
    r.recorder.LineCompleted(kLines[0]);
    ASSERT_EQ(r.Settled().written, 1);
    {
        Other other(path);
        ASSERT_TRUE(other.Exec(QStringLiteral("BEGIN EXCLUSIVE")));
        r.recorder.LineCompleted(kLines[1]);
        r.recorder.LineCompleted(kLines[2]);
        const SessionRecorder::Progress held = r.Settled(false);
        EXPECT_EQ(held.pending, 2);
        EXPECT_EQ(held.lost, 0);
        ASSERT_TRUE(other.Exec(QStringLiteral("COMMIT")));
    }
    EXPECT_EQ(r.Settled().written, 3);
    r.recorder.LineCompleted(kLines[3]);
    r.recorder.SessionEnded(SessionState::Finished);
    EXPECT_EQ(r.Settled().written, 4);
    const auto sessions = LoadSessions(path);
    ASSERT_TRUE(sessions && sessions->size() == 1u);
    EXPECT_EQ(sessions->front().lines.size(), 4u);
    EXPECT_EQ(sessions->front().state, SessionState::Finished);
}

// Two instances on one folder, their lines interleaved: both sessions keep every line. One
// never ends (a crash) and comes back as running, with the lines it completed; an owner that
// was never handed anything makes no file.
TEST_F(SessionStoreTest, TwoInstancesKeepTheirSessionsAndACrashKeepsItsLines) {
    { Recording unused(path); }
    EXPECT_FALSE(QFileInfo::exists(path));
    {
        Recording a(path), b(path);
        a.recorder.SessionStarted(TwoPlusTwo(), 0);
        b.recorder.SessionStarted(TwoPlusTwo(), 0);
        for (const LineResult& l : kLines) {
            a.recorder.LineCompleted(l);
            b.recorder.LineCompleted(l);
        }
        a.recorder.SessionEnded(SessionState::Finished);
        EXPECT_EQ(a.Settled().written, 4);
        EXPECT_EQ(b.Settled().written, 4);
        // Neither took the other's fresh log for another program's: at most a word about the
        // lock while the other made it.
        for (const test::RecordingBoxes* boxes : {&a.boxes, &b.boxes}) {
            for (const auto& shown : boxes->shown)
                EXPECT_TRUE(shown.text.contains(
                    QStringLiteral("ほかのプログラム（ほかのケタトビなど）が使っている")))
                    << shown.text.toStdString();
        }
    }
    const auto sessions = LoadSessions(path);
    ASSERT_TRUE(sessions && sessions->size() == 2u);
    for (const StoredSession& s : *sessions) EXPECT_EQ(s.lines.size(), 4u);
    const int crashed = sessions->front().state == SessionState::Finished ? 1 : 0;
    EXPECT_TRUE((*sessions)[crashed].running);
    EXPECT_EQ((*sessions)[crashed].state, SessionState::Stopped);
}

// A folder the log cannot be made in: the person hears why, the lines are counted as lost,
// and the window learns it without waiting.
TEST_F(SessionStoreTest, AFolderThatCannotBeWrittenIsToldAndItsLinesCounted) {
    test::CoreApp();  // Qt refuses to start under a changed user id
    test::AsNobody nobody;
    if (!nobody.active()) GTEST_SKIP() << "needs root to drop to nobody";
    Recording r(path, 100);
    r.recorder.SessionStarted(TwoPlusTwo(), 0);
    for (const LineResult& l : kLines) r.recorder.LineCompleted(l);
    r.recorder.SessionEnded(SessionState::Finished);
    ASSERT_TRUE(r.owner->WaitUntilTried(5000));
    QCoreApplication::processEvents();
    EXPECT_EQ(r.recorder.Lines().lost, 4);
    EXPECT_TRUE(r.owner->IsOff());
    // Said with the reason, or (for lines handed over after it) once at the end of the run:
    // either way, all four lines are counted.
    EXPECT_EQ(r.owner->Finish().lines, 4u);
    QCoreApplication::processEvents();
    static const QRegularExpression told(QStringLiteral("本番形式の練習の (\\d+) 行"));
    int lines = 0;
    for (const auto& shown : r.boxes.shown) {
        for (auto m = told.globalMatch(shown.text); m.hasNext();)
            lines += m.next().captured(1).toInt();
    }
    EXPECT_EQ(lines, 4);
}

TEST_F(SessionStoreTest, TheExportHasAHeaderAndOneRowPerLine) {
    Record(kLines, SessionState::Finished);
    const QString csv = dir.File("sessions.csv");
    QString error;
    ASSERT_TRUE(ExportSessionsCsv(path, csv, &error)) << error.toStdString();
    const QList<QByteArray> rows = ReadBytes(csv).split('\n');
    ASSERT_EQ(rows.size(), 6);  // the header, four lines, and the empty rest after the last
    EXPECT_EQ(rows[0].trimmed().toStdString(),
              "\xEF\xBB\xBF"
              "セッション番号,開始日時,モード,行の時間,前半・後半,行,行のモード,答えた数,正解,誤り,"
              "状態");
    EXPECT_EQ(rows[3].trimmed().toStdString(),
              "1,2026-03-04T09:08:07,交互,10,後半,1,＋,11,8,3,完了");
    EXPECT_FALSE(ExportSessionsCsv(dir.File("none.db"), dir.File("x.csv"), &error));
    EXPECT_FALSE(QFileInfo::exists(dir.File("x.csv")));
}

// A value no session can produce marks its session damaged, without lines; the others stay.
TEST_F(SessionStoreTest, HostileValuesMarkTheirSessionDamaged) {
    const char* const cases[] = {
        "UPDATE sessions SET line_seconds = 4611686018427387904 WHERE id = 1",
        "UPDATE sessions SET mode = 3 WHERE id = 1",
        "UPDATE sessions SET state = 'weird' WHERE id = 1",
        "UPDATE session_lines SET answers = 10 WHERE session_id = 1 AND half = 1 AND line = 1",
        "UPDATE session_lines SET errors = 2 WHERE session_id = 1 AND half = 1 AND line = 1",
        "UPDATE session_lines SET half = 3 WHERE session_id = 1 AND half = 2 AND line = 2",
        "DELETE FROM session_lines WHERE session_id = 1 AND half = 1 AND line = 2",
        "UPDATE session_answers SET box = 15 WHERE session_id = 1 AND seq = 2",
        "UPDATE session_answers SET ms = 10001 WHERE session_id = 1 AND seq = 7",
        "UPDATE session_answers SET ms = 5 WHERE session_id = 1 AND seq = 3",
        "UPDATE session_answers SET typed = '' WHERE session_id = 1 AND seq = 1",
        "UPDATE session_answers SET left_digit = -1 WHERE session_id = 1 AND seq = 1",
    };
    for (const char* sql : cases) {
        SCOPED_TRACE(sql);
        QFile::remove(path);
        Record(kLines, SessionState::Finished);
        Record(kLines, SessionState::Finished);
        {
            Other other(path);
            ASSERT_TRUE(other.Exec(QStringLiteral("PRAGMA foreign_keys = OFF")));
            ASSERT_TRUE(other.Exec(QString::fromUtf8(sql)));
        }
        const auto sessions = LoadSessions(path);
        ASSERT_TRUE(sessions && sessions->size() == 2u);
        EXPECT_TRUE(sessions->front().damaged);
        EXPECT_TRUE(sessions->front().lines.empty());
        EXPECT_FALSE(sessions->back().damaged);
        EXPECT_EQ(sessions->back().lines.size(), 4u);
    }
}

// A log long enough to be read in two halves at once: every session comes back once, in key
// order, whole, with the lines and answers of its own key.
TEST_F(SessionStoreTest, ALongLogReadInTwoHalvesComesBackWholeAndInOrder) {
    {
        Recording r(path);
        r.recorder.SessionStarted(TwoPlusTwo(), 0);
        r.recorder.LineCompleted(kLines[0]);
        r.recorder.SessionEnded(SessionState::Finished);
        r.Settled();
    }
    {
        Other other(path);
        ASSERT_TRUE(other.Exec(QStringLiteral("BEGIN")));
        for (int s = 2; s <= 301; ++s) {
            ASSERT_TRUE(other.Exec(
                QStringLiteral(
                    "INSERT INTO sessions VALUES (%1, '2026-03-04T09:08:07', 10, 2, 2, 0, 2, 0, 0,"
                    " 'finished')")
                    .arg(s)));
            ASSERT_TRUE(
                other.Exec(QStringLiteral("INSERT INTO session_lines VALUES (%1, 1, 1, 0, %2, 0)")
                               .arg(s)
                               .arg(s % 3 + 1)));
            for (int a = 1; a <= s % 3 + 1; ++a) {
                ASSERT_TRUE(other.Exec(QStringLiteral("INSERT INTO session_answers VALUES"
                                                      " (%1, 1, 1, %2, %3, %2, 3, 4, '7', 7, 1)")
                                           .arg(s)
                                           .arg(a)
                                           .arg(100 * a)));
            }
        }
        ASSERT_TRUE(other.Exec(QStringLiteral("COMMIT")));
    }
    QString why;
    const auto sessions = LoadSessions(path, &why);
    ASSERT_TRUE(sessions) << why.toStdString();
    ASSERT_EQ(sessions->size(), 301u);
    for (std::size_t i = 0; i < sessions->size(); ++i) {
        const StoredSession& s = (*sessions)[i];
        SCOPED_TRACE(s.id);
        EXPECT_EQ(s.id, static_cast<std::int64_t>(i + 1));
        ASSERT_FALSE(s.damaged);
        ASSERT_EQ(s.lines.size(), 1u);
        EXPECT_EQ(s.lines[0].Answers(), i == 0 ? kLines[0].Answers() : s.id % 3 + 1);
    }
}

// A small log whose lines each claim 32 767 answers and hold none: read in little memory, in a
// child under a 1 GiB address-space cap, every such session marked damaged.
TEST_F(SessionStoreTest, LinesClaimingHugeCountsAreReadInLittleMemory) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "AddressSanitizer reserves more address space than the cap";
#else
    Record(kLines, SessionState::Finished);
    {
        Other other(path);
        ASSERT_TRUE(other.Exec(QStringLiteral("BEGIN")));
        for (int s = 0; s < 300; ++s) {
            ASSERT_TRUE(other.Exec(QStringLiteral(
                "INSERT INTO sessions (started_at, line_seconds, first_lines, second_lines,"
                " rest_minutes, mode, show_marks, show_time_left, state)"
                " VALUES ('2026-03-04T09:08:07', 60, 15, 15, 5, 0, 0, 0, 'finished')")));
            for (int l = 0; l < 30; ++l) {
                ASSERT_TRUE(
                    other.Exec(QStringLiteral("INSERT INTO session_lines VALUES ((SELECT"
                                              " max(id) FROM sessions), %1, %2, 0, 32767, 0)")
                                   .arg(1 + l / 15)
                                   .arg(1 + l % 15)));
            }
        }
        ASSERT_TRUE(other.Exec(QStringLiteral("COMMIT")));
    }
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        const rlimit cap{1u << 30, 1u << 30};
        setrlimit(RLIMIT_AS, &cap);
        const auto sessions = LoadSessions(path);
        int damaged = 0;
        for (const StoredSession& s : sessions.value_or(std::vector<StoredSession>{}))
            damaged += s.damaged ? 1 : 0;
        _exit(sessions && sessions->size() == 301u && damaged == 300 ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
#endif
}

}  // namespace
}  // namespace keta
