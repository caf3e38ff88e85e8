#pragma once
// Reading the practice sessions of the answer log back with their lines and answers, each value
// checked against what a session can produce, through SQLite's own handle: the desktop's
// windows and the browser edition read the same sessions from the same file.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "practice_session.h"

struct sqlite3;

namespace keta {

struct StoredSession {
    std::int64_t id = 0;
    std::string startedAt;  // "yyyy-MM-ddTHH:mm:ss", local time
    SessionSettings settings;
    SessionState state = SessionState::Finished;  // Finished or Stopped
    // Never ended: still in progress elsewhere, or cut off by a crash (then shown as Stopped).
    bool running = false;
    bool damaged = false;  // read back out of bounds: its lines are not used
    std::vector<LineResult> lines;
};

// The sessions of the log on `h` whose keys lie in [low, high], oldest first, in one read
// transaction: a line written meanwhile is wholly in or wholly out. nullopt when the log cannot
// be read, or when `stop` said to give up (then `stopped` is set).
std::optional<std::vector<StoredSession>> ReadLogSessions(sqlite3* h, std::int64_t low,
                                                          std::int64_t high,
                                                          const std::function<bool()>& stop = {},
                                                          bool* stopped = nullptr);

}  // namespace keta
