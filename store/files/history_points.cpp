#include "history_points.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <unistd.h>

#include <QFileInfo>
#include <algorithm>
#include <cerrno>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>

#include "log_connection.h"
#include "record_line.h"
#include "regular_file.h"

namespace keta {
namespace {

constexpr std::size_t kItems = 9;

// The leading decimal digits of a text such as "60秒"; 0 when there are none, and when they
// would not fit (no real time limit is that long).
int LeadingNumber(std::u16string_view text) {
    int value = 0;
    for (const char16_t c : text) {
        if (c < u'0' || c > u'9') break;
        if (value > 99'999) return 0;
        value = value * 10 + (c - u'0');
    }
    return value;
}

}  // namespace

HistoryPointsRead::Status ForEachHistoryRecord(
    const QString& path, const std::function<void(const HistoryRecord&)>& each, int* skippedLines,
    const CancelFlag* cancel) {
    using Status = HistoryPointsRead::Status;
    RegularFile file;
    switch (file.Open(path, O_RDONLY)) {
        case RegularFile::Status::Open:
            break;
        case RegularFile::Status::Missing:
            return Status::Missing;
        case RegularFile::Status::NotRegular:
            return Status::NotRegular;
        case RegularFile::Status::Failed:
            return Status::Failed;
    }

    // The file is read piece by piece and only the line at hand is kept, and only while it may
    // still be a record: a huge history, or one endless line, costs no more than a record does.
    RecordScanner scanner;
    const Cp932Decoder decoder;
    std::string line;
    std::vector<RecordItem> items;
    int skipped = 0;
    bool inLine = false;
    bool afterCr = false;
    const auto take = [&](std::string_view bytes) {
        inLine = true;
        if (scanner.Failed()) return;
        scanner.Feed(bytes);
        if (scanner.Failed()) {
            std::string().swap(line);  // frees what a long line held
        } else {
            line.append(bytes);
        }
    };
    const auto endLine = [&] {
        inLine = false;
        const RecordScanner::Verdict verdict = scanner.Finish();
        scanner.Reset();
        std::optional<std::int16_t> correct, wrong;
        std::optional<std::u16string> text;
        if (verdict == RecordScanner::Verdict::Record) text = decoder.Decode(line);
        line.resize(0);
        if (verdict == RecordScanner::Verdict::Blank) return;
        // A NUL is what a crash leaves in place of a record; the grid skips such lines too.
        if (text && text->find(u'\0') == std::u16string::npos && SplitRecordLine(*text, items) &&
            items.size() == kItems) {
            correct = ReadInt16Item(items[3], AfterNumber::MustEnd);
            wrong = ReadInt16Item(items[4], AfterNumber::MustEnd);
        }
        if (!correct || !wrong) {
            ++skipped;
            return;
        }
        each(HistoryRecord{items, *correct, *wrong});
    };

    std::vector<char> buffer(std::size_t{64} * 1024);
    while (true) {
        if (Cancelled(cancel)) return Status::Failed;
        const ssize_t got = ::read(file.Descriptor(), buffer.data(), buffer.size());
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return Status::Failed;
        if (got == 0) break;
        const char* data = buffer.data();
        const auto size = static_cast<std::size_t>(got);
        std::size_t pos = 0;
        if (afterCr && data[0] == '\n') pos = 1;  // the LF of a CR LF cut in two
        afterCr = false;
        while (pos < size) {
            std::size_t end = pos;
            while (end < size && data[end] != '\n' && data[end] != '\r') ++end;
            if (end > pos) take(std::string_view(data + pos, end - pos));
            if (end == size) break;  // the line goes on in the next piece
            if (inLine) endLine();   // an empty line is blank: nothing to look at
            pos = end + 1;
            if (data[end] == '\r') {
                if (pos == size) {
                    afterCr = true;
                } else if (data[pos] == '\n') {
                    ++pos;
                }
            }
        }
    }
    if (inLine) endLine();  // a last line without its line end
    if (skippedLines != nullptr) *skippedLines = skipped;
    return Status::Read;
}

HistoryPointsRead ReadHistoryPoints(const QString& path, const CancelFlag* cancel) {
    HistoryPointsRead result;
    // The items of the record before, to tell a result saved twice in a row.
    std::vector<std::pair<std::u16string, bool>> previous;
    result.status = ForEachHistoryRecord(
        path,
        [&result, &previous](const HistoryRecord& record) {
            const std::vector<RecordItem>& items = record.items;
            analysis::HistoryPoint point;
            point.repeatsPrevious =
                previous.size() == items.size() &&
                std::equal(
                    items.begin(), items.end(), previous.begin(),
                    [](const RecordItem& item, const std::pair<std::u16string, bool>& before) {
                        return item.quoted == before.second && item.text == before.first;
                    });
            previous.resize(items.size());
            for (std::size_t i = 0; i < items.size(); ++i) {
                previous[i].first = items[i].text;
                previous[i].second = items[i].quoted;
            }
            point.date = Utf16ToUtf8(items[0].text);
            point.time = Utf16ToUtf8(items[1].text);
            // Read as a number whether or not it was quoted: the grid shows it as text either way.
            const auto answers =
                ReadInt16Item(RecordItem{items[2].text, false}, AfterNumber::MustEnd);
            point.correct = record.correct;
            point.wrong = record.wrong;
            point.answers = answers ? int{*answers} : point.correct + point.wrong;
            point.timeLimit = LeadingNumber(items[7].text);
            point.modeText = Utf16ToUtf8(items[8].text);
            result.points.push_back(std::move(point));
        },
        &result.skippedLines, cancel);
    return result;
}

int MarkSavedAgain(std::vector<analysis::HistoryPoint>& points, const QString& logPath,
                   const CancelFlag* cancel) {
    if (logPath.isEmpty() || !QFileInfo(logPath).isFile()) return -1;
    LogConnection connection(logPath, LogConnection::Access::ReadOnly);
    sqlite3* h = connection.Handle();
    if (h == nullptr) return -1;
    // Only stamps of the history's own width can match a line; the length check also keeps a
    // damaged log's long texts out of memory.
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(
            h,
            "SELECT s.round_id, s.date_text, s.time_text, CAST(r.answers AS INTEGER),"
            " CAST(r.correct AS INTEGER), CAST(r.wrong AS INTEGER)"
            " FROM saves s JOIN rounds r ON r.id = s.round_id"
            " WHERE length(s.date_text) = 10 AND length(s.time_text) = 8"
            " ORDER BY s.round_id, s.id",
            -1, &stmt, nullptr) != SQLITE_OK) {
        sqlite3_finalize(stmt);
        return -1;
    }
    struct Saved {
        std::int64_t round;
        std::int64_t answers, correct, wrong;
    };
    // Saves by "date time"; each round once under a stamp, rounds in key order.
    std::unordered_map<std::string, std::vector<Saved>> byStamp;
    int rc = SQLITE_ROW;
    for (int row = 0; (rc = sqlite3_step(stmt)) == SQLITE_ROW; ++row) {
        if (row % 4096 == 0 && Cancelled(cancel)) break;
        const auto text = [stmt](int column) {
            const auto* bytes = sqlite3_column_text(stmt, column);
            return bytes == nullptr
                       ? std::string()
                       : std::string(reinterpret_cast<const char*>(bytes),
                                     static_cast<std::size_t>(sqlite3_column_bytes(stmt, column)));
        };
        const Saved saved{sqlite3_column_int64(stmt, 0), sqlite3_column_int64(stmt, 3),
                          sqlite3_column_int64(stmt, 4), sqlite3_column_int64(stmt, 5)};
        std::vector<Saved>& same = byStamp[text(1) + ' ' + text(2)];
        if (same.empty() || same.back().round != saved.round) same.push_back(saved);
    }
    sqlite3_finalize(stmt);
    if (rc != SQLITE_DONE) return -1;

    // A record stands for the first round of its stamp and counts that no record above it
    // stands for yet; when every such round already has its record, it is one of them again.
    std::unordered_set<std::int64_t> recorded;
    int marked = 0;
    std::string key;
    for (analysis::HistoryPoint& point : points) {
        if (point.repeatsPrevious) continue;  // the line above said it already
        key.assign(point.date).append(1, ' ').append(point.time);
        const auto it = byStamp.find(key);
        if (it == byStamp.end()) continue;
        bool matched = false;
        std::optional<std::int64_t> unrecorded;
        for (const Saved& saved : it->second) {
            if (saved.answers != point.answers || saved.correct != point.correct ||
                saved.wrong != point.wrong)
                continue;
            matched = true;
            if (!recorded.contains(saved.round)) {
                unrecorded = saved.round;
                break;
            }
        }
        if (!matched) continue;
        if (unrecorded) {
            recorded.insert(*unrecorded);
        } else {
            point.repeatsPrevious = true;
            ++marked;
        }
    }
    return marked;
}

}  // namespace keta
