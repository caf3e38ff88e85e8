// A practice session on the GUI thread: how long a keystroke takes (scoring, the next box, the
// marks) and how long a line change takes (a fresh row, the cue, the line handed to the log's
// writer), driven by keys with a clock the program moves, over a real answer log.
// With --screenshots DIR it also photographs the session window while working and the result
// window (run it under a real X server: xvfb-run with a window manager).

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QSpinBox>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "analysis/figure_label.h"
#include "answer_log.h"
#include "practice/session_log_link.h"
#include "practice/session_result_window.h"
#include "practice/session_window.h"
#include "session_log_fill.h"

namespace {

class HandClock : public keta::MonotonicClock {
public:
    std::int64_t now = 0;
    std::int64_t NowMs() override { return now; }
};

void SetSpin(QWidget& w, const char* name, int value) {
    auto* spin = w.findChild<QSpinBox*>(QString::fromLatin1(name));
    spin->setFocus();
    QTest::keyClick(spin, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(spin, QString::number(value));
}

int Digit(QWidget& w, int i) {
    return w.findChild<QLabel*>(QStringLiteral("digit%1").arg(i))->text().toInt();
}

// One keystroke into the focused box: right unless `wrong`. Returns its time in ms.
double TypeOne(QWidget& w, bool wrong) {
    auto* box = qobject_cast<QLineEdit*>(QApplication::focusWidget());
    if (box == nullptr) return -1.0;
    const int b = box->objectName().mid(3).toInt();
    const bool minus =
        w.findChild<QLabel*>(QStringLiteral("modeLabel"))->text() == QStringLiteral("－");
    int answer =
        minus ? std::abs(Digit(w, b) - Digit(w, b + 1)) : (Digit(w, b) + Digit(w, b + 1)) % 10;
    if (wrong) answer = (answer + 1) % 10;
    QElapsedTimer t;
    t.start();
    QTest::keyClick(box, static_cast<char>('0' + answer));
    return static_cast<double>(t.nsecsElapsed()) / 1e6;
}

double Percentile(std::vector<double> v, double p) {
    if (v.empty()) return 0.0;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, static_cast<std::size_t>(p * static_cast<double>(v.size())))];
}

void Shoot(const QString& dir, const QString& name) {
    QTest::qWait(400);  // painted and placed by the window manager
    QProcess::execute(QStringLiteral("import"),
                      {QStringLiteral("-window"), QStringLiteral("root"), QStringLiteral("-depth"),
                       QStringLiteral("8"), QDir(dir).filePath(name)});
}

struct Run {
    std::vector<double> keys, lines;
    double end = 0.0;  // the last boundary: the end, the result window opened and painted
};

// One session of `first` + `second` lines of 60 s, per-line counts from `pattern`.
Run RunSession(const QString& log, int first, int second, const std::vector<int>& pattern,
               const QString& shots, const QString& suffix) {
    HandClock clock;
    keta::SessionWindow w(
        log, [log] { return keta::MakeSessionLogLink(log); }, &clock);
    keta::FitToScreen(w);
    w.show();
    w.activateWindow();
    [[maybe_unused]] const bool active = QTest::qWaitForWindowActive(&w);
    SetSpin(w, "lineSeconds", 60);
    SetSpin(w, "firstHalfLines", first);
    SetSpin(w, "secondHalfLines", second);
    SetSpin(w, "restMinutes", 5);
    auto* start = w.findChild<QPushButton*>(QStringLiteral("start"));
    start->setFocus();
    // Started two seconds early: the ready lights run, and line 1 starts at 0.
    clock.now = -2'000;
    QTest::keyClick(start, Qt::Key_Space);
    clock.now = 0;
    w.Tick();

    Run run;
    const int lines = first + second;
    std::int64_t at = 0;
    for (int n = 0; n < lines; ++n) {
        // The second half a little faster; a wrong answer now and then.
        const int count =
            pattern[static_cast<std::size_t>(n) % pattern.size()] + (n >= first ? 2 : 0);
        for (int k = 0; k < count; ++k) {
            const double ms = TypeOne(w, (k * 7 + n * 3) % 61 == 60);
            if (ms >= 0) run.keys.push_back(ms);
        }
        if (!shots.isEmpty() && n == 1) Shoot(shots, QStringLiteral("session%1.png").arg(suffix));
        at += 60'000;
        if (n == first - 1 && second > 0) at += 5 * 60'000 + 2'000;  // the rest and the lights
        if (n == first - 1 && second > 0) {
            clock.now = at - 2'000;  // the rest ends, the ready lights run
            w.Tick();
        }
        clock.now = at;
        QElapsedTimer t;
        t.start();
        w.Tick();
        QCoreApplication::processEvents();  // the fresh row painted
        // The last boundary ends the session and opens the result window: not a line change.
        if (w.Session()->Working()) {
            run.lines.push_back(static_cast<double>(t.nsecsElapsed()) / 1e6);
        } else {
            run.end = static_cast<double>(t.nsecsElapsed()) / 1e6;
        }
        if (w.Session()->Working()) QApplication::setActiveWindow(&w);
    }
    while (w.Result() == nullptr) QTest::qWait(20);
    if (!shots.isEmpty()) {
        while (w.Result()->ReadingEarlier()) QTest::qWait(20);
        Shoot(shots, QStringLiteral("session-result%1.png").arg(suffix));
    }
    return run;
}

