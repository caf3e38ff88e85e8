// A session in the written test's format, driven by a fake clock.

#include "practice_session.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

namespace keta::test {
namespace {

// Every row is 3 8 3 8 ...: the sum of each pair ends in 1, the difference is 5. The session
// is started at 3 000 ms; after its lights, line 1 starts at 5 000 ms.
struct Rig : MonotonicClock, DigitSource, SessionView, SessionObserver {
    std::int64_t now = 5'000;
    std::vector<std::string> log;
    std::string label;
    std::vector<LineResult> committed;
    PracticeSession session{*this, *this, *this};

    std::int64_t NowMs() override { return now; }
    DigitRow NextRow() override { return {3, 8, 3, 8, 3, 8, 3, 8, 3, 8, 3, 8, 3, 8, 3}; }
    void ShowRow(const DigitRow&, bool diff) override { log.push_back(diff ? "row-" : "row+"); }
    void MarkBox(int box, bool ok) override {
        log.push_back("mark" + std::to_string(box) + (ok ? "ok" : "ng"));
    }
    void FocusBox(int box) override { log.push_back("focus" + std::to_string(box)); }
    void LineChanged() override { log.push_back("cue"); }
    void SetLineLabel(const std::string& text) override { label = text; }
    void ShowTimeLeft(int s) override { log.push_back("left" + std::to_string(s)); }
    void ShowRestCountdown(int s) override { log.push_back("rest" + std::to_string(s)); }
    void ShowReadySignal(int step, int half) override {
        log.push_back("light" + std::to_string(step) + (half == 1 ? "a" : ""));
    }
    void ShowFinished(bool stopped) override { log.push_back(stopped ? "stopped" : "finished"); }
    void SessionStarted(const SessionSettings&, std::int64_t) override {}
    void LineCompleted(const LineResult& line) override { committed.push_back(line); }
    void SessionEnded(SessionState s) override { log.push_back("ended" + std::to_string(int(s))); }

