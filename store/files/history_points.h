#pragma once
// The saved results of the history file as plain records for the progress figures. Read
// straight from the file rather than from the grid, so that the figures see every record
// however the grid shows them.

#include <QString>
#include <cstdint>
#include <functional>
#include <vector>

#include "cancel.h"
#include "record_line.h"
#include "round_record.h"

namespace keta {

struct HistoryPointsRead {
    enum class Status { Read, Missing, NotRegular, Failed };
    Status status = Status::Read;
    std::vector<analysis::HistoryPoint> points;  // in file order
    int skippedLines = 0;  // lines that are not records (blank lines are not counted)
};

// One record of the history file as the grid takes it: nine items, of which items 4 and 5
// (correct and wrong) are 16-bit integers.
struct HistoryRecord {
    const std::vector<RecordItem>& items;
    std::int16_t correct;
    std::int16_t wrong;
};

// Reads the history file at `path`, a regular file only, and calls `each` for every line that
// is a record, in file order; lines that are not (blank lines aside) are counted in
// `skippedLines` when it is given.
// A set `cancel` ends the read early (Status::Failed).
HistoryPointsRead::Status ForEachHistoryRecord(
    const QString& path, const std::function<void(const HistoryRecord&)>& each,
    int* skippedLines = nullptr, const CancelFlag* cancel = nullptr);

// Reads the history file at `path`. Only a regular file is read; lines that are not records of
// nine items, or whose correct and wrong counts are not 16-bit integers, are skipped. Item 3
// (answers) is text in the file: when it is no number, correct + wrong stands in for it, since
// every answer is either. Item 8 ("60秒") gives its leading number, 0 when there is none.
HistoryPointsRead ReadHistoryPoints(const QString& path, const CancelFlag* cancel = nullptr);

// Marks (repeatsPrevious) the records of `points`, in file order, that are a result saved
// again: the drill saves at the end of a round and again when 保存 is pressed a few seconds
// later, and the two lines differ only in their time. The answer log at `logPath` ties every
// save to its round, so a record whose date, time and counts match a save of a round that an
// earlier record already stands for is that round once more. Returns how many were marked, or
// -1 when the log is missing or cannot be read: then none is, and the history counts as it is.
int MarkSavedAgain(std::vector<analysis::HistoryPoint>& points, const QString& logPath,
                   const CancelFlag* cancel = nullptr);

}  // namespace keta
