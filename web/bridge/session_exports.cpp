// The practice session's C entry points for the session page (called through cwrap). Every
// event carries the page's monotonic clock, performance.now() in milliseconds; the returned
// text stays valid until the next call that returns text.

#include <string>

#include "bridge.h"
#include "export.h"
#include "web_log.h"
#include "web_session.h"

using keta::web::WebSession;

namespace {

WebSession& TheSession() {
    static WebSession session;
    static const bool attached = [] {
        session.SetObserver(&keta::web::TheLog());
        return true;
    }();
    (void)attached;
    return session;
}

}  // namespace

extern "C" {

// Mode: 0 ＋, 1 －, 2 交互; flags: 1 for on. Returns the settings in force, clamped, as JSON.
KETA_EXPORT const char* keta_session_configure(int lineSeconds, int firstHalfLines,
                                               int secondHalfLines, int restMinutes, int mode,
                                               int showMarks, int showTimeLeft) {
    keta::SessionSettings s;
    s.lineSeconds = lineSeconds;
    s.firstHalfLines = firstHalfLines;
    s.secondHalfLines = secondHalfLines;
    s.restMinutes = restMinutes;
    // Anything but the three modes is a number no control gives: the clamping makes it ＋.
    s.mode = mode >= 0 && mode <= 2 ? static_cast<keta::SessionMode>(mode)
                                    : static_cast<keta::SessionMode>(-1);
    s.showMarks = showMarks == 1;
    s.showTimeLeft = showTimeLeft == 1;
    TheSession().Configure(s);
    return keta::web::GiveOut(TheSession().SettingsJson());
}

KETA_EXPORT const char* keta_session_settings() {
    return keta::web::GiveOut(TheSession().SettingsJson());
}

KETA_EXPORT void keta_session_start(double nowMs, double secondsSinceMidnight) {
    TheSession().Start(nowMs, secondsSinceMidnight);
}

// Returns the count of changes so far: the page takes a snapshot only when it has grown.
KETA_EXPORT double keta_session_tick(double nowMs) {
    TheSession().Tick(nowMs);
    return static_cast<double>(TheSession().Changes());
}

KETA_EXPORT void keta_session_box_edited(int box, const char* text, double nowMs) {
    TheSession().BoxEdited(box, text != nullptr ? text : "", nowMs);
}

KETA_EXPORT void keta_session_end_rest(double nowMs) { TheSession().EndRest(nowMs); }

KETA_EXPORT void keta_session_stop(double nowMs) { TheSession().Stop(nowMs); }

KETA_EXPORT void keta_session_pause(double nowMs) { TheSession().Pause(nowMs); }

KETA_EXPORT void keta_session_resume(double nowMs) { TheSession().Resume(nowMs); }

KETA_EXPORT const char* keta_session_snapshot() {
    return keta::web::GiveOut(TheSession().Snapshot());
}

KETA_EXPORT const char* keta_session_result() {
    return keta::web::GiveOut(TheSession().ResultJson());
}

// The last session beside the earlier ones in its format, from the answer log, as JSON.
KETA_EXPORT const char* keta_session_earlier() {
    const keta::PracticeSession* session = TheSession().Session();
    if (session == nullptr) return keta::web::GiveOut("{}");
    const keta::web::WebLog& log = keta::web::TheLog();
    return keta::web::GiveOut(
        log.EarlierJson(session->Settings(), session->Lines(), log.SessionId()));
}

}  // extern "C"
