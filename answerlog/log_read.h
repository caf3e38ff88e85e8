#pragma once
// Reading the answer log's rounds back with their answers, each checked against what the
// drill can produce, through SQLite's own handle: the desktop's windows and the browser
// edition's read the same rounds from the same file.

#include <cstdint>
#include <functional>
#include <optional>

#include "round_record.h"

struct sqlite3;

namespace keta {

enum class LogReadOutcome {
    Done,        // every round was handed over (none from a log without tables yet)
    Unreadable,  // a statement could not be prepared
    Incomplete,  // reading stopped part way
    Stopped,     // `stop` said so
};

// Every round of the log on `h` (or only the round `only`), oldest first (by key), handed to
// `visit` one at a time so that a long log is never held whole. A round with a value the drill
// cannot produce comes flagged damaged, without events. The typed texts are left empty (the
// figures do not use them). `stop`, when given, is asked now and then whether to give up.
LogReadOutcome ReadLogRounds(sqlite3* h, std::optional<std::int64_t> only,
                             const std::function<void(const analysis::RoundRecord&)>& visit,
                             const std::function<bool()>& stop = {});

}  // namespace keta
