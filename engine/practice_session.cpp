#include "practice_session.h"

#include <algorithm>
#include <cmath>

#include "answer_rule.h"

namespace keta {
namespace {

std::string Caption(int digit) { return std::string(1, static_cast<char>('0' + digit)); }

// Whole seconds left until `end`, rounded up, never below 0.
int SecondsLeft(std::int64_t end, std::int64_t now) {
    const std::int64_t ms = std::max<std::int64_t>(0, end - now);
    return static_cast<int>((ms + 999) / 1000);
}

}  // namespace

DigitRow ClockSeededDigits::NextRow() {
    random_.Reseed(clock_.SecondsSinceMidnight());
    DigitRow row{};
    for (int& d : row) d = static_cast<int>(std::floor(random_.Next() * 10.0f));
    return row;
}

SessionSettings SessionSettings::Clamped() const {
    SessionSettings s = *this;
    s.lineSeconds = std::clamp(lineSeconds, kMinLineSeconds, kMaxLineSeconds);
    s.firstHalfLines = std::clamp(firstHalfLines, kMinFirstLines, kMaxLines);
    s.secondHalfLines = std::clamp(secondHalfLines, 0, kMaxLines);
    s.restMinutes = std::clamp(restMinutes, 0, kMaxRestMinutes);
    if (mode != SessionMode::Difference && mode != SessionMode::Alternating)
        s.mode = SessionMode::Sum;
    return s;
}

int LineResult::Errors() const {
    return static_cast<int>(std::count_if(answers.begin(), answers.end(),
                                          [](const LineAnswer& a) { return !a.correct; }));
}

PracticeSession::PracticeSession(SessionView& view, MonotonicClock& clock, DigitSource& digits)
    : view_(view), clock_(clock), digits_(digits) {}

const SessionSettings& PracticeSession::Configure(const SessionSettings& settings) {
    if (state_ == SessionState::Ready) settings_ = settings.Clamped();
    return settings_;
}

std::string PracticeSession::LineLabel(int half, int line, int linesInHalf) {
    return std::string(half == 1 ? "前半 " : "後半 ") + std::to_string(line) + " / " +
           std::to_string(linesInHalf);
}

std::string PracticeSession::ReadyText(int half) {
    return half == 1 ? "前半を始めます。" : "後半を始めます。";
}

int PracticeSession::LinesInHalf(int half) const {
    return half == 1 ? settings_.firstHalfLines : settings_.secondHalfLines;
}

bool PracticeSession::LineIsDifference(int lineIndex) const {
    switch (settings_.mode) {
        case SessionMode::Difference:
            return true;
        case SessionMode::Alternating:
            // Each half starts with the sum, so line k of both halves is alike and the halves
            // compare fairly.
            return lineIndex % 2 == 1;
        case SessionMode::Sum:
            break;
    }
    return false;
}

void PracticeSession::Start() {
    if (state_ != SessionState::Ready) return;
    const std::int64_t now = Now();
    if (observer_ != nullptr) observer_->SessionStarted(settings_, now);
    // As in the test room: the lights first, and the first line with the last of them.
    BeginSignal(now, 1);
    CatchUp(now);
}

void PracticeSession::BeginHalf(int half, std::int64_t at) {
    state_ = half == 1 ? SessionState::FirstHalf : SessionState::SecondHalf;
    halfStartMs_ = at;
    lineIndex_ = 0;
    BeginLine(at);
}

void PracticeSession::BeginLine(std::int64_t at) {
    current_ = LineResult{};
    current_.half = state_ == SessionState::SecondHalf ? 2 : 1;
    current_.line = lineIndex_ + 1;
    current_.difference = LineIsDifference(lineIndex_);
    current_.startMs = at;
    shownSeconds_ = -1;
}

void PracticeSession::PresentLine() {
    DealRow();
    view_.LineChanged();
    view_.SetLineLabel(LineLabel(current_.half, current_.line, LinesInHalf(current_.half)));
}

void PracticeSession::DealRow() {
    row_ = digits_.NextRow();
    for (int& d : row_) d = std::clamp(d, 0, 9);
    view_.ShowRow(row_, current_.difference);
    view_.FocusBox(1);
}

void PracticeSession::CloseLine() {
    lines_.push_back(std::move(current_));
    current_ = LineResult{};
    if (observer_ != nullptr) observer_->LineCompleted(lines_.back());
}

void PracticeSession::EndHalf(int half, std::int64_t at) {
    if (half == 1 && settings_.secondHalfLines > 0) {
        if (settings_.restMinutes > 0) {
            state_ = SessionState::Rest;
            restEndMs_ = at + std::int64_t{settings_.restMinutes} * 60'000;
            shownSeconds_ = -1;
            // The header says where the session is, not the last line's number.
            view_.SetLineLabel("休憩");
        } else {
            BeginSignal(at, 2);
        }
        return;
    }
    Finish(SessionState::Finished);
}

void PracticeSession::BeginSignal(std::int64_t at, int half) {
    state_ = SessionState::ReadySignal;
    signalStartMs_ = at;
    signalStep_ = 0;
    signalHalf_ = half;
    view_.SetLineLabel("用意");
}

void PracticeSession::Finish(SessionState state) {
    state_ = state;
    view_.ShowFinished(state == SessionState::Stopped);
    if (observer_ != nullptr) observer_->SessionEnded(state);
}

bool PracticeSession::AdvanceTo(std::int64_t now) {
    bool crossed = false;
    for (;;) {
        switch (state_) {
            case SessionState::FirstHalf:
            case SessionState::SecondHalf: {
                // From the start of the half, never from the last tick, so lines do not drift.
                const std::int64_t boundary = halfStartMs_ + (lineIndex_ + 1) * LineMs();
                if (now < boundary) return crossed;
                const int half = current_.half;
                CloseLine();
                crossed = true;
                ++lineIndex_;
                if (lineIndex_ < LinesInHalf(half)) {
                    BeginLine(boundary);
                } else {
                    EndHalf(half, boundary);
                }
                break;
            }
            case SessionState::Rest:
                if (now < restEndMs_) return crossed;
                BeginSignal(restEndMs_, 2);
                break;
            case SessionState::ReadySignal: {
                const std::int64_t steps = 1 + (now - signalStartMs_) / kSignalStepMs;
                const int step = static_cast<int>(std::clamp<std::int64_t>(steps, 1, kSignalSteps));
                if (step > signalStep_) {
                    signalStep_ = step;
                    view_.ShowReadySignal(step, signalHalf_);
                }
                if (step < kSignalSteps) return crossed;
                // The last light comes with the first row, as in the drill.
                BeginHalf(signalHalf_, signalStartMs_ + (kSignalSteps - 1) * kSignalStepMs);
                crossed = true;
                break;
            }
            case SessionState::Ready:
            case SessionState::Finished:
            case SessionState::Stopped:
                return crossed;
        }
    }
}

bool PracticeSession::CatchUp(std::int64_t now) {
    const bool crossed = AdvanceTo(now);
    if (crossed && Working()) PresentLine();
    UpdateCountdowns(now);
    return crossed;
}

void PracticeSession::UpdateCountdowns(std::int64_t now) {
    if (Working() && settings_.showTimeLeft) {
        const int s = SecondsLeft(halfStartMs_ + (lineIndex_ + 1) * LineMs(), now);
        if (s != shownSeconds_) view_.ShowTimeLeft(shownSeconds_ = s);
    } else if (state_ == SessionState::Rest) {
        const int s = SecondsLeft(restEndMs_, now);
        if (s != shownSeconds_) view_.ShowRestCountdown(shownSeconds_ = s);
    }
}

std::int64_t PracticeSession::Now() const {
    return (paused_ ? pausedAt_ : clock_.NowMs()) - pausedMs_;
}

void PracticeSession::Tick() {
    if (!Running()) return;
    CatchUp(Now());
}

void PracticeSession::Pause() {
    if (!Running() || paused_) return;
    CatchUp(Now());  // what was due before the question happened before it
    if (!Running()) return;
    pausedAt_ = clock_.NowMs();
    paused_ = true;
}

void PracticeSession::Resume() {
    if (!paused_) return;
    pausedMs_ += std::max<std::int64_t>(0, clock_.NowMs() - pausedAt_);
    paused_ = false;
    Tick();
}

void PracticeSession::BoxChanged(int box, std::string_view text) {
    if (!Working() || paused_ || box < 1 || box > kBoxCount || text.empty()) return;
    const std::int64_t now = Now();
    // A keystroke that reaches us after a boundary was typed into a row that has gone with its
    // line; it is not scored against the fresh row.
    if (CatchUp(now)) return;

    const ScoredAnswer scored =
        ScoreAnswerText(Caption(row_[static_cast<std::size_t>(box - 1)]),
                        Caption(row_[static_cast<std::size_t>(box)]), text, current_.difference);
    current_.answers.push_back({now - current_.startMs, box, scored.left, scored.right,
                                std::string(text), scored.expected, scored.correct});
    if (settings_.showMarks) view_.MarkBox(box, scored.correct);
    if (box == kBoxCount) {
        DealRow();  // a filled row is replaced at once, as in the drill
    } else {
        view_.FocusBox(box + 1);
    }
}

void PracticeSession::EndRestEarly() {
    if (state_ != SessionState::Rest || paused_) return;
    const std::int64_t now = Now();
    CatchUp(now);
    if (state_ != SessionState::Rest) return;
    BeginSignal(now, 2);
    CatchUp(now);
}

void PracticeSession::Stop() {
    if (!Running()) return;
    // Lines whose time is already up count, even if no tick has closed them yet.
    CatchUp(Now());
    paused_ = false;
    if (state_ == SessionState::Finished) return;
    current_ = LineResult{};
    Finish(SessionState::Stopped);
}

}  // namespace keta
