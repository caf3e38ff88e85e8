#pragma once
// The practice session behind the browser's session page: the engine's PracticeSession with a
// view that keeps what the page is to show and a clock the page sets before every event, so
// that the schedule, the scoring and the figures all run here and the page only draws.

#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "clock.h"
#include "practice_session.h"

namespace keta::web {

class WebSession final : public SessionView, public MonotonicClock, public Clock {
public:
    enum class Mark { None, Right, Wrong };

    WebSession();

    // Clamped by the engine; takes effect at the next start. Returns the settings in force.
    const SessionSettings& Configure(const SessionSettings& settings);
    const SessionSettings& Settings() const { return settings_; }

    // `nowMs`: the page's monotonic clock (performance.now()); `secondsSinceMidnight`: the time
    // of day at that moment, which seeds the rows as the drill's does. A session under way
    // carries on: only a finished or stopped one (or none) makes way for a new one.
    void Start(double nowMs, double secondsSinceMidnight);
    void Tick(double nowMs);
    void BoxEdited(int box, std::string text, double nowMs);
    void EndRest(double nowMs);
    void Stop(double nowMs);
    // The stop question is open: the session's time stands still until Resume.
    void Pause(double nowMs);
    void Resume(double nowMs);

    // Told of every session from the next start on (the page's answer log).
    void SetObserver(SessionObserver* observer) { observer_ = observer; }

    bool Running() const;
    const PracticeSession* Session() const { return session_.get(); }
    // Goes up with every change the page has to draw, so that a tick that changed nothing costs
    // the page no snapshot.
    long long Changes() const { return changes_; }

    // What the working page shows, as JSON.
    std::string Snapshot() const;
    // The settings in force and the ranges of each, as JSON.
    std::string SettingsJson() const;
    // The result of the last session: the curve's numbers, the lines, every figure as text.
    std::string ResultJson() const;

    // SessionView
    void ShowRow(const DigitRow& digits, bool difference) override;
    void MarkBox(int box, bool correct) override;
    void FocusBox(int box) override;
    void LineChanged() override;
    void SetLineLabel(const std::string& text) override;
    void ShowTimeLeft(int seconds) override;
    void ShowRestCountdown(int secondsLeft) override;
    void ShowReadySignal(int step, int half) override;
    void ShowFinished(bool stopped) override;

    // MonotonicClock
    std::int64_t NowMs() override { return nowMs_; }
    // Clock: the time of day, carried on from the start by the monotonic clock.
    double SecondsSinceMidnight() override;

private:
    struct Box {
        std::string text;
        Mark mark = Mark::None;
    };

    void SetNow(double nowMs);
    void Changed() { ++changes_; }

    SessionSettings settings_;
    std::unique_ptr<ClockSeededDigits> digits_;
    std::unique_ptr<PracticeSession> session_;
    SessionObserver* observer_ = nullptr;
    std::int64_t nowMs_ = 0;
    std::int64_t startMs_ = 0;
    double startSecondsSinceMidnight_ = 0;

    DigitRow row_{};
    bool difference_ = false;
    std::array<Box, kBoxCount + 1> boxes_;  // 1..14
    int focus_ = 0;
    long long focusRequests_ = 0;
    long long rowsDealt_ = 0;
    long long lineChanges_ = 0;
    std::string lineLabel_;
    int timeLeft_ = -1;  // -1: not shown
    int restLeft_ = -1;  // -1: no rest under way
    int signalStep_ = 0;
    int signalHalf_ = 2;
    long long changes_ = 0;
};

}  // namespace keta::web
