#pragma once
// The history and the answer log as UTF-8 CSV files with a header row, for spreadsheets and
// scripts. The target is decided by ResolveExportTarget: never a data file of the source's
// folder; "-" is standard output; a device or a FIFO is written as a stream; a regular file is
// written beside and renamed into place. A file starts with a byte-order mark, a stream does
// not. Every cell a spreadsheet would take for a formula is kept as text.

#include <QString>

namespace keta {

// Writes the history file's records as CSV, rows streamed as the file is read. False and a
// message in Japanese in *error when the target is refused, the history cannot be read or the
// CSV cannot be written; a file target is then left as it was.
bool ExportHistoryCsv(const QString& historyPath, const QString& csvPath, QString* error);
// Writes every logged answer (one row per answer, with its round's columns) likewise. The
// save columns list every save of the round, oldest first, joined by "; ".
bool ExportAnswersCsv(const QString& logPath, const QString& csvPath, QString* error);
// Writes every line of every practice session likewise, one row per line, oldest session
// first. A session whose values were found damaged has no rows.
bool ExportSessionsCsv(const QString& logPath, const QString& csvPath, QString* error);

}  // namespace keta
