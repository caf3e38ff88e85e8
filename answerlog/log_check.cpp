#include "log_check.h"

#include <sqlite3.h>

#include <string>
#include <vector>

#include "log_schema_steps.h"

namespace keta {
namespace {

struct Statement {
    sqlite3_stmt* stmt = nullptr;
    Statement(sqlite3* h, const std::string& sql) {
        if (sqlite3_prepare_v2(h, sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK) stmt = nullptr;
    }
    ~Statement() { sqlite3_finalize(stmt); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
};

std::string Text(sqlite3_stmt* stmt, int column) {
    const auto* text = sqlite3_column_text(stmt, column);
    return text == nullptr
               ? std::string()
               : std::string(reinterpret_cast<const char*>(text),
                             static_cast<std::size_t>(sqlite3_column_bytes(stmt, column)));
}

// Every object of the schema with its columns, keys and indexed columns, as one text: two
// databases have the same text exactly when a log's statements work alike on both.
bool Signature(sqlite3* h, std::string* out) {
    struct Object {
        std::string type, name;
    };
    std::vector<Object> list;
    std::string text;
    {
        Statement q(h,
                    "SELECT type, name, tbl_name FROM sqlite_master"
                    " WHERE name NOT LIKE 'sqlite\\_%' ESCAPE '\\' ORDER BY name");
        if (q.stmt == nullptr) return false;
        int rc = SQLITE_ROW;
        while ((rc = sqlite3_step(q.stmt)) == SQLITE_ROW) {
            list.push_back({Text(q.stmt, 0), Text(q.stmt, 1)});
            text += Text(q.stmt, 0) + ' ' + Text(q.stmt, 1) + ' ' + Text(q.stmt, 2) + '\n';
        }
        if (rc != SQLITE_DONE) return false;
    }
    for (const Object& o : list) {
        std::vector<const char*> pragmas;
        if (o.type == "table") pragmas = {"table_xinfo", "foreign_key_list"};
        if (o.type == "index") pragmas = {"index_xinfo"};
        for (const char* pragma : pragmas) {
            Statement q(h, std::string("SELECT * FROM pragma_") + pragma + "(?1)");
            if (q.stmt == nullptr) return false;
            sqlite3_bind_text(q.stmt, 1, o.name.c_str(), static_cast<int>(o.name.size()),
                              SQLITE_TRANSIENT);
            int rc = SQLITE_ROW;
            while ((rc = sqlite3_step(q.stmt)) == SQLITE_ROW) {
                text += o.name + ':' + pragma + ':';
                for (int c = 0; c < sqlite3_column_count(q.stmt); ++c)
                    text += (c > 0 ? "|" : "") + Text(q.stmt, c);
                text += '\n';
            }
            if (rc != SQLITE_DONE) return false;
        }
    }
    *out = std::move(text);
    return true;
}

// The signature of a log made by this program's steps up to `version`.
std::string ExpectedSignature(int version) {
    sqlite3* h = nullptr;
    std::string signature;
    if (sqlite3_open_v2(":memory:", &h, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) ==
        SQLITE_OK) {
        bool made = true;
        for (int v = 0; v < version && made; ++v) {
            for (const char* step : MigrationSteps(v))
                made = made && sqlite3_exec(h, step, nullptr, nullptr, nullptr) == SQLITE_OK;
        }
        if (!made || !Signature(h, &signature)) signature.clear();
    }
    sqlite3_close(h);
    return signature;
}

bool PragmaNumber(sqlite3* h, const char* sql, sqlite3_int64* value) {
    Statement q(h, sql);
    if (q.stmt == nullptr || sqlite3_step(q.stmt) != SQLITE_ROW) return false;
    *value = sqlite3_column_int64(q.stmt, 0);
    return true;
}

}  // namespace

LogCheck CheckLog(sqlite3* h) {
    LogCheck result;
    sqlite3_int64 id = 0;
    sqlite3_int64 version = 0;
    std::string signature;
    // The first read of the file: garbage and locks show here.
    if (!PragmaNumber(h, "PRAGMA application_id", &id) ||
        !PragmaNumber(h, "PRAGMA user_version", &version) || !Signature(h, &signature)) {
        result.code = sqlite3_errcode(h) & 0xFF;
        result.detail = sqlite3_errmsg(h);
        return result;
    }
    result.read = true;
    result.version = static_cast<int>(version);
    result.marked = id == kLogApplicationId;
    const bool known = version >= 1 && version <= kLogSchemaVersion;
    if (signature.empty() && version == 0 && (id == 0 || result.marked)) {
        result.kind = LogCheck::Kind::Empty;
    } else if (result.marked && version > kLogSchemaVersion) {
        result.kind = LogCheck::Kind::Newer;
    } else if (known && (result.marked || (id == 0 && version == 1)) &&
               signature == ExpectedSignature(result.version)) {
        // A log from before the mark is adopted only at the version that had none.
        result.kind = LogCheck::Kind::Ours;
    } else {
        result.kind = LogCheck::Kind::Foreign;
    }
    return result;
}

bool MigrateLog(sqlite3* h, std::string* error) {
    const auto run = [h](const std::string& sql) {
        return sqlite3_exec(h, sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK;
    };
    sqlite3_int64 version = 0;
    bool ok = run("BEGIN IMMEDIATE") && PragmaNumber(h, "PRAGMA user_version", &version) &&
              version <= kLogSchemaVersion;
    for (int v = static_cast<int>(version < 0 ? 0 : version); ok && v < kLogSchemaVersion; ++v) {
        for (const char* step : MigrationSteps(v)) ok = ok && run(step);
    }
    ok = ok && run("PRAGMA application_id = " + std::to_string(kLogApplicationId)) &&
         run("PRAGMA user_version = " + std::to_string(kLogSchemaVersion)) && run("COMMIT");
    if (!ok) {
        if (error != nullptr) *error = sqlite3_errmsg(h);
        sqlite3_exec(h, "ROLLBACK", nullptr, nullptr, nullptr);
    }
    return ok;
}

}  // namespace keta
