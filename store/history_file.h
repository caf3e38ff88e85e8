#pragma once
// The history file "履歴.txt", one record line per saved result, and its grid: laying the
// grid out, filling it at start-up, clearing both, and appending one line.

#include <QByteArray>
#include <QString>

#include "history_model.h"
#include "message_boxes.h"

namespace keta {

// What the last LoadRireki found.
struct HistoryLoadReport {
    int records = 0;           // shown in the grid
    int skippedLines = 0;      // not records (blank lines are not counted)
    int firstSkippedLine = 0;  // 1-based line number of the first of them, 0 when none
    bool unreadable = false;   // the file is there but could not be read
};

class HistoryFile {
public:
    HistoryFile(HistoryModel& grid, MessageBoxes& boxes, QString path = QStringLiteral("履歴.txt"));

    // Lays out the grid: headers, column widths and alignments.
    void InitRireki();
    // Fills the grid from the file and scrolls to the newest record. Lines that are not
    // records are skipped and reported once; the file itself is never changed here.
    void LoadRireki();
    // Asks, then empties the file and the grid. When the file cannot be emptied, says so and
    // leaves the grid as it is.
    void cmdClear_Click();

    // Appends one encoded record line (with its CR LF) in a single write, on a line of its
    // own even when the file's last line lacks its line end. Returns false when it cannot;
    // the file then holds exactly what it held before.
    bool AppendLine(const QByteArray& line);

    const HistoryLoadReport& LastLoad() const { return lastLoad_; }

private:
    HistoryModel& grid_;
    MessageBoxes& boxes_;
    QString path_;
    HistoryLoadReport lastLoad_;
};

}  // namespace keta
