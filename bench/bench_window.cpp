// The window's feel: start-up time with a full history against an empty one, and the time one
// keystroke in an answer box takes to be handled (scored, coloured, focus moved, labels set).
// Runs on whatever Qt platform is set; `make bench` uses offscreen.

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QKeyEvent>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <map>
#include <vector>

#include "shell.h"

namespace {

class FixedClock : public keta::Clock {
public:
    double SecondsSinceMidnight() override { return now; }
    double now = 36000.5;
};

// A working directory holding the two data files, with `records` saved results.
struct DataDir {
    QTemporaryDir dir;
    explicit DataDir(int records) {
        QFile settings(dir.filePath(QStringLiteral("設定.txt")));
        (void)settings.open(QIODevice::WriteOnly);
        settings.write("60,1\r\n");
        QByteArray history;
        history.reserve(records * 64);
        for (int n = 0; n < records; ++n) {
            history += "\"2026/12/07\",\"13:05:09\"," + QByteArray::number(25 + n % 50) +
                       ",22,3,\"88.0%\",\"0.37/\x95\x62\",\"60\x95\x62\",\"\x81\x7B\"\r\n";
        }
        QFile file(dir.filePath(QStringLiteral("履歴.txt")));
        (void)file.open(QIODevice::WriteOnly);
        file.write(history);
    }
};

void BM_StartUp(benchmark::State& state) {
    DataDir data(static_cast<int>(state.range(0)));
    const QString old = QDir::currentPath();
    QDir::setCurrent(data.dir.path());
    FixedClock clock;
    for (auto _ : state) {
        keta::Shell shell(&clock, [] {});
        shell.Form_Load();
        QCoreApplication::processEvents();  // until the window is shown and idle
        benchmark::DoNotOptimize(shell.window().state().intHaba);
        state.PauseTiming();
        shell.window().hide();
        state.ResumeTiming();
    }
    QDir::setCurrent(old);
}
BENCHMARK(BM_StartUp)->Arg(0)->Arg(32766)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// The same start-up as a user meets it: a fresh process each time, so the application object,
// the platform plugin, the fonts and the pictures are all paid for, as they are at every start.
void BM_StartUpProcess(benchmark::State& state) {
    DataDir data(static_cast<int>(state.range(0)));
    const QString probe = QCoreApplication::applicationDirPath() + QStringLiteral("/startup_probe");
    for (auto _ : state) {
        QProcess process;
        process.setWorkingDirectory(data.dir.path());
        process.start(probe, {});
        if (!process.waitForFinished(30000) || process.exitCode() != 0) {
            state.SkipWithError("the start-up probe failed");
            break;
        }
    }
}
BENCHMARK(BM_StartUpProcess)->Arg(0)->Arg(32766)->Unit(benchmark::kMillisecond)->MinTime(3.0);

// Median and p99 of each keystroke run, in microseconds, for the comparison printed at the end.
std::map<std::string, std::pair<double, double>> keystrokeFigures;

void RunKeystrokes(benchmark::State& state, bool withLog) {
    DataDir data(0);
    const QString old = QDir::currentPath();
    QDir::setCurrent(data.dir.path());
    FixedClock clock;  // never moves, so the round never times out
    keta::Shell shell(&clock, [] {});
    shell.Form_Load();
    keta::FrmMain& w = shell.window();
    // Without the log the drill runs as it did before there was one.
    if (!withLog) w.drill().AttachObserver(nullptr);
    w.drill().cmdStart_Click();
    for (int k = 0; k < 3; ++k) w.drill().tmrStart_Timer();
    QCoreApplication::processEvents();

    std::vector<double> samples;
    samples.reserve(1 << 16);
    int key = 0;
    for (auto _ : state) {
        QWidget* box = QApplication::focusWidget();
        if (box == nullptr) box = w.txtKaitou[1];
        const Qt::Key digit = static_cast<Qt::Key>(Qt::Key_0 + key++ % 10);
        QKeyEvent press(QEvent::KeyPress, digit, Qt::NoModifier,
                        QString(QChar(u'0' + digit - Qt::Key_0)));
        QKeyEvent release(QEvent::KeyRelease, digit, Qt::NoModifier, press.text());
        QElapsedTimer timer;
        timer.start();
        QApplication::sendEvent(box, &press);
        QApplication::sendEvent(box, &release);
        const double seconds = static_cast<double>(timer.nsecsElapsed()) * 1e-9;
        state.SetIterationTime(seconds);
        samples.push_back(seconds);
    }
    std::sort(samples.begin(), samples.end());
    const auto at = [&](double q) {
        return samples[static_cast<std::size_t>(q * (samples.size() - 1))];
    };
    state.counters["median_us"] = at(0.5) * 1e6;
    state.counters["p99_us"] = at(0.99) * 1e6;
    state.counters["answers"] = w.state().intMonsu;
    keystrokeFigures[withLog ? "with" : "without"] = {at(0.5) * 1e6, at(0.99) * 1e6};
    QDir::setCurrent(old);
}

void BM_Keystroke(benchmark::State& state) { RunKeystrokes(state, false); }
BENCHMARK(BM_Keystroke)->UseManualTime()->Unit(benchmark::kMicrosecond)->Iterations(5000);

// The same keystrokes with the answer log listening: each answer is noted in memory only.
void BM_KeystrokeWithLog(benchmark::State& state) { RunKeystrokes(state, true); }
BENCHMARK(BM_KeystrokeWithLog)->UseManualTime()->Unit(benchmark::kMicrosecond)->Iterations(5000);

// Prints the start-up ratio that the two start-up runs give, after the usual report.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.run_type == Run::RT_Iteration)
                seconds_[run.benchmark_name()] = run.GetAdjustedRealTime();
        }
        ConsoleReporter::ReportRuns(runs);
    }
    void Finalize() override {
        ConsoleReporter::Finalize();
        PrintRatio("in one process, warm", "BM_StartUp/0/min_time:2.000",
                   "BM_StartUp/32766/min_time:2.000");
        PrintRatio("fresh process each time", "BM_StartUpProcess/0/min_time:3.000",
                   "BM_StartUpProcess/32766/min_time:3.000");
        const auto with = keystrokeFigures.find("with");
        const auto without = keystrokeFigures.find("without");
        if (with != keystrokeFigures.end() && without != keystrokeFigures.end()) {
            const auto [median, p99] = with->second;
            const auto [median0, p990] = without->second;
            std::printf(
                "keystroke with the answer log, median: %.1f us (within 10 %% of %.1f us "
                "without: %+.1f %%)\n",
                median, median0, (median / median0 - 1) * 100);
            std::printf(
                "keystroke with the answer log, p99: %.1f us (<= 1000 us, within 10 %% of "
                "%.1f us without: %+.1f %%)\n",
                p99, p990, (p99 / p990 - 1) * 100);
        }
    }
    void PrintRatio(const char* what, const std::string& emptyName, const std::string& fullName) {
        const auto empty = seconds_.find(emptyName);
        const auto full = seconds_.find(fullName);
        if (empty != seconds_.end() && full != seconds_.end() && empty->second > 0) {
            std::printf(
                "start-up with 32766 records / empty history, %s: %.3f (%.2f ms / %.2f ms)\n", what,
                full->second / empty->second, full->second, empty->second);
        }
    }

private:
    std::map<std::string, double> seconds_;
};

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
