#include "history_store.h"

#include "cp932.h"
#include "csv_cells.h"
#include "json_text.h"

namespace keta::web {
namespace {

// As many characters of a cell as the desktop's grid shows.
constexpr std::ptrdiff_t kShownCharacters = 256;

}  // namespace

HistoryReadOutcome HistoryStore::Read(std::string bytes) {
    HistoryReadOutcome outcome;
    waiting_ = HistoryLines{};
    if (bytes.size() > kMostImportBytes) {
        outcome.message = "ファイルが大きすぎるため読み込みませんでした。";
        return outcome;
    }
    waiting_.bytes = std::move(bytes);
    CollectHistoryRecords(waiting_, outcome.report);
    outcome.report.records = waiting_.Count();
    if (outcome.report.records == 0 && outcome.report.skippedLines > 0) {
        // Not a history at all (a picture, a program's database, another program's log):
        // nothing is taken rather than an empty history.
        outcome.message = "履歴.txt の記録が見つかりませんでした。";
        waiting_ = HistoryLines{};
    }
    return outcome;
}

void HistoryStore::Commit() {
    lines_ = std::move(waiting_);
    waiting_ = HistoryLines{};
}

bool HistoryStore::Append(std::string_view lineWithEnd) {
    std::string_view line = lineWithEnd;
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);
    if (lines_.bytes.size() + line.size() > HistoryLines::kMostBytes) return false;
    lines_.bytes.append(line);
    lines_.starts.push_back(static_cast<std::uint32_t>(lines_.bytes.size()));
    return true;
}

void HistoryStore::Clear() { lines_ = HistoryLines{}; }

std::string HistoryStore::FileBytes() const { return HistoryFileBytes(lines_); }

std::string HistoryStore::RowsJson(int from) const {
    JsonText json;
    json.Begin('[');
    for (int k = from < 0 ? 0 : from; k < lines_.Count(); ++k) {
        json.Begin('[');
        json.Text(std::to_string(k + 1));
        for (const std::u16string& item : RecordItemTexts(lines_.Line(k), kShownCharacters))
            json.Text(Utf16ToUtf8(item));
        json.End(']');
    }
    json.End(']');
    return json.Str();
}

std::string HistoryStore::CsvBytes() const { return HistoryCsv(lines_, true); }

}  // namespace keta::web
