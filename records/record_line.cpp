#include "record_line.h"

#include <algorithm>
#include <limits>

namespace keta {
namespace {

bool IsBlank(char16_t c) { return c == u' ' || c == u'\t'; }

std::u16string_view Trimmed(std::u16string_view s) {
    std::size_t begin = 0;
    std::size_t end = s.size();
    while (begin < end && IsBlank(s[begin])) ++begin;
    while (end > begin && IsBlank(s[end - 1])) --end;
    return s.substr(begin, end - begin);
}

// The characters of an item as ASCII code units, whether it is text or still bytes.
int Unit(char16_t c) { return c; }
int Unit(char c) { return static_cast<unsigned char>(c); }

template <typename View>
std::optional<std::int16_t> ReadInt16(View s, AfterNumber after) {
    const auto blankAt = [&s](std::size_t i) { return Unit(s[i]) == ' ' || Unit(s[i]) == '\t'; };
    const auto digitAt = [&s](std::size_t i) { return Unit(s[i]) >= '0' && Unit(s[i]) <= '9'; };
    if (after == AfterNumber::IgnoreTheRest) {
        std::size_t blank = 0;
        while (blank < s.size() && !blankAt(blank)) ++blank;
        s = s.substr(0, blank);
    }
    std::size_t pos = 0;
    bool negative = false;
    if (pos < s.size() && (Unit(s[pos]) == '+' || Unit(s[pos]) == '-')) {
        negative = Unit(s[pos++]) == '-';
    }

    // Whole part, saturated well above the 16-bit range so that long digit runs cannot wrap.
    constexpr long long kSaturated = 1'000'000;
    long long whole = 0;
    bool anyDigit = false;
    while (pos < s.size() && digitAt(pos)) {
        whole = std::min(kSaturated, whole * 10 + (Unit(s[pos++]) - '0'));
        anyDigit = true;
    }
    // Fraction: only how it compares with one half matters for the rounding.
    int vsHalf = -1;  // -1 below, 0 exactly, +1 above
    if (pos < s.size() && Unit(s[pos]) == '.') {
        ++pos;
        bool first = true;
        while (pos < s.size() && digitAt(pos)) {
            const int d = Unit(s[pos++]) - '0';
            if (first) {
                vsHalf = d > 5 ? 1 : (d == 5 ? 0 : -1);
                first = false;
            } else if (vsHalf == 0 && d != 0) {
                vsHalf = 1;
            }
            anyDigit = true;
        }
    }
    if (!anyDigit || pos != s.size()) return std::nullopt;
    if (vsHalf > 0 || (vsHalf == 0 && whole % 2 == 1)) ++whole;
    const long long value = negative ? -whole : whole;
    if (value < std::numeric_limits<std::int16_t>::min() ||
        value > std::numeric_limits<std::int16_t>::max()) {
        return std::nullopt;
    }
    return static_cast<std::int16_t>(value);
}

}  // namespace

bool LineReader::Next(std::string_view& line) {
    const std::size_t size = bytes_.size();
    if (pos_ >= size) return false;
    const char* data = bytes_.data();
    std::size_t end = pos_;
    while (end < size && data[end] != '\n' && data[end] != '\r') ++end;
    line = bytes_.substr(pos_, end - pos_);
    pos_ = end;
    if (pos_ < size && data[pos_] == '\r') ++pos_;
    if (pos_ < size && data[pos_] == '\n') ++pos_;
    ++lineNumber_;
    return true;
}

bool IsBlankLine(std::string_view line) {
    for (const char c : line) {
        if (c != ' ' && c != '\t') return false;
    }
    return true;
}

bool SplitRecordLine(std::u16string_view line, std::vector<RecordItem>& items) {
    items.clear();
    const std::size_t size = line.size();
    std::size_t pos = 0;
    while (true) {
        while (pos < size && IsBlank(line[pos])) ++pos;
        if (pos < size && line[pos] == u'"') {
            const std::size_t close = line.find(u'"', pos + 1);
            if (close == std::u16string_view::npos) return false;
            items.push_back({line.substr(pos + 1, close - pos - 1), true});
            pos = close + 1;
            while (pos < size && IsBlank(line[pos])) ++pos;
            if (pos < size && line[pos] != u',') return false;
        } else {
            std::size_t comma = line.find(u',', pos);
            if (comma == std::u16string_view::npos) comma = size;
            items.push_back({Trimmed(line.substr(pos, comma - pos)), false});
            pos = comma;
        }
        if (pos >= size) return true;
        ++pos;  // the comma
    }
}

std::optional<std::int16_t> ReadInt16Item(const RecordItem& item, AfterNumber after) {
    if (item.quoted) return std::nullopt;
    return ReadInt16(item.text, after);
}

std::optional<std::int16_t> ReadInt16Item(std::string_view text, bool quoted, AfterNumber after) {
    if (quoted) return std::nullopt;
    return ReadInt16(text, after);
}

void RecordScanner::Reset() {
    at_ = At::ItemStart;
    item_ = 0;
    pos_ = 0;
    textEnd_ = 0;
    lead_ = 0;
    blank_ = true;
    failed_ = false;
}

void RecordScanner::EndItem(std::ptrdiff_t end) {
    items_[static_cast<std::size_t>(item_)].end = end;
}

void RecordScanner::Feed(std::string_view piece) {
    // The state in locals for the loop, which runs over every byte of a long history.
    const auto* bytes = reinterpret_cast<const unsigned char*>(piece.data());
    const auto size = static_cast<std::ptrdiff_t>(piece.size());
    At at = at_;
    int itemIndex = item_;
    std::ptrdiff_t textEnd = textEnd_;
    unsigned char lead = lead_;
    bool blankLine = blank_;
    bool failed = failed_;
    for (std::ptrdiff_t i = 0; i < size && !failed; ++i) {
        const unsigned char b = bytes[i];
        const std::ptrdiff_t pos = pos_ + i;
        if (lead != 0) {
            // A trail byte is never a comma, quote or blank: it only ends the character.
            failed = !Cp932Decoder::IsPair(lead, b);
            lead = 0;
            if (at == At::Unquoted) textEnd = pos + 1;
            continue;
        }
        if (b >= 0x80) {
            if (IsCp932LeadByte(b)) {
                lead = b;
            } else if (!IsCp932SingleByte(b)) {
                failed = true;
                continue;
            }
        } else if (b == 0) {
            failed = true;
            continue;
        }
        const bool blank = b == ' ' || b == '\t';
        blankLine = blankLine && blank;
        switch (at) {
            case At::ItemStart: {
                if (blank) break;
                Item& item = items_[static_cast<std::size_t>(itemIndex)];
                if (b == '"') {
                    at = At::Quoted;
                    item = {pos + 1, pos + 1, true};
                } else if (b == ',') {
                    item = {pos, pos, false};
                    failed = ++itemIndex == kItems;
                } else {
                    at = At::Unquoted;
                    item = {pos, pos, false};
                    textEnd = pos + 1;
                }
                break;
            }
            case At::Unquoted:
                if (b == ',') {
                    items_[static_cast<std::size_t>(itemIndex)].end = textEnd;
                    at = At::ItemStart;
                    failed = ++itemIndex == kItems;
                } else if (!blank) {
                    textEnd = pos + 1;
                }
                break;
            case At::Quoted:
                if (b == '"') {
                    items_[static_cast<std::size_t>(itemIndex)].end = pos;
                    at = At::AfterQuote;
                } else if (lead == 0) {
                    // Most of a record is quoted ASCII: nothing in it but a quote matters.
                    while (i + 1 < size && bytes[i + 1] < 0x80 && bytes[i + 1] != '"' &&
                           bytes[i + 1] != 0) {
                        ++i;
                    }
                }
                break;
            case At::AfterQuote:
                if (b == ',') {
                    at = At::ItemStart;
                    failed = ++itemIndex == kItems;
                } else if (!blank) {
                    failed = true;
                }
                break;
        }
    }
    at_ = at;
    item_ = itemIndex;
    textEnd_ = textEnd;
    lead_ = lead;
    blank_ = blankLine;
    failed_ = failed;
    pos_ += size;
}

RecordScanner::Verdict RecordScanner::Finish() {
    if (failed_) return Verdict::NotRecord;
    if (blank_) return Verdict::Blank;
    if (lead_ != 0 || at_ == At::Quoted) return Verdict::NotRecord;
    Item& item = items_[static_cast<std::size_t>(item_)];
    if (at_ == At::ItemStart) {
        item = {pos_, pos_, false};
    } else if (at_ == At::Unquoted) {
        EndItem(textEnd_);
    }
    return item_ == kItems - 1 ? Verdict::Record : Verdict::NotRecord;
}

std::optional<std::string> FormatRecordLine(std::initializer_list<RecordValue> values) {
    std::u16string line;
    bool first = true;
    for (const RecordValue& value : values) {
        if (!first) line += u',';
        first = false;
        if (const auto* text = std::get_if<std::u16string>(&value)) {
            if (text->find_first_of(u"\"\r\n") != std::u16string::npos) return std::nullopt;
            line += u'"';
            line += *text;
            line += u'"';
        } else {
            for (const char c : std::to_string(std::get<long long>(value)))
                line += static_cast<char16_t>(c);
        }
    }
    line += u"\r\n";
    return EncodeCp932(line);
}

}  // namespace keta
