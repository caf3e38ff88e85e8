// The answer log's costs: what the close of a round costs the GUI thread (the hand-over to the
// log's own thread), writing a round of 300 answers there, and loading 1 000 such rounds for
// the figures that read every answer.

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "answer_log.h"
#include "log_owner.h"
#include "round_recorder.h"

namespace {

keta::analysis::RoundRecord Round300() {
    keta::analysis::RoundRecord r;
    r.startedAt = "2026-01-02T10:00:00";
    r.timeLimit = 180;
    r.modeText = "＋";
    for (int k = 0; k < 300; ++k) {
        keta::analysis::AnswerRecord a;
        a.ms = 600 * k;
        a.box = k % 14 + 1;
        a.left = k % 10;
        a.right = (k * 3) % 10;
        a.expected = (a.left + a.right) % 10;
        a.correct = k % 7 != 0;
        a.typed = std::to_string(a.correct ? a.expected : 0);
        r.events.push_back(a);
    }
    r.answers = 300;
    r.correct = 257;
    r.wrong = 43;
    return r;
}

std::vector<std::string> summary;

double Quantile(std::vector<double> v, double q) {
    std::sort(v.begin(), v.end());
    return v[static_cast<std::size_t>(q * static_cast<double>(v.size() - 1))];
}

void BM_WriteRoundOf300(benchmark::State& state) {
    QTemporaryDir dir;
    keta::AnswerLog log(dir.filePath(keta::AnswerLog::FileName()));
    (void)log.Open();
    const keta::analysis::RoundRecord round = Round300();
    std::vector<double> ms;
    for (auto _ : state) {
        keta::analysis::RoundRecord r = round;
        QElapsedTimer t;
        t.start();
        if (log.WriteRound(r) != keta::AnswerLog::WriteResult::Written) {
            state.SkipWithError("the round was not written");
            return;
        }
        const double seconds = static_cast<double>(t.nsecsElapsed()) * 1e-9;
        state.SetIterationTime(seconds);
        ms.push_back(seconds * 1e3);
    }
    state.counters["median_ms"] = Quantile(ms, 0.5);
    state.counters["p99_ms"] = Quantile(ms, 0.99);
    char line[160];
    std::snprintf(line, sizeof line,
                  "answer log, write a round of 300 answers at the close: median %.2f ms, "
                  "p99 %.2f ms (<= 20 ms)",
                  Quantile(ms, 0.5), Quantile(ms, 0.99));
    summary.emplace_back(line);
}
BENCHMARK(BM_WriteRoundOf300)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(300);

void BM_LoadAllRoundsOf1000x300(benchmark::State& state) {
    QTemporaryDir dir;
    keta::AnswerLog log(dir.filePath(keta::AnswerLog::FileName()));
    const keta::analysis::RoundRecord round = Round300();
    for (int k = 0; k < 1000; ++k) {
        keta::analysis::RoundRecord r = round;
        if (log.WriteRound(r) != keta::AnswerLog::WriteResult::Written) {
            state.SkipWithError("seeding the log failed");
            return;
        }
    }
    {
        // Opening runs the quick integrity check, once per run, at the first close.
        keta::AnswerLog fresh(dir.filePath(keta::AnswerLog::FileName()));
        QElapsedTimer t;
        t.start();
        const bool opened = fresh.Open();
        char line[160];
        std::snprintf(line, sizeof line,
                      "answer log, first open of 1000 rounds of 300 answers with its check: "
                      "%.1f ms%s (on the log's own thread, after the window is shown)",
                      static_cast<double>(t.nsecsElapsed()) * 1e-6, opened ? "" : " FAILED");
        summary.emplace_back(line);
    }
    std::vector<double> ms;
    std::size_t answers = 0;
    for (auto _ : state) {
        QElapsedTimer t;
        t.start();
        const std::vector<keta::analysis::RoundRecord> all = log.LoadAllRounds();
        const double seconds = static_cast<double>(t.nsecsElapsed()) * 1e-9;
        state.SetIterationTime(seconds);
        ms.push_back(seconds * 1e3);
        answers = 0;
        for (const auto& r : all) answers += r.events.size();
    }
    state.counters["answers"] = static_cast<double>(answers);
    char line[160];
    std::snprintf(line, sizeof line,
                  "answer log, load 1000 rounds of 300 answers (%zu answers): median %.1f ms "
                  "(< 200 ms)",
                  answers, Quantile(ms, 0.5));
    summary.emplace_back(line);
}
BENCHMARK(BM_LoadAllRoundsOf1000x300)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(10);

// Counts the warnings instead of showing them; there should be none.
class QuietBoxes : public keta::MessageBoxes {
public:
    Answer AskOkCancelWarning(const QString&, const QString&) override {
        ++shown;
        return Answer::Ok;
    }
    void InformOk(const QString&, const QString&) override { ++shown; }
    void ReportError(const QString&, const QString&) override { ++shown; }
    int shown = 0;
};

// The GUI thread's share of the log at a close: the round handed over and its auto-save noted,
// on a log of 1 000 rounds. The first close comes right after the window asked for the log to
// be opened, while its check may still run on the log's thread.
void BM_CloseOnTheGuiThread(benchmark::State& state) {
    QTemporaryDir dir;
    const QString path = dir.filePath(keta::AnswerLog::FileName());
    {
        keta::AnswerLog seed(path);
        const keta::analysis::RoundRecord round = Round300();
        for (int k = 0; k < 1000; ++k) {
            keta::analysis::RoundRecord r = round;
            if (seed.WriteRound(r) != keta::AnswerLog::WriteResult::Written) {
                state.SkipWithError("seeding the log failed");
                return;
            }
        }
    }
    QuietBoxes boxes;
    QObject context;
    keta::LogOwner writer(path);
    writer.Listen(&context, &boxes);
    keta::RoundRecorder recorder(writer);
    const keta::analysis::RoundRecord round = Round300();
    writer.OpenSoon();
    std::vector<double> ms;
    for (auto _ : state) {
        recorder.PlayStarted();
        for (const keta::analysis::AnswerRecord& a : round.events)
            recorder.AnswerScored(a.box, a.left, a.right, a.typed, a.expected, a.correct);
        QElapsedTimer t;
        t.start();
        recorder.RoundClosed({300, 257, 43, 180, "＋"});
        recorder.ResultSaved(QStringLiteral("2026/01/02"), QStringLiteral("10:03:00"));
        const double seconds = static_cast<double>(t.nsecsElapsed()) * 1e-9;
        state.SetIterationTime(seconds);
        ms.push_back(seconds * 1e3);
        // Back in the event loop, which wakes the log's thread. Rounds are seconds apart: it is
        // done before the next close.
        QCoreApplication::processEvents();
        if (!writer.WaitUntilIdle(10000)) {
            state.SkipWithError("the log's thread did not finish");
            return;
        }
    }
    const std::size_t unwritten = writer.Finish().rounds + writer.PendingRounds();
    char line[200];
    std::snprintf(line, sizeof line,
                  "answer log, GUI thread's time at a close with a 1000-round log: first %.3f ms, "
                  "median %.3f ms, p90 %.3f ms, max %.3f ms (<= 2 ms)%s",
                  ms.front(), Quantile(ms, 0.5), Quantile(ms, 0.9), Quantile(ms, 1.0),
                  unwritten == 0 && boxes.shown == 0 ? "" : " ROUNDS NOT WRITTEN");
    summary.emplace_back(line);
}
BENCHMARK(BM_CloseOnTheGuiThread)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(50);

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    for (const std::string& line : summary) std::printf("%s\n", line.c_str());
    return 0;
}
