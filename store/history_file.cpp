#include "history_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <new>
#include <vector>

#include "cp932.h"
#include "file_log.h"
#include "record_line.h"
#include "regular_file.h"

namespace keta {
namespace {

struct GridColumn {
    const char16_t* header;
    int widthTwips;
};

constexpr std::array<GridColumn, HistoryModel::kGridColumns> kColumns{{
    {u"回", 600},
    {u"日付", 1400},
    {u"時間", 1000},
    {u"問数", 600},
    {u"ＯＫ", 600},
    {u"ＮＧ", 600},
    {u"正解率", 900},
    {u"秒当たり", 1000},
    {u"表示秒数", 1025},
    {u"モード", 700},
}};

const QString kTitleLoad = QStringLiteral("履歴ファイルの読み込み");

// Where the line from `pos` ends: at a CR or an LF, or at `size` when it goes on.
qsizetype LineEnd(const char* data, qsizetype pos, qsizetype size) {
    const auto* lf = static_cast<const char*>(
        std::memchr(data + pos, '\n', static_cast<std::size_t>(size - pos)));
    const qsizetype lfAt = lf != nullptr ? lf - data : size;
    const auto* cr = static_cast<const char*>(
        std::memchr(data + pos, '\r', static_cast<std::size_t>(lfAt - pos)));
    return cr != nullptr ? cr - data : lfAt;
}

// Items 4 and 5 of a record, the correct and the wrong answers, are 16-bit integers.
bool CountsAreNumbers(QByteArrayView line, const RecordScanner& scanner) {
    for (const std::size_t i : {3u, 4u}) {
        const RecordScanner::Item& item = scanner.Items()[i];
        const QByteArrayView text = line.sliced(item.begin, item.end - item.begin);
        if (!ReadInt16Item(text, item.quoted, AfterNumber::MustEnd)) return false;
    }
    return true;
}

// Takes the records out of the history file's bytes as they come, piece by piece. Only the
// lines that are records are kept; the bytes of a line are kept while it may still be one, so
// that an endless line of commas or zeros costs no memory.
class RecordCollector {
public:
    RecordCollector(HistoryLines& lines, HistoryLoadReport& report)
        : lines_(lines), report_(report), scanner_(decoder_) {}

    void Feed(QByteArrayView piece) {
        const char* data = piece.data();
        const qsizetype size = piece.size();
        qsizetype pos = 0;
        if (afterCr_ && size > 0 && data[0] == '\n') pos = 1;  // the LF of a CR LF cut in two
        afterCr_ = false;
        while (pos < size) {
            const qsizetype end = LineEnd(data, pos, size);
            if (end > pos) Take(piece.sliced(pos, end - pos));
            if (end == size) break;  // the line goes on in the next piece
            EndLine();
            pos = end + 1;
            if (data[end] == '\r') {
                if (pos == size) {
                    afterCr_ = true;
                } else if (data[pos] == '\n') {
                    ++pos;
                }
            }
        }
    }

    // The end of the file: a last line without a line end is a line too.
    void Finish() {
        if (inLine_) EndLine();
    }

private:
    void Take(QByteArrayView bytes) {
        inLine_ = true;
        if (scanner_.Failed()) return;
        scanner_.Feed(bytes);
        if (scanner_.Failed()) {
            lines_.bytes.truncate(lines_.starts.back());
        } else {
            lines_.bytes.append(bytes);
        }
    }

    void EndLine() {
        ++lineNumber_;
        const qsizetype start = lines_.starts.back();
        const RecordScanner::Verdict verdict = scanner_.Finish();
        if (verdict == RecordScanner::Verdict::Record &&
            CountsAreNumbers(QByteArrayView(lines_.bytes).sliced(start), scanner_)) {
            // More records than the index can place are more than the grid can hold.
            if (lines_.bytes.size() > HistoryLines::kMostBytes) throw std::bad_alloc();
            lines_.starts.push_back(static_cast<std::uint32_t>(lines_.bytes.size()));
        } else {
            lines_.bytes.truncate(start);
            if (verdict != RecordScanner::Verdict::Blank && report_.skippedLines++ == 0) {
                report_.firstSkippedLine = lineNumber_;
            }
        }
        scanner_.Reset();
        inLine_ = false;
    }

