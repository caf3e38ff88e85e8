// The history's C entry points for the page. Bytes come in through memory the page allocated
// with malloc; bytes go out through one buffer whose size keta_out_size gives, valid until the
// next call that gives bytes.

#include <cstdint>
#include <string>

#include "bridge.h"
#include "export.h"
#include "history_store.h"
#include "json_text.h"

extern "C" {

KETA_EXPORT void keta_set_local_time(int year, int month, int day, int hour, int minute,
                                     int second) {
    keta::web::SetLocalTime({year, month, day, hour, minute, second});
}

KETA_EXPORT double keta_history_import_limit() {
    return static_cast<double>(keta::web::kMostImportBytes);
}

// Reads a file's bytes; with `commit` 1 they become the history at once (the page's own copy
// at start-up), with 0 they wait for keta_history_commit. Gives a JSON report.
KETA_EXPORT const char* keta_history_load(const std::uint8_t* bytes, std::size_t size, int commit) {
    std::string file(reinterpret_cast<const char*>(bytes), size);
    keta::web::HistoryStore& history = keta::web::TheHistory();
    const keta::web::HistoryReadOutcome outcome = history.Read(std::move(file));
    if (commit == 1 && outcome.message.empty()) history.Commit();
    keta::web::JsonText json;
    json.Begin('{');
    json.Key("records").Number(outcome.report.records);
    json.Key("skippedLines").Number(outcome.report.skippedLines);
    json.Key("firstSkippedLine").Number(outcome.report.firstSkippedLine);
    if (!outcome.message.empty()) json.Key("message").Text(outcome.message);
    json.End('}');
    return keta::web::GiveOut(json.Str());
}

KETA_EXPORT void keta_history_commit() { keta::web::TheHistory().Commit(); }

KETA_EXPORT int keta_history_count() { return keta::web::TheHistory().Count(); }

KETA_EXPORT void keta_history_clear() { keta::web::TheHistory().Clear(); }

KETA_EXPORT const char* keta_history_rows(int from) {
    return keta::web::GiveOut(keta::web::TheHistory().RowsJson(from));
}

// The bytes of 履歴.txt for the history held.
KETA_EXPORT const char* keta_history_file() {
    return keta::web::GiveOut(keta::web::TheHistory().FileBytes());
}

// The history as the desktop's CSV export.
KETA_EXPORT const char* keta_history_csv() {
    return keta::web::GiveOut(keta::web::TheHistory().CsvBytes());
}

KETA_EXPORT double keta_out_size() { return static_cast<double>(keta::web::OutSize()); }

}  // extern "C"
