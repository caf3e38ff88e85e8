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

HistoryPointsRead ReadHistoryPoints(const QString& path) {
    HistoryPointsRead result;
    RegularFile file;
    switch (file.Open(path, O_RDONLY)) {
        case RegularFile::Status::Open:
            break;
        case RegularFile::Status::Missing:
            result.status = HistoryPointsRead::Status::Missing;
            return result;
        case RegularFile::Status::NotRegular:
            result.status = HistoryPointsRead::Status::NotRegular;
            return result;
        case RegularFile::Status::Failed:
            result.status = HistoryPointsRead::Status::Failed;
            return result;
    }
    QByteArray bytes;
    if (!ReadAll(file.Descriptor(), bytes)) {
        result.status = HistoryPointsRead::Status::Failed;
        return result;
    }
    file.Close();

    result.points.reserve(static_cast<std::size_t>(bytes.size() / 48 + 1));
    Cp932Decoder decoder;
    LineReader reader(bytes);
    QByteArrayView raw;
    std::vector<RecordItem> items;
    while (reader.Next(raw)) {
        if (IsBlankLine(raw)) continue;
        const std::optional<QString> line = decoder.Decode(raw);
        // A NUL is what a crash leaves in place of a record; the grid skips such lines too.
        if (!line || line->contains(QChar(0)) || !SplitRecordLine(*line, items) ||
            items.size() != kItems) {
            ++result.skippedLines;
            continue;
        }
        const auto correct = ReadInt16Item(items[3], AfterNumber::MustEnd);
        const auto wrong = ReadInt16Item(items[4], AfterNumber::MustEnd);
        if (!correct || !wrong) {
            ++result.skippedLines;
            continue;
        }
        analysis::HistoryPoint point;
        point.date = Utf8(items[0].text);
        point.time = Utf8(items[1].text);
        // Read as a number whether or not it was quoted: the grid shows it as text either way.
        const auto answers = ReadInt16Item(RecordItem{items[2].text, false}, AfterNumber::MustEnd);
        point.correct = *correct;
        point.wrong = *wrong;
        point.answers = answers ? int{*answers} : point.correct + point.wrong;
        point.timeLimit = LeadingNumber(items[7].text);
        point.modeText = Utf8(items[8].text);
        result.points.push_back(std::move(point));
    }
    return result;
}

}  // namespace keta
