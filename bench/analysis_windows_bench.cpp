// Opening the analysis windows over a long practice: the progress window over 32 766 saved
// results (and the 2 000 saves of the log), and the weak-pairs window over 1 000 logged rounds
// of 300 answers. Each time is a cold open: the window is made, its data read from the files,
// computed, laid out and painted.
// Runs on whatever Qt platform is set; `make bench` uses offscreen.

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <map>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "analysis/analysis_menu.h"
#include "analysis/pairs_window.h"
#include "analysis/progress_window.h"
#include "analysis/work_curve_window.h"
#include "answer_log.h"
#include "answer_log_rounds.h"
#include "qt_text.h"
#include "record_line.h"
#include "shell.h"

namespace {

constexpr int kHistoryRecords = 32766;
constexpr int kLoggedRounds = 1000;
constexpr int kAnswersPerRound = 300;

class FixedClock : public keta::Clock {
public:
    double SecondsSinceMidnight() override { return 36000.5; }
};

void WriteFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        std::exit(1);
    }
}

// Results over three years, most of them in one mode and limit so that one series is long.
QByteArray History(int records) {
    std::mt19937 random(7);
    QByteArray out;
    out.reserve(records * 72);
    for (int n = 0; n < records; ++n) {
        const int day = n * 3 * 365 / records;
        const int year = 2023 + day / 365, month = 1 + day % 365 / 31 % 12, date = 1 + day % 28;
        const int seconds = 8 * 3600 + n % 40000;
        const bool difference = n % 5 == 4;
        const int limit = n % 7 == 6 ? 30 : 60;
        const int answers = 80 + static_cast<int>(random() % 120);
        const int wrong = static_cast<int>(random() % 12);
        const int correct = answers - wrong;
        const auto text = [](const QString& t) { return t.toStdU16String(); };
        const std::optional<std::string> line = keta::FormatRecordLine(
            {text(QString::asprintf("%04d/%02d/%02d", year, month, date)),
             text(QString::asprintf("%02d:%02d:%02d", seconds / 3600, seconds / 60 % 60,
                                    seconds % 60)),
             static_cast<long long>(answers), static_cast<long long>(correct),
             static_cast<long long>(wrong),
             text(QString::asprintf("%.1f%%", 100.0 * correct / answers)),
             text(QString::asprintf("%.2f", static_cast<double>(correct) / limit) +
                  QStringLiteral("/秒")),
             text(QString::number(limit) + QStringLiteral("秒")),
             text(difference ? QStringLiteral("－") : QStringLiteral("＋"))});
        out += keta::ToQByteArray(line.value());
    }
    return out;
}

void WriteLog(const QString& path) {
    keta::AnswerLog log(path);
    std::mt19937 random(11);
    for (int r = 0; r < kLoggedRounds; ++r) {
        keta::analysis::RoundRecord round;
        round.startedAt = "2025-01-01T10:00:00";
        round.timeLimit = 60;
        round.modeText = r % 3 == 2 ? "\xEF\xBC\x8D" : "\xEF\xBC\x8B";
        std::int64_t ms = 0;
        for (int k = 0; k < kAnswersPerRound; ++k) {
            keta::analysis::AnswerRecord a;
            ms += 120 + static_cast<std::int64_t>(random() % 300);
            a.ms = ms;
            a.box = 1 + k % 14;
            a.left = static_cast<int>(random() % 10);
            a.right = static_cast<int>(random() % 10);
            a.expected = r % 3 == 2 ? std::abs(a.left - a.right) : (a.left + a.right) % 10;
            a.correct = random() % 10 != 0;
            a.typed = std::to_string(a.correct ? a.expected : (a.expected + 1) % 10);
            round.events.push_back(a);
            ++round.answers;
            ++(a.correct ? round.correct : round.wrong);
        }
        // Saved at its end and again by hand, as a person does: the progress window looks the
        // saves up at every open.
        const int second = 10 * 3600 + r * 20;
        const auto stamp = [](int at) {
            return QString::asprintf("%02d:%02d:%02d", at / 3600, at / 60 % 60, at % 60);
        };
        const std::vector<keta::SaveStamp> saves{{QStringLiteral("2025/01/01"), stamp(second)},
                                                 {QStringLiteral("2025/01/01"), stamp(second + 4)}};
        if (log.WriteRound(round, saves) != keta::AnswerLog::WriteResult::Written) {
            std::fprintf(stderr, "cannot write the answer log: %s\n", qPrintable(log.LastError()));
            std::exit(1);
        }
    }
}