    HistoryLines& lines_;
    HistoryLoadReport& report_;
    Cp932Decoder decoder_;
    RecordScanner scanner_;
    int lineNumber_ = 0;  // a full int: a long history must not overflow the line numbers
    bool inLine_ = false;
    bool afterCr_ = false;
};

// The quick check of a line: which bytes may go on an item without a closer look.
struct ByteRuns {
    std::array<bool, 256> quoted{};  // inside double quotes: ASCII but the quote, NUL, CR, LF
    std::array<bool, 256> bare{};    // a bare item: that, and no comma or blank either
};

constexpr ByteRuns kRuns = [] {
    ByteRuns runs;
    for (int b = 1; b < 0x80; ++b) {
        const bool quoted = b != '"' && b != '\r' && b != '\n';
        runs.quoted[static_cast<std::size_t>(b)] = quoted;
        runs.bare[static_cast<std::size_t>(b)] = quoted && b != ',' && b != ' ' && b != '\t';
    }
    return runs;
}();

// One to five digits and at most 32767: a count as this program writes it.
bool IsPlainCount(const unsigned char* begin, const unsigned char* end) {
    const std::ptrdiff_t length = end - begin;
    if (length < 1 || length > 5) return false;
    int value = 0;
    for (const unsigned char* p = begin; p != end; ++p) {
        if (*p < '0' || *p > '9') return false;
        value = value * 10 + (*p - '0');
    }
    return value <= 32767;
}

// The lines this program writes, checked at speed: nine items with a comma between each two
// and nothing else, an item either all in double quotes or bare ASCII without blanks, items 4
// and 5 plain counts. Returns where such a line ends (at its CR or LF, or at `size`), or -1
// for any other line, which is not a verdict: RecordScanner decides that one. Every line this
// accepts is one that RecordScanner takes for a record with counts that are numbers.
// `data[size]` must be a NUL, as QByteArray keeps it, so that no run needs a bound.
qsizetype PlainRecordEnd(const unsigned char* data, qsizetype size, qsizetype pos,
                         Cp932Decoder& decoder) {
    const unsigned char* p = data + pos;
    for (int item = 0;; ++item) {
        const bool count = item == 3 || item == 4;
        if (*p == '"') {
            if (count) return -1;
            ++p;
            while (*p != '"') {
                // Plain quoted bytes and half-width katakana take one byte each.
                if (kRuns.quoted[*p] || (*p >= 0x80 && IsCp932SingleByte(*p))) {
                    ++p;
                } else if (IsCp932LeadByte(*p)) {
                    if (!decoder.IsPair(p[0], p[1])) return -1;
                    p += 2;
                } else {
                    return -1;  // NUL, a stray byte, or the line ends before the quote closes
                }
            }
            ++p;
        } else {
            const unsigned char* const begin = p;
            while (kRuns.bare[*p]) ++p;
            if (count && !IsPlainCount(begin, p)) return -1;
        }
        if (*p == ',' && item < RecordScanner::kItems - 1) {
            ++p;
            continue;
        }
        if (item != RecordScanner::kItems - 1) return -1;
        const qsizetype end = p - data;
        return *p == '\r' || *p == '\n' || end == size ? end : -1;
    }
}

// What a line is, the slow way: RecordScanner's verdict, a record only with counts as numbers.
RecordScanner::Verdict CheckLine(QByteArrayView line, RecordScanner& scanner) {
    scanner.Reset();
    scanner.Feed(line);
    const RecordScanner::Verdict verdict = scanner.Finish();
    if (verdict == RecordScanner::Verdict::Record && !CountsAreNumbers(line, scanner)) {
        return RecordScanner::Verdict::NotRecord;
    }
    return verdict;
}

// Takes the records out of the whole file's bytes where they lie: `lines.bytes` is the file as
// read; each record moves down over the line ends and the lines dropped before it, the rest is
// cut off. No text is built and nothing is allocated per line.
void CollectInPlace(HistoryLines& lines, HistoryLoadReport& report) {
    QByteArray& bytes = lines.bytes;
    const qsizetype size = bytes.size();
    lines.starts.assign(1, 0);
    if (size == 0) return;
    char* const data = bytes.data();
    const auto* const udata = reinterpret_cast<const unsigned char*>(data);
    Cp932Decoder decoder;
    RecordScanner scanner(decoder);
    // A record line is some 60 bytes; room for a little more than that many lines at once.
    lines.starts.reserve(static_cast<std::size_t>(size / 48 + 2));
    qsizetype kept = 0;
    int lineNumber = 0;
    qsizetype pos = 0;
    while (pos < size) {
        ++lineNumber;
        RecordScanner::Verdict verdict = RecordScanner::Verdict::Record;
        qsizetype end = PlainRecordEnd(udata, size, pos, decoder);
        if (end < 0) {
            end = LineEnd(data, pos, size);
            verdict = CheckLine(QByteArrayView(data + pos, end - pos), scanner);
        }
        qsizetype next = end;
        if (next < size) {
            next += data[next] == '\r' && next + 1 < size && data[next + 1] == '\n' ? 2 : 1;
        }
        if (verdict == RecordScanner::Verdict::Record) {
            if (kept != pos) {
                std::memmove(data + kept, data + pos, static_cast<std::size_t>(end - pos));
            }
            kept += end - pos;
            lines.starts.push_back(static_cast<std::uint32_t>(kept));
        } else if (verdict != RecordScanner::Verdict::Blank && report.skippedLines++ == 0) {
            report.firstSkippedLine = lineNumber;
        }
        pos = next;
    }
    if (kept < size) {
        bytes.truncate(kept);
        bytes.squeeze();
    }
    if (lines.starts.capacity() > 2 * lines.starts.size()) lines.starts.shrink_to_fit();
}

enum class ReadResult { Done, Failed, TooLarge };

// Reads what is left of the file behind `fd` into `bytes`: `expected` bytes at once, then
// whatever it has gained since it was measured.
ReadResult ReadWhole(int fd, qsizetype expected, QByteArray& bytes, int& error) {
    bytes = QByteArray(expected, Qt::Uninitialized);
    qsizetype filled = 0;
    std::array<char, 4096> more{};
    while (true) {
        const bool inPlace = filled < expected;
        char* const to = inPlace ? bytes.data() + filled : more.data();
        const std::size_t room =
            inPlace ? static_cast<std::size_t>(expected - filled) : more.size();
        const ssize_t got = ::read(fd, to, room);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            error = errno;
            return ReadResult::Failed;
        }
        if (got == 0) break;
        if (inPlace) {
            filled += got;
        } else {
            bytes.append(more.data(), got);
        }
    }
    if (filled < expected) bytes.truncate(filled);  // it has shrunk meanwhile
    return ReadResult::Done;
}

// Files up to this size are read whole and checked where they lie; larger ones, which can only
// be mostly something else than records, piece by piece, keeping only the records.
constexpr qsizetype kReadWhole = qsizetype{64} << 20;
static_assert(kReadWhole <= HistoryLines::kMostBytes);

ReadResult ReadRecords(int fd, HistoryLines& lines, HistoryLoadReport& report, int& error) {
    try {
        struct stat st {};
        const qsizetype size = ::fstat(fd, &st) == 0 ? static_cast<qsizetype>(st.st_size) : -1;
        if (size >= 0 && size <= kReadWhole) {
            const ReadResult read = ReadWhole(fd, size, lines.bytes, error);
            if (read == ReadResult::Done) CollectInPlace(lines, report);
            return read;
        }
        if (size > 0) {
            // Room for the records at once when the file is all records, without committing
            // more than a modest amount to a file that is mostly something else.
            lines.bytes.reserve(kReadWhole);
            lines.starts.reserve(static_cast<std::size_t>(kReadWhole / 48 + 1));
        }
        RecordCollector collector(lines, report);
        std::vector<char> buffer(std::size_t{64} << 10);
        while (true) {
            const ssize_t got = ::read(fd, buffer.data(), buffer.size());
            if (got < 0 && errno == EINTR) continue;
            if (got < 0) {
                error = errno;
                return ReadResult::Failed;
            }
            if (got == 0) break;
            collector.Feed(QByteArrayView(buffer.data(), static_cast<qsizetype>(got)));
        }
        collector.Finish();
        lines.bytes.squeeze();
        lines.starts.shrink_to_fit();
        return ReadResult::Done;
    } catch (const std::bad_alloc&) {
        return ReadResult::TooLarge;
    }
}

// What identifies the file's contents closely enough to tell whether it changed.
struct FileStamp {
    bool exists = false;
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    std::int64_t modifiedNs = 0;
    bool operator==(const FileStamp&) const = default;
};

FileStamp StampOf(const QString& path) {
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0) return {};
    return {true, st.st_dev, st.st_ino, st.st_size,
            std::int64_t{st.st_mtim.tv_sec} * 1000000000 + st.st_mtim.tv_nsec};
}

}  // namespace

