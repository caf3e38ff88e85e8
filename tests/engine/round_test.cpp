// The life of a round: start button, countdown, timed play, close.

#include <gtest/gtest.h>

#include "fake_view.h"

namespace keta::test {
namespace {

struct Round : ::testing::Test {
    Rig rig;
    const DrillState& s = rig.drill.State();
    void SetUp() override { rig.drill.ResetRowAtStartup(); }
    void RunOutTheClock() {
        rig.clock.now += rig.drill.State().intJikan;
        rig.drill.tmrBp_Timer();
        ASSERT_EQ(s.blnPlay, False);
    }
};

TEST_F(Round, StartButtonShowsNoTraceOfTheCloseInsideIt) {
    rig.StartPlay();
    rig.SetDigits("111111111111111");
    rig.Type(1, "x");
    RunOutTheClock();
    rig.Type(2, "x");  // closes the round
    ASSERT_EQ(rig.savedStates.back().intNg, 2);
    rig.savedStates.clear();
    rig.view.log.clear();

    rig.drill.cmdStart_Click();
    // The inner close asked for a save while the countdown flag was already up.
    ASSERT_EQ(rig.savedStates.size(), 1u);
    EXPECT_EQ(rig.savedStates[0].blnCountdown, True);
    EXPECT_EQ(rig.view.lblByou, "");
    EXPECT_EQ(rig.view.lblOk, "0");
    EXPECT_EQ(rig.view.lblNg, "0");
    EXPECT_EQ(rig.view.lblRitu, "0.0%");
    EXPECT_FALSE(rig.view.startEnabled);
    EXPECT_EQ(rig.view.log.back(), "start disabled");
    EXPECT_EQ(rig.view.Count("focus=start"), 1);
    EXPECT_EQ(s.blnOwari, True);
    EXPECT_EQ(s.intMonsu, 0);
    EXPECT_EQ(rig.view.barWidth, static_cast<float>(kTimeBarTwips.width));
    for (int j = 1; j <= kDigitCount; ++j) EXPECT_EQ(rig.view.digits[j], "");
    for (int i = 1; i <= kBoxCount; ++i) {
        EXPECT_FALSE(rig.view.boxes[i].visible);
        EXPECT_EQ(rig.view.boxes[i].colour, 15);
        EXPECT_EQ(rig.view.boxes[i].text, "");
    }
}

TEST_F(Round, CountdownShowsRedYellowGreenAndPlayStartsOnTheThirdTick) {
    rig.drill.tmrStart_Timer();  // no countdown: nothing but the step reset
    EXPECT_EQ(rig.view.lights, (std::array<bool, 4>{false, true, true, true}));
    rig.drill.cmdStart_Click();
    rig.drill.tmrStart_Timer();
    EXPECT_EQ(rig.view.lights, (std::array<bool, 4>{false, true, false, false}));
    EXPECT_EQ(s.blnPlay, False);
    rig.drill.tmrStart_Timer();
    EXPECT_EQ(rig.view.lights, (std::array<bool, 4>{false, false, true, false}));
    EXPECT_EQ(rig.view.digits[1], "");
    rig.clock.now = 50000.9;
    rig.drill.tmrStart_Timer();
    EXPECT_EQ(rig.view.lights, (std::array<bool, 4>{false, false, false, true}));
    EXPECT_EQ(s.blnCountdown, False);
    EXPECT_EQ(s.blnPlay, True);
    EXPECT_EQ(s.blnOwari, False);
    EXPECT_EQ(s.intStep, 3);
    EXPECT_EQ(s.lngNow, 50000);
    EXPECT_EQ(s.lngEnd, 50060);
    EXPECT_EQ(rig.view.focus, "box1");
    for (int i = 1; i <= kBoxCount; ++i) EXPECT_TRUE(rig.view.boxes[i].visible);
    EXPECT_EQ(rig.view.digits[15].size(), 1u);
    rig.drill.tmrStart_Timer();  // ticks after the start of play reset the step
    EXPECT_EQ(s.intStep, 0);
}

TEST_F(Round, BarWidthsFollowTheDoublePrecisionOrder) {
    rig.StartPlay();
    const std::pair<int, float> cases[] = {{60, 8745}, {59, 8599}, {30, 4372}, {20, 2914},
                                           {1, 145},   {0, 0},     {-1, 0}};
    for (auto [left, width] : cases) {
        rig.clock.now = s.lngEnd - left + 0.5;
        rig.drill.State().blnPlay = True;
        rig.drill.tmrBp_Timer();
        EXPECT_EQ(s.intNokori, left);
        EXPECT_EQ(rig.view.barWidth, width) << left << " seconds left";
        EXPECT_EQ(s.blnPlay, left >= 1 ? True : False);
    }
    // No upper clamp: more time left than the limit draws the bar wider than laid out.
    rig.drill.State().blnPlay = True;
    rig.clock.now = s.lngEnd - 90;
    rig.drill.tmrBp_Timer();
    EXPECT_GT(rig.view.barWidth, 8745.0f);
}

TEST_F(Round, AnswerAfterTimeUpIsScoredThenClosesOnceAndSaves) {
    rig.StartPlay();
    rig.SetDigits("120000000000000");
    rig.Type(1, "3");
    RunOutTheClock();
    rig.view.log.clear();
    rig.Type(2, "2");
    EXPECT_EQ(s.intOk, 2);
    EXPECT_EQ(rig.view.lblByou, "0.03/秒");  // 2 / 60
    EXPECT_EQ(rig.view.focus, "start");
    EXPECT_TRUE(rig.view.startEnabled);
    ASSERT_EQ(rig.saves, 3);  // start-up, the start button's inner close, and this close
    EXPECT_EQ(rig.savedStates.back().intOk, 2);
    EXPECT_EQ(rig.savedStates.back().blnPlay, False);
    EXPECT_EQ(rig.savedStates.back().blnCountdown, False);
    EXPECT_EQ(rig.savedStates.back().blnOwari, False);  // the flag is raised after the save
    EXPECT_EQ(s.blnOwari, True);
    // After the close every change is ignored.
    rig.view.log.clear();
    rig.Type(3, "7");
    rig.drill.txtKaitou_Click(4);
    EXPECT_EQ(rig.view.log, (std::vector<std::string>{"text4="}));
    EXPECT_EQ(s.intMonsu, 2);
}

TEST_F(Round, AnswerInBoxFourteenAfterTimeUpClosesOnceAfterTheRefill) {
    rig.StartPlay();
    RunOutTheClock();
    rig.view.log.clear();
    rig.Type(14, "0");
    EXPECT_EQ(s.intMonsu, 1);
    EXPECT_EQ(rig.view.Count("start enabled"), 1);
    EXPECT_EQ(rig.saves, 3);
    EXPECT_EQ(rig.savedStates.back().intMonsu, 1);
    const auto& log = rig.view.log;
    const auto at = [&](const std::string& e) {
        return std::find(log.begin(), log.end(), e) - log.begin();
    };
    EXPECT_LT(at("show14"), at("focus=box1"));
    EXPECT_LT(at("focus=box1"), at("start enabled"));
    EXPECT_EQ(rig.view.focus, "start");
    for (int i = 1; i <= kBoxCount; ++i) EXPECT_EQ(rig.view.boxes[i].colour, 15);
}

TEST_F(Round, ClickAfterTimeUpClosesWithoutScoring) {
    rig.drill.State().intAs = 1;
    rig.StartPlay();
    RunOutTheClock();
    rig.drill.txtKaitou_Click(5);
    EXPECT_EQ(s.blnOwari, True);
    EXPECT_EQ(s.intMonsu, 0);
    EXPECT_EQ(rig.view.lblByou, "0.00/秒");
}

TEST_F(Round, OnlyAnAutoSaveFlagOfExactlyOneSaves) {
    for (std::int16_t flag : {0, 2, -1}) {
        Rig r;
        r.drill.State().intAs = flag;
        r.drill.ResetRowAtStartup();
        r.StartPlay();
        r.Type(1, "1");
        r.clock.now += 60;
        r.drill.tmrBp_Timer();
        r.Type(2, "1");
        EXPECT_EQ(r.drill.State().blnOwari, True);
        EXPECT_EQ(r.saves, 0) << flag;
    }
}

TEST_F(Round, PlayTimesRightAcrossMidnight) {
    // The clock keeps counting past 86 400 instead of wrapping to 0.
    rig.drill.cmdStart_Click();
    rig.drill.tmrStart_Timer();
    rig.drill.tmrStart_Timer();
    rig.clock.now = 86400 - 10.5;
    rig.drill.tmrStart_Timer();
    for (int t = 1; t <= 59; ++t) {
        rig.clock.now += 1;
        rig.drill.tmrBp_Timer();
        ASSERT_EQ(s.blnPlay, True) << t;
        ASSERT_EQ(s.intNokori, 60 - t);
    }
    rig.clock.now += 1;
    rig.drill.tmrBp_Timer();
    EXPECT_EQ(s.blnPlay, False);
    EXPECT_EQ(s.intNokori, 0);
}

TEST_F(Round, AZeroTimeLimitNeverDividesByZero) {
    rig.drill.State().intJikan = 0;
    rig.StartPlay();
    rig.drill.tmrBp_Timer();
    EXPECT_EQ(rig.view.barWidth, 0.0f);
    EXPECT_EQ(s.blnPlay, False);
    rig.SetDigits("000000000000000");
    rig.Type(1, "0");
    EXPECT_EQ(rig.view.lblByou, "0.00/秒");
}

TEST_F(Round, AClockJumpFarBackSaturatesTheSecondsLeft) {
    rig.StartPlay();
    rig.clock.now = s.lngEnd - 100000.0;  // more than 16 bits of seconds
    rig.drill.tmrBp_Timer();
    EXPECT_EQ(s.intNokori, 32767);
    EXPECT_EQ(s.blnPlay, True);
}

}  // namespace
}  // namespace keta::test