struct Data {
    QTemporaryDir dir;
    Data() {
        WriteFile(dir.filePath(QStringLiteral("設定.txt")), "60,1\r\n");
        WriteFile(dir.filePath(QStringLiteral("履歴.txt")), History(kHistoryRecords));
        WriteLog(dir.filePath(keta::AnswerLog::FileName()));
    }
};

Data& TheData() {
    static Data data;
    return data;
}

// Resident memory of this process now and at its peak, in MB (Linux).
std::pair<double, double> ResidentMb() {
    QFile status(QStringLiteral("/proc/self/status"));
    double now = 0.0, peak = 0.0;
    if (status.open(QIODevice::ReadOnly)) {
        for (const QByteArray& line : status.readAll().split('\n')) {
            const QList<QByteArray> parts = line.simplified().split(' ');
            if (parts.size() < 2) continue;
            if (parts[0] == "VmRSS:") now = parts[1].toDouble() / 1024.0;
            if (parts[0] == "VmHWM:") peak = parts[1].toDouble() / 1024.0;
        }
    }
    return {now, peak};
}

struct ProgressFigures {
    std::vector<double> mapped;  // open() until the window is painted (busy or with figures)
    std::vector<double> shown;   // open() until the chart and figures are painted
    std::vector<double> stalls;  // per open, the longest stretch the GUI thread was busy
    double addedMb = 0.0;        // resident memory added by the open window
} progressFigures;

// The progress window reads and computes a long history on a thread of its own; the GUI thread
// opens the window, shows that it is busy, and later lays out the chart and the figures. Each
// stretch of GUI work is timed on its own: the longest is how long the main window could not
// answer a key or a repaint.
void BM_OpenProgress(benchmark::State& state) {
    Data& data = TheData();
    const QString old = QDir::currentPath();
    QDir::setCurrent(data.dir.path());
    FixedClock clock;
    keta::Shell shell(&clock, [] {});
    shell.Form_Load();
    QCoreApplication::processEvents();
    keta::AnalysisWindows& analysis = shell.analysis();
    const double before = ResidentMb().first;
    for (auto _ : state) {
        QElapsedTimer total;
        total.start();
        QElapsedTimer stretch;
        stretch.start();
        analysis.OpenProgress();
        keta::ProgressWindow* window = analysis.Progress();
        QCoreApplication::processEvents();
        window->repaint();
        double longest = static_cast<double>(stretch.nsecsElapsed()) * 1e-6;
        progressFigures.mapped.push_back(longest);
        while (window->IsBusy()) {
            std::this_thread::sleep_for(std::chrono::microseconds(500));
            stretch.restart();
            QCoreApplication::processEvents();
            if (!window->IsBusy()) window->repaint();
            longest = std::max(longest, static_cast<double>(stretch.nsecsElapsed()) * 1e-6);
        }
        const double seconds = static_cast<double>(total.nsecsElapsed()) * 1e-9;
        state.SetIterationTime(seconds);
        progressFigures.shown.push_back(seconds * 1e3);
        progressFigures.stalls.push_back(longest);
        state.PauseTiming();
        progressFigures.addedMb = ResidentMb().first - before;
        delete window;  // the next open makes the window anew, as the first open of a run does
        QCoreApplication::processEvents();
        state.ResumeTiming();
    }
    QDir::setCurrent(old);
}
BENCHMARK(BM_OpenProgress)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(15);

