#pragma once
// The history and the answer log as UTF-8 CSV files with a header row, for spreadsheets and
// scripts.

#include <QString>

namespace keta {

// Writes the history file's records as UTF-8 CSV with a header row. False and a message in
// Japanese in *error when the history cannot be read or the CSV cannot be written.
bool ExportHistoryCsv(const QString& historyPath, const QString& csvPath, QString* error);
// Writes every logged answer (one row per answer, with its round's columns) likewise.
bool ExportAnswersCsv(const QString& logPath, const QString& csvPath, QString* error);

}  // namespace keta
