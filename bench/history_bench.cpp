// Loading the longest history the program has ever been able to hold, and saving one more
// result onto histories of different lengths.

#include <benchmark/benchmark.h>
#include <malloc.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDateTime>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <vector>

#include "drill_state.h"
#include "history_file.h"
#include "history_model.h"
#include "qt_text.h"
#include "result_saver.h"

namespace keta {
namespace {

constexpr int kLongestHistory = 32766;

class SilentBoxes : public MessageBoxes {
public:
    Answer AskOkCancelWarning(const QString&, const QString&) override { return Answer::Ok; }
    void InformOk(const QString&, const QString&) override {}
    void ReportError(const QString&, const QString&) override { ++errors; }
    int errors = 0;
};

// `count` records of varied content, as the program writes them.
QByteArray History(int count) {
    QByteArray bytes;
    QDateTime t(QDate(2004, 5, 1), QTime(13, 5, 9));
    for (int i = 0; i < count; ++i) {
        const int monsu = 20 + i % 180, ok = monsu - i % 7, ng = monsu - ok;
        const QString line =
            QStringLiteral("\"%1\",\"%2\",%3,%4,%5,\"%6%\",\"%7/秒\",\"%8秒\",\"%9\"\r\n")
                .arg(t.toString(QStringLiteral("yyyy/MM/dd")),
                     t.toString(QStringLiteral("HH:mm:ss")))
                .arg(monsu)
                .arg(ok)
                .arg(ng)
                .arg(100.0 * ok / monsu, 0, 'f', 1)
                .arg(ok / 60.0, 0, 'f', 2)
                .arg(60)
                .arg(i % 2 ? QStringLiteral("－") : QStringLiteral("＋"));
        bytes += Cp932Bytes(line).value();
        t = t.addSecs(3607);
    }
    return bytes;
}

QString WriteHistory(const QTemporaryDir& dir, int count) {
    const QString path = dir.filePath(QStringLiteral("履歴.txt"));
    QFile f(path);
    f.open(QIODevice::WriteOnly | QIODevice::Truncate);
    f.write(History(count));
    return path;
}

void BM_LoadRireki(benchmark::State& bench) {
    QTemporaryDir dir;
    const QString path = WriteHistory(dir, kLongestHistory);
    SilentBoxes boxes;
    // The heap held by one loaded model, measured once outside the timed loop.
    {
        const std::size_t before = mallinfo2().uordblks;
        auto grid = std::make_unique<HistoryModel>();
        HistoryFile file(*grid, boxes, path);
        file.InitRireki();
        file.LoadRireki();
        const std::size_t after = mallinfo2().uordblks;
        bench.counters["model_MB"] = static_cast<double>(after - before) / (1024.0 * 1024.0);
        bench.counters["file_MB"] = static_cast<double>(QFile(path).size()) / (1024.0 * 1024.0);
    }
    for (auto _ : bench) {
        HistoryModel grid;
        HistoryFile file(grid, boxes, path);
        file.InitRireki();
        file.LoadRireki();
        if (grid.Rows() != kLongestHistory + 1 || boxes.errors != 0) {
            bench.SkipWithError("the history did not load whole");
        }
        benchmark::DoNotOptimize(grid.Rows());
    }
    bench.counters["records"] = kLongestHistory;
}
BENCHMARK(BM_LoadRireki)->Unit(benchmark::kMillisecond);

// One whole start-up of the program in a fresh process (startup_probe, built beside this
// benchmark), in a folder holding `records` saved results: its wall time and peak memory.
struct StartUp {
    double ms = 0;
    double peakMiB = 0;
};

bool RunProbe(const QString& folder, StartUp& out) {
    char self[4096] = {};
    const ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
    if (n <= 0) return false;
    std::string probe(self, static_cast<std::size_t>(n));
    probe = probe.substr(0, probe.rfind('/') + 1) + "startup_probe";
    const QByteArray cwd = QFile::encodeName(folder);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addchdir_np(&actions, cwd.constData());
    char* argv[] = {probe.data(), nullptr};
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, probe.c_str(), &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) return false;
    int status = 0;
    rusage usage{};
    if (::wait4(pid, &status, 0, &usage) != pid) return false;
    out.ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    out.peakMiB = static_cast<double>(usage.ru_maxrss) / 1024.0;  // ru_maxrss is in KiB
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

// The start-up with the longest history against the start-up with none, in alternation so that
// both meet the same machine, and the ratios the history's growth must stay within.
void CompareStartUps(double loadMs) {
    QTemporaryDir empty, full;
    for (QTemporaryDir* dir : {&empty, &full}) {
        QFile settings(dir->filePath(QStringLiteral("設定.txt")));
        (void)settings.open(QIODevice::WriteOnly);
        settings.write("60,1\r\n");
    }
    WriteHistory(empty, 0);
    WriteHistory(full, kLongestHistory);
    constexpr int kRuns = 21;
    std::vector<double> emptyMs, fullMs, emptyMiB, fullMiB;
    StartUp run;
    for (int i = 0; i < kRuns; ++i) {
        if (!RunProbe(empty.path(), run)) return (void)std::printf("startup_probe failed\n");
        emptyMs.push_back(run.ms);
        emptyMiB.push_back(run.peakMiB);
        if (!RunProbe(full.path(), run)) return (void)std::printf("startup_probe failed\n");
        fullMs.push_back(run.ms);
        fullMiB.push_back(run.peakMiB);
    }
    std::printf(
        "start-up, fresh process, median of %d: empty history %.1f ms / %.1f MiB peak, "
        "%d records %.1f ms / %.1f MiB peak\n",
        kRuns, Median(emptyMs), Median(emptyMiB), kLongestHistory, Median(fullMs), Median(fullMiB));
    std::printf("start-up with %d records / start-up with none: %.3f (<= 1.2)\n", kLongestHistory,
                Median(fullMs) / Median(emptyMs));
    std::printf("peak memory with %d records - peak with none: %.2f MiB (<= 3 MiB)\n",
                kLongestHistory, Median(fullMiB) - Median(emptyMiB));
    std::printf("loading %d records: %.2f ms (<= 3 ms)\n", kLongestHistory, loadMs);
}

// Keeps the load time for the summary.
class SummaryReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.run_type == Run::RT_Iteration && run.benchmark_name() == "BM_LoadRireki")
                loadMs = run.GetAdjustedRealTime();
        }
        ConsoleReporter::ReportRuns(runs);
    }
    double loadMs = 0;
};

