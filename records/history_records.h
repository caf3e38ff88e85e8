#pragma once
// The history file 履歴.txt: its records taken out of the file's bytes (lines that are not
// records are counted, not kept), the texts a grid shows for a record, the line a saved result
// becomes, and the bytes of a whole file. Shared by the desktop and the browser edition.

#include <array>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "record_line.h"

namespace keta {

// The lines of the history file that are records, as read: their bytes one after another,
// without line ends, and where each begins. Offsets are 32-bit, half the index of a long
// history; the readers keep the bytes below 4 GiB.
struct HistoryLines {
    static constexpr std::size_t kMostBytes = std::numeric_limits<std::uint32_t>::max();

    std::string bytes;
    std::vector<std::uint32_t> starts{0};  // where each line begins, then where the last one ends
    int Count() const { return static_cast<int>(starts.size()) - 1; }
    // Line `k`, 0-based.
    std::string_view Line(int k) const {
        const auto i = static_cast<std::size_t>(k);
        return std::string_view(bytes).substr(starts[i], starts[i + 1] - starts[i]);
    }
};

// What a reading of the file found.
struct HistoryLoadReport {
    int records = 0;           // shown in the grid
    int skippedLines = 0;      // not records (blank lines are not counted)
    int firstSkippedLine = 0;  // 1-based line number of the first of them, 0 when none
};

// A record of the history file: a line that RecordScanner takes for a record of nine items
// whose items 4 and 5 (the correct and the wrong answers) read as 16-bit integers.
//
// Takes the records out of a whole file's bytes where they lie: `lines.bytes` holds the file
// as read and keeps only its records, moved down over the line ends and the lines dropped;
// `lines.starts` is made anew. Lines that are no record are counted in `report` (skippedLines,
// firstSkippedLine; records is left to the caller). Nothing is allocated per line.
void CollectHistoryRecords(HistoryLines& lines, HistoryLoadReport& report);

// The same for a file that comes piece by piece: only the records are kept, and the bytes of a
// line only while it may still be one, so that an endless line of commas or zeros costs no
// memory. Throws std::bad_alloc when the records pass HistoryLines::kMostBytes.
class HistoryRecordCollector {
public:
    HistoryRecordCollector(HistoryLines& lines, HistoryLoadReport& report)
        : lines_(lines), report_(report) {}

    // The next bytes of the file.
    void Feed(std::string_view piece);
    // The end of the file: a last line without a line end is a line too.
    void Finish();

private:
    void Take(std::string_view bytes);
    void EndLine();

    HistoryLines& lines_;
    HistoryLoadReport& report_;
    RecordScanner scanner_;
    int lineNumber_ = 0;  // a full int: a long history must not overflow the line numbers
    bool inLine_ = false;
    bool afterCr_ = false;
};

// The nine items of a record line as a grid shows them: items 4 and 5 as the decimal text of
// their numbers (007 shows as 7), the others decoded, each to no more than `maxChars`
// characters. An item that does not decode is empty; so is every item of a line that is no
// record.
std::array<std::u16string, RecordScanner::kItems> RecordItemTexts(
    std::string_view line, std::ptrdiff_t maxChars = std::numeric_limits<std::ptrdiff_t>::max());

// The bytes of a history file holding `lines`, each ended by CR LF as the program appends them.
std::string HistoryFileBytes(const HistoryLines& lines);

// A result as it is saved: the local date and time of the save and the round's counters.
struct SavedResult {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    int answers = 0, correct = 0, wrong = 0, timeLimit = 0;
    std::u16string modeText;  // as the mode box shows it
};

// Fixed separators whatever the locale: the file format depends on them.
std::u16string HistoryDateText(const SavedResult& result);  // "2026/12/08"
std::u16string HistoryTimeText(const SavedResult& result);  // "09:05:03"
std::u16string AccuracyText(int correct, int answers);      // "88.0%"
std::u16string PerSecondText(int correct, int timeLimit);   // "0.37/秒"
std::u16string TimeLimitText(int timeLimit);                // "60秒"
// The result's line of the history file, in code page 932 with its CR LF; std::nullopt when the
// mode text cannot be written (see FormatRecordLine).
std::optional<std::string> HistoryRecordLine(const SavedResult& result);

}  // namespace keta
