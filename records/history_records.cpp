// The history file's records out of its bytes: a quick check of the lines this program writes,
// the full scanner for the rest, whole files at once or piece by piece, keeping only the records.

#include "history_records.h"

#include <cstring>
#include <new>

namespace keta {
namespace {

// Where the line from `pos` ends: at a CR or an LF, or at `size` when it goes on.
std::size_t LineEnd(const char* data, std::size_t pos, std::size_t size) {
    const auto* lf = static_cast<const char*>(std::memchr(data + pos, '\n', size - pos));
    const std::size_t lfAt = lf != nullptr ? static_cast<std::size_t>(lf - data) : size;
    const auto* cr = static_cast<const char*>(std::memchr(data + pos, '\r', lfAt - pos));
    return cr != nullptr ? static_cast<std::size_t>(cr - data) : lfAt;
}

// Items 4 and 5 of a record, the correct and the wrong answers, are 16-bit integers.
bool CountsAreNumbers(std::string_view line, const RecordScanner& scanner) {
    for (const std::size_t i : {3u, 4u}) {
        const RecordScanner::Item& item = scanner.Items()[i];
        const std::string_view text = line.substr(static_cast<std::size_t>(item.begin),
                                                  static_cast<std::size_t>(item.end - item.begin));
        if (!ReadInt16Item(text, item.quoted, AfterNumber::MustEnd)) return false;
    }
    return true;
}

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

constexpr std::ptrdiff_t kNotPlain = -1;

// The lines this program writes, checked at speed: nine items with a comma between each two
// and nothing else, an item either all in double quotes or bare ASCII without blanks, items 4
// and 5 plain counts. Returns where such a line ends (at its CR or LF, or at `size`), or
// kNotPlain for any other line, which is not a verdict: RecordScanner decides that one. Every
// line this accepts is one that RecordScanner takes for a record with counts that are numbers.
// `data[size]` must be a NUL, as std::string keeps it, so that no run needs a bound.
std::ptrdiff_t PlainRecordEnd(const unsigned char* data, std::size_t size, std::size_t pos) {
    const unsigned char* p = data + pos;
    for (int item = 0;; ++item) {
        const bool count = item == 3 || item == 4;
        if (*p == '"') {
            if (count) return kNotPlain;
            ++p;
            while (*p != '"') {
                // Plain quoted bytes and half-width katakana take one byte each.
                if (kRuns.quoted[*p] || (*p >= 0x80 && IsCp932SingleByte(*p))) {
                    ++p;
                } else if (IsCp932LeadByte(*p)) {
                    if (!Cp932Decoder::IsPair(p[0], p[1])) return kNotPlain;
                    p += 2;
                } else {
                    return kNotPlain;  // NUL, a stray byte, or the line ends before the quote
                }
            }
            ++p;
        } else {
            const unsigned char* const begin = p;
            while (kRuns.bare[*p]) ++p;
            if (count && !IsPlainCount(begin, p)) return kNotPlain;
        }
        if (*p == ',' && item < RecordScanner::kItems - 1) {
            ++p;
            continue;
        }
        if (item != RecordScanner::kItems - 1) return kNotPlain;
        const std::ptrdiff_t end = p - data;
        const bool atEnd = static_cast<std::size_t>(end) == size;
        return *p == '\r' || *p == '\n' || atEnd ? end : kNotPlain;
    }
}

// What a line is, the slow way: RecordScanner's verdict, a record only with counts as numbers.
RecordScanner::Verdict CheckLine(std::string_view line, RecordScanner& scanner) {
    scanner.Reset();
    scanner.Feed(line);
    const RecordScanner::Verdict verdict = scanner.Finish();
    if (verdict == RecordScanner::Verdict::Record && !CountsAreNumbers(line, scanner)) {
        return RecordScanner::Verdict::NotRecord;
    }
    return verdict;
}

void CountSkipped(HistoryLoadReport& report, int lineNumber) {
    if (report.skippedLines++ == 0) report.firstSkippedLine = lineNumber;
}

}  // namespace

void CollectHistoryRecords(HistoryLines& lines, HistoryLoadReport& report) {
    std::string& bytes = lines.bytes;
    const std::size_t size = bytes.size();
    lines.starts.assign(1, 0);
    if (size == 0) return;
    char* const data = bytes.data();
    const auto* const udata = reinterpret_cast<const unsigned char*>(data);
    RecordScanner scanner;
    // A record line is some 60 bytes; room for a little more than that many lines at once.
    lines.starts.reserve(size / 48 + 2);
    std::size_t kept = 0;
    int lineNumber = 0;
    std::size_t pos = 0;
    while (pos < size) {
        ++lineNumber;
        RecordScanner::Verdict verdict = RecordScanner::Verdict::Record;
        const std::ptrdiff_t plainEnd = PlainRecordEnd(udata, size, pos);
        std::size_t end = static_cast<std::size_t>(plainEnd);
        if (plainEnd == kNotPlain) {
            end = LineEnd(data, pos, size);
            verdict = CheckLine(std::string_view(data + pos, end - pos), scanner);
        }
        std::size_t next = end;
        if (next < size) {
            next += data[next] == '\r' && next + 1 < size && data[next + 1] == '\n' ? 2 : 1;
        }
        if (verdict == RecordScanner::Verdict::Record) {
            if (kept != pos) std::memmove(data + kept, data + pos, end - pos);
            kept += end - pos;
            lines.starts.push_back(static_cast<std::uint32_t>(kept));
        } else if (verdict != RecordScanner::Verdict::Blank) {
            CountSkipped(report, lineNumber);
        }
        pos = next;
    }
    if (kept < size) {
        bytes.resize(kept);
        bytes.shrink_to_fit();
    }
    if (lines.starts.capacity() > 2 * lines.starts.size()) lines.starts.shrink_to_fit();
}

void HistoryRecordCollector::Feed(std::string_view piece) {
    const char* data = piece.data();
    const std::size_t size = piece.size();
    std::size_t pos = 0;
    if (afterCr_ && size > 0 && data[0] == '\n') pos = 1;  // the LF of a CR LF cut in two
    afterCr_ = false;
    while (pos < size) {
        const std::size_t end = LineEnd(data, pos, size);
        if (end > pos) Take(piece.substr(pos, end - pos));
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

void HistoryRecordCollector::Finish() {
    if (inLine_) EndLine();
}

void HistoryRecordCollector::Take(std::string_view bytes) {
    inLine_ = true;
    if (scanner_.Failed()) return;
    scanner_.Feed(bytes);
    if (scanner_.Failed()) {
        lines_.bytes.resize(lines_.starts.back());
    } else {
        lines_.bytes.append(bytes);
    }
}

void HistoryRecordCollector::EndLine() {
    ++lineNumber_;
    const std::size_t start = lines_.starts.back();
    const RecordScanner::Verdict verdict = scanner_.Finish();
    if (verdict == RecordScanner::Verdict::Record &&
        CountsAreNumbers(std::string_view(lines_.bytes).substr(start), scanner_)) {
        // More records than the index can place are more than the grid can hold.
        if (lines_.bytes.size() > HistoryLines::kMostBytes) throw std::bad_alloc();
        lines_.starts.push_back(static_cast<std::uint32_t>(lines_.bytes.size()));
    } else {
        lines_.bytes.resize(start);
        if (verdict != RecordScanner::Verdict::Blank) CountSkipped(report_, lineNumber_);
    }
    scanner_.Reset();
    inLine_ = false;
}

}  // namespace keta
