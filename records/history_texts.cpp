// The texts of the history: a record's items as a grid shows them, and the items and the line of
// a saved result.

#include <cstdlib>

#include "history_records.h"
#include "number_text.h"

namespace keta {
namespace {

std::u16string Ascii(std::string_view text) { return std::u16string(text.begin(), text.end()); }

// At least `width` digits, zeros in front, a minus before them when negative: Qt's "yyyy",
// "MM" and the like.
std::u16string Padded(long long value, std::size_t width) {
    std::u16string digits = Ascii(std::to_string(std::llabs(value)));
    if (digits.size() < width) digits.insert(0, width - digits.size(), u'0');
    return value < 0 ? u'-' + digits : digits;
}

}  // namespace

std::array<std::u16string, RecordScanner::kItems> RecordItemTexts(std::string_view line,
                                                                  std::ptrdiff_t maxChars) {
    std::array<std::u16string, RecordScanner::kItems> texts;
    RecordScanner scanner;
    scanner.Feed(line);
    if (scanner.Finish() != RecordScanner::Verdict::Record) return texts;
    const Cp932Decoder decoder;
    for (std::size_t i = 0; i < texts.size(); ++i) {
        const RecordScanner::Item& item = scanner.Items()[i];
        const std::string_view bytes = line.substr(static_cast<std::size_t>(item.begin),
                                                   static_cast<std::size_t>(item.end - item.begin));
        if (i == 3 || i == 4) {
            const auto count = ReadInt16Item(bytes, item.quoted, AfterNumber::MustEnd);
            if (count) texts[i] = Ascii(std::to_string(*count));
            continue;
        }
        std::optional<std::u16string> text = decoder.Decode(bytes, maxChars);
        if (text) texts[i] = std::move(*text);
    }
    return texts;
}

std::string HistoryFileBytes(const HistoryLines& lines) {
    std::string file;
    file.reserve(lines.bytes.size() + 2 * static_cast<std::size_t>(lines.Count()));
    for (int k = 0; k < lines.Count(); ++k) {
        file += lines.Line(k);
        file += "\r\n";
    }
    return file;
}

std::u16string HistoryDateText(const SavedResult& result) {
    return Padded(result.year, 4) + u'/' + Padded(result.month, 2) + u'/' + Padded(result.day, 2);
}

std::u16string HistoryTimeText(const SavedResult& result) {
    return Padded(result.hour, 2) + u':' + Padded(result.minute, 2) + u':' +
           Padded(result.second, 2);
}

std::u16string AccuracyText(int correct, int answers) {
    return Ascii(FormatPercent(SafeRatio(correct, answers)));
}

std::u16string PerSecondText(int correct, int timeLimit) {
    // "0.37/秒": the engine's pattern is UTF-8.
    return Utf8ToUtf16(FormatPerSecond(SafeRatio(correct, timeLimit))).value_or(std::u16string());
}

std::u16string TimeLimitText(int timeLimit) { return Ascii(DecimalText(timeLimit)) + u"秒"; }

std::optional<std::string> HistoryRecordLine(const SavedResult& result) {
    return FormatRecordLine({
        HistoryDateText(result),
        HistoryTimeText(result),
        static_cast<long long>(result.answers),
        static_cast<long long>(result.correct),
        static_cast<long long>(result.wrong),
        AccuracyText(result.correct, result.answers),
        PerSecondText(result.correct, result.timeLimit),
        TimeLimitText(result.timeLimit),
        result.modeText,
    });
}

}  // namespace keta
