#include "web_session.h"

#include <algorithm>
#include <cmath>

#include "axis_scale.h"
#include "json_text.h"
#include "round_indices.h"
#include "session_figure_texts.h"
#include "session_sentences.h"

namespace keta::web {
namespace {

const char* StateName(SessionState state) {
    switch (state) {
        case SessionState::Ready:
            return "ready";
        case SessionState::FirstHalf:
            return "first";
        case SessionState::Rest:
            return "rest";
        case SessionState::ReadySignal:
            return "signal";
        case SessionState::SecondHalf:
            return "second";
        case SessionState::Finished:
            return "finished";
        case SessionState::Stopped:
            return "stopped";
    }
    return "ready";
}

const char* MarkName(WebSession::Mark mark) {
    switch (mark) {
        case WebSession::Mark::Right:
            return "right";
        case WebSession::Mark::Wrong:
            return "wrong";
        case WebSession::Mark::None:
            break;
    }
    return "none";
}

// "休憩　あと 4:05" and how to end it, as the desktop's window says it.
std::string RestText(int secondsLeft) {
    const int seconds = secondsLeft % 60;
    return "休憩　あと " + std::to_string(secondsLeft / 60) + ":" + (seconds < 10 ? "0" : "") +
           std::to_string(seconds) + "\nSpace か Enter で休憩を終えて後半に進みます。";
}

// The page's clock in whole milliseconds; a reading that is no number, or that goes back,
// leaves the clock where it was, so the schedule never runs backwards.
std::int64_t ClockMs(double ms, std::int64_t before) {
    if (!std::isfinite(ms)) return before;
    const double bounded = std::clamp(std::floor(ms), 0.0, 9.0e15);
    return std::max(before, static_cast<std::int64_t>(bounded));
}

constexpr double kGap = 2.0;  // the rest's width on the curve, in lines, as on the desktop

void SettingsFields(JsonText& json, const SessionSettings& s) {
    json.Key("lineSeconds").Number(s.lineSeconds);
    json.Key("firstHalfLines").Number(s.firstHalfLines);
    json.Key("secondHalfLines").Number(s.secondHalfLines);
    json.Key("restMinutes").Number(s.restMinutes);
    json.Key("mode").Number(static_cast<int>(s.mode));
    json.Key("showMarks").Flag(s.showMarks);
    json.Key("showTimeLeft").Flag(s.showTimeLeft);
}

}  // namespace

WebSession::WebSession() { settings_ = settings_.Clamped(); }

const SessionSettings& WebSession::Configure(const SessionSettings& settings) {
    settings_ = settings.Clamped();
    return settings_;
}

void WebSession::SetNow(double nowMs) { nowMs_ = ClockMs(nowMs, nowMs_); }

double WebSession::SecondsSinceMidnight() {
    return startSecondsSinceMidnight_ + static_cast<double>(nowMs_ - startMs_) / 1000.0;
}

bool WebSession::Running() const {
    if (session_ == nullptr) return false;
    const SessionState s = session_->State();
    return s != SessionState::Ready && s != SessionState::Finished && s != SessionState::Stopped;
}

void WebSession::Start(double nowMs, double secondsSinceMidnight) {
    if (Running()) return;
    session_.reset();
    // A new session's clock starts afresh: only within a session may it not go back.
    nowMs_ = ClockMs(nowMs, 0);
    startMs_ = nowMs_;
    startSecondsSinceMidnight_ = std::isfinite(secondsSinceMidnight) ? secondsSinceMidnight : 0.0;
    digits_ = std::make_unique<ClockSeededDigits>(*this);
    boxes_ = {};
    lineLabel_.clear();
    timeLeft_ = -1;
    restLeft_ = -1;
    signalStep_ = 0;
    session_ = std::make_unique<PracticeSession>(*this, *this, *digits_);
    session_->AttachObserver(observer_);
    session_->Configure(settings_);
    session_->Start();
    Changed();
}

void WebSession::Pause(double nowMs) {
    if (session_ == nullptr) return;
    SetNow(nowMs);
    session_->Pause();
    Changed();
}

void WebSession::Resume(double nowMs) {
    if (session_ == nullptr) return;
    SetNow(nowMs);
    session_->Resume();
    Changed();
}

void WebSession::Tick(double nowMs) {
    if (session_ == nullptr) return;
    SetNow(nowMs);
    session_->Tick();
}

void WebSession::BoxEdited(int box, std::string text, double nowMs) {
    if (session_ == nullptr || !session_->Working() || box < 1 || box > kBoxCount) return;
    SetNow(nowMs);
    // Kept before the session sees it: a row dealt meanwhile clears it with the others.
    boxes_[static_cast<std::size_t>(box)].text = text;
    Changed();
    session_->BoxChanged(box, text);
}

void WebSession::EndRest(double nowMs) {
    if (session_ == nullptr) return;
    SetNow(nowMs);
    session_->EndRestEarly();
}

void WebSession::Stop(double nowMs) {
    if (session_ == nullptr) return;
    SetNow(nowMs);
    session_->Stop();
}

void WebSession::ShowRow(const DigitRow& digits, bool difference) {
    row_ = digits;
    difference_ = difference;
    boxes_ = {};
    ++rowsDealt_;
    restLeft_ = -1;
    Changed();
}

void WebSession::MarkBox(int box, bool correct) {
    if (box < 1 || box > kBoxCount) return;
    boxes_[static_cast<std::size_t>(box)].mark = correct ? Mark::Right : Mark::Wrong;
    Changed();
}

void WebSession::FocusBox(int box) {
    focus_ = box;
    ++focusRequests_;
    Changed();
}

void WebSession::LineChanged() {
    ++lineChanges_;
    signalStep_ = 0;
    Changed();
}

void WebSession::SetLineLabel(const std::string& text) {
    lineLabel_ = text;
    Changed();
}

void WebSession::ShowTimeLeft(int seconds) {
    timeLeft_ = seconds;
    Changed();
}

void WebSession::ShowRestCountdown(int secondsLeft) {
    restLeft_ = secondsLeft;
    timeLeft_ = -1;  // the last line's seconds are over
    Changed();
}

void WebSession::ShowReadySignal(int step, int half) {
    restLeft_ = -1;
    signalStep_ = step;
    signalHalf_ = half;
    Changed();
}

void WebSession::ShowFinished(bool) {
    restLeft_ = -1;
    Changed();
}

std::string WebSession::Snapshot() const {
    const SessionState state = session_ != nullptr ? session_->State() : SessionState::Ready;
    const bool working = session_ != nullptr && session_->Working();
    std::string status;
    if (state == SessionState::Rest && restLeft_ >= 0) {
        status = RestText(restLeft_);
    } else if (state == SessionState::ReadySignal) {
        status = PracticeSession::ReadyText(signalHalf_);
    } else if (state == SessionState::Finished) {
        status = "終わりました。";
    } else if (state == SessionState::Stopped) {
        status = "中止しました。";
    }

    JsonText json;
    json.Begin('{');
    json.Key("state").Text(StateName(state));
    json.Key("running").Flag(Running());
    json.Key("working").Flag(working);
    json.Key("digits").Begin('[');
    for (const int d : row_) json.Text(std::to_string(d));
    json.End(']');
    json.Key("modeSign").Text(difference_ ? "－" : "＋");
    json.Key("modeName").Text(difference_ ? "引き算" : "足し算");
    json.Key("boxes").Begin('[');
    for (int i = 1; i <= kBoxCount; ++i) {
        const Box& box = boxes_[static_cast<std::size_t>(i)];
        json.Begin('{');
        json.Key("text").Text(box.text);
        json.Key("mark").Text(MarkName(box.mark));
        json.End('}');
    }
    json.End(']');
    json.Key("focus").Number(focus_);
    json.Key("focusRequests").Number(focusRequests_);
    json.Key("rowsDealt").Number(rowsDealt_);
    json.Key("lineChanges").Number(lineChanges_);
    json.Key("lineLabel").Text(lineLabel_);
    json.Key("timeLeft")
        .Text(working && timeLeft_ >= 0 && settings_.showTimeLeft
                  ? "残り " + std::to_string(timeLeft_) + " 秒"
                  : std::string());
    json.Key("status").Text(status);
    json.Key("lights").Begin('[');
    for (int k = 1; k <= kLightCount; ++k)
        json.Flag(state == SessionState::ReadySignal && k <= signalStep_);
    json.End(']');
    json.Key("changes").Number(changes_);
    json.End('}');
    return json.Str();
}

std::string WebSession::SettingsJson() const {
    JsonText json;
    json.Begin('{');
    SettingsFields(json, settings_);
    json.Key("limits").Begin('{');
    json.Key("lineSeconds").Begin('[');
    json.Number(SessionSettings::kMinLineSeconds).Number(SessionSettings::kMaxLineSeconds);
    json.End(']');
    json.Key("firstHalfLines").Begin('[');
    json.Number(SessionSettings::kMinFirstLines).Number(SessionSettings::kMaxLines).End(']');
    json.Key("secondHalfLines").Begin('[').Number(0).Number(SessionSettings::kMaxLines).End(']');
    json.Key("restMinutes").Begin('[').Number(0).Number(SessionSettings::kMaxRestMinutes).End(']');
    json.End('}');
    json.Key("modes").Begin('[');
    for (const SessionMode m :
         {SessionMode::Sum, SessionMode::Difference, SessionMode::Alternating})
        json.Text(analysis::SessionModeText(m));
    json.End(']');
    json.End('}');
    return json.Str();
}

std::string WebSession::ResultJson() const {
    JsonText json;
    json.Begin('{');
    if (session_ == nullptr) {
        json.Key("none").Flag(true).End('}');
        return json.Str();
    }
    const SessionSettings& s = session_->Settings();
    const std::vector<LineResult>& lines = session_->Lines();
    const bool stopped = session_->State() == SessionState::Stopped;
    json.Key("finished").Flag(!Running());
    json.Key("format").Text(analysis::SessionFormatText(s));
    json.Key("stopped").Text(stopped ? analysis::SessionStoppedText(lines.size()) : std::string());
    json.Key("sentences").Begin('[');
    for (const std::string& sentence : analysis::SessionSentences(lines, s, stopped))
        json.Text(sentence);
    json.End(']');
    json.Key("settings").Begin('{');
    SettingsFields(json, s);
    json.End('}');

    // The curve: line numbers across, the second half after a gap for the rest; the count axis
    // on the desktop's round ticks over every point drawn.
    const bool twoHalves = s.secondHalfLines > 0;
    const double secondStart = s.firstHalfLines + kGap;
    double top = 0.0;
    json.Key("halves").Begin('[');
    for (int half = 1; half <= (twoHalves ? 2 : 1); ++half) {
        const double base = half == 1 ? 0.0 : secondStart;
        json.Begin('{');
        json.Key("name").Text(half == 1 ? "前半" : "後半");
        json.Key("planned").Number(half == 1 ? s.firstHalfLines : s.secondHalfLines);
        json.Key("lines").Begin('[');
        for (const LineResult& l : lines) {
            if (l.half != half) continue;
            json.Begin('{');
            json.Key("line").Number(l.line);
            json.Key("x").Real(base + l.line);
            json.Key("answers").Number(l.Answers());
            json.Key("errors").Number(l.Errors());
            json.Key("mode").Text(l.difference ? "－" : "＋");
            json.End('}');
            top = std::max(top, static_cast<double>(l.Answers()));
        }
        json.End(']');
        json.End('}');
    }
    json.End(']');

    const analysis::AxisScale scale = analysis::RoundScale(0.0, std::max(top, 1.0), 5);
    json.Key("curve").Begin('{');
    json.Key("title").Text("行ごとの解答数");
    json.Key("across").Text("行");
    json.Key("up").Text("問");
    json.Key("low").Real(0.5);
    json.Key("high").Real(twoHalves ? secondStart + s.secondHalfLines + 0.5
                                    : s.firstHalfLines + 0.5);
    json.Key("gapLabel").Text(twoHalves ? "休憩" : "");
    json.Key("gapX").Real(s.firstHalfLines + kGap / 2 + 0.5);
    json.Key("yLow").Real(scale.low);
    json.Key("yHigh").Real(scale.high);
    json.Key("yTicks").Begin('[');
    for (int i = 0; i <= scale.intervals; ++i) {
        const double v = scale.low + i * scale.step;
        json.Begin('[').Real(v).Text(analysis::FormatFigure(v, scale.decimals)).End(']');
    }
    json.End(']');
    json.Key("xTicks").Begin('[');
    for (int half = 1; half <= (twoHalves ? 2 : 1); ++half) {
        const double base = half == 1 ? 0.0 : secondStart;
        for (int k = 1; k <= (half == 1 ? s.firstHalfLines : s.secondHalfLines); ++k)
            json.Begin('[').Real(base + k).Text(std::to_string(k)).End(']');
    }
    json.End(']');
    json.Key("answersName").Text("解答数");
    json.Key("errorsName").Text("誤答数");
    json.End('}');

    const analysis::SessionFigureValues values = analysis::ComputeSessionFigureValues(lines, s);
    const std::vector<analysis::SessionFigureRow>& rows = analysis::SessionFigureRows();
    json.Key("figures").Begin('[');
    for (std::size_t i = 0; i < rows.size() && i < values.values.size(); ++i) {
        json.Begin('{');
        json.Key("caption").Text(rows[i].caption);
        json.Key("meaning").Text(rows[i].meaning);
        json.Key("value").Text(analysis::SessionFigureText(rows[i].kind, values.values[i]));
        json.End('}');
    }
    json.End(']');
    json.End('}');
    return json.Str();
}

}  // namespace keta::web
