#pragma once
// The cells of the CSV exports, as spreadsheets and scripts read them: UTF-8, a row per line
// ended by CR LF, a file (not a stream) starting with a byte-order mark, and every cell that a
// spreadsheet would take for a formula kept as text.

#include <string>
#include <string_view>
#include <vector>

#include "history_records.h"

namespace keta {

// Spreadsheets read a UTF-8 file without it as the local code page (Shift_JIS on a Japanese
// desktop). Only files get it: a program reading a pipe does not expect one.
inline constexpr std::string_view kCsvByteOrderMark = "\xEF\xBB\xBF";
inline constexpr std::string_view kCsvLineEnd = "\r\n";

// A plain decimal number as this program writes its counts and times: an optional minus,
// digits, and a point with digits after it.
bool IsPlainCsvNumber(std::u16string_view text);

// Appends one row. Any cell a spreadsheet would compute gets a leading apostrophe, whatever its
// column: a history edited by hand may hold "=2+3" as its answers. A plain number in a column of
// numbers stays a number; in a column of text (`isText`, by column; missing columns are
// numbers) it stays text. A cell with a comma, a quote, a line break or a space at either end
// is quoted, its quotes doubled.
void AppendCsvRow(std::string& out, const std::vector<std::u16string>& cells,
                  const std::vector<bool>& isText);

// The history export: a header row of the grid's own headers, then a row for each record, its
// items as the grid shows them; the dates, times, ratios and texts are columns of text.
void AppendHistoryCsvHeader(std::string& out);
const std::vector<bool>& HistoryCsvTextColumns();
void AppendHistoryCsvRow(std::string& out, std::string_view recordLine);
// The whole export of `lines` (records as CollectHistoryRecords keeps them), as the desktop
// writes it to a file (`file`, with the byte-order mark) or to a stream.
std::string HistoryCsv(const HistoryLines& lines, bool file);

}  // namespace keta