    void Begin(const SessionSettings& settings) {
        session.AttachObserver(this);
        session.Configure(settings);
        now = 3'000;
        session.Start();
        At(5'000);
    }
    void At(std::int64_t ms) {
        now = ms;
        session.Tick();
    }
    void Type(std::int64_t ms, int box, const char* text) {
        now = ms;
        session.BoxChanged(box, text);
    }
    int Count(const std::string& e) const { return int(std::count(log.begin(), log.end(), e)); }
    SessionState State() const { return session.State(); }
};

TEST(Session, TheLightsComeBeforeTheFirstLineAndNothingIsScoredMeanwhile) {
    Rig r;
    r.session.AttachObserver(&r);
    r.session.Configure({10, 2, 0, 0});
    r.now = 3'000;
    r.session.Start();
    EXPECT_EQ(r.log, (std::vector<std::string>{"light1a"}));
    EXPECT_EQ(r.label, "用意");
    EXPECT_EQ(r.State(), SessionState::ReadySignal);
    EXPECT_EQ(PracticeSession::ReadyText(1), "前半を始めます。");
    r.Type(3'500, 1, "1");  // typed before any row: no answer
    r.At(4'999);
    EXPECT_EQ(r.log.back(), "light2a");
    r.At(5'000);
    EXPECT_EQ(r.label, "前半 1 / 2");
    EXPECT_EQ(r.session.CurrentLine().startMs, 5'000);
    EXPECT_EQ(r.session.CurrentLine().Answers(), 0);
    EXPECT_EQ(r.Count("light3a"), 1);
    EXPECT_EQ(r.Count("row+"), 1);
    // Two lines of 10 s from 5 000: the session ends at 25 000, not 10 s after the press.
    r.At(22'999);
    EXPECT_EQ(r.committed.size(), 1u);
    r.At(25'000);
    EXPECT_EQ(r.committed.size(), 2u);
    EXPECT_EQ(r.State(), SessionState::Finished);
}

TEST(Session, LateTickClosesEveryMissedLineOnSchedule) {
    Rig r;
    r.Begin({60, 15, 15, 5});
    r.Type(6'500, 1, "1");
    r.Type(6'600, 2, "4");
    r.At(5'000 + 3 * 60'000 + 30'000);  // three and a half lines late
    ASSERT_EQ(r.committed.size(), 3u);
    EXPECT_EQ(r.committed[0].Answers(), 2);
    EXPECT_EQ(r.committed[0].Errors(), 1);
    EXPECT_EQ(r.committed[0].answers[0].ms, 1'500);
    EXPECT_EQ(r.committed[1].Answers() + r.committed[2].Answers(), 0);
    EXPECT_EQ(r.session.CurrentLine().startMs, 5'000 + 3 * 60'000);
    EXPECT_EQ(r.label, "前半 4 / 15");
    // A keystroke after the next boundary, before any tick, belongs to a row that has gone.
    r.Type(5'000 + 4 * 60'000, 1, "1");
    EXPECT_EQ(r.committed.back().Answers() + r.session.CurrentLine().Answers(), 0);
}

TEST(Session, RestEndedEarlyThenThreeLightsThenTheSecondHalf) {
    Rig r;
    r.Begin({10, 1, 1, 2});
    r.At(16'001);
    EXPECT_EQ(r.log.back(), "rest119");
    EXPECT_EQ(r.label, "休憩");
    r.now = 40'000;
    r.session.EndRestEarly();
    EXPECT_EQ(r.log.back(), "light1");
    r.At(41'999);
    EXPECT_EQ(r.log.back(), "light2");
    r.At(42'500);
    EXPECT_EQ(r.label, "後半 1 / 1");
    EXPECT_EQ(r.session.CurrentLine().startMs, 42'000);

    Rig own;  // a rest that runs out, passed by one late tick, keeps the schedule
    own.Begin({10, 1, 1, 1});
    own.At(20'000);                  // the half ended at 15 000: rest to 75 000
    own.At(75'000 + 2'000 + 9'999);  // lights from 75 000, the half from 77 000
    EXPECT_EQ(own.session.CurrentLine().startMs, 77'000);
}

TEST(Session, StopKeepsCompletedLinesAndDropsTheOneCutShort) {
    Rig r;
    r.Begin({10, 5, 5, 5});
    r.At(20'000);
    r.Type(22'000, 1, "1");  // in the second line, which the stop cuts short
    r.session.Stop();
    EXPECT_EQ(r.committed.size(), 1u);
    EXPECT_EQ(r.log.back(), "ended6");
    r.At(100'000);
    EXPECT_EQ(r.session.Lines().size(), 1u);

    Rig late;  // a line whose time is up counts, though no tick has closed it yet
    late.Begin({10, 5, 5, 5});
    late.Type(6'000, 1, "1");
    late.now = 15'000;
    late.session.Stop();
    ASSERT_EQ(late.committed.size(), 1u);
    EXPECT_EQ(late.committed[0].Answers(), 1);
}

TEST(Session, TheStopQuestionHoldsTheLineAndNoGoesOnWhereItWas) {
    Rig r;
    r.Begin({10, 2, 0, 0, SessionMode::Sum, false, true});
    r.Type(7'000, 1, "1");
    r.now = 9'000;
    r.session.Pause();  // 6 s of the first line left
    r.At(30'000);       // 21 s behind the question: past both lines' ends
    r.Type(30'000, 2, "1");
    EXPECT_TRUE(r.committed.empty());
    EXPECT_EQ(r.label, "前半 1 / 2");
    r.now = 30'000;
    r.session.Resume();
    EXPECT_EQ(r.log.back(), "left6");
    r.Type(31'000, 2, "1");  // 3 s into the line's time, as the person sees it
    r.At(35'999);
    EXPECT_TRUE(r.committed.empty());
    r.At(36'000);  // the line's 10 s are up
    ASSERT_EQ(r.committed.size(), 1u);
    EXPECT_EQ(r.committed[0].Answers(), 2);
    EXPECT_EQ(r.committed[0].answers[1].ms, 5'000);

    // "Yes" behind a long question: the lines as they stood at the pause.
    Rig yes;
    yes.Begin({10, 5, 0, 0});
    yes.Type(6'000, 1, "1");
    yes.now = 8'000;
    yes.session.Pause();
    yes.now = 100'000;
    yes.session.Stop();
    EXPECT_TRUE(yes.committed.empty());
    EXPECT_EQ(yes.State(), SessionState::Stopped);
    EXPECT_FALSE(yes.session.Paused());
}

TEST(Session, AlternatingModeChangesByLineAndEachHalfStartsWithTheSum) {
    Rig r;
    r.Begin({10, 3, 2, 0, SessionMode::Alternating});
    r.Type(5'000, 1, "1");
    r.At(15'000);
    r.Type(15'000, 1, "5");
    for (const std::int64_t t : {25'000, 35'000, 37'000}) r.At(t);  // no rest: the lights
    r.Type(37'000, 1, "1");
    r.At(47'000);
    r.At(57'000);
    ASSERT_EQ(r.committed.size(), 5u);
    const bool difference[] = {false, true, false, false, true};
    for (int k = 0; k < 5; ++k) {
        EXPECT_EQ(r.committed[k].difference, difference[k]) << k;
        EXPECT_EQ(r.committed[k].Errors(), 0) << k;
    }
    EXPECT_EQ(r.committed[1].Answers(), 1);
    EXPECT_EQ(r.Count("row-"), 2);
}

TEST(Session, FreshRowsMarksAndOneHalfOnly) {
    for (const bool shown : {false, true}) {
        Rig r;
        r.Begin({10, 2, 0, 5, SessionMode::Sum, shown, shown});
        r.Type(5'000, 1, "1");
        r.Type(5'000, 2, "7");
        for (int box = 3; box <= 14; ++box) r.Type(5'000, box, "1");
        EXPECT_EQ(r.log.back(), "focus1");  // the filled row replaced at once
        EXPECT_EQ(r.Count("mark1ok") + r.Count("mark2ng"), shown ? 2 : 0);
        EXPECT_EQ(r.Count("left10"), shown ? 1 : 0);
        r.Type(6'000, 3, "1");
        r.At(15'000);
        EXPECT_EQ(r.Count("row+"), 3);  // the half-filled row is replaced all the same
        EXPECT_EQ(r.Count("cue"), 2);
        EXPECT_EQ(r.committed[0].Answers(), 15);
        EXPECT_EQ(r.committed[0].Errors(), 1);  // scored whether marks are shown or not
        r.At(25'000);
        EXPECT_EQ(r.log.back(), "ended5");  // one half only: no rest
    }
}

TEST(Session, ThirtyLinesKeepTheirScheduleAndRunInMicroseconds) {
    const auto begin = std::chrono::steady_clock::now();
    Rig r;
    r.Begin({60, 15, 15, 0});
    for (std::int64_t t = 5'000; t < 1'807'000; t += 997) {  // an awkward tick period
        r.At(t);
        r.Type(t, static_cast<int>(t % 14) + 1, "1");
    }
    r.At(1'807'000);
    const auto us = std::chrono::duration_cast<std::chrono::microseconds>(
                        std::chrono::steady_clock::now() - begin)
                        .count();
    RecordProperty("microseconds", static_cast<int>(us));
    ASSERT_EQ(r.committed.size(), 30u);
    for (int k = 0; k < 30; ++k) {  // 15 lines of 60 s end at exactly 15 minutes
        EXPECT_EQ(r.committed[k].startMs,
                  k < 15 ? 5'000 + k * 60'000 : 907'000 + (k - 15) * 60'000);
        EXPECT_GE(r.committed[k].Answers(), 59);
    }
    EXPECT_EQ(r.log.back(), "ended5");
    EXPECT_LT(us, 200'000);  // generous, so a loaded machine still passes
}

}  // namespace
}  // namespace keta::test
