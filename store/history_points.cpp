#include "history_points.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "cp932.h"
#include "record_line.h"
#include "regular_file.h"

namespace keta {
namespace {

constexpr std::size_t kItems = 9;

std::string Utf8(QStringView text) { return text.toUtf8().toStdString(); }

// The leading decimal digits of a text such as "60秒"; 0 when there are none, and when they
// would not fit (no real time limit is that long).
int LeadingNumber(QStringView text) {
    int value = 0;
    for (const QChar c : text) {
        if (c < u'0' || c > u'9') break;
        if (value > 99'999) return 0;
        value = value * 10 + (c.unicode() - u'0');
    }
    return value;
}

bool ReadAll(int fd, QByteArray& bytes) {
    char buffer[64 * 1024];
    while (true) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return false;
        if (got == 0) return true;
        bytes.append(buffer, static_cast<qsizetype>(got));
    }
}

}  // namespace

HistoryPointsRead::Status ForEachHistoryRecord(
    const QString& path, const std::function<void(const HistoryRecord&)>& each, int* skippedLines) {
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
    QByteArray bytes;
    if (!ReadAll(file.Descriptor(), bytes)) return Status::Failed;
    file.Close();

    Cp932Decoder decoder;
    LineReader reader(bytes);
    QByteArrayView raw;
    std::vector<RecordItem> items;
    int skipped = 0;
    while (reader.Next(raw)) {
        if (IsBlankLine(raw)) continue;
        const std::optional<QString> line = decoder.Decode(raw);
        // A NUL is what a crash leaves in place of a record; the grid skips such lines too.
        std::optional<std::int16_t> correct, wrong;
        if (line && !line->contains(QChar(0)) && SplitRecordLine(*line, items) &&
            items.size() == kItems) {
            correct = ReadInt16Item(items[3], AfterNumber::MustEnd);
            wrong = ReadInt16Item(items[4], AfterNumber::MustEnd);
        }
        if (!correct || !wrong) {
            ++skipped;
            continue;
        }
        each(HistoryRecord{items, *correct, *wrong});
    }
    if (skippedLines != nullptr) *skippedLines = skipped;
    return Status::Read;
}

HistoryPointsRead ReadHistoryPoints(const QString& path) {
    HistoryPointsRead result;
    result.status = ForEachHistoryRecord(
        path,
        [&result](const HistoryRecord& record) {
            const std::vector<RecordItem>& items = record.items;
            analysis::HistoryPoint point;
            point.date = Utf8(items[0].text);
            point.time = Utf8(items[1].text);
            // Read as a number whether or not it was quoted: the grid shows it as text either way.
            const auto answers =
                ReadInt16Item(RecordItem{items[2].text, false}, AfterNumber::MustEnd);
            point.correct = record.correct;
            point.wrong = record.wrong;
            point.answers = answers ? int{*answers} : point.correct + point.wrong;
            point.timeLimit = LeadingNumber(items[7].text);
            point.modeText = Utf8(items[8].text);
            result.points.push_back(std::move(point));
        },
        &result.skippedLines);
    return result;
}

}  // namespace keta
