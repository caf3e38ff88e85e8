// The sessions in the answer log: reading 500 sessions of 30 lines for the result window, and
// what handing a completed line to the recorder costs the GUI thread at a line boundary.

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QVariant>
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "answer_log.h"
#include "log_owner.h"
#include "session_log_fill.h"
#include "session_store.h"

namespace {

using keta::bench::kAnswersPerLine;
using keta::bench::kLinesPerHalf;
constexpr int kSessions = keta::bench::kFilledSessions;

std::vector<std::string> summary;

double Quantile(std::vector<double> v, double q) {
    std::sort(v.begin(), v.end());
    return v[static_cast<std::size_t>(q * static_cast<double>(v.size() - 1))];
}

void BM_LoadSessions(benchmark::State& state) {
    QTemporaryDir dir;
    const QString path = dir.filePath(keta::AnswerLog::FileName());
    if (!keta::bench::FillSessionLog(path)) {
        state.SkipWithError("could not fill the log");
        return;
    }
    std::vector<double> ms;
    std::size_t lines = 0;
    for (auto _ : state) {
        QElapsedTimer t;
        t.start();
        const auto sessions = keta::LoadSessions(path);
        const double seconds = static_cast<double>(t.nsecsElapsed()) * 1e-9;
        state.SetIterationTime(seconds);
        ms.push_back(seconds * 1e3);
        lines = 0;
        if (!sessions) continue;
        for (const keta::StoredSession& s : *sessions) lines += s.damaged ? 0 : s.lines.size();
    }
    char text[240];
    std::snprintf(text, sizeof text,
                  "sessions, LoadSessions of %d sessions x %d lines x %d answers: median %.1f ms, "
                  "max %.1f ms (<= 200 ms (result window))%s",
                  kSessions, 2 * kLinesPerHalf, kAnswersPerLine, Quantile(ms, 0.5),
                  Quantile(ms, 1.0),
                  lines == std::size_t{kSessions} * 2 * kLinesPerHalf ? "" : " LINES MISSING");
    summary.emplace_back(text);
}
BENCHMARK(BM_LoadSessions)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

// The boundary's hand-over on the GUI thread while the recorder's thread writes the lines
// before it.
void BM_LineHandOver(benchmark::State& state) {
    QTemporaryDir dir;
    auto owner = std::make_shared<keta::LogOwner>(dir.filePath(keta::AnswerLog::FileName()));
    keta::SessionRecorder recorder(owner);
    recorder.SessionStarted(keta::SessionSettings{}, 0);
    std::vector<double> ms;
    int n = 0;
    for (auto _ : state) {
        const keta::LineResult line = keta::bench::FilledLine(1, ++n);
        QElapsedTimer t;
        t.start();
        recorder.LineCompleted(line);
        const double seconds = static_cast<double>(t.nsecsElapsed()) * 1e-9;
        state.SetIterationTime(seconds);
        ms.push_back(seconds * 1e3);
    }
    recorder.SessionEnded(keta::SessionState::Stopped);
    const bool idle = owner->WaitUntilIdle(5000);
    QCoreApplication::processEvents();
    const int unwritten = idle ? n - recorder.Lines().written : n;
    char text[200];
    std::snprintf(text, sizeof text,
                  "sessions, a completed line handed to the recorder: median %.3f ms, max %.3f ms "
                  "(part of <= 16 ms a line change)%s",
                  Quantile(ms, 0.5), Quantile(ms, 1.0), unwritten == 0 ? "" : " LINES NOT WRITTEN");
    summary.emplace_back(text);
}
BENCHMARK(BM_LineHandOver)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(15);

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    for (const std::string& line : summary) std::printf("%s\n", line.c_str());
    return 0;
}
