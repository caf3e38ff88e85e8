#include "record_line.h"

#include <algorithm>
#include <limits>

#include "cp932.h"

namespace keta {
namespace {

bool IsBlank(QChar c) { return c == u' ' || c == u'\t'; }

QStringView Trimmed(QStringView s) {
    qsizetype begin = 0;
    qsizetype end = s.size();
    while (begin < end && IsBlank(s[begin])) ++begin;
    while (end > begin && IsBlank(s[end - 1])) --end;
    return s.sliced(begin, end - begin);
}

bool IsDigit(QChar c) { return c >= u'0' && c <= u'9'; }

}  // namespace

bool LineReader::Next(QByteArrayView& line) {
    const qsizetype size = bytes_.size();
    if (pos_ >= size) return false;
    const char* data = bytes_.data();
    qsizetype end = pos_;
    while (end < size && data[end] != '\n' && data[end] != '\r') ++end;
    line = bytes_.sliced(pos_, end - pos_);
    pos_ = end;
    if (pos_ < size && data[pos_] == '\r') ++pos_;
    if (pos_ < size && data[pos_] == '\n') ++pos_;
    ++lineNumber_;
    return true;
}

bool IsBlankLine(QByteArrayView line) {
    for (const char c : line) {
        if (c != ' ' && c != '\t') return false;
    }
    return true;
}

bool SplitRecordLine(QStringView line, std::vector<RecordItem>& items) {
    items.clear();
    const qsizetype size = line.size();
    qsizetype pos = 0;
    while (true) {
        while (pos < size && IsBlank(line[pos])) ++pos;
        if (pos < size && line[pos] == u'"') {
            const qsizetype close = line.indexOf(u'"', pos + 1);
            if (close < 0) return false;
            items.push_back({line.sliced(pos + 1, close - pos - 1), true});
            pos = close + 1;
            while (pos < size && IsBlank(line[pos])) ++pos;
            if (pos < size && line[pos] != u',') return false;
        } else {
            qsizetype comma = line.indexOf(u',', pos);
            if (comma < 0) comma = size;
            items.push_back({Trimmed(line.sliced(pos, comma - pos)), false});
            pos = comma;
        }
        if (pos >= size) return true;
        ++pos;  // the comma
    }
}

std::optional<std::int16_t> ReadInt16Item(const RecordItem& item, AfterNumber after) {
    if (item.quoted) return std::nullopt;
    QStringView s = item.text;
    if (after == AfterNumber::IgnoreTheRest) {
        qsizetype blank = 0;
        while (blank < s.size() && !IsBlank(s[blank])) ++blank;
        s = s.first(blank);
    }
    qsizetype pos = 0;
    bool negative = false;
    if (pos < s.size() && (s[pos] == u'+' || s[pos] == u'-')) negative = s[pos++] == u'-';

    // Whole part, saturated well above the 16-bit range so that long digit runs cannot wrap.
    constexpr long long kSaturated = 1'000'000;
    long long whole = 0;
    bool anyDigit = false;
    while (pos < s.size() && IsDigit(s[pos])) {
        whole = std::min(kSaturated, whole * 10 + (s[pos++].unicode() - u'0'));
        anyDigit = true;
    }
    // Fraction: only how it compares with one half matters for the rounding.
    int vsHalf = -1;  // -1 below, 0 exactly, +1 above
    if (pos < s.size() && s[pos] == u'.') {
        ++pos;
        bool first = true;
        while (pos < s.size() && IsDigit(s[pos])) {
            const int d = s[pos++].unicode() - u'0';
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

std::optional<QByteArray> FormatRecordLine(std::initializer_list<RecordValue> values) {
    QString line;
    bool first = true;
    for (const RecordValue& value : values) {
        if (!first) line += u',';
        first = false;
        if (const auto* text = std::get_if<QString>(&value)) {
            if (text->contains(u'"') || text->contains(u'\r') || text->contains(u'\n')) {
                return std::nullopt;
            }
            line += u'"';
            line += *text;
            line += u'"';
        } else {
            line += QString::number(std::get<long long>(value));
        }
    }
    line += u"\r\n";
    return EncodeCp932(line);
}

}  // namespace keta
