#pragma once
// The answer log's schema: the steps that make and migrate it, the mark that tells this
// program's logs from other databases, and the look at a file before anything is written to it.

#include <QString>
#include <cstdint>
#include <span>

namespace keta {

// PRAGMA application_id of this program's logs: the ASCII of "KTTB".
inline constexpr std::int32_t kLogApplicationId = 0x4B545442;
// The schema version this program writes into PRAGMA user_version.
inline constexpr int kLogSchemaVersion = 3;

// The statements that bring a log at user_version `version` to `version` + 1.
std::span<const char* const> MigrationSteps(int version);

struct LogInspection {
    enum class Kind {
        Missing,  // no file yet
        Empty,    // a database without anything in it: made into a log
        Ours,     // this program's log at `version`, or one from before the mark (adopted)
        Newer,    // this program's, from a later version: left alone
        Foreign,  // another program's database, or one changed by hand: left alone
        Busy,     // another program holds a lock: worth trying again later
        Corrupt,  // not a database, or a damaged one
        Failed,   // cannot be read at all
    };
    Kind kind = Kind::Failed;
    int version = 0;
    bool marked = false;  // carries kLogApplicationId already
    QString detail;       // the driver's words for Busy, Corrupt and Failed
};

// Looks at the file through a read-only connection of its own, which never changes it.
LogInspection InspectLog(const QString& path, int busyTimeoutMs);

}  // namespace keta