// The whole save: the grid row, then one line appended to the file.
void BM_SaveResult(benchmark::State& bench) {
    QTemporaryDir dir;
    const QString path = WriteHistory(dir, static_cast<int>(bench.range(0)));
    SilentBoxes boxes;
    HistoryModel grid;
    HistoryFile file(grid, boxes, path);
    file.InitRireki();
    file.LoadRireki();
    DrillState state;
    state.intJikan = 60;
    state.intMonsu = 25;
    state.intOk = 22;
    state.intNg = 3;
    ResultSaver saver(state, grid, file, boxes, [] { return QStringLiteral("＋"); });
    const int rowsBefore = grid.Rows();
    for (auto _ : bench) saver.cmdHozon_Click();
    if (boxes.errors != 0 || grid.Rows() != rowsBefore + static_cast<int>(bench.iterations())) {
        bench.SkipWithError("a save failed");
    }
}
BENCHMARK(BM_SaveResult)->Arg(0)->Arg(kLongestHistory)->Unit(benchmark::kMicrosecond);

// The file part of a save alone.
void BM_AppendRecord(benchmark::State& bench) {
    QTemporaryDir dir;
    const QString path = WriteHistory(dir, static_cast<int>(bench.range(0)));
    SilentBoxes boxes;
    HistoryModel grid;
    HistoryFile file(grid, boxes, path);
    const QByteArray line = History(1);
    for (auto _ : bench) {
        if (!file.AppendLine(line)) bench.SkipWithError("an append failed");
    }
}
BENCHMARK(BM_AppendRecord)->Arg(0)->Arg(kLongestHistory)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace keta

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    keta::SummaryReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    keta::CompareStartUps(reporter.loadMs);
    return 0;
}
