#include "drill.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "answer_rule.h"
#include "number_text.h"

namespace keta {

Drill::Drill(DrillView& view, Clock& clock) : view_(view), clock_(clock) {}

void Drill::cmdHozon_Click() {
    if (save_) save_();
}

void Drill::SetBoxText(int i, const std::string& text) {
    view_.SetBoxText(i, text);
    txtKaitou_Change(static_cast<std::int16_t>(i));
}

void Drill::RefillRow() {
    random_.Reseed(clock_.SecondsSinceMidnight());
    for (int j = 1; j <= kDigitCount; ++j) {
        const int d = static_cast<int>(std::floor(random_.Next() * 10.0f));
        view_.SetDigitCaption(j, std::string(1, static_cast<char>('0' + d)));
    }
}

void Drill::ResetBoxes(std::initializer_list<BoxStep> steps) {
    // Box by box, every step for one box before the next box: clearing a box runs its change
    // handling, which must see the boxes before it already reset and those after it not yet.
    for (int i = 1; i <= kBoxCount; ++i) {
        for (const BoxStep step : steps) {
            switch (step) {
                case BoxStep::Hide:
                    view_.SetBoxVisible(i, false);
                    break;
                case BoxStep::Show:
                    view_.SetBoxVisible(i, true);
                    break;
                case BoxStep::White:
                    view_.SetBoxBackground(i, PaletteColour::White);
                    break;
                case BoxStep::Clear:
                    SetBoxText(i, "");
                    break;
            }
        }
    }
}

void Drill::ResetRowAtStartup() {
    for (int j = 1; j <= kDigitCount; ++j) view_.SetDigitCaption(j, "");
    ResetBoxes({BoxStep::Hide, BoxStep::Clear});
}

void Drill::txtKaitou_Change(std::int16_t i) {
    if (state_.blnOwari != False) return;
    const std::string text = view_.BoxText(i);
    if (!text.empty()) ScoreAnswer(i, text);
    // The refill's own clearings must not close the round: the answer that set off the
    // refill closes it, once, after the new row stands.
    if (state_.blnRefilling) return;
    if (state_.blnPlay == False) CloseRound();
}

void Drill::ScoreAnswer(int i, const std::string& text) {
    // A round full of answers leaves further ones unscored rather than overflowing.
    if (!RaiseCounter(state_.intMonsu)) return;

    const bool difference = IsDifferenceMode(view_.ModeText());
    const ScoredAnswer scored =
        ScoreAnswerText(view_.DigitCaption(i), view_.DigitCaption(i + 1), text, difference);

    if (scored.correct) {
        view_.SetBoxBackground(i, PaletteColour::Green);
        (void)RaiseCounter(state_.intOk);  // never above intMonsu, so never overflows
        view_.SetResultCaption(ResultLabel::Ok, DecimalText(state_.intOk));
    } else {
        view_.SetBoxBackground(i, PaletteColour::Red);
        (void)RaiseCounter(state_.intNg);
        view_.SetResultCaption(ResultLabel::Ng, DecimalText(state_.intNg));
    }
    view_.SetResultCaption(ResultLabel::Ritu,
                           FormatPercent(SafeRatio(state_.intOk, state_.intMonsu)));
    if (observer_ != nullptr) {
        observer_->AnswerScored(i, scored.left, scored.right, text, scored.expected,
                                scored.correct);
    }

    if (i == kBoxCount) {
        RefillAfterLastBox();
    } else {
        view_.FocusBox(i + 1);
    }
}

void Drill::RefillAfterLastBox() {
    // Nested refills cannot happen (the clearings leave every box empty), but keep the marker
    // as it was in case the view ever reports one.
    const bool outer = state_.blnRefilling;
    state_.blnRefilling = true;
    RefillRow();
    ResetBoxes({BoxStep::White, BoxStep::Clear, BoxStep::Show});
    view_.FocusBox(1);
    state_.blnRefilling = outer;
}

void Drill::txtKaitou_Click(std::int16_t i) {
    // Reported before the clearing, which may close a timed-out round.
    if (observer_ != nullptr && playObserved_ && state_.blnOwari == False &&
        !view_.BoxText(i).empty())
        observer_->BoxClearedByClick(i);
    SetBoxText(i, "");
}

void Drill::cmdStart_Click() {
    state_.blnCountdown = True;
    state_.blnOwari = False;
    state_.intStep = 0;
    view_.SetBarWidth(static_cast<float>(state_.intHaba));
    for (int j = 1; j <= kDigitCount; ++j) view_.SetDigitCaption(j, "");
    ResetBoxes({BoxStep::Hide, BoxStep::White, BoxStep::Clear});
    for (ResultLabel label :
         {ResultLabel::Ok, ResultLabel::Ng, ResultLabel::Byou, ResultLabel::Ritu})
        view_.SetResultCaption(label, "");
    state_.intOk = 0;
    state_.intNg = 0;
    state_.intMonsu = 0;
    view_.SetResultCaption(ResultLabel::Ok, DecimalText(state_.intOk));
    view_.SetResultCaption(ResultLabel::Ng, DecimalText(state_.intNg));
    view_.SetResultCaption(ResultLabel::Ritu, "0.0%");
    view_.SetStartEnabled(false);
}

std::int32_t Drill::WholeSecondsNow() {
    const double t = std::floor(clock_.SecondsSinceMidnight());
    if (!(t >= 0)) return 0;  // also catches NaN
    if (t > std::numeric_limits<std::int32_t>::max())
        return std::numeric_limits<std::int32_t>::max();
    return static_cast<std::int32_t>(t);
}

void Drill::tmrStart_Timer() {
    if (state_.blnCountdown == False) {
        state_.intStep = 0;
        return;
    }
    for (int k = 1; k <= kLightCount; ++k) view_.SetLightVisible(k, false);
    (void)RaiseCounter(state_.intStep);  // at most 3: the third tick ends the countdown
    view_.SetLightVisible(state_.intStep, true);
    if (state_.intStep != 3) return;

    state_.blnCountdown = False;
    RefillRow();
    ResetBoxes({BoxStep::Show});
    state_.lngNow = WholeSecondsNow();
    const long long end = static_cast<long long>(state_.lngNow) + state_.intJikan;
    state_.lngEnd = static_cast<std::int32_t>(std::clamp<long long>(
        end, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
    state_.blnPlay = True;
    state_.blnOwari = False;
    view_.FocusBox(1);
    if (observer_ != nullptr) {
        playObserved_ = true;
        observer_->PlayStarted();
    }
}

void Drill::tmrBp_Timer() {
    if (state_.blnPlay == False) return;
    state_.lngNow = WholeSecondsNow();
    // Saturate rather than fail: only a clock moved by more than nine hours could reach the limit.
    state_.intNokori = NarrowToInt16(static_cast<long long>(state_.lngEnd) -
                                     static_cast<long long>(state_.lngNow));
    // Evaluated left to right in double precision, as the bar has always been drawn.
    double w = 0;
    if (state_.intJikan != 0) {
        w = std::floor(static_cast<double>(state_.intNokori) / state_.intJikan * 100 *
                       state_.intHaba / 100);
    }
    if (w < 0) w = 0;
    view_.SetBarWidth(static_cast<float>(w));
    if (state_.intNokori < 1) state_.blnPlay = False;
}

void Drill::CloseRound() {
    // Only a round that reached timed play is reported, and before its auto-save, so that the
    // save can be tied to it. The closes at start-up and inside the start step are not rounds.
    if (observer_ != nullptr && playObserved_) {
        playObserved_ = false;
        observer_->RoundClosed(
            {state_.intMonsu, state_.intOk, state_.intNg, state_.intJikan, view_.ModeText()});
    }
    view_.SetStartEnabled(true);
    view_.FocusStart();
    view_.SetResultCaption(ResultLabel::Byou,
                           FormatPerSecond(SafeRatio(state_.intOk, state_.intJikan)));
    if (state_.intAs == 1) cmdHozon_Click();
    state_.blnOwari = True;
}

}  // namespace keta
