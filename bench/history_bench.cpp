// Loading the longest history the program has ever been able to hold, and saving one more
// result onto histories of different lengths. The start-up with that history is in
// startup_bench.cpp.

#include <benchmark/benchmark.h>
#include <malloc.h>

#include <QFile>
#include <QTemporaryDir>
#include <cstdio>
#include <memory>

#include "drill_state.h"
#include "history_file.h"
#include "history_lines.h"
#include "history_model.h"
#include "result_saver.h"

namespace keta {
namespace {

class SilentBoxes : public MessageBoxes {
public:
    Answer AskOkCancelWarning(const QString&, const QString&) override { return Answer::Ok; }
    void InformOk(const QString&, const QString&) override {}
    void ReportError(const QString&, const QString&) override { ++errors; }
    int errors = 0;
};

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
    std::printf("loading %d records: %.2f ms (<= 3 ms)\n", keta::kLongestHistory, reporter.loadMs);
    return 0;
}