struct PairsFigures {
    std::vector<double> mapped;   // open() until the window is painted, saying "集計中…"
    std::vector<double> counted;  // open() until the figures are painted
    double longestStallMs = 0.0;  // the longest stretch the GUI thread spent without returning
    double addedMb = 0.0;         // resident memory added by the open window, after the count
} pairsFigures;

// The weak-pairs window counts on a thread of its own; the GUI thread only opens the window,
// shows "集計中…" and later the figures. Each stretch of GUI work is timed on its own: the
// longest is how long the main window could not answer a key or a repaint.
void BM_OpenPairs(benchmark::State& state) {
    Data& data = TheData();
    const QString old = QDir::currentPath();
    QDir::setCurrent(data.dir.path());
    FixedClock clock;
    keta::Shell shell(&clock, [] {});
    shell.Form_Load();
    QCoreApplication::processEvents();
    keta::AnalysisWindows& analysis = shell.analysis();
    const double before = ResidentMb().first;
    for (auto _ : state) {
        QElapsedTimer total;
        total.start();
        QElapsedTimer stretch;
        stretch.start();
        analysis.OpenPairs();
        keta::PairsWindow* window = analysis.Pairs();
        window->repaint();
        double longest = static_cast<double>(stretch.nsecsElapsed()) * 1e-6;
        pairsFigures.mapped.push_back(longest);
        while (window->IsBusy()) {
            std::this_thread::sleep_for(std::chrono::microseconds(500));
            stretch.restart();
            QCoreApplication::processEvents();
            if (!window->IsBusy()) window->repaint();
            longest = std::max(longest, static_cast<double>(stretch.nsecsElapsed()) * 1e-6);
        }
        const double seconds = static_cast<double>(total.nsecsElapsed()) * 1e-9;
        state.SetIterationTime(seconds);
        pairsFigures.counted.push_back(seconds * 1e3);
        pairsFigures.longestStallMs = std::max(pairsFigures.longestStallMs, longest);
        state.PauseTiming();
        pairsFigures.addedMb = ResidentMb().first - before;
        delete window;  // the next open makes the window anew, as the first open of a run does
        QCoreApplication::processEvents();
        state.ResumeTiming();
    }
    QDir::setCurrent(old);
}
BENCHMARK(BM_OpenPairs)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(15);

std::vector<double> reopenStalls, pairsCloseStalls;

// Windows that read on a thread of their own and are reopened or closed while the read runs:
// the GUI thread's time for the second open of 上達の記録 and for closing 苦手な数字の組 in
// the middle of its scan. A stale read is told to stop, not waited out.
void BM_LeaveALongRead(benchmark::State& state) {
    Data& data = TheData();
    const QString old = QDir::currentPath();
    QDir::setCurrent(data.dir.path());
    FixedClock clock;
    keta::Shell shell(&clock, [] {});
    shell.Form_Load();
    QCoreApplication::processEvents();
    keta::AnalysisWindows& analysis = shell.analysis();
    for (auto _ : state) {
        analysis.OpenProgress();
        keta::ProgressWindow* progress = analysis.Progress();
        QElapsedTimer t;
        t.start();
        analysis.OpenProgress();  // again, while the first read runs
        const double reopen = static_cast<double>(t.nsecsElapsed()) * 1e-6;
        reopenStalls.push_back(reopen);
        analysis.OpenPairs();
        keta::PairsWindow* pairs = analysis.Pairs();
        std::this_thread::sleep_for(std::chrono::milliseconds(20));  // well into the scan
        t.restart();
        delete pairs;
        const double close = static_cast<double>(t.nsecsElapsed()) * 1e-6;
        pairsCloseStalls.push_back(close);
        state.SetIterationTime((reopen + close) * 1e-3);
        state.PauseTiming();
        while (progress->IsBusy()) QCoreApplication::processEvents();
        delete progress;
        QCoreApplication::processEvents();
        state.ResumeTiming();
    }
    QDir::setCurrent(old);
}
BENCHMARK(BM_LeaveALongRead)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(15);

