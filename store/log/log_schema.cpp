#include "log_schema.h"

#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QStringList>
#include <QVariant>
#include <atomic>
#include <iterator>
#include <vector>

namespace keta {
namespace {

// Each schema version's steps; step k brings user_version k to k + 1. Later versions append
// their ALTERs here, so that an old log is carried forward and never rebuilt.
// A version of fewer steps ends its row early; the rest of the row stays null.
const char* const kMigrations[][4] = {
    {
        "CREATE TABLE IF NOT EXISTS rounds ("
        " id INTEGER PRIMARY KEY,"
        " started_at TEXT NOT NULL,"
        " time_limit INTEGER NOT NULL,"
        " mode_text TEXT NOT NULL,"
        " answers INTEGER NOT NULL,"
        " correct INTEGER NOT NULL,"
        " wrong INTEGER NOT NULL)",
        // Kept in the order of the key, so reading every answer of every round needs no sort.
        "CREATE TABLE IF NOT EXISTS answers ("
        " round_id INTEGER NOT NULL REFERENCES rounds(id) ON DELETE CASCADE,"
        " seq INTEGER NOT NULL,"
        " ms INTEGER NOT NULL,"
        " box INTEGER NOT NULL,"
        " left_digit INTEGER NOT NULL,"
        " right_digit INTEGER NOT NULL,"
        " typed TEXT NOT NULL,"
        " expected INTEGER NOT NULL,"
        " correct INTEGER NOT NULL,"
        " cleared INTEGER NOT NULL,"
        " PRIMARY KEY (round_id, seq)) WITHOUT ROWID",
        "CREATE TABLE IF NOT EXISTS saves ("
        " id INTEGER PRIMARY KEY,"
        " round_id INTEGER NOT NULL REFERENCES rounds(id) ON DELETE CASCADE,"
        " date_text TEXT NOT NULL,"
        " time_text TEXT NOT NULL)",
        "CREATE INDEX IF NOT EXISTS saves_by_stamp ON saves (date_text, time_text)",
    },
    {
        // Practice sessions: the settings they ran with and how they ended ('running' until
        // then, so that a session cut off by a crash still shows its lines).
        "CREATE TABLE IF NOT EXISTS sessions ("
        " id INTEGER PRIMARY KEY,"
        " started_at TEXT NOT NULL,"
        " line_seconds INTEGER NOT NULL,"
        " first_lines INTEGER NOT NULL,"
        " second_lines INTEGER NOT NULL,"
        " rest_minutes INTEGER NOT NULL,"
        " mode INTEGER NOT NULL,"
        " show_marks INTEGER NOT NULL,"
        " show_time_left INTEGER NOT NULL,"
        " state TEXT NOT NULL)",
        "CREATE TABLE IF NOT EXISTS session_lines ("
        " session_id INTEGER NOT NULL REFERENCES sessions(id) ON DELETE CASCADE,"
        " half INTEGER NOT NULL,"
        " line INTEGER NOT NULL,"
        " difference INTEGER NOT NULL,"
        " answers INTEGER NOT NULL,"
        " errors INTEGER NOT NULL,"
        " PRIMARY KEY (session_id, half, line)) WITHOUT ROWID",
        "CREATE TABLE IF NOT EXISTS session_answers ("
        " session_id INTEGER NOT NULL,"
        " half INTEGER NOT NULL,"
        " line INTEGER NOT NULL,"
        " seq INTEGER NOT NULL,"
        " ms INTEGER NOT NULL,"
        " box INTEGER NOT NULL,"
        " left_digit INTEGER NOT NULL,"
        " right_digit INTEGER NOT NULL,"
        " typed TEXT NOT NULL,"
        " expected INTEGER NOT NULL,"
        " correct INTEGER NOT NULL,"
        " PRIMARY KEY (session_id, half, line, seq),"
        " FOREIGN KEY (session_id, half, line)"
        " REFERENCES session_lines(session_id, half, line) ON DELETE CASCADE) WITHOUT ROWID",
        // Small remembered values, such as the last session's settings.
        "CREATE TABLE IF NOT EXISTS preferences ("
        " key TEXT PRIMARY KEY,"
        " value TEXT NOT NULL) WITHOUT ROWID",
    },
    {
        // Which practice a round was: 0 the drill, 1 a focus round on chosen digit pairs. A
        // round logged before this step was the drill's.
        "ALTER TABLE rounds ADD COLUMN kind INTEGER NOT NULL DEFAULT 0",
        // A focus round's settings: its share of pairs in percent and the pairs, as
        // "78 96" (left digit, right digit).
        "CREATE TABLE IF NOT EXISTS focus_rounds ("
        " round_id INTEGER PRIMARY KEY REFERENCES rounds(id) ON DELETE CASCADE,"
        " percent INTEGER NOT NULL,"
        " pairs TEXT NOT NULL)",
    },
};
static_assert(std::size(kMigrations) == kLogSchemaVersion);

enum SqliteCode { kBusy = 5, kLocked = 6, kCorrupt = 11, kNotADatabase = 26 };

int CodeOf(const QSqlError& error) {
    bool ok = false;
    const int code = error.nativeErrorCode().toInt(&ok);
    return ok ? (code & 0xFF) : -1;
}

QString NextConnectionName(const char* what) {
    static std::atomic<unsigned> serial{0};
    return QStringLiteral("ketatobi-log-%1-%2").arg(QLatin1String(what)).arg(++serial);
}

// Every object of the schema with its columns, keys and indexed columns, as one text: two
// databases have the same text exactly when a log's statements work alike on both.
bool Signature(const QSqlDatabase& db, QString* out, QSqlError* error) {
    QSqlQuery q(db);
    q.setForwardOnly(true);
    QStringList objects;
    if (!q.exec(QStringLiteral("SELECT type, name, tbl_name FROM sqlite_master"
                               " WHERE name NOT LIKE 'sqlite\\_%' ESCAPE '\\' ORDER BY name"))) {
        *error = q.lastError();
        return false;
    }
    struct Object {
        QString type, name;
    };
    std::vector<Object> list;
    while (q.next()) {
        list.push_back({q.value(0).toString(), q.value(1).toString()});
        objects << QStringList{q.value(0).toString(), q.value(1).toString(), q.value(2).toString()}
                       .join(QLatin1Char(' '));
    }
    for (const Object& o : list) {
        QStringList pragmas;
        if (o.type == QStringLiteral("table")) {
            pragmas << QStringLiteral("table_xinfo") << QStringLiteral("foreign_key_list");
        } else if (o.type == QStringLiteral("index")) {
            pragmas << QStringLiteral("index_xinfo");
        }
        for (const QString& pragma : pragmas) {
            q.prepare(QStringLiteral("SELECT * FROM pragma_%1(?)").arg(pragma));
            q.addBindValue(o.name);
            if (!q.exec()) {
                *error = q.lastError();
                return false;
            }
            while (q.next()) {
                QStringList row;
                for (int c = 0; c < q.record().count(); ++c) row << q.value(c).toString();
                objects << o.name + QLatin1Char(':') + pragma + QLatin1Char(':') +
                               row.join(QLatin1Char('|'));
            }
        }
    }
    *out = objects.join(QLatin1Char('\n'));
    return true;
}

// The signature of a log made by this program's migrations up to `version`.
QString ExpectedSignature(int version) {
    const QString name = NextConnectionName("schema");
    QString signature;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(QStringLiteral(":memory:"));
        if (db.open()) {
            QSqlQuery q(db);
            bool made = true;
            for (int v = 0; v < version && made; ++v) {
                for (const char* step : MigrationSteps(v))
                    made = made && q.exec(QLatin1String(step));
            }
            QSqlError ignored;
            if (!made || !Signature(db, &signature, &ignored)) signature.clear();
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    return signature;
}

// Sets the kind and version of the log `db` holds. False, with `error`, when it cannot be read.
bool Classify(const QSqlDatabase& db, LogInspection& result, QSqlError* error) {
    QSqlQuery q(db);
    // The first read of the file: garbage and locks show here.
    if (!q.exec(QStringLiteral("PRAGMA application_id")) || !q.next()) {
        *error = q.lastError();
        return false;
    }
    const qint64 id = q.value(0).toLongLong();
    if (!q.exec(QStringLiteral("PRAGMA user_version")) || !q.next()) {
        *error = q.lastError();
        return false;
    }
    result.version = q.value(0).toInt();
    q.finish();
    QString signature;
    if (!Signature(db, &signature, error)) return false;

    result.marked = id == kLogApplicationId;
    const int v = result.version;
    const bool known = v >= 1 && v <= kLogSchemaVersion;
    if (signature.isEmpty() && v == 0 && (id == 0 || result.marked)) {
        result.kind = LogInspection::Kind::Empty;
    } else if (result.marked && v > kLogSchemaVersion) {
        result.kind = LogInspection::Kind::Newer;
    } else if (known && (result.marked || (id == 0 && v == 1)) &&
               signature == ExpectedSignature(v)) {
        // A log from before the mark is adopted only at the version that had none.
        result.kind = LogInspection::Kind::Ours;
    } else {
        result.kind = LogInspection::Kind::Foreign;
    }
    return true;
}

}  // namespace

std::span<const char* const> MigrationSteps(int version) {
    if (version < 0 || version >= static_cast<int>(std::size(kMigrations))) return {};
    const auto& steps = kMigrations[static_cast<std::size_t>(version)];
    std::size_t count = 0;
    while (count < std::size(steps) && steps[count] != nullptr) ++count;
    return {steps, count};
}

LogInspection InspectLog(const QString& path, int busyTimeoutMs) {
    LogInspection result;
    if (!QFileInfo::exists(path)) {
        result.kind = LogInspection::Kind::Missing;
        return result;
    }
    const QString name = NextConnectionName("inspect");
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(path);
        db.setConnectOptions(
            QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1;QSQLITE_OPEN_READONLY").arg(busyTimeoutMs));
        const auto failed = [&result](const QSqlError& e) {
            const int code = CodeOf(e);
            result.kind = code == kBusy || code == kLocked            ? LogInspection::Kind::Busy
                          : code == kCorrupt || code == kNotADatabase ? LogInspection::Kind::Corrupt
                                                                      : LogInspection::Kind::Failed;
            result.detail = e.text();
        };
        QSqlError error;
        if (!db.open()) {
            failed(db.lastError());
        } else {
            // One read transaction: the mark, the version and the tables are seen as one
            // commit left them. Read one by one, a log another instance is making at this
            // moment could show its tables without its mark, and pass for another program's.
            QSqlQuery(db).exec(QStringLiteral("BEGIN"));
            if (!Classify(db, result, &error)) failed(error);
            QSqlQuery(db).exec(QStringLiteral("COMMIT"));
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    return result;
}

}  // namespace keta
