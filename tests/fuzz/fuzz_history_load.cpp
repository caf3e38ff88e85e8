// Loading the history file from arbitrary bytes, then appending a record to it: every
// non-blank line is either a row or counted as skipped, the file is never changed by loading,
// and an appended record always becomes a row of its own.

#include <QFile>
#include <QTemporaryDir>
#include <cstddef>
#include <cstdint>
#include <memory>

#include "file_fuzz_support.h"
#include "fuzz_check.h"
#include "history_file.h"
#include "history_records.h"
#include "qt_text.h"

namespace {

using fuzz::CountingBoxes;
using fuzz::ReadAll;
using fuzz::WriteAll;

const QString& HistoryPath() {
    static const std::unique_ptr<QTemporaryDir> dir = std::make_unique<QTemporaryDir>();
    static const QString path = dir->filePath(QStringLiteral("履歴.txt"));
    return path;
}

int NonBlankLines(QByteArrayView bytes) {
    keta::LineReader reader(keta::Bytes(bytes));
    std::string_view line;
    int count = 0;
    while (reader.Next(line)) count += keta::IsBlankLine(line) ? 0 : 1;
    return count;
}

// The grid after a load agrees with the report and holds what a row must hold.
void CheckLoad(const keta::HistoryFile& history, const keta::HistoryModel& grid,
               const CountingBoxes& boxes, QByteArrayView bytes) {
    const keta::HistoryLoadReport& report = history.LastLoad();
    FUZZ_CHECK(report.records + report.skippedLines == NonBlankLines(bytes));
    FUZZ_CHECK(grid.Rows() == report.records + 1);
    FUZZ_CHECK((report.skippedLines > 0) == (report.firstSkippedLine > 0));
    FUZZ_CHECK(boxes.errors == (report.skippedLines > 0 ? 1 : 0));
    FUZZ_CHECK(boxes.asked == 0 && boxes.informed == 0);
    FUZZ_CHECK(grid.TopRow() == (grid.Rows() > 7 ? grid.Rows() - 1 : 1));
    for (int row = 1; row < grid.Rows(); ++row) {
        FUZZ_CHECK(grid.TextMatrix(row, 0) == QString::number(row));
        for (const int col : {4, 5}) {
            bool ok = false;
            const short count = grid.TextMatrix(row, col).toShort(&ok);
            FUZZ_CHECK(ok && QString::number(count) == grid.TextMatrix(row, col));
        }
    }
}

// Files too large to read whole are collected piece by piece: that way must find the same.
void CheckPiecewiseCollection(std::string_view bytes, const keta::HistoryLoadReport& whole,
                              std::size_t piece) {
    keta::HistoryLines lines;
    keta::HistoryLoadReport report;
    keta::HistoryRecordCollector collector(lines, report);
    for (std::size_t at = 0; at < bytes.size(); at += piece)
        collector.Feed(bytes.substr(at, piece));
    collector.Finish();
    keta::HistoryLines inPlace;
    inPlace.bytes = std::string(bytes);
    keta::HistoryLoadReport inPlaceReport;
    keta::CollectHistoryRecords(inPlace, inPlaceReport);
    FUZZ_CHECK(lines.bytes == inPlace.bytes && lines.starts == inPlace.starts);
    FUZZ_CHECK(report.skippedLines == whole.skippedLines);
    FUZZ_CHECK(report.firstSkippedLine == whole.firstSkippedLine);
    FUZZ_CHECK(lines.Count() == whole.records);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArrayView bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const QString& path = HistoryPath();
    WriteAll(path, bytes);

    keta::HistoryModel grid;
    CountingBoxes boxes;
    keta::HistoryFile history(grid, boxes, path);
    history.InitRireki();
    history.LoadRireki();
    CheckLoad(history, grid, boxes, bytes);
    FUZZ_CHECK(ReadAll(path) == bytes);  // loading never writes
    CheckPiecewiseCollection(keta::Bytes(bytes), history.LastLoad(), size % 97 + 1);
    const int records = history.LastLoad().records;
    const int skipped = history.LastLoad().skippedLines;

    // Whatever the last line was, a record appended after it is read back as the newest row,
    // and the lines before it read as they did.
    const QByteArray record(
        "\"2004/05/01\",\"13:05:09\",25,22,3,\"88.0%\",\"0.37/\x95\x62\",\"60\x95\x62\","
        "\"\x81\x7B\"\r\n");
    FUZZ_CHECK(history.AppendLine(record));
    const QByteArray after = ReadAll(path);
    FUZZ_CHECK(after.startsWith(bytes) && after.endsWith(record));
    FUZZ_CHECK(after.size() - bytes.size() - record.size() <= 2);

    keta::HistoryModel reloaded;
    CountingBoxes reloadBoxes;
    keta::HistoryFile again(reloaded, reloadBoxes, path);
    again.InitRireki();
    again.LoadRireki();
    CheckLoad(again, reloaded, reloadBoxes, after);
    FUZZ_CHECK(again.LastLoad().records == records + 1);
    FUZZ_CHECK(again.LastLoad().skippedLines == skipped);
    const int newest = reloaded.Rows() - 1;
    FUZZ_CHECK(reloaded.TextMatrix(newest, 1) == QStringLiteral("2004/05/01"));
    FUZZ_CHECK(reloaded.TextMatrix(newest, 9) == QStringLiteral("＋"));
    return 0;
}
