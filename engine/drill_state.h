#pragma once
// The one state record of the drill. Created zeroed with the window and owned by it.

#include <cstdint>
#include <string>

#include "int16_rules.h"

namespace keta {

struct DrillState {
    std::string strHelp;           // name of the help file
    Boolean blnCountdown = False;  // the three-step countdown is running
    Boolean blnPlay = False;       // timed play is running
    std::int16_t intStep = 0;      // countdown step, 0 to 3
    std::int32_t lngNow = 0;       // last clock reading, whole seconds
    std::int32_t lngEnd = 0;       // clock reading at which play ends
    std::int16_t intNokori = 0;    // whole seconds of play left
    std::int16_t intMonsu = 0;     // answers scored in this round
    std::int16_t intHaba = 0;      // full width of the time bar as laid out
    std::int16_t intJikan = 0;     // time limit of a round in seconds
    std::int16_t intAs = 0;        // auto-save flag, 0 or 1
    std::int16_t intOk = 0;        // correct answers in this round
    std::int16_t intNg = 0;        // wrong answers in this round
    Boolean blnOwari = False;      // the round is closed: answer changes are ignored

    // Set only while the row is dealt anew after an answer in the last box, so that the
    // change handling run by that refill's own clearings skips its close test.
    bool blnRefilling = false;
};

// A result can be saved once its round has an answer, and not while a countdown or timed play
// runs: the rule of the save button and of the auto-save, in both editions.
inline bool CanSaveResult(const DrillState& s) {
    return (s.intOk != 0 || s.intNg != 0) && s.blnPlay == False && s.blnCountdown == False;
}

}  // namespace keta
