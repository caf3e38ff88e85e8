#include "bridge.h"

#include <cstdint>
#include <cstdio>
#include <optional>

#include "cp932.h"
#include "export.h"
#include "history_records.h"
#include "history_store.h"
#include "web_log.h"

namespace keta::web {
namespace {

std::string& Out() {
    static std::string out;
    return out;
}

LocalTime& Now() {
    static LocalTime now;
    return now;
}

// The save button and the auto-save: the result becomes a record line at the history's end.
void SaveResult() {
    WebDrill& drill = TheDrill();
    const DrillState& s = drill.State();
    if (!CanSaveResult(s)) return;
    const LocalTime& t = Now();
    SavedResult result;
    result.year = t.year;
    result.month = t.month;
    result.day = t.day;
    result.hour = t.hour;
    result.minute = t.minute;
    result.second = t.second;
    result.answers = s.intMonsu;
    result.correct = s.intOk;
    result.wrong = s.intNg;
    result.timeLimit = s.intJikan;
    result.modeText = Utf8ToUtf16(drill.ModeText()).value_or(std::u16string());
    const std::optional<std::string> line = HistoryRecordLine(result);
    if (!line) {
        drill.NoteSave(
            false, "モードの表示に履歴.txt に書けない文字があるため、結果を保存できませんでした。");
    } else if (!TheHistory().Append(*line)) {
        drill.NoteSave(false, "履歴がいっぱいのため、結果を保存できませんでした。");
    } else {
        drill.NoteSave(true, {});
        TheLog().NoteSave(Utf16ToUtf8(HistoryDateText(result)),
                          Utf16ToUtf8(HistoryTimeText(result)));
    }
}

}  // namespace

WebDrill& TheDrill() {
    static WebDrill drill;
    static const bool attached = [] {
        drill.Engine().AttachSave(&SaveResult);
        drill.Engine().AttachObserver(&TheLog());
        return true;
    }();
    (void)attached;
    return drill;
}

WebLog& TheLog() {
    static WebLog log([] { return TheDrill().SecondsSinceMidnight(); });
    return log;
}

HistoryStore& TheHistory() {
    static HistoryStore history;
    return history;
}

bool SetTimeLimit(int seconds) {
    if (seconds < 1 || seconds > 32767) return false;
    TheDrill().Engine().State().intJikan = static_cast<std::int16_t>(seconds);
    return true;
}

void SetLocalTime(const LocalTime& at) {
    Now() = at;
    // The start of a round is stamped with the time the page read just before the tick that
    // started it, as the desktop stamps it with the clock at that tick.
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%04d-%02d-%02dT%02d:%02d:%02d", at.year, at.month, at.day,
                  at.hour, at.minute, at.second);
    TheLog().SetStartStamp(stamp);
}

const char* GiveOut(std::string text) {
    Out() = std::move(text);
    return Out().c_str();
}

std::size_t OutSize() { return Out().size(); }

}  // namespace keta::web
