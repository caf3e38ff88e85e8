#pragma once
// The drill engine: the digit row, scoring every keystroke, and the life of a round from the
// start button to its close. Handlers carry the names of the window events that drive them.

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string>

#include "answer_observer.h"
#include "clock.h"
#include "drill_state.h"
#include "drill_view.h"
#include "random_source.h"

namespace keta {

class Drill {
public:
    Drill(DrillView& view, Clock& clock);

    DrillState& State() { return state_; }
    const DrillState& State() const { return state_; }

    // The save of a result, run by the round close when auto-save is exactly 1.
    void AttachSave(std::function<void()> save) { save_ = std::move(save); }
    void cmdHozon_Click();

    // A listener for timed play (the answer log), or nullptr for none. Not owned.
    void AttachObserver(AnswerObserver* observer) { observer_ = observer; }

    // Sets a box's text from the program: the view sets it, then the box's change handling
    // runs here, before this returns, also when the text did not change.
    void SetBoxText(int i, const std::string& text);

    void RefillRow();
    void ResetRowAtStartup();  // digits blanked, boxes hidden and emptied

    void txtKaitou_Change(std::int16_t i);
    void txtKaitou_Click(std::int16_t i);

    void cmdStart_Click();
    void tmrStart_Timer();
    void tmrBp_Timer();
    void CloseRound();

private:
    // What a reset of the row does to each answer box, in the order given.
    enum class BoxStep { Hide, Show, White, Clear };
    void ResetBoxes(std::initializer_list<BoxStep> steps);
    void ScoreAnswer(int i, const std::string& text);
    void RefillAfterLastBox();
    std::int32_t WholeSecondsNow();

    DrillView& view_;
    Clock& clock_;
    DrillState state_;
    RandomSource random_;
    std::function<void()> save_;
    AnswerObserver* observer_ = nullptr;
    bool playObserved_ = false;  // PlayStarted was reported and RoundClosed not yet
};

}  // namespace keta
