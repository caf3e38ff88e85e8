#include "session_store.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QVariant>

#include "answer_log.h"
#include "csv_export.h"
#include "log_schema.h"
#include "test_support.h"

namespace keta {
namespace {

using test::ReadBytes;

// A connection of the test's own, as another program would hold one.
struct Other {
    explicit Other(const QString& path) : name(QStringLiteral("other-%1").arg(++serial)) {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(path);
        EXPECT_TRUE(db.open());
    }
    ~Other() {
        QSqlDatabase::database(name).close();
        QSqlDatabase::removeDatabase(name);
    }
    bool Exec(const QString& sql) { return QSqlQuery(QSqlDatabase::database(name)).exec(sql); }
    QVariant One(const QString& sql) {
        QSqlQuery q(QSqlDatabase::database(name));
        return q.exec(sql) && q.next() ? q.value(0) : QVariant();
    }
    QString name;
    static inline int serial = 0;
};

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

struct SessionStoreTest : ::testing::Test {
    test::TestDir dir;
    QString path = dir.File("解答ログ.db");

    static QDateTime At() { return QDateTime(QDate(2026, 3, 4), QTime(9, 8, 7)); }
    void Record(const std::vector<LineResult>& lines, SessionState end) {
        SessionRecorder recorder(path, &At);
        QString why;
        ASSERT_TRUE(recorder.CheckWritable(&why)) << why.toStdString();
        recorder.SessionStarted(TwoPlusTwo(), 0);
        for (const LineResult& l : lines) recorder.LineCompleted(l);
        recorder.SessionEnded(end);
        EXPECT_EQ(recorder.UnwrittenLines(), 0);
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

// Another program holds the write lock across two boundaries: the lines wait in memory and
// all of them land once it lets go.
TEST_F(SessionStoreTest, ALockMidSessionDelaysTheLinesButLosesNone) {
    SessionRecorder recorder(path, &At, 100);
    QString why;
    ASSERT_TRUE(recorder.CheckWritable(&why)) << why.toStdString();
    recorder.SessionStarted(TwoPlusTwo(), 0);
    recorder.LineCompleted(kLines[0]);
    ASSERT_EQ(recorder.UnwrittenLines(), 0);
    {
        Other other(path);
        ASSERT_TRUE(other.Exec(QStringLiteral("BEGIN EXCLUSIVE")));
        recorder.LineCompleted(kLines[1]);
        recorder.LineCompleted(kLines[2]);
        EXPECT_EQ(recorder.UnwrittenLines(300), 2);
        ASSERT_TRUE(other.Exec(QStringLiteral("COMMIT")));
    }
    recorder.LineCompleted(kLines[3]);
    recorder.SessionEnded(SessionState::Finished);
    EXPECT_EQ(recorder.UnwrittenLines(), 0);
    const auto sessions = LoadSessions(path);
    ASSERT_TRUE(sessions && sessions->size() == 1u);
    EXPECT_EQ(sessions->front().lines.size(), 4u);
    EXPECT_EQ(sessions->front().state, SessionState::Finished);
}

// Two instances on one folder, their lines interleaved: both sessions keep every line. One
// never ends (a crash) and comes back as running, with the lines it completed; a recorder
// that was never used makes no file.
TEST_F(SessionStoreTest, TwoInstancesKeepTheirSessionsAndACrashKeepsItsLines) {
    { SessionRecorder unused(path); }
    EXPECT_FALSE(QFileInfo::exists(path));
    {
        SessionRecorder a(path, &At, 2000), b(path, &At, 2000);
        a.SessionStarted(TwoPlusTwo(), 0);
        b.SessionStarted(TwoPlusTwo(), 0);
        for (const LineResult& l : kLines) {
            a.LineCompleted(l);
            b.LineCompleted(l);
        }
        a.SessionEnded(SessionState::Finished);
        EXPECT_EQ(a.UnwrittenLines(), 0);
        EXPECT_EQ(b.UnwrittenLines(), 0);
    }
    const auto sessions = LoadSessions(path);
    ASSERT_TRUE(sessions && sessions->size() == 2u);
    for (const StoredSession& s : *sessions) EXPECT_EQ(s.lines.size(), 4u);
    const int crashed = sessions->front().state == SessionState::Finished ? 1 : 0;
    EXPECT_TRUE((*sessions)[crashed].running);
    EXPECT_EQ((*sessions)[crashed].state, SessionState::Stopped);
}

TEST_F(SessionStoreTest, AFolderThatCannotBeWrittenIsToldBeforeTheStart) {
    test::AsNobody nobody;
    if (!nobody.active()) GTEST_SKIP() << "needs root to drop to nobody";
    SessionRecorder recorder(path, &At, 100);
    QString why;
    EXPECT_FALSE(recorder.CheckWritable(&why));
    EXPECT_TRUE(why.contains(QStringLiteral("解答ログ"))) << why.toStdString();
    recorder.SessionStarted(TwoPlusTwo(), 0);
    for (const LineResult& l : kLines) recorder.LineCompleted(l);
    recorder.SessionEnded(SessionState::Finished);
    EXPECT_EQ(recorder.UnwrittenLines(200), 4);
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

}  // namespace
}  // namespace keta