// One reading of the file, on whichever thread: nothing in it touches the grid or a box.
struct HistoryRead {
    FileStamp stamp;  // taken before the file was opened
    RegularFile::Status status = RegularFile::Status::Missing;
    ReadResult result = ReadResult::Failed;
    int error = 0;
    QString errorText;
    HistoryLines lines;
    HistoryLoadReport report;
};

namespace {

std::unique_ptr<HistoryRead> ReadHistory(const QString& path) {
    auto read = std::make_unique<HistoryRead>();
    read->stamp = StampOf(path);
    RegularFile file;
    read->status = file.Open(path, O_RDONLY);
    if (read->status == RegularFile::Status::Missing) return read;
    if (read->status == RegularFile::Status::Open) {
        read->result = ReadRecords(file.Descriptor(), read->lines, read->report, read->error);
    }
    file.Close();
    read->errorText = file.ErrorText();
    return read;
}

}  // namespace

HistoryFile::HistoryFile(HistoryModel& grid, MessageBoxes& boxes, QString path)
    : grid_(grid), boxes_(boxes), path_(std::move(path)) {
    // One flush at a time, in the order of the writes.
    syncs_.setMaxThreadCount(1);
}

HistoryFile::~HistoryFile() { syncs_.waitForDone(); }

void HistoryFile::InitRireki() {
    grid_.SetFontWidth(11.0f);
    grid_.SetRows(1);
    grid_.SetCurrentRow(0);
    for (int col = 0; col < HistoryModel::kGridColumns; ++col) {
        grid_.SetCurrentCol(col);
        const GridColumn& column = kColumns[static_cast<std::size_t>(col)];
        grid_.SetCurrentText(QStringView(column.header));
        grid_.SetColWidth(col, column.widthTwips);
    }
    for (int col = 0; col < HistoryModel::kGridColumns; ++col) {
        grid_.SetColAlignmentFixed(col, Qt::AlignHCenter);
    }
    for (int col = 0; col < HistoryModel::kGridColumns; ++col) {
        grid_.SetColAlignment(col, Qt::AlignRight);
    }
    for (const int col : {1, 2, 9}) grid_.SetColAlignment(col, Qt::AlignHCenter);
}

