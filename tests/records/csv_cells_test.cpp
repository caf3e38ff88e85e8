#include "csv_cells.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace keta {
namespace {

std::string Row(const std::vector<std::u16string>& cells, const std::vector<bool>& isText) {
    std::string out;
    AppendCsvRow(out, cells, isText);
    return out;
}

TEST(CsvCells, FormulasAreKeptAsTextAndOddCellsQuoted) {
    const struct {
        std::u16string cell;
        bool isText;
        std::string written;
    } cases[] = {
        {u"", false, ""},
        {u"88.0%", true, "88.0%"},
        {u"0.37/秒", true, "0.37/\xE7\xA7\x92"},
        {u"-5", false, "-5"},        // a number in a column of numbers
        {u"-5.25", false, "-5.25"},  //
        {u"-5", true, "'-5"},        // typed into a column of text
        {u"-5.", false, "'-5."},     // no plain number
        {u"-.5", false, "'-.5"},     //
        {u"+5", false, "'+5"},       // a plus is never plain
        {u"=2+3", false, "'=2+3"},   //
        {u"@a", true, "'@a"},        //
        {u"\tx", true, "'\tx"},      //
        {u"a=b", true, "a=b"},       // only the first character counts
        {u"=1+1,x", true, "\"'=1+1,x\""},
        {u"\r", true, "\"'\r\""},
        {u"a\"b\"", true, "\"a\"\"b\"\"\""},
        {u"\"\"", true, "\"\"\"\"\"\""},
        {u"x\ny", true, "\"x\ny\""},
        {u" a", true, "\" a\""},
        {u"a ", true, "\"a \""},
        {u"a b", true, "a b"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Row({c.cell}, {c.isText}), c.written + "\r\n") << Utf16ToUtf8(c.cell);
    }
}

TEST(CsvCells, ARowJoinsItsCellsAndColumnsBeyondTheListAreNumbers) {
    EXPECT_EQ(Row({u"-1", u"-1", u"-1"}, {true}), "'-1,-1,-1\r\n");
    EXPECT_EQ(Row({u"a", u"", u"b"}, {}), "a,,b\r\n");
    EXPECT_EQ(Row({}, {}), "\r\n");
}

TEST(CsvCells, TheHistoryExportHasTheGridsHeadersAndARowPerRecord) {
    HistoryLines lines;
    lines.bytes =
        "\"2004/05/01\",\"13:05:09\",007,007,-0,\"88.0%\",\"0.37/\x95\x62\",\"60\x95\x62\","
        "\"\x81\x7B\"\r\nno record\r\n\"-1\",x,-2,3,4,\"=a\",b,\" c\",\"\xB1,\"";
    HistoryLoadReport report;
    CollectHistoryRecords(lines, report);
    const std::string header =
        "\xE6\x97\xA5\xE4\xBB\x98,\xE6\x99\x82\xE9\x96\x93,\xE5\x95\x8F\xE6\x95\xB0,"
        "\xEF\xBC\xAF\xEF\xBC\xAB,\xEF\xBC\xAE\xEF\xBC\xA7,\xE6\xAD\xA3\xE8\xA7\xA3\xE7\x8E\x87,"
        "\xE7\xA7\x92\xE5\xBD\x93\xE3\x81\x9F\xE3\x82\x8A,"
        "\xE8\xA1\xA8\xE7\xA4\xBA\xE7\xA7\x92\xE6\x95\xB0,\xE3\x83\xA2\xE3\x83\xBC\xE3\x83\x89\r\n";
    const std::string rows =
        "2004/05/01,13:05:09,007,7,0,88.0%,0.37/\xE7\xA7\x92,60\xE7\xA7\x92,\xEF\xBC\x8B\r\n"
        "'-1,x,-2,3,4,'=a,b,\" c\",\"\xEF\xBD\xB1,\"\r\n";
    EXPECT_EQ(HistoryCsv(lines, true), std::string(kCsvByteOrderMark) + header + rows);
    EXPECT_EQ(HistoryCsv(lines, false), header + rows);
    EXPECT_EQ(HistoryCsv(HistoryLines(), false), header);
}

}  // namespace
}  // namespace keta
