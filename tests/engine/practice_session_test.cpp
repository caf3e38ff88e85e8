// A session in the written test's format, driven by a fake clock.

#include "practice_session.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

namespace keta::test {
namespace {

struct FakeMonotonic : MonotonicClock {
    std::int64_t now = 5'000;
    std::int64_t NowMs() override { return now; }
};

// Every row is 3 8 3 8 ...: the sum of a pair is 1, the difference 5.
struct FixedDigits : DigitSource {
    int deals = 0;
    DigitRow NextRow() override {
        ++deals;
        DigitRow row{};
        for (std::size_t j = 0; j < row.size(); ++j) row[j] = j % 2 == 0 ? 3 : 8;
        return row;
    }
};

struct Recorder : SessionView, SessionObserver {
    std::vector<std::string> log;
    std::string label;
    std::vector<LineResult> committed;
    std::vector<SessionState> ended;
    void ShowRow(const DigitRow&, bool difference) override {
        log.push_back(difference ? "row-" : "row+");
    }
    void MarkBox(int box, bool ok) override {
        log.push_back("mark" + std::to_string(box) + (ok ? "ok" : "ng"));
    }
    void FocusBox(int box) override { log.push_back("focus" + std::to_string(box)); }
    void LineChanged() override { log.push_back("cue"); }
    void SetLineLabel(const std::string& text) override { label = text; }
    void ShowTimeLeft(int s) override { log.push_back("left" + std::to_string(s)); }
    void ShowRestCountdown(int s) override { log.push_back("rest" + std::to_string(s)); }
    void ShowReadySignal(int step) override { log.push_back("light" + std::to_string(step)); }
    void ShowFinished(bool stopped) override { log.push_back(stopped ? "stopped" : "finished"); }
    void SessionStarted(const SessionSettings&, std::int64_t) override {}
    void LineCompleted(const LineResult& line) override { committed.push_back(line); }
    void SessionEnded(SessionState state) override { ended.push_back(state); }
    int Count(const std::string& entry) const {
        return static_cast<int>(std::count(log.begin(), log.end(), entry));
    }
};

struct Session : ::testing::Test {
    FakeMonotonic clock;
    FixedDigits digits;
    Recorder rec;
    PracticeSession session{rec, clock, digits};