void HistoryFile::PrefetchRireki() {
    if (prefetch_.valid()) return;
    prefetch_ = std::async(std::launch::async, &ReadHistory, path_);
}

void HistoryFile::LoadRireki() {
    lastLoad_ = HistoryLoadReport();
    std::unique_ptr<HistoryRead> read;
    if (prefetch_.valid()) {
        read = prefetch_.get();
        if (!(read->stamp == StampOf(path_))) read.reset();  // changed since: read it as it is
    }
    if (!read) read = ReadHistory(path_);
    // No file yet is an empty history; the first save creates it.
    if (read->status == RegularFile::Status::Missing) return;

    HistoryLines& lines = read->lines;
    const HistoryLoadReport report = read->report;
    const ReadResult result = read->result;
    const int error = read->error;
    if (result != ReadResult::Done) {
        const QString why = result == ReadResult::TooLarge ? QStringLiteral("out of memory")
                            : error != 0 ? QString::fromLocal8Bit(std::strerror(error))
                                         : read->errorText;
        qCWarning(lcFiles).noquote() << "cannot read" << path_ << ":" << why;
        lines = HistoryLines();  // what was read goes before the box asks for memory
        grid_.SetRows(1);
        boxes_.ReportError(
            result == ReadResult::TooLarge
                ? QStringLiteral("履歴.txt が大きすぎて読み込めませんでした。これまでの履歴を"
                                 "表示せずに始めます。ファイルはそのまま残してあります。")
                : QStringLiteral("履歴.txt を読み込めませんでした。これまでの履歴を表示せずに"
                                 "始めます。（ファイルの読み取り権限を確かめてください）"),
            kTitleLoad);
        return;
    }

    grid_.BeginBulkUpdate();
    grid_.SetFileRows(std::move(lines));
    grid_.EndBulkUpdate();
    lastLoad_ = report;
    lastLoad_.records = grid_.Rows() - 1;
    ScrollToNewest(grid_);

    if (lastLoad_.skippedLines > 0) {
        qCWarning(lcFiles).noquote()
            << path_ << ":" << lastLoad_.skippedLines << "lines are not records, the first is line"
            << lastLoad_.firstSkippedLine;
        boxes_.ReportError(
            QStringLiteral("履歴.txt の %1 行は記録の形になっていないため表示していません"
                           "（最初は %2 行目）。ファイルはそのまま残してあります。")
                .arg(lastLoad_.skippedLines)
                .arg(lastLoad_.firstSkippedLine),
            kTitleLoad);
    }
}

