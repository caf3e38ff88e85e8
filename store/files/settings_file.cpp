#include "settings_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <QFileInfo>
#include <QSaveFile>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <deque>
#include <optional>
#include <vector>

#include "file_log.h"
#include "number_text.h"
#include "qt_text.h"
#include "record_line.h"
#include "regular_file.h"

namespace keta {
namespace {

const QString kTitleRead = QStringLiteral("設定ファイルの読み込み");
const QString kTitleWrite = QStringLiteral("保存エラー");

struct StoredSettings {
    std::optional<std::int16_t> timeLimit;
    std::optional<std::int16_t> autoSave;
    bool wellFormed = false;
};

bool IsBlankByte(char c) { return c == ' ' || c == '\t'; }

// Where the first `count` items of a line end, in bytes, so that nothing after them is ever
// decoded: text after the second item may hold any bytes at all. Commas and quotes are ASCII
// and never the second byte of a code page 932 character, so the bytes can be split before
// decoding. A line whose items are not well formed (an open quote, text after a closing quote)
// is given whole, for the splitting after decoding to refuse.
std::size_t EndOfItems(std::string_view line, std::size_t count) {
    const std::size_t size = line.size();
    std::size_t pos = 0;
    for (std::size_t item = 1;; ++item) {
        while (pos < size && IsBlankByte(line[pos])) ++pos;
        if (pos < size && line[pos] == '"') {
            const std::size_t close = line.find('"', pos + 1);
            if (close == std::string_view::npos) return size;
            pos = close + 1;
            if (item == count) return pos;
            while (pos < size && IsBlankByte(line[pos])) ++pos;
            if (pos < size && line[pos] != ',') return size;
        } else {
            pos = line.find(',', pos);
            if (pos == std::string_view::npos) return size;
            if (item == count) return pos;
        }
        if (pos >= size) return size;
        ++pos;  // the comma
    }
}

// The first two items of the file, over as many lines as that takes; blank lines are
// skipped and everything after the second item is ignored.
StoredSettings ParseSettings(std::string_view bytes) {
    StoredSettings stored;
    const Cp932Decoder decoder;
    std::vector<RecordItem> items;
    std::deque<std::u16string> lines;  // keeps the texts that the items point into
    std::vector<RecordItem> taken;
    LineReader reader(bytes);
    std::string_view raw;
    while (taken.size() < 2 && reader.Next(raw)) {
        if (IsBlankLine(raw)) continue;
        std::optional<std::u16string> line =
            decoder.Decode(raw.substr(0, EndOfItems(raw, 2 - taken.size())));
        if (!line) return stored;
        lines.push_back(std::move(*line));
        if (!SplitRecordLine(lines.back(), items)) return stored;
        for (const RecordItem& item : items) {
            if (taken.size() < 2) taken.push_back(item);
        }
    }
    if (!taken.empty()) {
        const auto limit = ReadInt16Item(taken[0], AfterNumber::MustEnd);
        // A limit below one second would make a round end at once and divide by zero.
        if (limit && *limit >= 1) stored.timeLimit = limit;
    }
    if (taken.size() >= 2) {
        stored.autoSave = ReadInt16Item(taken[1], AfterNumber::IgnoreTheRest);
    }
    stored.wellFormed = stored.timeLimit && stored.autoSave;
    return stored;
}

// Only the first two items are ever read, so a settings file is read no further than this:
// a huge file in its place cannot take the memory.
constexpr qsizetype kMostRead = qsizetype{1} << 20;

enum class ReadResult { Done, Missing, Failed };

ReadResult ReadStart(const QString& path, QByteArray& bytes, QString& why) {
    RegularFile file;
    const RegularFile::Status status = file.Open(path, O_RDONLY);
    if (status == RegularFile::Status::Missing) return ReadResult::Missing;
    if (status != RegularFile::Status::Open) {
        why = file.ErrorText();
        return ReadResult::Failed;
    }
    bytes.resize(kMostRead);
    qsizetype size = 0;
    while (size < kMostRead) {
        const ssize_t got = ::read(file.Descriptor(), bytes.data() + size,
                                   static_cast<std::size_t>(kMostRead - size));
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            why = QString::fromLocal8Bit(std::strerror(errno));
            return ReadResult::Failed;
        }
        if (got == 0) break;
        size += got;
    }
    bytes.truncate(size);
    return ReadResult::Done;
}

// The line WriteSettei writes for these values.
std::optional<QByteArray> SettingsLine(const DrillState& state) {
    const std::optional<std::string> line = FormatRecordLine(
        {static_cast<long long>(state.intJikan), static_cast<long long>(state.intAs)});
    if (!line) return std::nullopt;
    return ToQByteArray(*line);
}

}  // namespace

