#pragma once
// A practice session in the format of the long written test: lines of a fixed time, a first
// half, a rest, a ready signal and a second half. Standard library only: the window feeds it
// keystrokes and ticks, a monotonic clock gives the time, and a test drives it with a fake
// clock in microseconds.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "clock.h"
#include "drill_view.h"
#include "random_source.h"

namespace keta {

// Milliseconds from an arbitrary origin that never goes back (a steady clock).
class MonotonicClock {
public:
    virtual ~MonotonicClock() = default;
    virtual std::int64_t NowMs() = 0;
};

using DigitRow = std::array<int, kDigitCount>;  // digits 1..15 at indexes 0..14, each 0..9

// Where the digits of each new row come from.
class DigitSource {
public:
    virtual ~DigitSource() = default;
    virtual DigitRow NextRow() = 0;
};

// The drill's deal: reseeded from the time of day at every row, fifteen draws in order.
class ClockSeededDigits : public DigitSource {
public:
    explicit ClockSeededDigits(Clock& clock) : clock_(clock) {}
    DigitRow NextRow() override;

private:
    Clock& clock_;
    RandomSource random_;
};

enum class SessionMode { Sum, Difference, Alternating };

struct SessionSettings {
    static constexpr int kMinLineSeconds = 10, kMaxLineSeconds = 120;
    static constexpr int kMinFirstLines = 1, kMaxLines = 30;
    static constexpr int kMaxRestMinutes = 10;

    int lineSeconds = 60;
    int firstHalfLines = 15;
    int secondHalfLines = 15;  // 0: the session has one half only
    int restMinutes = 5;
    SessionMode mode = SessionMode::Sum;
    bool showMarks = false;     // right/wrong colours while working; off, as on paper
    bool showTimeLeft = false;  // the seconds left in the line; off, as on paper

    // Every field brought into its range.
    SessionSettings Clamped() const;
    bool operator==(const SessionSettings&) const = default;
};

enum class SessionState { Ready, FirstHalf, Rest, ReadySignal, SecondHalf, Finished, Stopped };

struct LineAnswer {
    std::int64_t ms = 0;  // since the start of the line
    int box = 0;          // 1..14
    int left = 0, right = 0;
    std::string typed;
    int expected = 0;
    bool correct = false;
};

struct LineResult {
    int half = 1;  // 1 or 2
    int line = 1;  // 1-based within its half
    bool difference = false;
    std::int64_t startMs = 0;  // clock reading at the line's start
    std::vector<LineAnswer> answers;

    int Answers() const { return static_cast<int>(answers.size()); }
    int Errors() const;
};

// What the session needs of its window. Every call runs at once, on the caller's thread.
class SessionView {
public:
    virtual ~SessionView() = default;
    // A fresh row: these digits, all fourteen boxes empty and unmarked.
    virtual void ShowRow(const DigitRow& digits, bool difference) = 0;
    // Only called when the settings ask for right/wrong colours.
    virtual void MarkBox(int box, bool correct) = 0;
    virtual void FocusBox(int box) = 0;
    // A new line has begun: a cue the person notices without looking away from the row.
    virtual void LineChanged() = 0;
    virtual void SetLineLabel(const std::string& text) = 0;  // "前半 3 / 15"
    // Whole seconds left in the line, rounded up; only called when the settings ask for it.
    virtual void ShowTimeLeft(int seconds) = 0;
    // The rest: whole seconds left, rounded up; the row is not worked on meanwhile.
    virtual void ShowRestCountdown(int secondsLeft) = 0;
    // The lights before a half (1 or 2): `step` 1..3, as the drill's lights.
    virtual void ShowReadySignal(int step, int half) = 0;
    virtual void ShowFinished(bool stopped) = 0;
};

// A log's hook: each completed line is handed over at its boundary, so a crash loses at most
// the line in progress. Called inside the session's handlers: take a copy and return quickly.
class SessionObserver {
public:
    virtual ~SessionObserver() = default;
    virtual void SessionStarted(const SessionSettings& settings, std::int64_t startMs) = 0;
    virtual void LineCompleted(const LineResult& line) = 0;
    virtual void SessionEnded(SessionState state) = 0;  // Finished or Stopped
};

class PracticeSession {
public:
    static constexpr int kSignalSteps = 3;
    static constexpr std::int64_t kSignalStepMs = 1000;

