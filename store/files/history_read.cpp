// The history file's records out of its bytes: a quick check of the lines this program
// writes, the full scanner for the rest, whole files read at once and larger ones piece by
// piece, keeping only the records.

#include "history_read.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <new>
#include <vector>

#include "record_line.h"

namespace keta {
namespace {

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

// Reads what is left of the file behind `fd` into `bytes`: `expected` bytes at once, then
// whatever it has gained since it was measured.
HistoryReadResult ReadWhole(int fd, qsizetype expected, QByteArray& bytes, int& error) {
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
            return HistoryReadResult::Failed;
        }
        if (got == 0) break;
        if (inPlace) {
            filled += got;
        } else {
            bytes.append(more.data(), got);
        }
    }
    if (filled < expected) bytes.truncate(filled);  // it has shrunk meanwhile
    return HistoryReadResult::Done;
}

// Files up to this size are read whole and checked where they lie; larger ones, which can only
// be mostly something else than records, piece by piece, keeping only the records.
constexpr qsizetype kReadWhole = qsizetype{64} << 20;
static_assert(kReadWhole <= HistoryLines::kMostBytes);

HistoryReadResult ReadRecords(int fd, HistoryLines& lines, HistoryLoadReport& report, int& error) {
    try {
        struct stat st {};
        const qsizetype size = ::fstat(fd, &st) == 0 ? static_cast<qsizetype>(st.st_size) : -1;
        if (size >= 0 && size <= kReadWhole) {
            const HistoryReadResult read = ReadWhole(fd, size, lines.bytes, error);
            if (read == HistoryReadResult::Done) CollectInPlace(lines, report);
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
                return HistoryReadResult::Failed;
            }
            if (got == 0) break;
            collector.Feed(QByteArrayView(buffer.data(), static_cast<qsizetype>(got)));
        }
        collector.Finish();
        lines.bytes.squeeze();
        lines.starts.shrink_to_fit();
        return HistoryReadResult::Done;
    } catch (const std::bad_alloc&) {
        return HistoryReadResult::TooLarge;
    }
}

}  // namespace

FileStamp StampOf(const QString& path) {
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0) return {};
    return {true, st.st_dev, st.st_ino, st.st_size,
            std::int64_t{st.st_mtim.tv_sec} * 1000000000 + st.st_mtim.tv_nsec};
}

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

}  // namespace keta