using keta::bench::FilledLine;
using keta::bench::kFilledSessions;
using keta::bench::kLinesPerHalf;

// The result window of a session opened over 500 earlier ones in the same format: the log
// read, the figures computed, the window laid out and painted. Returns ms, or -1.
double ResultOpenMs() {
    QTemporaryDir dir;
    const QString log = dir.filePath(keta::AnswerLog::FileName());
    if (!keta::bench::FillSessionLog(log)) return -1.0;
    keta::ShownSession shown;
    shown.when = QStringLiteral("2026-01-02 09:00");
    for (int half = 1; half <= 2; ++half) {
        for (int l = 1; l <= kLinesPerHalf; ++l) shown.lines.push_back(FilledLine(half, l));
    }
    QElapsedTimer t;
    t.start();
    keta::SessionResultWindow window;
    window.ShowSessionReadingEarlier(shown, log, 0, 0);
    keta::FitToScreen(window);
    window.show();
    QCoreApplication::processEvents();
    const double open = static_cast<double>(t.nsecsElapsed()) / 1e6;
    while (window.ReadingEarlier()) QTest::qWait(1);
    QCoreApplication::processEvents();
    std::printf(
        "session: the earlier sessions' figures and chart in the window after %.1f ms "
        "(read off the GUI thread)\n",
        static_cast<double>(t.nsecsElapsed()) / 1e6);
    return open;
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
    const std::vector<int> earlier = {31, 27, 25, 24, 26, 28, 25, 24, 23, 27, 33, 30, 28, 27, 29};
    const std::vector<int> now = {34, 29, 27, 28, 26, 27, 25, 26, 24, 29, 36, 31, 30, 29, 32};
    Run all = RunSession(log, 15, 15, earlier, {}, {});
    const Run second = RunSession(log, 15, 15, now, shots, suffix);
    all.keys.insert(all.keys.end(), second.keys.begin(), second.keys.end());
    all.lines.insert(all.lines.end(), second.lines.begin(), second.lines.end());
    std::printf("session: %zu keystrokes, p99 %.3f ms (target <= 1 ms), max %.3f ms\n",
                all.keys.size(), Percentile(all.keys, 0.99),
                all.keys.empty() ? 0.0 : *std::max_element(all.keys.begin(), all.keys.end()));
    std::printf("session: %zu line changes, p99 %.3f ms, max %.3f ms (target <= 16 ms)\n",
                all.lines.size(), Percentile(all.lines, 0.99),
                all.lines.empty() ? 0.0 : *std::max_element(all.lines.begin(), all.lines.end()));
    std::printf(
        "session: the result window over %d earlier sessions of 30 lines opened in "
        "%.1f ms (target <= 200 ms)\n",
        kFilledSessions, ResultOpenMs());
    std::printf(
        "session: the end with the result window opened, %.3f ms (30 lines, one earlier "
        "session)\n",
        second.end);
    return 0;
}
