#include "record_line.h"

#include <gtest/gtest.h>

#include <QStringDecoder>
#include <QStringList>
#include <random>
#include <span>

#include "cp932.h"

namespace keta {
namespace {

using namespace Qt::Literals::StringLiterals;

TEST(Cp932, ReadsAndWritesTheBytesOfTheProgramsOwnCharacters) {
    const std::pair<QString, QByteArray> cases[] = {
        {u"秒"_s, "\x95\x62"}, {u"＋"_s, "\x81\x7B"}, {u"－"_s, "\x81\x7C"},  // U+FF0D, not U+2212
        {u"\\"_s, "\x5C"},     {u"ｱ"_s, "\xB1"},      {u"\x1A"_s, "\x1A"},
    };
    Cp932Decoder decoder;
    for (const auto& [text, bytes] : cases) {
        EXPECT_EQ(EncodeCp932(text), bytes) << text.toStdString();
        EXPECT_EQ(decoder.Decode(bytes), text) << text.toStdString();
    }
    // The decoder knows its own characters without the converter; both must agree.
    for (const auto& [text, bytes] : std::span(cases).first(3)) {
        QStringDecoder converter("windows-31j", QStringConverter::Flag::Stateless);
        EXPECT_EQ(QString(converter.decode(bytes)), text) << text.toStdString();
    }
    EXPECT_FALSE(EncodeCp932(u"\u2212"));  // no best-fit stand-ins
    EXPECT_FALSE(EncodeCp932(u"é"));
}

TEST(Cp932, RefusesBytesThatAreNoCharacterAndGoesOnAfterwards) {
    Cp932Decoder decoder;
    for (const char* bad : {"a\x95", "\x81 x", "\x85\x40", "\x80", "\xA0", "\xFD"}) {
        EXPECT_FALSE(decoder.Decode(QByteArrayView(bad))) << bad;
    }
    EXPECT_EQ(decoder.Decode("60\x95\x62"), u"60秒"_s);
}

TEST(LineReader, EndsLinesAtCrLfLfOrCrAndReadsALastLineWithoutEnd) {
    LineReader reader("a\r\nb\nc\rd\r\n\r\ne");
    std::vector<QByteArray> lines;
    QByteArrayView line;
    while (reader.Next(line)) lines.push_back(line.toByteArray());
    EXPECT_EQ(lines, (std::vector<QByteArray>{"a", "b", "c", "d", "", "e"}));
    EXPECT_EQ(reader.LineNumber(), 6);
}

std::optional<std::int16_t> Int(const QString& text, AfterNumber after = AfterNumber::MustEnd) {
    return ReadInt16Item({text, false}, after);
}

TEST(ReadInt16Item, ReadsSixteenBitDecimalsRoundingHalvesToEven) {
    EXPECT_EQ(Int(u"007"_s), 7);
    EXPECT_EQ(Int(u"-32768"_s), -32768);
    EXPECT_EQ(Int(u"+32767"_s), 32767);
    EXPECT_EQ(Int(u"2.5"_s), 2);
    EXPECT_EQ(Int(u"3.5"_s), 4);
    EXPECT_EQ(Int(u"2.500001"_s), 3);
    EXPECT_EQ(Int(u"0 abc"_s, AfterNumber::IgnoreTheRest), 0);
    for (const QString& bad : {u""_s, u"-"_s, u"12abc"_s, u"1 2"_s, u"32768"_s, u"32767.5"_s,
                               u"99999999999999999999"_s, u"1e3"_s}) {
        EXPECT_FALSE(Int(bad)) << bad.toStdString();
    }
    EXPECT_FALSE(ReadInt16Item({u"60", /*quoted=*/true}, AfterNumber::MustEnd));
}

TEST(FormatRecordLine, WritesTheExampleRecordByteForByte) {
    EXPECT_EQ(FormatRecordLine({u"2004/05/01"_s, u"13:05:09"_s, 25LL, 22LL, 3LL, u"88.0%"_s,
                                u"0.37/秒"_s, u"60秒"_s, u"＋"_s}),
              QByteArray("\"2004/05/01\",\"13:05:09\",25,22,3,\"88.0%\",\"0.37/\x95\x62\","
                         "\"60\x95\x62\",\"\x81\x7B\"\r\n"));
    EXPECT_EQ(FormatRecordLine({-5LL, u"－"_s}), QByteArray("-5,\"\x81\x7C\"\r\n"));
    // Texts that would not read back as written are refused.
    EXPECT_FALSE(FormatRecordLine({u"a\"b"_s}));
    EXPECT_FALSE(FormatRecordLine({u"a\r\nb"_s}));
}

// What the scanner makes of a line, fed in pieces of `piece` bytes: its items as decoded text,
// or nothing when it is no record; "blank" for a blank line.
QStringList Scanned(QByteArrayView line, qsizetype piece) {
    Cp932Decoder decoder;
    RecordScanner scanner(decoder);
    for (qsizetype at = 0; at < line.size(); at += piece) {
        scanner.Feed(line.sliced(at, std::min(piece, line.size() - at)));
    }
    const RecordScanner::Verdict verdict = scanner.Finish();
    if (verdict == RecordScanner::Verdict::Blank) return {u"blank"_s};
    if (verdict != RecordScanner::Verdict::Record) return {};
    QStringList items;
    for (const RecordScanner::Item& item : scanner.Items()) {
        items << decoder.Decode(line.sliced(item.begin, item.end - item.begin)).value_or(u"?"_s) +
                     (item.quoted ? u"(q)"_s : QString());
    }
    return items;
}

// The same through the decoded text, as the settings reader splits lines.
QStringList Split(QByteArrayView line) {
    if (IsBlankLine(line)) return {u"blank"_s};
    Cp932Decoder decoder;
    const std::optional<QString> text = decoder.Decode(line);
    std::vector<RecordItem> items;
    if (!text || text->contains(QChar(0)) || !SplitRecordLine(*text, items) ||
        items.size() != RecordScanner::kItems) {
        return {};
    }
    QStringList out;
    for (const RecordItem& item : items) {
        out << item.text.toString() + (item.quoted ? u"(q)"_s : QString());
    }
    return out;
}

TEST(RecordScanner, FindsTheItemsThatSplittingTheDecodedLineFinds) {
    const QByteArray lines[] = {
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
        "a,,,,,,,\0,",        // NUL
        "a,,,,,,,,\x80",      // a byte that is no character
        "  \t ",
        "",
    };
    for (const QByteArray& line : lines) {
        for (const qsizetype piece : {qsizetype{1}, qsizetype{2}, qsizetype{7}, line.size() + 1}) {
            EXPECT_EQ(Scanned(line, piece), Split(line))
                << line.toHex().toStdString() << " " << piece;
        }
    }
    EXPECT_FALSE(Scanned(lines[0], 5).isEmpty());
}

// Random lines built from the bytes that matter: the scanner and the text splitter agree on
// every one of them.
TEST(RecordScanner, AgreesWithTheTextSplitterOnRandomLines) {
    const char alphabet[] = {',',    '"',    ' ',    '\t',   'a',    '1', '\x95',
                             '\x62', '\x81', '\x7B', '\xB1', '\x80', '\0'};
    std::mt19937 random(8);
    int records = 0;
    for (int n = 0; n < 20000; ++n) {
        QByteArray line;
        const int length = static_cast<int>(random() % 24);
        for (int i = 0; i < length; ++i) line += alphabet[random() % sizeof alphabet];
        // Most lines get eight commas, so that many of them are records.
        if (n % 2 == 0) line = ",,,,,,,," + line;
        const QStringList expected = Split(line);
        records += expected.size() == RecordScanner::kItems ? 1 : 0;
        ASSERT_EQ(Scanned(line, 1 + random() % 5), expected) << line.toHex().toStdString();
    }
    EXPECT_GT(records, 1000);
}

}  // namespace
}  // namespace keta
