#pragma once
// Reading the practice sessions of the answer log back with their lines and answers, each value
// checked against what a session can produce, through SQLite's own handle: the desktop's
// windows and the browser edition read the same sessions from the same file.

#include <cstdint>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <string_view>
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

// The preferences' key of the sessions the person left out of the earlier sessions' means.
inline constexpr const char* kLeftOutSessionsKey = "sessions_left_out";
// Their ids from the kept text ("3,7"); what does not read as an id is dropped.
std::set<std::int64_t> ParseLeftOutSessions(std::string_view text);
// The text kept for `ids`: empty when none.
std::string LeftOutSessionsText(const std::set<std::int64_t>& ids);
// The left-out sessions as the log on `h` keeps them; none without a log or the value.
std::set<std::int64_t> ReadLeftOutSessions(sqlite3* h);

// Whether `s` is one of the earlier sessions a result in `settings` is compared with: finished
// and undamaged, in the same format, started before session `beforeId` (0: any), not `skipId`
// and not left out by the person.
bool IsEarlierSession(const StoredSession& s, const SessionSettings& settings,
                      std::int64_t beforeId, std::int64_t skipId,
                      const std::set<std::int64_t>& leftOut);

}  // namespace keta
