// The record line reader on arbitrary bytes: lines, code page 932, items and 16-bit numbers,
// and the writer's lines read back. Each check aborts, so libFuzzer keeps the input.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "cp932.h"
#include "fuzz_check.h"
#include "record_line.h"

namespace {

using keta::AfterNumber;
using keta::RecordItem;

// The lines with their line ends put back must give the input again, and no line may hold
// a line end of its own.
void CheckLines(std::string_view bytes) {
    keta::LineReader reader(bytes);
    std::string_view line;
    std::size_t pos = 0;
    int count = 0;
    while (reader.Next(line)) {
        ++count;
        FUZZ_CHECK(reader.LineNumber() == count);
        FUZZ_CHECK(line.data() == bytes.data() + pos);
        FUZZ_CHECK(line.find_first_of("\r\n") == std::string_view::npos);
        pos += line.size();
        if (pos < bytes.size() && bytes[pos] == '\r') ++pos;
        if (pos < bytes.size() && bytes[pos] == '\n') ++pos;
        // Only a line end or the end of the bytes stops a line.
        FUZZ_CHECK(pos == bytes.size() ||
                   pos > static_cast<std::size_t>(line.data() - bytes.data()) + line.size());
    }
    FUZZ_CHECK(pos == bytes.size());
}

bool IsSubview(std::u16string_view part, std::u16string_view whole) {
    return part.data() >= whole.data() && part.data() + part.size() <= whole.data() + whole.size();
}

void CheckItems(std::u16string_view line, const std::vector<RecordItem>& items) {
    FUZZ_CHECK(!items.empty());
    for (const RecordItem& item : items) {
        FUZZ_CHECK(IsSubview(item.text, line));
        if (item.quoted) {
            FUZZ_CHECK(item.text.find(u'"') == std::u16string_view::npos);
        } else {
            FUZZ_CHECK(item.text.find(u',') == std::u16string_view::npos);
            if (!item.text.empty()) {
                for (const char16_t end : {item.text.front(), item.text.back()}) {
                    FUZZ_CHECK(end != u' ' && end != u'\t');
                }
            }
        }
    }
}

// The rounding rule worked out another way: short plain decimals are exact enough in a double
// that nearbyint (halves to even) must agree with the item reader.
void CheckNumber(const RecordItem& item) {
    const std::optional<std::int16_t> strict = keta::ReadInt16Item(item, AfterNumber::MustEnd);
    const std::optional<std::int16_t> lenient =
        keta::ReadInt16Item(item, AfterNumber::IgnoreTheRest);
    if (item.quoted) {
        FUZZ_CHECK(!strict && !lenient);
        return;
    }
    // Without a blank the two modes read the same text.
    if (item.text.find_first_of(u" \t") == std::u16string_view::npos) {
        FUZZ_CHECK(strict == lenient);
    }
    if (strict) FUZZ_CHECK(lenient == strict);

    const std::u16string_view text = item.text;
    if (text.size() > 12) return;
    std::size_t pos = !text.empty() && (text[0] == u'+' || text[0] == u'-') ? 1 : 0;
    int digits = 0;
    int points = 0;
    for (; pos < text.size(); ++pos) {
        if (text[pos] >= u'0' && text[pos] <= u'9') {
            ++digits;
        } else if (text[pos] == u'.') {
            ++points;
        } else {
            break;
        }
    }
    const bool plainDecimal = pos == text.size() && digits > 0 && points <= 1;
    if (!plainDecimal) {
        FUZZ_CHECK(!strict);
        return;
    }
    const std::string ascii(text.begin(), text.end());  // plain decimal: ASCII only
    const double rounded = std::nearbyint(std::strtod(ascii.c_str(), nullptr));
    if (rounded < -32768 || rounded > 32767) {
        FUZZ_CHECK(!strict);
    } else {
        FUZZ_CHECK(strict && *strict == rounded);
    }
}

// A line the writer makes from what was read must read back as those values.
void CheckWriteAndReadBack(const std::vector<RecordItem>& items) {
    std::u16string text;
    long long number = 0;
    for (const RecordItem& item : items) {
        if (item.quoted && text.empty()) text = item.text;
        if (const auto n = keta::ReadInt16Item(item, AfterNumber::MustEnd)) number = *n;
    }
    const std::optional<std::string> written = keta::FormatRecordLine({text, number, text});
    if (!written) return;  // a character the code page lacks
    FUZZ_CHECK(written->size() >= 2 && written->substr(written->size() - 2) == "\r\n");
    keta::LineReader reader(*written);
    std::string_view raw;
    FUZZ_CHECK(reader.Next(raw));
    std::string_view more;
    FUZZ_CHECK(!reader.Next(more));  // exactly one line
    const std::optional<std::u16string> line = keta::Cp932Decoder().Decode(raw);
    FUZZ_CHECK(line.has_value());
    std::vector<RecordItem> back;
    FUZZ_CHECK(keta::SplitRecordLine(*line, back));
    FUZZ_CHECK(back.size() == 3);
    FUZZ_CHECK(back[0].quoted && back[0].text == text);
    FUZZ_CHECK(keta::ReadInt16Item(back[1], AfterNumber::MustEnd) == number);
    FUZZ_CHECK(back[2].quoted && back[2].text == text);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    CheckLines(bytes);

    const keta::Cp932Decoder decoder;
    keta::LineReader reader(bytes);
    std::string_view raw;
    std::vector<RecordItem> items;
    while (reader.Next(raw)) {
        FUZZ_CHECK(keta::IsBlankLine(raw) == (raw.find_first_not_of(" \t") == raw.npos));
        const std::optional<std::u16string> line = decoder.Decode(raw);
        if (!line) continue;
        FUZZ_CHECK(line->size() <= raw.size());
        if (!keta::SplitRecordLine(*line, items)) continue;
        CheckItems(*line, items);
        for (const RecordItem& item : items) CheckNumber(item);
        CheckWriteAndReadBack(items);
    }
    return 0;
}