    void Begin(int lineSeconds, int first, int second, int rest,
               SessionMode mode = SessionMode::Sum, bool marks = false) {
        session.AttachObserver(&rec);
        session.Configure({lineSeconds, first, second, rest, mode, marks, false});
        session.Start();
    }
    void At(std::int64_t ms) {
        clock.now = ms;
        session.Tick();
    }
};

TEST_F(Session, FifteenLinesOfSixtySecondsEndExactlyAtFifteenMinutes) {
    Begin(60, 15, 0, 5);
    // Ticks at an awkward period never shift a boundary.
    for (std::int64_t t = 5'000; t < 905'000; t += 997) At(t);
    EXPECT_EQ(session.State(), SessionState::FirstHalf);
    EXPECT_EQ(rec.label, "前半 15 / 15");
    At(905'000);
    EXPECT_EQ(session.State(), SessionState::Finished);
    ASSERT_EQ(session.Lines().size(), 15u);
    for (int k = 0; k < 15; ++k) EXPECT_EQ(session.Lines()[k].startMs, 5'000 + k * 60'000);
    EXPECT_EQ(rec.ended, std::vector<SessionState>{SessionState::Finished});
}

TEST_F(Session, LateTickClosesEveryMissedLineAndKeepsTheSchedule) {
    Begin(60, 15, 15, 5);
    clock.now = 6'500;
    session.BoxChanged(1, "1");
    session.BoxChanged(2, "4");
    EXPECT_EQ(rec.committed.size(), 0u);
    const int dealsBefore = digits.deals;
    At(5'000 + 3 * 60'000 + 30'000);  // three and a half lines late
    ASSERT_EQ(rec.committed.size(), 3u);
    EXPECT_EQ(rec.committed[0].Answers(), 2);
    EXPECT_EQ(rec.committed[0].Errors(), 1);
    EXPECT_EQ(rec.committed[0].answers[0].ms, 1'500);
    EXPECT_EQ(rec.committed[1].Answers(), 0);
    EXPECT_EQ(rec.committed[2].Answers(), 0);
    EXPECT_EQ(session.CurrentLine().startMs, 5'000 + 3 * 60'000);
    EXPECT_EQ(rec.label, "前半 4 / 15");
    EXPECT_EQ(digits.deals, dealsBefore + 1);  // one fresh row, not one per missed line
}

TEST_F(Session, KeystrokeAfterABoundaryIsNotScoredAgainstTheFreshRow) {
    Begin(10, 2, 0, 0);
    clock.now = 15'000;  // the boundary of line 1, before any tick
    session.BoxChanged(1, "1");
    ASSERT_EQ(session.Lines().size(), 1u);
    EXPECT_EQ(session.Lines()[0].Answers(), 0);
    EXPECT_EQ(session.CurrentLine().Answers(), 0);
    EXPECT_EQ(rec.label, "前半 2 / 2");
}

TEST_F(Session, FilledRowIsReplacedAtOnceAndEachBoundaryDealsAFreshRow) {
    Begin(10, 2, 0, 0);
    rec.log.clear();
    for (int box = 1; box <= 14; ++box) session.BoxChanged(box, "1");
    EXPECT_EQ(rec.Count("row+"), 1);
    EXPECT_EQ(rec.log.back(), "focus1");
    session.BoxChanged(3, "1");
    At(15'000);
    EXPECT_EQ(rec.Count("row+"), 2);  // half-filled row replaced all the same
    EXPECT_EQ(rec.Count("cue"), 1);
    EXPECT_EQ(session.Lines()[0].Answers(), 15);
}

TEST_F(Session, RestEndedEarlyThenThreeLightsThenTheSecondHalf) {
    Begin(10, 1, 1, 2);
    At(15'000);
    EXPECT_EQ(session.State(), SessionState::Rest);
    EXPECT_EQ(rec.log.back(), "rest120");
    At(16'001);
    EXPECT_EQ(rec.log.back(), "rest119");
    clock.now = 40'000;
    session.EndRestEarly();
    EXPECT_EQ(session.State(), SessionState::ReadySignal);
    EXPECT_EQ(rec.log.back(), "light1");
    At(41'000);
    EXPECT_EQ(rec.log.back(), "light2");
    At(41'999);
    EXPECT_EQ(session.State(), SessionState::ReadySignal);
    At(42'500);
    EXPECT_EQ(session.State(), SessionState::SecondHalf);
    EXPECT_EQ(rec.Count("light3"), 1);
    EXPECT_EQ(rec.label, "後半 1 / 1");
    EXPECT_EQ(session.CurrentLine().startMs, 42'000);
    At(51'999);
    EXPECT_EQ(session.State(), SessionState::SecondHalf);
    At(52'000);
    EXPECT_EQ(session.State(), SessionState::Finished);
    EXPECT_EQ(session.Lines().back().half, 2);
}

TEST_F(Session, RestRunsOutOnItsOwnWithoutDrift) {
    Begin(10, 1, 1, 1);
    At(20'000);                  // half ended at 15 000; rest to 75 000
    At(75'000 + 2'000 + 9'999);  // one late tick: signal from 75 000, half from 77 000
    EXPECT_EQ(session.State(), SessionState::SecondHalf);
    EXPECT_EQ(session.CurrentLine().startMs, 77'000);
}

TEST_F(Session, StopKeepsCompletedLinesAndDropsTheOneCutShort) {
    Begin(10, 5, 5, 5);
    At(25'000);
    clock.now = 27'000;
    session.BoxChanged(1, "1");
    session.Stop();
    EXPECT_EQ(session.State(), SessionState::Stopped);
    EXPECT_EQ(session.Lines().size(), 2u);
    EXPECT_EQ(rec.committed.size(), 2u);
    EXPECT_EQ(rec.ended, std::vector<SessionState>{SessionState::Stopped});
    EXPECT_EQ(rec.log.back(), "stopped");
    session.BoxChanged(2, "1");
    At(100'000);
    EXPECT_EQ(session.Lines().size(), 2u);
}

TEST_F(Session, StopCountsALineWhoseTimeIsUpBeforeTheTick) {
    Begin(10, 5, 0, 0);
    clock.now = 15'000;
    session.Stop();
    EXPECT_EQ(session.Lines().size(), 1u);
}

TEST_F(Session, AlternatingModeChangesByLineAndEachHalfStartsWithTheSum) {
    Begin(10, 3, 2, 0, SessionMode::Alternating);
    session.BoxChanged(1, "1");  // sum of 3 and 8
    At(15'000);
    session.BoxChanged(1, "5");  // difference
    At(25'000);
    At(35'000);  // no rest: straight to the lights
    At(37'000);
    session.BoxChanged(1, "1");
    At(47'000);
    At(57'000);
    ASSERT_EQ(session.Lines().size(), 5u);
    const bool expected[] = {false, true, false, false, true};
    for (int k = 0; k < 5; ++k) EXPECT_EQ(session.Lines()[k].difference, expected[k]) << k;
    EXPECT_EQ(session.Lines()[0].Errors(), 0);
    EXPECT_EQ(session.Lines()[1].Errors(), 0);
    EXPECT_EQ(session.Lines()[3].Errors(), 0);
    EXPECT_EQ(rec.Count("row-"), 2);
}

TEST_F(Session, NoSecondHalfFinishesWithoutARest) {
    Begin(10, 2, 0, 5);
    At(25'000);
    EXPECT_EQ(session.State(), SessionState::Finished);
    EXPECT_EQ(rec.Count("rest300"), 0);
    EXPECT_EQ(rec.log.back(), "finished");
}

TEST_F(Session, ColoursOnlyWhenTheSettingAsksForThem) {
    for (const bool marks : {false, true}) {
        FakeMonotonic c;
        FixedDigits d;
        Recorder r;
        PracticeSession s{r, c, d};
        s.Configure({10, 1, 0, 0, SessionMode::Sum, marks, false});
        s.Start();
        s.BoxChanged(1, "1");
        s.BoxChanged(2, "7");
        EXPECT_EQ(r.Count("mark1ok") + r.Count("mark2ng"), marks ? 2 : 0);
        EXPECT_EQ(s.CurrentLine().Errors(), 1);  // scored either way
    }
}

TEST_F(Session, SettingsAreClampedIntoTheirRanges) {
    const SessionSettings low = SessionSettings{5, 0, -1, -3}.Clamped();
    EXPECT_EQ(low, (SessionSettings{10, 1, 0, 0}));
    const SessionSettings high = SessionSettings{500, 40, 31, 11}.Clamped();
    EXPECT_EQ(high, (SessionSettings{120, 30, 30, 10}));
    EXPECT_EQ(SessionSettings{}.Clamped(), SessionSettings{});
}

TEST_F(Session, ThirtyLinesRunInMicroseconds) {
    const auto begin = std::chrono::steady_clock::now();
    Begin(60, 30, 0, 0);
    for (int line = 0; line < 30; ++line) {
        for (int s = 0; s < 60; ++s) {
            At(5'000 + line * 60'000 + s * 1'000 + 500);
            session.BoxChanged(s % 14 + 1, "1");
        }
    }
    At(5'000 + 30 * 60'000);
    const auto us = std::chrono::duration_cast<std::chrono::microseconds>(
                        std::chrono::steady_clock::now() - begin)
                        .count();
    RecordProperty("microseconds", static_cast<int>(us));
    EXPECT_EQ(session.State(), SessionState::Finished);
    ASSERT_EQ(session.Lines().size(), 30u);
    EXPECT_EQ(session.Lines()[29].Answers(), 60);
    EXPECT_LT(us, 200'000);  // generous: a slow machine under load still passes
}

}  // namespace
}  // namespace keta::test
