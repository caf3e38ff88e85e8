// The answer log's C entry points for the page. Bytes come in through memory the page
// allocated with malloc and go out through the one buffer whose size keta_out_size gives.

#include <cstdint>
#include <string_view>

#include "bridge.h"
#include "export.h"
#include "json_text.h"
#include "web_log.h"

extern "C" {

KETA_EXPORT double keta_log_import_limit() {
    return static_cast<double>(keta::web::kMostLogImportBytes);
}

// Reads a file's bytes (none: a new log); with `commit` 1 they become the log at once when
// they are a log (the page's own copy at start-up), with 0 they wait for keta_log_commit.
// Gives a JSON report: the outcome's number, the rounds, and why a file was refused.
KETA_EXPORT const char* keta_log_load(const std::uint8_t* bytes, std::size_t size, int commit) {
    keta::web::WebLog& log = keta::web::TheLog();
    const keta::web::LogOutcome outcome =
        log.Read(std::string_view(reinterpret_cast<const char*>(bytes), size));
    const bool taken = outcome == keta::web::LogOutcome::Taken;
    keta::web::JsonText json;
    json.Begin('{');
    json.Key("outcome").Number(static_cast<int>(outcome));
    json.Key("rounds").Number(taken ? log.WaitingRounds() : 0);
    if (!taken) json.Key("message").Text(log.Refusal());
    json.End('}');
    if (taken && commit == 1) log.Commit();
    return keta::web::GiveOut(json.Str());
}

KETA_EXPORT void keta_log_commit() { keta::web::TheLog().Commit(); }

// What the page watches after each event: goes up with every write and every write that
// failed, so that the page stores the bytes again or tells the person.
KETA_EXPORT double keta_log_changes() {
    const keta::web::WebLog& log = keta::web::TheLog();
    return static_cast<double>(log.Changes() + log.Failures());
}

KETA_EXPORT const char* keta_log_state() {
    const keta::web::WebLog& log = keta::web::TheLog();
    keta::web::JsonText json;
    json.Begin('{');
    json.Key("usable").Flag(log.Usable());
    json.Key("rounds").Number(log.Rounds());
    json.Key("failures").Number(log.Failures());
    json.Key("lastError").Text(log.LastError());
    json.End('}');
    return keta::web::GiveOut(json.Str());
}

// The bytes of 解答ログ.db.
KETA_EXPORT const char* keta_log_file() {
    return keta::web::GiveOut(keta::web::TheLog().FileBytes());
}

KETA_EXPORT const char* keta_log_curve(double id, int step) {
    return keta::web::GiveOut(keta::web::TheLog().CurveJson(static_cast<std::int64_t>(id), step));
}

KETA_EXPORT const char* keta_log_pairs(int mode) {
    return keta::web::GiveOut(keta::web::TheLog().PairsJson(mode));
}

}  // extern "C"
