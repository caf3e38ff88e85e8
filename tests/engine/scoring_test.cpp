// The digit row and the scoring of every keystroke.

#include <gtest/gtest.h>

#include "fake_view.h"

namespace keta::test {
namespace {

struct Scoring : ::testing::Test {
    Rig rig;
    void SetUp() override {
        rig.drill.ResetRowAtStartup();
        rig.StartPlay();
        rig.view.log.clear();
    }
};

TEST_F(Scoring, RefillRowDealsFifteenSingleDigitsAndLeavesTheBoxes) {
    rig.Type(3, "x");
    const auto before = rig.view.boxes;
    for (int deal = 0; deal < 50; ++deal) {
        rig.clock.now += 0.37;
        rig.view.log.clear();
        rig.drill.RefillRow();
        ASSERT_EQ(rig.view.log.size(), 15u);  // all fifteen rewritten, nothing else touched
        for (int j = 1; j <= kDigitCount; ++j) {
            ASSERT_EQ(rig.view.digits[j].size(), 1u);
            ASSERT_GE(rig.view.digits[j][0], '0');
            ASSERT_LE(rig.view.digits[j][0], '9');
        }
    }
    for (int i = 1; i <= kBoxCount; ++i) {
        EXPECT_EQ(rig.view.boxes[i].text, before[i].text);
        EXPECT_EQ(rig.view.boxes[i].colour, before[i].colour);
    }
}

TEST_F(Scoring, DealsAreReseededFromTheClock) {
    rig.clock.now = 1000.5;
    rig.drill.RefillRow();
    const auto first = rig.view.digits;
    rig.clock.now = 2000.75;
    rig.drill.RefillRow();
    const auto second = rig.view.digits;
    rig.clock.now = 1000.5;
    rig.drill.RefillRow();
    EXPECT_EQ(rig.view.digits, first);   // same reading, same row
    EXPECT_NE(rig.view.digits, second);  // another reading, another row
}

TEST_F(Scoring, SumMode) {
    rig.SetDigits("759946000000000");
    rig.Type(1, "2");  // 7 + 5
    EXPECT_EQ(rig.view.boxes[1].colour, 10);
    rig.Type(2, "4");  // 5 + 9 = 14
    EXPECT_EQ(rig.view.boxes[2].colour, 10);
    rig.Type(3, "8");  // 9 + 9
    EXPECT_EQ(rig.view.boxes[3].colour, 10);
    rig.Type(5, "0");  // 4 + 6
    EXPECT_EQ(rig.view.boxes[5].colour, 10);
    rig.Type(1, "12");  // the whole sum is wrong
    EXPECT_EQ(rig.view.boxes[1].colour, 12);
    EXPECT_EQ(rig.drill.State().intOk, 4);
    EXPECT_EQ(rig.drill.State().intNg, 1);
    EXPECT_EQ(rig.drill.State().intMonsu, 5);
}

TEST_F(Scoring, DifferenceModeOnlyForTheFullWidthMinus) {
    rig.SetDigits("383550000000000");
    rig.view.mode = "－";
    rig.Type(1, "5");  // |3 - 8|
    rig.Type(2, "5");  // |8 - 3|
    rig.Type(4, "0");  // 5 and 5
    for (int i : {1, 2, 4}) EXPECT_EQ(rig.view.boxes[i].colour, 10) << i;
    rig.view.mode = "-";  // a plain hyphen is not the difference mode
    rig.Type(1, "1");     // 3 + 8 = 11
    EXPECT_EQ(rig.view.boxes[1].colour, 10);
    rig.view.mode = "what";
    rig.Type(2, "1");
    EXPECT_EQ(rig.view.boxes[2].colour, 10);
}

TEST_F(Scoring, LettersBlanksAndSignsReadAsZero) {
    rig.SetDigits("550012000000000");
    rig.Type(1, "a");  // 5 + 5 -> 0
    rig.Type(3, " ");  // 0 + 0 -> 0
    rig.Type(4, "-");  // 0 + 1 -> 1
    EXPECT_EQ(rig.view.boxes[1].colour, 10);
    EXPECT_EQ(rig.view.boxes[3].colour, 10);
    EXPECT_EQ(rig.view.boxes[4].colour, 12);
}

TEST_F(Scoring, EachAnswerIsColouredCountedShownAndMovesTheFocusInOrder) {
    rig.SetDigits("110000000000000");
    rig.Type(1, "3");
    const std::vector<std::string> expected{"colour1=12", "lblNg=1", "lblRitu=0.0%", "focus=box2"};
    EXPECT_EQ(rig.view.log, expected);
    rig.view.log.clear();
    rig.Type(13, "0");
    const std::vector<std::string> expected2{"colour13=10", "lblOk=1", "lblRitu=50.0%",
                                             "focus=box14"};
    EXPECT_EQ(rig.view.log, expected2);
    EXPECT_EQ(rig.view.boxes[13].text, "0");  // the typed text stays
}

TEST_F(Scoring, AnswerInBoxFourteenDealsANewRowWithNestedHandlingsThatChangeNothing) {
    const int savesBefore = rig.saves;
    for (int i = 1; i <= 13; ++i) rig.Type(i, std::to_string(rig.Expected(i)));
    rig.Type(14, std::to_string((rig.Expected(14) + 1) % 10));  // wrong
    const auto& s = rig.drill.State();
    EXPECT_EQ(s.intOk, 13);
    EXPECT_EQ(s.intNg, 1);
    EXPECT_EQ(s.intMonsu, 14);
    EXPECT_EQ(rig.view.lblOk, "13");
    EXPECT_EQ(rig.view.lblNg, "1");
    EXPECT_EQ(rig.view.lblRitu, "92.9%");
    for (int i = 1; i <= kBoxCount; ++i) {
        EXPECT_EQ(rig.view.boxes[i].colour, 15);
        EXPECT_EQ(rig.view.boxes[i].text, "");
        EXPECT_TRUE(rig.view.boxes[i].visible);
    }
    EXPECT_EQ(rig.view.focus, "box1");
    EXPECT_EQ(s.blnOwari, False);
    EXPECT_EQ(rig.saves, savesBefore);
    EXPECT_EQ(rig.view.Count("start enabled"), 0);
    EXPECT_FALSE(s.blnRefilling);
}

TEST_F(Scoring, ClickEmptiesTheBoxKeepsItsColourAndARetypeCountsAgain) {
    rig.SetDigits("120000000000000");
    rig.Type(1, "4");  // wrong
    rig.drill.txtKaitou_Click(1);
    EXPECT_EQ(rig.view.boxes[1].text, "");
    EXPECT_EQ(rig.view.boxes[1].colour, 12);
    EXPECT_EQ(rig.drill.State().intMonsu, 1);
    rig.Type(1, "3");  // corrected in the same box
    EXPECT_EQ(rig.drill.State().intNg, 1);
    EXPECT_EQ(rig.drill.State().intOk, 1);
    EXPECT_EQ(rig.drill.State().intMonsu, 2);
    rig.drill.txtKaitou_Click(1);
    EXPECT_EQ(rig.view.boxes[1].colour, 10);  // stays green when emptied
}

TEST_F(Scoring, ModeChangeMidRowAffectsOnlyLaterAnswers) {
    rig.SetDigits("830000000000000");
    rig.Type(1, "1");  // 8 + 3 = 11 -> 1
    rig.view.mode = "－";
    rig.Type(2, "3");  // |3 - 0|
    EXPECT_EQ(rig.view.boxes[1].colour, 10);
    EXPECT_EQ(rig.view.boxes[2].colour, 10);
}

TEST_F(Scoring, AFullRoundLeavesFurtherAnswersUnscoredInsteadOfOverflowing) {
    rig.SetDigits("000000000000000");
    auto& s = rig.drill.State();
    s.intMonsu = 32766;
    s.intOk = 32000;
    s.intNg = 766;
    rig.Type(1, "0");  // the 32 767th answer still counts
    EXPECT_EQ(s.intMonsu, 32767);
    EXPECT_EQ(s.intOk, 32001);
    rig.view.log.clear();
    rig.Type(2, "0");
    EXPECT_EQ(s.intMonsu, 32767);
    EXPECT_EQ(s.intOk, 32001);
    EXPECT_EQ(rig.view.boxes[2].text, "0");  // the text stays in the box
    EXPECT_TRUE(rig.view.log.empty());       // nothing else changes
    // The round still closes once the time is up.
    rig.clock.now += 61;
    rig.drill.tmrBp_Timer();
    rig.Type(3, "0");
    EXPECT_EQ(s.blnOwari, True);
    EXPECT_EQ(rig.view.focus, "start");
}

TEST(RowResets, StartUpRunsTheCloseOnceAndLeavesTheRowBlank) {
    Rig rig;
    rig.drill.ResetRowAtStartup();
    const auto& s = rig.drill.State();
    for (int j = 1; j <= kDigitCount; ++j) EXPECT_EQ(rig.view.digits[j], "");
    for (int i = 1; i <= kBoxCount; ++i) {
        EXPECT_FALSE(rig.view.boxes[i].visible);
        EXPECT_EQ(rig.view.boxes[i].text, "");
        EXPECT_EQ(rig.view.boxes[i].colour, 0);  // start-up leaves the colours alone
    }
    EXPECT_EQ(rig.view.Count("start enabled"), 1);
    EXPECT_EQ(rig.view.Count("focus=start"), 1);
    EXPECT_EQ(rig.view.Count("lblByou=0.00/秒"), 1);
    EXPECT_EQ(rig.saves, 1);  // asked once; the save's own guard refuses a round without answers
    EXPECT_EQ(s.blnOwari, True);
    // The close ran inside the loop, right after box 1 was cleared and before box 2 was hidden.
    const auto& log = rig.view.log;
    const auto at = [&](const std::string& e) {
        return std::find(log.begin(), log.end(), e) - log.begin();
    };
    EXPECT_LT(at("text1="), at("start enabled"));
    EXPECT_LT(at("lblByou=0.00/秒"), at("hide2"));
}

}  // namespace
}  // namespace keta::test
