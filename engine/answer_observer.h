#pragma once
// What the drill tells a listener about timed play: when it began, every scored answer, every
// click that emptied a box, and the close. Standard library only; the drill calls it on the UI
// thread, inside its handlers, so an implementation must only take notes and return.

#include <string>

namespace keta {

// The round as it stands at its close: the counters and the settings in force then.
struct RoundSummary {
    int answers = 0;       // intMonsu
    int correct = 0;       // intOk
    int wrong = 0;         // intNg
    int timeLimit = 0;     // intJikan, seconds
    std::string modeText;  // the mode combo's text, UTF-8
};

class AnswerObserver {
public:
    virtual ~AnswerObserver() = default;

    // The third countdown tick: the row is dealt and timing begins.
    virtual void PlayStarted() = 0;
    // One scored keystroke in box `box` (1..14) between the digits `left` and `right`.
    virtual void AnswerScored(int box, int left, int right, const std::string& typed, int expected,
                              bool correct) = 0;
    // The user's click emptied a box that held text. Never reported for the program's resets.
    virtual void BoxClearedByClick(int box) = 0;
    // The close of a round that reached timed play, before an auto-save runs.
    virtual void RoundClosed(const RoundSummary& summary) = 0;
};

}  // namespace keta
