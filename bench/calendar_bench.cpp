// The practice calendar's opening over a long record: 1 000 logged rounds, 500 sessions of 30
// lines and 32 766 history records (the grid's most) — both files read, the days computed, the
// window laid out and painted. With --screenshots DIR it also photographs the window (run it
// under a real X server: xvfb-run with a window manager).

#include <QApplication>
#include <QDate>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "analysis/figure_label.h"
#include "answer_log.h"
#include "calendar_source.h"
#include "log_owner.h"
#include "practice/calendar_window.h"

namespace {

constexpr int kRounds = 1000;
constexpr int kSessions = 500;
constexpr int kLinesPerSession = 30;
constexpr int kHistoryRecords = 32766;
constexpr int kLogDays = 150;

// A local date-time `days` before today at `hour`, as the log writes it.
QString Stamp(int days, int hour, int minute) {
    return QDateTime(QDate::currentDate().addDays(-days), QTime(hour, minute))
        .toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss"));
}

// How much a day of the fixture holds: 0 on about one day in five, so that the map has gaps
// and shades rather than one colour.
int Weight(int day) { return (day * 7 + day / 9) % 5; }

// Rounds and sessions over the last 150 days, written in one transaction. Every tenth session
// ran its 30 lines; the others were stopped after a few.
bool FillLog(const QString& path) {
    if (!keta::AnswerLog(path).Open()) return false;
    bool ok = true;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), "fill");
        db.setDatabaseName(path);
        ok = db.open();
        QSqlQuery q(db), round(db), line(db);
        ok = ok && q.exec(QStringLiteral("BEGIN"));
        round.prepare(
            QStringLiteral("INSERT INTO rounds (started_at, time_limit, mode_text,"
                           " answers, correct, wrong) VALUES (?, ?, '＋', 40, 38, 2)"));
        std::vector<int> days;
        for (int day = 0; day < kLogDays; ++day) {
            for (int k = 0; k < Weight(day); ++k) days.push_back(day);
        }
        for (int i = 0; ok && i < kRounds; ++i) {
            const int day = days[static_cast<std::size_t>(i) % days.size()];
            round.addBindValue(Stamp(day, 8 + i % 16, i % 60));
            round.addBindValue(i % 3 == 0 ? 120 : 60);
            ok = round.exec();
        }
        line.prepare(QStringLiteral("INSERT INTO session_lines VALUES (?, ?, ?, 0, 40, 1)"));
        for (int s = 1; ok && s <= kSessions; ++s) {
            const int day = days[static_cast<std::size_t>(s * 7) % days.size()];
            ok = q.exec(
                QStringLiteral("INSERT INTO sessions VALUES (%1, '%2', 60, 15, 15, 5, 0,"
                               " 0, 0, '%3')")
                    .arg(s)
                    .arg(Stamp(day, 20, 0))
                    .arg(s % 10 == 0 ? QStringLiteral("finished") : QStringLiteral("stopped")));
            const int lines = s % 10 == 0 ? kLinesPerSession : 1 + s % 3;
            for (int l = 0; ok && l < lines; ++l) {
                for (const int v : {s, 1 + l / 15, 1 + l % 15}) line.addBindValue(v);
                ok = line.exec();
            }
        }
        ok = ok && q.exec(QStringLiteral("COMMIT"));
    }
    QSqlDatabase::removeDatabase("fill");
    keta::LogOwner owner(path);
    return ok && keta::SaveDailyGoal(owner, 15, nullptr) && owner.WaitUntilIdle(5000);
}

// Records from before the log, a few a day with gaps, going back as far as they last; the
// file's own code page.
bool FillHistory(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly)) return false;
    std::vector<QByteArray> lines;
    const QDate today = QDate::currentDate();
    for (int day = kLogDays; static_cast<int>(lines.size()) < kHistoryRecords; ++day) {
        const QByteArray date =
            today.addDays(-day).toString(QStringLiteral("yyyy/MM/dd")).toLatin1();
        for (int k = 0; k < 2 * Weight(day) && static_cast<int>(lines.size()) < kHistoryRecords;
             ++k)
            lines.push_back("\"" + date +
                            "\",\"10:00:00\",40,38,2,\"95.0%\",\"0.63/\x95\x62\",\"60\x95\x62\","
                            "\"\x81\x7B\"\r\n");
    }
    QByteArray bytes;
    for (auto it = lines.rbegin(); it != lines.rend(); ++it) bytes += *it;  // oldest first
    return file.write(bytes) == bytes.size();
}

void Shoot(const QString& dir, const QString& name) {
    QTest::qWait(400);  // painted and placed by the window manager
    QProcess::execute(QStringLiteral("import"),
                      {QStringLiteral("-window"), QStringLiteral("root"), QStringLiteral("-depth"),
                       QStringLiteral("8"), QDir(dir).filePath(name)});
}

}  // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    const qsizetype at = args.indexOf(QStringLiteral("--screenshots"));
    const QString shots = at >= 0 ? args.value(at + 1) : QString();
    const QString suffix =
        args.contains(QStringLiteral("--2x")) ? QStringLiteral("-2x") : QStringLiteral("-1x");
    QTemporaryDir dir;
    const QString log = dir.filePath(keta::AnswerLog::FileName());
    const QString history = dir.filePath(QStringLiteral("履歴.txt"));
    if (!FillLog(log) || !FillHistory(history)) {
        std::printf("calendar: the fixture could not be written\n");
        return 1;
    }
    std::vector<double> opens;
    for (int run = 0; run < 7; ++run) {
        QElapsedTimer t;
        t.start();
        keta::CalendarWindow window(log, history);
        window.show();
        QCoreApplication::processEvents();
        opens.push_back(static_cast<double>(t.nsecsElapsed()) / 1e6);
        if (run == 0 && !shots.isEmpty()) {
            Shoot(shots, QStringLiteral("calendar%1.png").arg(suffix));
        }
    }
    std::sort(opens.begin(), opens.end());
    std::printf(
        "calendar: opened over %d rounds, %d sessions and %d history records in %.1f ms median, "
        "%.1f ms at most of %zu (target <= 200 ms)\n",
        kRounds, kSessions, kHistoryRecords, opens[opens.size() / 2], opens.back(), opens.size());
    return 0;
}