void HistoryFile::cmdClear_Click() {
    const MessageBoxes::Answer answer = boxes_.AskOkCancelWarning(
        QStringLiteral("履歴データをクリアします。よろしいですか？"), QStringLiteral("クリア確認"));
    if (answer != MessageBoxes::Answer::Ok) return;
    RegularFile file;
    if (file.Open(path_, O_WRONLY | O_CREAT) != RegularFile::Status::Open || !file.Truncate()) {
        qCWarning(lcFiles).noquote() << "cannot empty" << path_ << ":" << file.ErrorText();
        boxes_.ReportError(
            QStringLiteral("履歴.txt を空にできませんでした。履歴はそのまま残っています。"
                           "（書き込み権限を確かめてください）"),
            QStringLiteral("クリアエラー"));
        return;
    }
    SyncAndClose(file.Release());
    grid_.SetRows(1);
    boxes_.InformOk(QStringLiteral("履歴データをクリアしました"), QStringLiteral("クリア終了"));
}

bool HistoryFile::AppendLine(const QByteArray& line) {
    RegularFile file;
    // Opened for reading too, to look at the last byte; for writing only when that is all
    // the permissions allow. O_APPEND: two running copies cannot interleave within a line.
    RegularFile::Status status = file.Open(path_, O_RDWR | O_APPEND | O_CREAT);
    const bool readable = status == RegularFile::Status::Open;
    if (status == RegularFile::Status::Failed) status = file.Open(path_, O_WRONLY | O_APPEND);
    if (status != RegularFile::Status::Open) {
        qCWarning(lcFiles).noquote() << "cannot append to" << path_ << ":" << file.ErrorText();
        return false;
    }
    const int fd = file.Descriptor();
    struct stat st {};
    const off_t oldSize = ::fstat(fd, &st) == 0 ? st.st_size : 0;

    QByteArray record;
    if (oldSize > 0) {
        char last = 0;
        // When the end of the file cannot be seen, the record takes a line of its own all the
        // same; a blank line this may leave is skipped silently when the file is read.
        const bool seen = readable && ::pread(fd, &last, 1, oldSize - 1) == 1;
        if (seen && last == '\r') {
            record = "\n";  // a last line without its line end: a hand-made file, a torn write
        } else if (!seen || last != '\n') {
            record = "\r\n";
        }
    }
    record += line;
    // One write for the whole record: a second call for a rest could land after another
    // running copy's line.
    ssize_t written = -1;
    do {
        written = ::write(fd, record.constData(), static_cast<std::size_t>(record.size()));
    } while (written < 0 && errno == EINTR);
    if (written == record.size()) {
        SyncAndClose(file.Release());
        return true;
    }
    const int error = written < 0 ? errno : ENOSPC;
    // Take back the part of the record that got written, unless another running copy has
    // appended meanwhile: cutting would then take its line too.
    if (written > 0 && ::fstat(fd, &st) == 0 && st.st_size == oldSize + written) {
        if (::ftruncate(fd, oldSize) != 0) {
            qCWarning(lcFiles).noquote() << "cannot take back a part record from" << path_;
        }
    }
    qCWarning(lcFiles).noquote() << "cannot append to" << path_ << ":" << strerror(error);
    return false;
}

void HistoryFile::SyncAndClose(int fd) {
    // One flush covers every write made before it starts, whichever descriptor made it: while
    // one is waiting, later writes only join it. Saves in quick succession then hold no more
    // than one descriptor open.
    if (waiting_++ > 0) {
        ::close(fd);
        return;
    }
    const QString path = path_;
    syncs_.start([this, fd, path] {
        const int covered = waiting_.exchange(0);
        if (::fdatasync(fd) == 0) {
            synced_ += covered;
        } else {
            qCWarning(lcFiles).noquote()
                << "cannot flush" << path << "to the disk:" << strerror(errno);
        }
        ::close(fd);
    });
}

}  // namespace keta