std::vector<double> curveOpen, curveStep;

// The work curve of one logged round: the list of every round, the round read and computed,
// the window laid out and painted; then a step to the next round with 次の回.
void BM_WorkCurve(benchmark::State& state) {
    Data& data = TheData();
    const QString path = data.dir.filePath(keta::AnswerLog::FileName());
    // As the program reads it: a read-only connection per read, no check of the whole file.
    const auto load = [&path](std::int64_t id) { return keta::LoadLoggedRound(path, id); };
    std::int64_t id = 1;
    for (auto _ : state) {
        QElapsedTimer timer;
        timer.start();
        auto* window = new keta::WorkCurveWindow;
        window->SetLoggedRounds(
            keta::ListLoggedRounds(path).value_or(std::vector<keta::LoggedRound>{}), load);
        const std::optional<keta::analysis::RoundRecord> round = load(id);
        if (!round) {
            state.SkipWithError("no round");
            break;
        }
        window->ShowRound(*round, keta::analysis::StartStamp(*round));
        window->show();
        QCoreApplication::processEvents();
        window->repaint();
        curveOpen.push_back(static_cast<double>(timer.nsecsElapsed()) * 1e-6);
        timer.restart();
        window->StepBy(1);
        QCoreApplication::processEvents();
        window->repaint();
        const double step = static_cast<double>(timer.nsecsElapsed()) * 1e-6;
        curveStep.push_back(step);
        state.SetIterationTime(curveOpen.back() * 1e-3);
        state.PauseTiming();
        delete window;
        QCoreApplication::processEvents();
        id += 37;
        state.ResumeTiming();
    }
}
BENCHMARK(BM_WorkCurve)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(15);

double Median(std::vector<double> samples) {
    if (samples.empty()) return 0.0;
    std::sort(samples.begin(), samples.end());
    return samples[samples.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (!progressFigures.shown.empty()) {
        std::printf(
            "progress window over %d history records: median map %.1f ms, median figures shown "
            "%.1f ms (<= 200 ms), main-window stall per open: median %.1f ms, longest %.1f ms "
            "(<= 50 ms), %.1f MB resident added with the window open\n",
            kHistoryRecords, Median(progressFigures.mapped), Median(progressFigures.shown),
            Median(progressFigures.stalls),
            *std::max_element(progressFigures.stalls.begin(), progressFigures.stalls.end()),
            progressFigures.addedMb);
    }
    if (!pairsFigures.counted.empty()) {
        std::printf(
            "pairs window over %d logged rounds of %d answers: median map %.1f ms (<= 200 ms), "
            "median figures shown %.1f ms, longest main-window stall %.1f ms (<= 50 ms), "
            "%.1f MB resident added with the window open\n",
            kLoggedRounds, kAnswersPerRound, Median(pairsFigures.mapped),
            Median(pairsFigures.counted), pairsFigures.longestStallMs, pairsFigures.addedMb);
    }
    if (!reopenStalls.empty()) {
        std::printf(
            "progress window reopened during its read of %d records: GUI thread median %.1f ms, "
            "longest %.1f ms (<= 16 ms)\n",
            kHistoryRecords, Median(reopenStalls),
            *std::max_element(reopenStalls.begin(), reopenStalls.end()));
        std::printf(
            "pairs window closed during its scan of %d rounds: GUI thread median %.1f ms, longest "
            "%.1f ms (<= 16 ms)\n",
            kLoggedRounds, Median(pairsCloseStalls),
            *std::max_element(pairsCloseStalls.begin(), pairsCloseStalls.end()));
    }
    if (!curveOpen.empty()) {
        std::printf(
            "work curve over %d logged rounds: median open %.1f ms (<= 200 ms), longest %.1f ms "
            "(<= 50 ms stall), median step to the next round %.1f ms\n",
            kLoggedRounds, Median(curveOpen), *std::max_element(curveOpen.begin(), curveOpen.end()),
            Median(curveStep));
    }
    return 0;
}
