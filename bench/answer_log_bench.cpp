// The answer log's costs: what the close of a round costs the GUI thread (the hand-over to the
// log's own thread), writing a round of 300 answers there, and loading 1 000 such rounds for
// the figures that read every answer.

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "answer_log.h"
#include "calendar_source.h"
#include "log_owner.h"
#include "round_recorder.h"
#include "session_store.h"

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

// A log of 1 000 rounds of 300 answers at `path`.
bool SeedThousandRounds(const QString& path) {
    keta::AnswerLog seed(path);
    const keta::analysis::RoundRecord round = Round300();
    for (int k = 0; k < 1000; ++k) {
        keta::analysis::RoundRecord r = round;
        if (seed.WriteRound(r) != keta::AnswerLog::WriteResult::Written) return false;
    }
    return true;
}

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
    if (!SeedThousandRounds(path)) {
        state.SkipWithError("seeding the log failed");
        return;
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

// What a synced commit costs: a round of 300 answers written in one transaction through a
// plain connection, with every commit synced (synchronous = FULL, the log's setting) and with
// the journal's default in WAL mode (NORMAL, no sync at a commit).
void BM_DurableCommit(benchmark::State& state) {
    const bool full = state.range(0) == 1;
    QTemporaryDir dir;
    const QByteArray path = QFile::encodeName(dir.filePath(QStringLiteral("commit.db")));
    sqlite3* h = nullptr;
    sqlite3_open(path.constData(), &h);
    sqlite3_exec(h, "PRAGMA journal_mode = WAL", nullptr, nullptr, nullptr);
    sqlite3_exec(h, full ? "PRAGMA synchronous = FULL" : "PRAGMA synchronous = NORMAL", nullptr,
                 nullptr, nullptr);
    sqlite3_exec(h,
                 "CREATE TABLE answers (round INTEGER, seq INTEGER, ms INTEGER, box INTEGER,"
                 " left_digit INTEGER, right_digit INTEGER, typed TEXT, expected INTEGER,"
                 " correct INTEGER)",
                 nullptr, nullptr, nullptr);
    sqlite3_stmt* insert = nullptr;
    sqlite3_prepare_v2(h, "INSERT INTO answers VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)", -1, &insert,
                       nullptr);
    const keta::analysis::RoundRecord round = Round300();
    std::vector<double> ms;
    int n = 0;
    for (auto _ : state) {
        QElapsedTimer t;
        t.start();
        sqlite3_exec(h, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
        ++n;
        int seq = 0;
        for (const keta::analysis::AnswerRecord& a : round.events) {
            sqlite3_bind_int(insert, 1, n);
            sqlite3_bind_int(insert, 2, seq++);
            sqlite3_bind_int64(insert, 3, a.ms);
            sqlite3_bind_int(insert, 4, a.box);
            sqlite3_bind_int(insert, 5, a.left);
            sqlite3_bind_int(insert, 6, a.right);
            sqlite3_bind_text(insert, 7, a.typed.c_str(), -1, SQLITE_TRANSIENT);
            sqlite3_bind_int(insert, 8, a.expected);
            sqlite3_bind_int(insert, 9, a.correct ? 1 : 0);
            sqlite3_step(insert);
            sqlite3_reset(insert);
        }
        sqlite3_exec(h, "COMMIT", nullptr, nullptr, nullptr);
        const double seconds = static_cast<double>(t.nsecsElapsed()) * 1e-9;
        state.SetIterationTime(seconds);
        ms.push_back(seconds * 1e3);
    }
    sqlite3_finalize(insert);
    sqlite3_close(h);
    static double normalMedian = 0.0;
    if (!full) {
        normalMedian = Quantile(ms, 0.5);
        return;
    }
    char line[240];
    std::snprintf(line, sizeof line,
                  "answer log, a round of 300 answers committed with every commit synced: median "
                  "%.3f ms, p99 %.3f ms; unsynced (WAL, NORMAL): median %.3f ms; the sync adds "
                  "%.3f ms a round, on the log's thread",
                  Quantile(ms, 0.5), Quantile(ms, 0.99), normalMedian,
                  Quantile(ms, 0.5) - normalMedian);
    summary.emplace_back(line);
}
BENCHMARK(BM_DurableCommit)
    ->Arg(0)
    ->Arg(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(200);

// The GUI thread's share of every kind of write handed to the log's owner, each on a fresh
// owner of a 1 000-round log whose first open and check are still running on its thread: a
// round's close and save, the daily goal, a session's start and its first line.
void BM_HandOversToTheOwner(benchmark::State& state) {
    QTemporaryDir dir;
    const QString path = dir.filePath(keta::AnswerLog::FileName());
    if (!SeedThousandRounds(path)) {
        state.SkipWithError("seeding the log failed");
        return;
    }
    const keta::analysis::RoundRecord round = Round300();
    keta::LineResult line{1, 1, false, 0, {}};
    for (int k = 0; k < 40; ++k) line.answers.push_back({500 * k, k % 14 + 1, 3, 4, "7", 7, true});
    std::vector<double> rounds, goals, sessions;
    bool allWritten = true;
    for (auto _ : state) {
        auto owner = std::make_shared<keta::LogOwner>(path);
        keta::RoundRecorder recorder(*owner);
        keta::SessionRecorder session(owner);
        owner->OpenSoon();
        recorder.PlayStarted();
        for (const keta::analysis::AnswerRecord& a : round.events)
            recorder.AnswerScored(a.box, a.left, a.right, a.typed, a.expected, a.correct);
        QElapsedTimer t;
        t.start();
        recorder.RoundClosed({300, 257, 43, 180, "＋"});
        recorder.ResultSaved(QStringLiteral("2026/01/02"), QStringLiteral("10:03:00"));
        rounds.push_back(static_cast<double>(t.nsecsElapsed()) * 1e-6);
        t.restart();
        (void)keta::SaveDailyGoal(*owner, 20, nullptr);
        goals.push_back(static_cast<double>(t.nsecsElapsed()) * 1e-6);
        t.restart();
        session.SessionStarted(keta::SessionSettings{}, 0);
        session.LineCompleted(line);
        sessions.push_back(static_cast<double>(t.nsecsElapsed()) * 1e-6);
        state.SetIterationTime((rounds.back() + goals.back() + sessions.back()) * 1e-3);
        state.PauseTiming();
        QCoreApplication::processEvents();
        allWritten = allWritten && owner->WaitUntilIdle(10000) && owner->Finish().Empty();
        QCoreApplication::processEvents();
        state.ResumeTiming();
    }
    char text[320];
    std::snprintf(text, sizeof text,
                  "answer log owner, GUI thread's time while the first check of a 1000-round log "
                  "runs: a round's close and save max %.3f ms, the daily goal max %.3f ms, a "
                  "session's start and first line max %.3f ms (<= 16 ms)%s",
                  Quantile(rounds, 1.0), Quantile(goals, 1.0), Quantile(sessions, 1.0),
                  allWritten ? "" : " NOT ALL WRITTEN");
    summary.emplace_back(text);
}
BENCHMARK(BM_HandOversToTheOwner)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    for (const std::string& line : summary) std::printf("%s\n", line.c_str());
    return 0;
}
