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
#include "practice/calendar_window.h"

namespace {

constexpr int kRounds = 1000;
constexpr int kSessions = 500;
constexpr int kLinesPerSession = 30;
constexpr int kHistoryRecords = 32766;

// A local date-time `days` before today at `hour`, as the log writes it.
QString Stamp(int days, int hour, int minute) {
    return QDateTime(QDate::currentDate().addDays(-days), QTime(hour, minute))
        .toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss"));
}

// Rounds and sessions over the last 300 days (with gaps), written in one transaction.
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
        for (int i = 0; ok && i < kRounds; ++i) {
            const int day = (i * 7) % 300;
            if (day % 11 == 3) continue;  // days without practice
            round.addBindValue(Stamp(day, 8 + i % 16, i % 60));
            round.addBindValue(i % 3 == 0 ? 120 : 60);
            ok = round.exec();
        }
        line.prepare(QStringLiteral("INSERT INTO session_lines VALUES (?, ?, ?, 0, 40, 1)"));
        for (int s = 1; ok && s <= kSessions; ++s) {
            ok = q.exec(QStringLiteral("INSERT INTO sessions VALUES (%1, '%2', 60, 15, 15, 5, 0,"
                                       " 0, 0, 'finished')")
                            .arg(s)
                            .arg(Stamp((s * 13) % 300, 20, 0)));
            for (int l = 0; ok && l < kLinesPerSession; ++l) {
                for (const int v : {s, 1 + l / 15, 1 + l % 15}) line.addBindValue(v);
                ok = line.exec();
            }
        }
        ok = ok && q.exec(QStringLiteral("COMMIT"));
    }
    QSqlDatabase::removeDatabase("fill");
    return ok && keta::SaveDailyGoal(path, 15, nullptr);
}

// Records a day apart, mostly from before the log; the file's own code page.
bool FillHistory(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly)) return false;
    QByteArray bytes;
    const QDate today = QDate::currentDate();
    for (int i = 0; i < kHistoryRecords; ++i) {
        const QDate day = today.addDays(-(kHistoryRecords - i) / 8);
        bytes +=
            "\"" + day.toString(QStringLiteral("yyyy/MM/dd")).toLatin1() +
            "\",\"10:00:00\",40,38,2,\"95.0%\",\"0.63/\x95\x62\",\"60\x95\x62\",\"\x81\x7B\"\r\n";
    }
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
            window.move(40, 40);
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
