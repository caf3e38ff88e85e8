#pragma once
// The saved results of the history file as plain records for the progress figures. Read
// straight from the file rather than from the grid, so that the figures see every record
// however the grid shows them.

#include <QString>
#include <vector>

#include "round_record.h"

namespace keta {

struct HistoryPointsRead {
    enum class Status { Read, Missing, NotRegular, Failed };
    Status status = Status::Read;
    std::vector<analysis::HistoryPoint> points;  // in file order
    int skippedLines = 0;  // lines that are not records (blank lines are not counted)
};

// Reads the history file at `path`. Only a regular file is read; lines that are not records of
// nine items, or whose correct and wrong counts are not 16-bit integers, are skipped. Item 3
// (answers) is text in the file: when it is no number, correct + wrong stands in for it, since
// every answer is either. Item 8 ("60秒") gives its leading number, 0 when there is none.
HistoryPointsRead ReadHistoryPoints(const QString& path);

}  // namespace keta
