#include "history_model.h"

#include <gtest/gtest.h>

#include "history_file.h"
#include "test_support.h"

namespace keta {
namespace {

using namespace Qt::Literals::StringLiterals;

void SetCell(HistoryModel& grid, int row, int col, const QString& text) {
    grid.SetCurrentRow(row);
    grid.SetCurrentCol(col);
    grid.SetCurrentText(text);
}

TEST(HistoryModel, CellsKeepTheirNeighboursWhateverOrderTheyAreWrittenIn) {
    HistoryModel grid;
    grid.SetRows(3);
    SetCell(grid, 1, 9, u"＋"_s);
    SetCell(grid, 1, 0, u"1"_s);
    SetCell(grid, 1, 4, u"22"_s);
    SetCell(grid, 1, 4, u""_s);
    SetCell(grid, 1, 5, u"3"_s);
    SetCell(grid, 1, 4, u"122"_s);
    SetCell(grid, 2, 1, u"2004/05/01"_s);
    const QString expected[] = {u"1"_s, {}, {}, {}, u"122"_s, u"3"_s, {}, {}, {}, u"＋"_s};
    for (int col = 0; col < 10; ++col) EXPECT_EQ(grid.TextMatrix(1, col), expected[col]) << col;
    EXPECT_EQ(grid.TextMatrix(2, 1), u"2004/05/01"_s);
    // Shrinking drops rows from the end for good; growing appends empty ones.
    grid.SetTopRow(2);
    grid.SetRows(2);
    EXPECT_EQ(grid.TopRow(), 1);
    grid.SetRows(3);
    EXPECT_EQ(grid.TextMatrix(2, 1), QString());
    grid.SetRows(0);
    EXPECT_EQ(grid.Rows(), 1);  // the header row stays
}

TEST(HistoryModel, TheViewSeesRowZeroAsHeaderAndColumnZeroAsRowNumbers) {
    HistoryModel grid;
    test::RecordingBoxes boxes;
    HistoryFile(grid, boxes, u"/nonexistent/x"_s).InitRireki();
    grid.SetRows(2);
    SetCell(grid, 1, 0, u"1"_s);
    SetCell(grid, 1, 1, u"2004/05/01"_s);
    SetCell(grid, 1, 4, u"22"_s);

    EXPECT_EQ(grid.CornerText(), u"回"_s);
    EXPECT_EQ(grid.rowCount(), 1);
    EXPECT_EQ(grid.columnCount(), 9);
    const int centre = int(Qt::AlignHCenter | Qt::AlignVCenter);
    const int right = int(Qt::AlignRight | Qt::AlignVCenter);
    EXPECT_EQ(grid.headerData(0, Qt::Horizontal).toString(), u"日付"_s);
    EXPECT_EQ(grid.headerData(8, Qt::Horizontal).toString(), u"モード"_s);
    EXPECT_EQ(grid.headerData(3, Qt::Horizontal, Qt::TextAlignmentRole).toInt(), centre);
    EXPECT_EQ(grid.headerData(0, Qt::Vertical).toString(), u"1"_s);
    EXPECT_EQ(grid.headerData(0, Qt::Vertical, Qt::TextAlignmentRole).toInt(), centre);
    EXPECT_EQ(grid.data(grid.index(0, 0)).toString(), u"2004/05/01"_s);
    EXPECT_EQ(grid.data(grid.index(0, 0), Qt::TextAlignmentRole).toInt(), centre);
    EXPECT_EQ(grid.data(grid.index(0, 3)).toString(), u"22"_s);
    EXPECT_EQ(grid.data(grid.index(0, 3), Qt::TextAlignmentRole).toInt(), right);
    EXPECT_EQ(grid.data(grid.index(0, 8), Qt::TextAlignmentRole).toInt(), centre);
    EXPECT_EQ(grid.ColWidth(8), 1025);
}

}  // namespace
}  // namespace keta
