// The drill's reports to a listener of timed play: what is reported, in which order, and that
// listening changes nothing in the drill.

#include <gtest/gtest.h>

#include "fake_view.h"

namespace keta::test {
namespace {

// Writes each report as one line, and notes how many saves the rig had seen at the close.
class RecordingObserver : public AnswerObserver {
public:
    explicit RecordingObserver(const int& saves) : saves_(saves) {}
    std::vector<std::string> events;
    int savesAtClose = -1;

    void PlayStarted() override { events.push_back("play"); }
    void AnswerScored(int box, int left, int right, const std::string& typed, int expected,
                      bool correct) override {
        events.push_back("answer " + std::to_string(box) + " " + std::to_string(left) + "," +
                         std::to_string(right) + " '" + typed + "' " + std::to_string(expected) +
                         (correct ? " ok" : " ng"));
    }
    void BoxClearedByClick(int box) override { events.push_back("clear " + std::to_string(box)); }
    void RoundClosed(const RoundSummary& s) override {
        events.push_back("close " + std::to_string(s.answers) + "/" + std::to_string(s.correct) +
                         "/" + std::to_string(s.wrong) + " " + std::to_string(s.timeLimit) + " " +
                         s.modeText);
        savesAtClose = saves_;
    }

private:
    const int& saves_;
};

struct Observed : ::testing::Test {
    Rig rig;
    RecordingObserver observer{rig.saves};
    void SetUp() override {
        rig.drill.AttachObserver(&observer);
        rig.drill.ResetRowAtStartup();
    }
    void RunOutTheClock() {
        rig.clock.now += rig.drill.State().intJikan;
        rig.drill.tmrBp_Timer();
    }
};

TEST_F(Observed, ProgramResetsAndTheStartStepAreNoRounds) {
    rig.drill.cmdStart_Click();  // its inner close is not a round either
    rig.drill.tmrStart_Timer();
    rig.drill.tmrStart_Timer();
    EXPECT_TRUE(observer.events.empty());
    rig.drill.tmrStart_Timer();
    EXPECT_EQ(observer.events, (std::vector<std::string>{"play"}));
}

TEST_F(Observed, ARoundIsReportedInOrderAndClosesBeforeItsAutoSave) {
    rig.StartPlay();
    rig.SetDigits("380000000000009");
    rig.Type(1, "1");              // 3 + 8 = 11: right
    rig.Type(2, "7");              // 8 + 0: wrong
    rig.drill.txtKaitou_Click(2);  // empties a box that held text
    rig.drill.txtKaitou_Click(5);  // an empty box: nothing was emptied
    rig.Type(2, "a8");             // read as 0: wrong, typed text kept as it was
    RunOutTheClock();
    rig.Type(14, "9");  // after the time: scored with the old row's digits, then the close
    EXPECT_EQ(observer.events, (std::vector<std::string>{
                                   "play",
                                   "answer 1 3,8 '1' 1 ok",
                                   "answer 2 8,0 '7' 8 ng",
                                   "clear 2",
                                   "answer 2 8,0 'a8' 8 ng",
                                   "answer 14 0,9 '9' 9 ok",
                                   "close 4/2/2 60 ＋",
                               }));
    EXPECT_EQ(rig.saves, observer.savesAtClose + 1);  // the auto-save came after the report
    // After the close nothing more is reported, typed or clicked.
    rig.Type(3, "5");
    rig.drill.txtKaitou_Click(3);
    EXPECT_EQ(observer.events.size(), 7u);
}

TEST_F(Observed, DifferenceModeAndSettingsAtTheCloseAreReported) {
    rig.StartPlay();
    rig.view.mode = "－";
    rig.SetDigits("290000000000000");
    rig.Type(1, "7");
    RunOutTheClock();
    rig.drill.State().intJikan = 30;  // changed before the close: the close takes the new limit
    rig.drill.txtKaitou_Click(1);     // closes the timed-out round by a click
    EXPECT_EQ(observer.events, (std::vector<std::string>{"play", "answer 1 2,9 '7' 7 ok", "clear 1",
                                                         "close 1/1/0 30 －"}));
}

TEST_F(Observed, ARoundWithoutAnswersIsStillReported) {
    rig.StartPlay();
    RunOutTheClock();
    rig.drill.txtKaitou_Click(4);  // empty: closes without a clear or an answer
    EXPECT_EQ(observer.events, (std::vector<std::string>{"play", "close 0/0/0 60 ＋"}));
}

// The same keystrokes with and without a listener leave the same window, state and saves.
TEST(ObserverChangesNothing, SameScriptSameWindowAndState) {
    const auto play = [](Rig& r) {
        r.drill.ResetRowAtStartup();
        r.StartPlay();
        for (int k = 0; k < 20; ++k) {
            const int box = k % kBoxCount + 1;
            if (k == 6) r.drill.txtKaitou_Click(static_cast<std::int16_t>(box - 1));
            r.Type(box, std::to_string((r.Expected(box) + (k % 3 == 0 ? 1 : 0)) % 10));
        }
        r.clock.now += 61;
        r.drill.tmrBp_Timer();
        r.Type(7, "4");
        r.drill.cmdStart_Click();
    };
    Rig plain, watched;
    int noSaves = 0;
    RecordingObserver observer(noSaves);
    watched.drill.AttachObserver(&observer);
    play(plain);
    play(watched);
    EXPECT_EQ(watched.view.log, plain.view.log);
    EXPECT_EQ(watched.saves, plain.saves);
    const DrillState &a = plain.drill.State(), &b = watched.drill.State();
    EXPECT_EQ(std::make_tuple(a.intMonsu, a.intOk, a.intNg, a.blnOwari, a.blnPlay, a.lngEnd),
              std::make_tuple(b.intMonsu, b.intOk, b.intNg, b.blnOwari, b.blnPlay, b.lngEnd));
    EXPECT_EQ(observer.events.front(), "play");
    EXPECT_EQ(std::count_if(observer.events.begin(), observer.events.end(),
                            [](const std::string& e) { return e.rfind("close", 0) == 0; }),
              1);
}

}  // namespace
}  // namespace keta::test
