#pragma once
// The look at the answer log's file before anything is written to it, by the shared rule of
// what a log of this program is.

#include <QString>

#include "log_schema_steps.h"

namespace keta {

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
