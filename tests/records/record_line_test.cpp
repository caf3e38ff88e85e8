#include "record_line.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "cp932.h"

namespace keta {
namespace {

using namespace std::string_literals;
using namespace std::string_view_literals;

std::string Hex(std::string_view bytes) {
    std::string hex;
    for (const char c : bytes) {
        static constexpr char kDigits[] = "0123456789abcdef";
        hex += kDigits[static_cast<unsigned char>(c) >> 4];
        hex += kDigits[static_cast<unsigned char>(c) & 15];
    }
    return hex;
}

TEST(LineReader, EndsLinesAtCrLfLfOrCrAndReadsALastLineWithoutEnd) {
    LineReader reader("a\r\nb\nc\rd\r\n\r\ne");
    std::vector<std::string> lines;
    std::string_view line;
    while (reader.Next(line)) lines.emplace_back(line);
    EXPECT_EQ(lines, (std::vector<std::string>{"a", "b", "c", "d", "", "e"}));
    EXPECT_EQ(reader.LineNumber(), 6);
}

std::optional<std::int16_t> Int(std::u16string_view text,
                                AfterNumber after = AfterNumber::MustEnd) {
    return ReadInt16Item({text, false}, after);
}

TEST(ReadInt16Item, ReadsSixteenBitDecimalsRoundingHalvesToEven) {
    EXPECT_EQ(Int(u"007"), 7);
    EXPECT_EQ(Int(u"-32768"), -32768);
    EXPECT_EQ(Int(u"+32767"), 32767);
    EXPECT_EQ(Int(u"2.5"), 2);
    EXPECT_EQ(Int(u"3.5"), 4);
    EXPECT_EQ(Int(u"2.500001"), 3);
    EXPECT_EQ(Int(u"0 abc", AfterNumber::IgnoreTheRest), 0);
    for (const std::u16string_view bad : {u""sv, u"-"sv, u"12abc"sv, u"1 2"sv, u"32768"sv,
                                          u"32767.5"sv, u"99999999999999999999"sv, u"1e3"sv}) {
        EXPECT_FALSE(Int(bad)) << Utf16ToUtf8(bad);
    }
    EXPECT_FALSE(ReadInt16Item({u"60", /*quoted=*/true}, AfterNumber::MustEnd));
    // The bytes of an item read as its text does.
    EXPECT_EQ(ReadInt16Item("-07"sv, false, AfterNumber::MustEnd), -7);
    EXPECT_FALSE(ReadInt16Item("7"sv, true, AfterNumber::MustEnd));
}

TEST(FormatRecordLine, WritesTheExampleRecordByteForByte) {
    EXPECT_EQ(FormatRecordLine({u"2004/05/01"s, u"13:05:09"s, 25LL, 22LL, 3LL, u"88.0%"s,
                                u"0.37/秒"s, u"60秒"s, u"＋"s}),
              "\"2004/05/01\",\"13:05:09\",25,22,3,\"88.0%\",\"0.37/\x95\x62\","
              "\"60\x95\x62\",\"\x81\x7B\"\r\n"s);
    EXPECT_EQ(FormatRecordLine({-5LL, u"－"s}), "-5,\"\x81\x7C\"\r\n"s);
    // Texts that would not read back as written are refused.
    EXPECT_FALSE(FormatRecordLine({u"a\"b"s}));
    EXPECT_FALSE(FormatRecordLine({u"a\r\nb"s}));
    EXPECT_FALSE(FormatRecordLine({u"\u2212"s}));  // no form in the code page
}

// What the scanner makes of a line, fed in pieces of `piece` bytes: its items as decoded text,
// or nothing when it is no record; "blank" for a blank line.
std::vector<std::u16string> Scanned(std::string_view line, std::size_t piece) {
    RecordScanner scanner;
    for (std::size_t at = 0; at < line.size(); at += piece) scanner.Feed(line.substr(at, piece));
    const RecordScanner::Verdict verdict = scanner.Finish();
    if (verdict == RecordScanner::Verdict::Blank) return {u"blank"};
    if (verdict != RecordScanner::Verdict::Record) return {};
    std::vector<std::u16string> items;
    for (const RecordScanner::Item& item : scanner.Items()) {
        const auto bytes = line.substr(static_cast<std::size_t>(item.begin),
                                       static_cast<std::size_t>(item.end - item.begin));
        items.push_back(Cp932Decoder().Decode(bytes).value_or(u"?") + (item.quoted ? u"(q)" : u""));
    }
    return items;
}

// The same through the decoded text, as the settings reader splits lines.
std::vector<std::u16string> Split(std::string_view line) {
    if (IsBlankLine(line)) return {u"blank"};
    const std::optional<std::u16string> text = Cp932Decoder().Decode(line);
    std::vector<RecordItem> items;
    if (!text || text->find(u'\0') != std::u16string::npos || !SplitRecordLine(*text, items) ||
        items.size() != RecordScanner::kItems) {
        return {};
    }
    std::vector<std::u16string> out;
    for (const RecordItem& item : items) {
        out.push_back(std::u16string(item.text) + (item.quoted ? u"(q)" : u""));
    }
    return out;
}

TEST(RecordScanner, FindsTheItemsThatSplittingTheDecodedLineFinds) {
    const std::string lines[] = {
        "\"2004/05/01\",\"13:05:09\",25,22,3,\"88.0%\",\"0.37/"
        "\x95\x62\",\"60\x95\x62\",\"\x81\x7B\"",
        " \"a\" , b c ,,\"\",x\"y\"z,\xB1,\x95\x62 ,\"\x81\x7B\"  ,  ",
        ",,,,,,,,",           // nine empty items
        ",,,,,,,,,",          // ten
        ",,,,,,,",            // eight
        "\"a\"b,,,,,,,,",     // text after a closing quote
        "\"a,,,,,,,,",        // a quote never closed
        "a,,,,,,,,\x95",      // a lead byte without its trail byte
        "a,,,,,,,,\x85\x40",  // a pair that is no character
        "a,,,,,,,\0,"s,       // NUL
        "a,,,,,,,,\x80",      // a byte that is no character
        "  \t ",
        "",
    };
    for (const std::string& line : lines) {
        for (const std::size_t piece :
             {std::size_t{1}, std::size_t{2}, std::size_t{7}, line.size() + 1}) {
            EXPECT_EQ(Scanned(line, piece), Split(line)) << Hex(line) << " " << piece;
        }
    }
    EXPECT_FALSE(Scanned(lines[0], 5).empty());
}

// Random lines built from the bytes that matter: the scanner and the text splitter agree on
// every one of them.
TEST(RecordScanner, AgreesWithTheTextSplitterOnRandomLines) {
    const char alphabet[] = {',',    '"',    ' ',    '\t',   'a',    '1', '\x95',
                             '\x62', '\x81', '\x7B', '\xB1', '\x80', '\0'};
    std::mt19937 random(8);
    int records = 0;
    for (int n = 0; n < 20000; ++n) {
        std::string line;
        const int length = static_cast<int>(random() % 24);
        for (int i = 0; i < length; ++i) line += alphabet[random() % sizeof alphabet];
        // Most lines get eight commas, so that many of them are records.
        if (n % 2 == 0) line = ",,,,,,,," + line;
        const std::vector<std::u16string> expected = Split(line);
        records += expected.size() == RecordScanner::kItems ? 1 : 0;
        ASSERT_EQ(Scanned(line, 1 + random() % 5), expected) << Hex(line);
    }
    EXPECT_GT(records, 1000);
}

}  // namespace
}  // namespace keta
