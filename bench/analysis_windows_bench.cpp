// Opening the analysis windows over a long practice: the progress window over 32 766 saved
// results, and the weak-pairs window over 1 000 logged rounds of 300 answers. Each time is a
// cold open: the window is made, its data read from the files, computed, laid out and painted.
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
#include <vector>

#include "analysis/analysis_menu.h"
#include "analysis/pairs_window.h"
#include "analysis/progress_window.h"
#include "answer_log.h"
#include "cp932.h"
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
        const std::optional<QByteArray> line = keta::FormatRecordLine(
            {QString::asprintf("%04d/%02d/%02d", year, month, date),
             QString::asprintf("%02d:%02d:%02d", seconds / 3600, seconds / 60 % 60, seconds % 60),
             static_cast<long long>(answers), static_cast<long long>(correct),
             static_cast<long long>(wrong), QString::asprintf("%.1f%%", 100.0 * correct / answers),
             QString::asprintf("%.2f", static_cast<double>(correct) / limit) +
                 QStringLiteral("/秒"),
             QString::number(limit) + QStringLiteral("秒"),
             difference ? QStringLiteral("－") : QStringLiteral("＋")});
        out += line.value();
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
        if (log.WriteRound(round) != keta::AnswerLog::WriteResult::Written) {
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

std::map<std::string, double> medians;  // ms

template <typename Open, typename Window>
void RunOpen(benchmark::State& state, const char* name, Open open, Window window) {
    Data& data = TheData();
    const QString old = QDir::currentPath();
    QDir::setCurrent(data.dir.path());
    FixedClock clock;
    keta::Shell shell(&clock, [] {});
    shell.Form_Load();
    QCoreApplication::processEvents();
    keta::AnalysisWindows& analysis = shell.analysis();
    std::vector<double> samples;
    for (auto _ : state) {
        QElapsedTimer timer;
        timer.start();
        open(analysis);
        QWidget* w = window(analysis);
        QCoreApplication::processEvents();  // layout of the chart and the lists
        w->repaint();                       // and every pixel of it, now
        const double seconds = static_cast<double>(timer.nsecsElapsed()) * 1e-9;
        state.SetIterationTime(seconds);
        samples.push_back(seconds * 1e3);
        state.PauseTiming();
        delete w;  // the next open makes the window anew, as the first open of a run does
        QCoreApplication::processEvents();
        state.ResumeTiming();
    }
    std::sort(samples.begin(), samples.end());
    if (!samples.empty()) medians[name] = samples[samples.size() / 2];
    QDir::setCurrent(old);
}

void BM_OpenProgress(benchmark::State& state) {
    RunOpen(
        state, "progress", [](keta::AnalysisWindows& a) { a.OpenProgress(); },
        [](keta::AnalysisWindows& a) -> QWidget* { return a.Progress(); });
}
BENCHMARK(BM_OpenProgress)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(15);

void BM_OpenPairs(benchmark::State& state) {
    RunOpen(
        state, "pairs", [](keta::AnalysisWindows& a) { a.OpenPairs(); },
        [](keta::AnalysisWindows& a) -> QWidget* { return a.Pairs(); });
}
BENCHMARK(BM_OpenPairs)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(15);

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (medians.count("progress")) {
        std::printf("progress window over %d history records, median open: %.1f ms (<= 200 ms)\n",
                    kHistoryRecords, medians["progress"]);
    }
    if (medians.count("pairs")) {
        std::printf(
            "pairs window over %d logged rounds of %d answers, median open: %.1f ms "
            "(<= 200 ms)\n",
            kLoggedRounds, kAnswersPerRound, medians["pairs"]);
    }
    return 0;
}