    PracticeSession(SessionView& view, MonotonicClock& clock, DigitSource& digits);

    // Not owned; nullptr for none. Set before Start.
    void AttachObserver(SessionObserver* observer) { observer_ = observer; }

    // Only while Ready; values are clamped into their ranges. Returns the settings in force.
    const SessionSettings& Configure(const SessionSettings& settings);
    const SessionSettings& Settings() const { return settings_; }

    void Start();
    // The window's timer: closes every line whose boundary has passed, moves through the rest
    // and the ready signal, and updates the countdowns. Safe to call at any rate.
    void Tick();
    // The text of box `box` (1..14) changed by the person. Empty texts are not answers. A
    // keystroke that arrives after a line boundary the timer has not yet handled was typed into
    // the row of a line that has ended: it closes that line and is not scored.
    void BoxChanged(int box, std::string_view text);
    void EndRestEarly();
    // Keeps the completed lines (a boundary already passed still closes its line); the line in
    // progress is dropped.
    void Stop();
    // The stop question is open: the session's time stands still until Resume, so that no line
    // runs on behind the question and "no" goes on where the line was. A Stop meanwhile takes
    // the lines as they stood at the pause.
    void Pause();
    void Resume();
    bool Paused() const { return paused_; }

    SessionState State() const { return state_; }
    bool Working() const {
        return state_ == SessionState::FirstHalf || state_ == SessionState::SecondHalf;
    }
    const std::vector<LineResult>& Lines() const { return lines_; }  // completed lines
    const LineResult& CurrentLine() const { return current_; }
    const DigitRow& Row() const { return row_; }
    bool CurrentDifference() const { return current_.difference; }

    // "前半 3 / 15" or "後半 1 / 15".
    static std::string LineLabel(int half, int line, int linesInHalf);
    // What the window says during the lights before `half`: "前半を始めます。" ...
    static std::string ReadyText(int half);

private:
    // Moves the schedule on to `now`, every transition at its own scheduled time, then shows
    // the line that is current. Returns true when a line boundary was crossed.
    bool CatchUp(std::int64_t now);
    bool AdvanceTo(std::int64_t now);
    // The session's own time: the clock less every pause, standing still during one.
    std::int64_t Now() const;
    bool Running() const {
        return state_ != SessionState::Ready && state_ != SessionState::Finished &&
               state_ != SessionState::Stopped;
    }
    void PresentLine();
    void BeginHalf(int half, std::int64_t at);
    void BeginLine(std::int64_t at);
    void CloseLine();
    void EndHalf(int half, std::int64_t at);
    void BeginSignal(std::int64_t at, int half);
    void Finish(SessionState state);
    void DealRow();
    bool LineIsDifference(int lineIndex) const;
    void UpdateCountdowns(std::int64_t now);
    int LinesInHalf(int half) const;
    std::int64_t LineMs() const { return std::int64_t{settings_.lineSeconds} * 1000; }

    SessionView& view_;
    MonotonicClock& clock_;
    DigitSource& digits_;
    SessionObserver* observer_ = nullptr;
    SessionSettings settings_;
    SessionState state_ = SessionState::Ready;

    std::int64_t halfStartMs_ = 0;
    int lineIndex_ = 0;  // 0-based within the half
    std::int64_t restEndMs_ = 0;
    std::int64_t signalStartMs_ = 0;
    int signalStep_ = 0;
    int signalHalf_ = 2;     // the half the lights lead into
    int shownSeconds_ = -1;  // last countdown value shown, to skip repeats
    bool paused_ = false;
    std::int64_t pausedAt_ = 0;  // the clock's reading at the pause
    std::int64_t pausedMs_ = 0;  // every pause so far, added up
    DigitRow row_{};
    LineResult current_;
    std::vector<LineResult> lines_;
};

}  // namespace keta
