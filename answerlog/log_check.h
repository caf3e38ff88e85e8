#pragma once
// The look at a database before this program uses it as its answer log: its mark, its version
// and whether its tables are exactly the ones this program's steps make. Through SQLite's own
// handle, so that the desktop and the browser edition tell logs apart by one rule.

#include <string>

struct sqlite3;

namespace keta {

struct LogCheck {
    enum class Kind {
        Empty,    // a database without anything in it: may be made into a log
        Ours,     // this program's log at `version`, or one from before the mark (adopted)
        Newer,    // this program's, from a later version: to be left alone
        Foreign,  // another program's database, or one changed by hand: to be left alone
    };
    bool read = false;  // false: the database could not be read; `code` and `detail` say why
    int code = 0;       // SQLite's primary result code of the failure
    std::string detail;
    Kind kind = Kind::Foreign;
    int version = 0;
    bool marked = false;  // carries kLogApplicationId already
};

// Reads the database open on `h`; the caller holds one read transaction around it, so that the
// mark, the version and the tables are seen as one commit left them.
LogCheck CheckLog(sqlite3* h);

// Brings this program's log (or an empty database) on `h` to kLogSchemaVersion with its mark,
// in one transaction. False, with SQLite's words in `error`, leaves the database as it was.
bool MigrateLog(sqlite3* h, std::string* error);

}  // namespace keta
