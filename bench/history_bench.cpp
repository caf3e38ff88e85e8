// Loading the longest history the program has ever been able to hold, and saving one more
// result onto histories of different lengths.

#include <benchmark/benchmark.h>
#include <malloc.h>

#include <QDateTime>
#include <QFile>
#include <QTemporaryDir>
#include <memory>

#include "cp932.h"
#include "drill_state.h"
#include "history_file.h"
#include "history_model.h"
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
        bytes += EncodeCp932(line).value();
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

BENCHMARK_MAIN();
