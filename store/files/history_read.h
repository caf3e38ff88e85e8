#pragma once
// Reading the history file's records out of its bytes, on whichever thread: nothing here
// touches the grid or a message box. Lines that are not records are counted, not kept.

#include <sys/types.h>

#include <QString>
#include <cstdint>
#include <memory>

#include "history_records.h"
#include "regular_file.h"

namespace keta {

enum class HistoryReadResult { Done, Failed, TooLarge };

// What identifies the file's contents closely enough to tell whether it changed.
struct FileStamp {
    bool exists = false;
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    std::int64_t modifiedNs = 0;
    bool operator==(const FileStamp&) const = default;
};

FileStamp StampOf(const QString& path);

// One reading of the file, on whichever thread: nothing in it touches the grid or a box.
struct HistoryRead {
    FileStamp stamp;  // taken before the file was opened
    RegularFile::Status status = RegularFile::Status::Missing;
    HistoryReadResult result = HistoryReadResult::Failed;
    int error = 0;
    QString errorText;
    HistoryLines lines;
    HistoryLoadReport report;
};

// Reads and checks the file at `path`, its stamp taken before it is opened.
std::unique_ptr<HistoryRead> ReadHistory(const QString& path);

}  // namespace keta
