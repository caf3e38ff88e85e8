#include "history_records.h"

#include <gtest/gtest.h>

#include <array>
#include <optional>
#include <random>
#include <string>
#include <vector>

namespace keta {
namespace {

using namespace std::string_literals;

// Record i has i % 1000 correct answers, so that records can be told apart; without line end.
std::string Record(int i) {
    return "\"2004/05/01\",\"13:05:09\",25," + std::to_string(i % 1000) +
           ",3,\"88.0%\",\"0.37/\x95\x62\",\"60\x95\x62\",\"\x81\x7B\"";
}

// What both collections found: the records' lines and the report.
struct Collected {
    std::vector<std::string> lines;
    int skippedLines = 0;
    int firstSkippedLine = 0;
    bool operator==(const Collected&) const = default;
};

Collected Of(const HistoryLines& lines, const HistoryLoadReport& report) {
    Collected c{{}, report.skippedLines, report.firstSkippedLine};
    for (int k = 0; k < lines.Count(); ++k) c.lines.emplace_back(lines.Line(k));
    return c;
}

Collected InPlace(const std::string& file) {
    HistoryLines lines;
    lines.bytes = file;
    HistoryLoadReport report;
    CollectHistoryRecords(lines, report);
    return Of(lines, report);
}

Collected InPieces(const std::string& file, std::size_t piece) {
    HistoryLines lines;
    HistoryLoadReport report;
    HistoryRecordCollector collector(lines, report);
    for (std::size_t at = 0; at < file.size(); at += piece) collector.Feed(file.substr(at, piece));
    collector.Finish();
    return Of(lines, report);
}

// Both collections, the piecewise one with pieces that cut CR LF and pairs apart, find `want`.
void ExpectCollected(const std::string& file, const Collected& want) {
    EXPECT_EQ(InPlace(file), want);
    for (const std::size_t piece :
         {std::size_t{1}, std::size_t{2}, std::size_t{7}, std::size_t{4096}}) {
        EXPECT_EQ(InPieces(file, piece), want) << piece;
    }
}

TEST(HistoryRecords, KeepsTheRecordsAndCountsTheOtherLines) {
    const std::string tail = ",\"88.0%\",\"0.37\",\"60\",\"x\"";
    const struct {
        const char* what;
        std::string file;
        Collected want;
    } cases[] = {
        {"empty", "", {}},
        {"one without line end", Record(1), {{Record(1)}, 0, 0}},
        {"every line end",
         Record(1) + "\r\n" + Record(2) + "\n" + Record(3) + "\r" + Record(4),
         {{Record(1), Record(2), Record(3), Record(4)}, 0, 0}},
        {"blank lines are silent", "\r\n  \t\r\n" + Record(1) + "\r\n\r\n", {{Record(1)}, 0, 0}},
        {"too few items", "\"a\",25\r\n" + Record(2), {{Record(2)}, 1, 1}},
        {"a count too large",
         Record(1) + "\r\n\"a\",\"b\",1,32768,3" + tail + "\r\n",
         {{Record(1)}, 1, 2}},
        {"a count that is no number",
         "\"a\",\"b\",1,x,3" + tail + "\n" + "\"a\",\"b\",1,2,3" + tail,
         {{"\"a\",\"b\",1,2,3" + tail}, 1, 1}},
        {"crash leftovers",
         Record(1) + "\r\n" + std::string(12, '\0') + "\r\n" + Record(2),
         {{Record(1), Record(2)}, 1, 2}},
        {"a torn last line", Record(1) + "\r\n\"2004/05/01\",\"13:0\x95", {{Record(1)}, 1, 2}},
        {"the slow way still keeps",
         " \"a\" ,b, 007 ,007,-07,\"c\",\"d\",\"e\",\"f\"",
         {{" \"a\" ,b, 007 ,007,-07,\"c\",\"d\",\"e\",\"f\""}, 0, 0}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ExpectCollected(c.file, c.want);
    }
}

// What a line is worth, worked out the slow way from the scanner's items: the line when it is
// a record, "blank", or nothing.
std::optional<std::string> Expected(const std::string& line) {
    if (IsBlankLine(line)) return "blank";
    RecordScanner scanner;
    scanner.Feed(line);
    if (scanner.Finish() != RecordScanner::Verdict::Record) return std::nullopt;
    for (const std::size_t i : {3u, 4u}) {
        const RecordScanner::Item& item = scanner.Items()[i];
        const auto bytes = line.substr(static_cast<std::size_t>(item.begin),
                                       static_cast<std::size_t>(item.end - item.begin));
        if (!ReadInt16Item(bytes, item.quoted, AfterNumber::MustEnd)) return std::nullopt;
    }
    return line;
}

// Lines close to records, each a small step away from one: the whole-file collection takes the
// common ones by a quick path and the rest by the scanner, and both must agree on every line.
TEST(HistoryRecords, EveryLineIsKeptExactlyWhenTheScannerTakesItForARecord) {
    std::vector<std::string> lines = {
        Record(1),
        "\"a\",\"b\",1,2,3,\"c\",\"d\",\"e\",\"f\"",
        ",,,0,0,,,,",                                        // empty items
        ",,,0,0,,,,,",                                       // a tenth item
        ",,,0,0,,,",                                         // eight items
        "\"a\",\"b\",1,32767,0,\"\",\"\",\"\",\"\"",         // the largest count
        "\"a\",\"b\",1,32768,0,\"\",\"\",\"\",\"\"",         // one beyond
        "\"a\",\"b\",1,000007,0,\"\",\"\",\"\",\"\"",        // six digits, still small
        "\"a\",\"b\",1,+7,-0,\"\",\"\",\"\",\"\"",           // signs
        "\"a\",\"b\",1,7.5,0,\"\",\"\",\"\",\"\"",           // rounded to even
        "\"a\",\"b\",1,\"7\",0,\"\",\"\",\"\",\"\"",         // a quoted count
        "\"a\",\"b\",1, 7 ,0,\"\",\"\",\"\",\"\"",           // blanks round a count
        " \"a\" ,\"b\",1,7,0,\"\",\"\",\"\",\"\"",           // blanks round a text
        "\"a\"x,\"b\",1,7,0,\"\",\"\",\"\",\"\"",            // text after a closing quote
        "a\"b,\"b\",1,7,0,\"\",\"\",\"\",\"\"",              // a quote inside a bare item
        "\"a,b\",\"b\",1,7,0,\"\",\"\",\"\",\"\"",           // a comma inside quotes
        "\"a\tb \",\"b\",1,7,0,\"\",\"\",\"\",\"\"",         // blanks inside quotes
        "\"a\",\"b\",1,7,0,\"\",\"\",\"\",\"",               // the last quote never closes
        "\"a\",\"b\",1,7,0,\"\0\",\"\",\"\",\"\""s,          // a NUL inside quotes
        "\"a\",\"b\",1,7,0,\"\",\"\",\"\",\0"s,              // a NUL as the last item
        "\"\x95\x62\",\"\xB1\",1,7,0,\"\",\"\",\"\",\"\"",   // a pair, a half-width kana
        "\"\x95\",\"b\",1,7,0,\"\",\"\",\"\",\"\"",          // a lead byte and a quote
        "\"\x85\x40\",\"b\",1,7,0,\"\",\"\",\"\",\"\"",      // a pair that is no character
        "\"\x80\xA0\xFD\",\"b\",1,7,0,\"\",\"\",\"\",\"\"",  // bytes that are never text
        "\xB1,\"b\",1,7,0,\"\",\"\",\"\",\"\"",              // kana in a bare item
        "\"a\",\"b\",1,7,0,\"\",\"\",\"\",\"\x95",           // cut within a pair
        "",
        " ",
        "\t \t",  // blank
    };
    // More of them: records with a few bytes put in at random, always the same ones.
    const std::string pieces[] = {"\"",   ",",    " ",    "\t",   "\0"s, "\x81", "\x7B", "\x95\x62",
                                  "\x95", "\xB1", "\x80", "\xFD", "7",   "-",    ".",    "x"};
    std::mt19937 random(20040501);
    for (int i = 0; i < 3000; ++i) {
        std::string line = Record(i);
        const int changes = 1 + static_cast<int>(random() % 3);
        for (int c = 0; c < changes; ++c) {
            const std::size_t at = random() % line.size();
            const std::string& piece = pieces[random() % std::size(pieces)];
            if (random() % 2 == 0) {
                line.insert(at, piece);
            } else {
                line.replace(at, 1, piece);
            }
        }
        lines.push_back(line);
    }

    // Every kind of line end, and a last line without one.
    const std::string ends[] = {"\r\n", "\n", "\r"};
    std::string file;
    std::string previousEnd;
    Collected want;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        std::string end = ends[i % std::size(ends)];
        // A CR, then an empty line ended by an LF, would be one CR LF.
        if (previousEnd == "\r" && lines[i].empty() && end == "\n") end = "\r\n";
        file += lines[i];
        if (i + 1 < lines.size()) file += end;
        previousEnd = end;
        const std::optional<std::string> expected = Expected(lines[i]);
        if (!expected) {
            if (want.skippedLines++ == 0) want.firstSkippedLine = static_cast<int>(i) + 1;
        } else if (*expected != "blank") {
            want.lines.push_back(*expected);
        }
    }
    ASSERT_GT(want.lines.size(), 200u);  // both kinds in good numbers
    ASSERT_GT(want.skippedLines, 200);
    ExpectCollected(file, want);
}

TEST(HistoryRecords, ALineThatCannotBeARecordIsNotKeptWhileItGoesOn) {
    HistoryLines lines;
    HistoryLoadReport report;
    HistoryRecordCollector collector(lines, report);
    collector.Feed(Record(1) + "\r\n");
    for (int i = 0; i < 64; ++i) {
        collector.Feed(std::string(1 << 16, ','));
        ASSERT_EQ(lines.bytes, Record(1)) << i;
    }
    collector.Feed("\r\n" + Record(2));
    collector.Finish();
    EXPECT_EQ(lines.Count(), 2);
    EXPECT_EQ(lines.bytes, Record(1) + Record(2));
    EXPECT_EQ(report.skippedLines, 1);
    EXPECT_EQ(report.firstSkippedLine, 2);
}

TEST(HistoryRecords, TheTextsOfARecordAreItsItemsWithTheCountsAsNumbers) {
    const struct {
        std::string line;
        std::ptrdiff_t maxChars;
        std::array<std::u16string, 9> texts;
    } cases[] = {
        {Record(7),
         100,
         {u"2004/05/01", u"13:05:09", u"25", u"7", u"3", u"88.0%", u"0.37/秒", u"60秒", u"＋"}},
        {" \"a\" ,13:05:09, 007 ,007,-07,\"\",x y,\"\xB1\",\"\x81\x7C\"",
         100,
         {u"a", u"13:05:09", u"007", u"7", u"-7", u"", u"x y", u"ｱ", u"－"}},
        {Record(7), 3, {u"200", u"13:", u"25", u"7", u"3", u"88.", u"0.3", u"60秒", u"＋"}},
        {"\"\x85\x40\",b,1,2,3,c,d,e,f", 100, {}},  // a pair that is no character
        {"a,b,c", 100, {}},
        {"a,b,1,2,3,4,5,6,7,8", 100, {}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(RecordItemTexts(c.line, c.maxChars), c.texts) << c.line;
    }
}

TEST(HistoryRecords, AFileIsItsRecordsEachEndedByCrLf) {
    HistoryLines lines;
    EXPECT_EQ(HistoryFileBytes(lines), "");
    lines.bytes = "\r\n" + Record(1) + "\n\n" + Record(2) + "\r";
    HistoryLoadReport report;
    CollectHistoryRecords(lines, report);
    EXPECT_EQ(HistoryFileBytes(lines), Record(1) + "\r\n" + Record(2) + "\r\n");
}

SavedResult Result(int answers, int correct, int timeLimit, std::u16string mode) {
    SavedResult r;
    r.year = 2026;
    r.month = 12;
    r.day = 8;
    r.hour = 9;
    r.minute = 5;
    r.second = 3;
    r.answers = answers;
    r.correct = correct;
    r.wrong = answers - correct;
    r.timeLimit = timeLimit;
    r.modeText = std::move(mode);
    return r;
}

TEST(HistoryRecords, ASavedResultIsTheLineTheProgramHasAlwaysWritten) {
    const struct {
        SavedResult result;
        std::optional<std::string> line;
    } cases[] = {
        {Result(25, 22, 60, u"＋"),
         "\"2026/12/08\",\"09:05:03\",25,22,3,\"88.0%\",\"0.37/\x95\x62\",\"60\x95\x62\","
         "\"\x81\x7B\"\r\n"},
        // Halves away from zero: 3/80 is 3.75 %, 3/40 is 0.075 per second.
        {Result(80, 3, 40, u"－"),
         "\"2026/12/08\",\"09:05:03\",80,3,77,\"3.8%\",\"0.08/\x95\x62\",\"40\x95\x62\","
         "\"\x81\x7C\"\r\n"},
        {Result(3, 0, 90, u"交互"),
         "\"2026/12/08\",\"09:05:03\",3,0,3,\"0.0%\",\"0.00/\x95\x62\",\"90\x95\x62\","
         "\"\x8C\xF0\x8C\xDD\"\r\n"},
        {Result(0, 0, 0, u""),
         "\"2026/12/08\",\"09:05:03\",0,0,0,\"0.0%\",\"0.00/\x95\x62\",\"0\x95\x62\",\"\"\r\n"},
        {Result(5, 5, 60, u"a\"b"), std::nullopt},    // would not read back
        {Result(5, 5, 60, u"\u2212"), std::nullopt},  // not in the code page
    };
    for (const auto& c : cases) {
        EXPECT_EQ(HistoryRecordLine(c.result), c.line) << Utf16ToUtf8(c.result.modeText);
    }
}

}  // namespace
}  // namespace keta
