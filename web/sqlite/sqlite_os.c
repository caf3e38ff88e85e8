/* The operating-system layer SQLite asks for when it is built without one (SQLITE_OS_OTHER).
 * The page's log lives in the module's memory and reaches the browser's storage as bytes, so
 * SQLite opens no file: this layer refuses every open and gives only the time and a few
 * pseudo-random bytes (SQLite uses them for names of temporary files, which it keeps in memory). */
#include <sqlite3.h>
#include <string.h>
#include <time.h>

static int NoOpen(sqlite3_vfs* vfs, const char* name, sqlite3_file* file, int flags, int* out) {
    (void)vfs;
    (void)name;
    (void)flags;
    (void)out;
    file->pMethods = 0;
    return SQLITE_CANTOPEN;
}

static int NoDelete(sqlite3_vfs* vfs, const char* name, int sync) {
    (void)vfs;
    (void)name;
    (void)sync;
    return SQLITE_IOERR_DELETE;
}

static int NoAccess(sqlite3_vfs* vfs, const char* name, int flags, int* result) {
    (void)vfs;
    (void)name;
    (void)flags;
    *result = 0;
    return SQLITE_OK;
}

static int FullName(sqlite3_vfs* vfs, const char* name, int size, char* out) {
    (void)vfs;
    if ((int)strlen(name) >= size) return SQLITE_CANTOPEN;
    strcpy(out, name);
    return SQLITE_OK;
}

static int Randomness(sqlite3_vfs* vfs, int size, char* out) {
    static unsigned state = 0x2545F491u;
    (void)vfs;
    for (int i = 0; i < size; ++i) {
        state = state * 1103515245u + 12345u;
        out[i] = (char)(state >> 16);
    }
    return size;
}

static int Sleep(sqlite3_vfs* vfs, int microseconds) {
    (void)vfs;
    return microseconds;
}

static int CurrentTime(sqlite3_vfs* vfs, sqlite3_int64* julianMs) {
    (void)vfs;
    *julianMs = (sqlite3_int64)time(0) * 1000 + 210866760000000LL;
    return SQLITE_OK;
}

static int LastError(sqlite3_vfs* vfs, int size, char* out) {
    (void)vfs;
    (void)size;
    (void)out;
    return 0;
}

int sqlite3_os_init(void) {
    /* szOsFile: SQLite still sets aside a file handle for a database in memory, and reads
     * its (empty) methods to see that there is no file. */
    static sqlite3_vfs vfs = {
        2,
        (int)sizeof(sqlite3_file),
        1024,
        0,
        "memory-only",
        0,
        NoOpen,
        NoDelete,
        NoAccess,
        FullName,
        0,
        0,
        0,
        0,
        Randomness,
        Sleep,
        0,
        LastError,
        CurrentTime,
        0,
        0,
        0,
    };
    return sqlite3_vfs_register(&vfs, 1);
}

int sqlite3_os_end(void) { return SQLITE_OK; }