SettingsFile::SettingsFile(DrillState& state, SettingsControls& controls, MessageBoxes& boxes,
                           QString path)
    : state_(state), controls_(controls), boxes_(boxes), path_(std::move(path)) {}

void SettingsFile::ReadSettei() {
    StoredSettings stored;
    QString problem;
    QByteArray bytes;
    QString why;
    switch (ReadStart(path_, bytes, why)) {
        case ReadResult::Missing:  // the first run: defaults without a word
            break;
        case ReadResult::Failed:
            qCWarning(lcFiles).noquote() << "cannot read" << path_ << ":" << why;
            problem = QStringLiteral("設定.txt を読み込めませんでした。");
            break;
        case ReadResult::Done:
            stored = ParseSettings(Bytes(bytes));
            if (!stored.wellFormed) {
                qCWarning(lcFiles).noquote() << path_ << "does not hold a time limit and a flag";
                problem = QStringLiteral("設定.txt の内容が正しくありません。");
            }
            break;
    }
    state_.intJikan = stored.timeLimit.value_or(kDefaultTimeLimit);
    state_.intAs = stored.autoSave.value_or(kDefaultAutoSave);
    if (!problem.isEmpty()) {
        // The values in use, as they are: a flag read from the file may be kept beside a
        // limit that had to be replaced, and only a flag of exactly 1 saves.
        boxes_.ReportError(
            problem + QStringLiteral("プレイ秒数 %1 秒、自動保存%2で始めます（読めなかった値には"
                                     "既定値を使います）。ファイルは、設定を変えたときに正しい形"
                                     "で書き直します。")
                          .arg(state_.intJikan)
                          .arg(state_.intAs == 1 ? QStringLiteral("オン") : QStringLiteral("オフ")),
            kTitleRead);
    }
    keepFileAsItIs_ = !stored.wellFormed;
    startingUp_ = true;
    controls_.SetAutoSaveState(state_.intAs);
    startingUp_ = false;
    keepFileAsItIs_ = false;
}

bool SettingsFile::WriteSettei() {
    if (keepFileAsItIs_) return true;
    const std::optional<QByteArray> line = SettingsLine(state_);
    if (startingUp_ && line) {
        // The start-up rewrite of a file that already holds exactly this line changes nothing:
        // no new file, and no warning in a folder the user cannot write to.
        QByteArray bytes;
        QString why;
        if (ReadStart(path_, bytes, why) == ReadResult::Done && bytes == *line) return true;
    }
    // Written beside the old file and renamed over it, so that a failure keeps the old one.
    QSaveFile out(path_);
    // A folder the user cannot write to takes no new file: the old one is then written in
    // place, when it is a regular file (a FIFO would block the open).
    out.setDirectWriteFallback(QFileInfo(path_).isFile());
    bool written = line && out.open(QIODevice::WriteOnly) && out.write(*line) == line->size();
    // commit() alone can report success after a flush that failed on a full disk.
    written = written && out.flush();
    if (!written) out.cancelWriting();
    if (written && out.commit()) return true;
    qCWarning(lcFiles).noquote() << "cannot write" << path_ << ":" << out.errorString();
    boxes_.ReportError(
        QStringLiteral("設定.txt に書き込めませんでした。変えた設定はこのまま使えますが、"
                       "次に起動したときには元に戻ります。（ディスクの空きや書き込み"
                       "権限を確かめてください）"),
        kTitleWrite);
    return false;
}

void SettingsFile::cboJikan_Click() {
    const double number = ReadNumber(controls_.TimeLimitText().toStdString());
    // Halves go to the even neighbour: the default rounding mode of nearbyint.
    const double rounded = std::nearbyint(number);
    // Only the list's entries reach here; anything that is no usable limit changes nothing.
    if (!(rounded >= 1 && rounded <= 32767)) return;
    state_.intJikan = static_cast<std::int16_t>(rounded);
    WriteSettei();
}

void SettingsFile::chkAs_Click() {
    state_.intAs = controls_.AutoSaveState();
    WriteSettei();
}

}  // namespace keta
