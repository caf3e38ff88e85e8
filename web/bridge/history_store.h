#pragma once
// The page's history: the record lines of 履歴.txt as the desktop reads them, kept in the
// module. An import is read into a second store first and takes the place of the history only
// when the person agrees.

#include <cstddef>
#include <string>
#include <string_view>

#include "history_records.h"

namespace keta::web {

// The largest file taken in: a history of a lifetime's rounds is a few megabytes, and the page
// must hold the file twice while it reads it.
inline constexpr std::size_t kMostImportBytes = std::size_t{64} << 20;

struct HistoryReadOutcome {
    HistoryLoadReport report;
    std::string message;  // why nothing was taken, in Japanese; empty when the records were read
};

class HistoryStore {
public:
    // Reads a file's bytes into the waiting store, through the desktop's reader.
    HistoryReadOutcome Read(std::string bytes);
    // The waiting store becomes the history.
    void Commit();
    // Adds one record line (with its CR LF) at the end.
    bool Append(std::string_view lineWithEnd);
    void Clear();

    int Count() const { return lines_.Count(); }
    // The bytes of 履歴.txt for the records held, as the desktop writes them.
    std::string FileBytes() const;
    // The history as the desktop's CSV export writes it to a file (byte-order mark, formula
    // guard, CR LF).
    std::string CsvBytes() const;
    // Records `from`.. (0-based) as JSON rows: the row number, then the nine items as shown.
    std::string RowsJson(int from) const;

private:
    HistoryLines lines_;
    HistoryLines waiting_;
};

}  // namespace keta::web
