#pragma once
// The cells of the history grid msgRireki, with the grid operations the history logic uses,
// exposed to a view as a Qt table model.
//
// Grid terms: row 0 is the header row, column 0 the column of row numbers, rows 1.. hold one
// record each, columns 1..9 its items. Model terms, for the view: the horizontal header is
// grid row 0, the vertical header grid column 0, and model cell (r, c) is grid cell
// (r + 1, c + 1).
//
// Cells are stored compactly, because a history may hold tens of thousands of records: the
// characters of all rows stand in one arena, each row's cells one after another, and QStrings
// per cell are only built when a view asks. Rows written cell by cell in order (loading, saving)
// only ever append to the arena.

#include <QAbstractTableModel>
#include <QString>
#include <QStringView>
#include <array>
#include <cstdint>
#include <vector>

namespace keta {

class HistoryModel : public QAbstractTableModel {
    Q_OBJECT

public:
    static constexpr int kGridColumns = 10;

    explicit HistoryModel(QObject* parent = nullptr);

    // --- Grid operations.
    int Rows() const { return static_cast<int>(rows_.size()); }
    // At least 1 (the header row); growing appends empty rows, shrinking drops the last ones.
    void SetRows(int rows);
    int CurrentRow() const { return currentRow_; }
    void SetCurrentRow(int row);
    int CurrentCol() const { return currentCol_; }
    void SetCurrentCol(int col);
    // Sets the text of the current cell.
    void SetCurrentText(QStringView text);
    int ColWidth(int col) const;  // twips
    void SetColWidth(int col, int twips);
    // Horizontal alignment of the column's fixed cells (header row, and the whole of
    // column 0); shown vertically centred.
    Qt::Alignment ColAlignmentFixed(int col) const;
    void SetColAlignmentFixed(int col, Qt::Alignment alignment);
    // Horizontal alignment of the column's other cells; shown vertically centred.
    Qt::Alignment ColAlignment(int col) const;
    void SetColAlignment(int col, Qt::Alignment alignment);
    // The scrolling row shown right under the header row (grid row, at least 1).
    int TopRow() const { return topRow_; }
    void SetTopRow(int row);
    // The grid's character width in points; kept for the view, which may size its font by it.
    float FontWidth() const { return fontWidth_; }
    void SetFontWidth(float width) { fontWidth_ = width; }

    // --- Reading cells back (the view and checks; the history logic never does).
    QString TextMatrix(int row, int col) const;
    QString CornerText() const { return TextMatrix(0, 0); }

    // Many changes at once: one model reset in place of a signal per row and cell. Nests.
    // `rows` and `characters` are what the update is expected to add, so that the storage
    // grows once.
    void BeginBulkUpdate(qsizetype rows = 0, qsizetype characters = 0);
    void EndBulkUpdate();

    // --- QAbstractTableModel.
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

signals:
    // Scroll so that this grid row is the first under the header. Sent on every SetTopRow,
    // also when the value is the same, since the user may have scrolled away meanwhile.
    void topRowChanged(int gridRow);
    void columnWidthChanged(int gridCol, int twips);
    // The corner cell (grid cell 0, 0), its text or its alignment, changed.
    void cornerChanged();

private:
    struct RowCells {
        std::size_t start = 0;                           // where the row stands in the arena
        std::array<std::uint32_t, kGridColumns> ends{};  // where each cell ends, from `start`
    };

    bool ValidCell(int row, int col) const;
    QStringView Cell(int row, int col) const;
    // Moves a row's characters to the end of the arena, where its cells can change in place.
    void MoveRowToArenaEnd(RowCells& row);
    void DropRowCharacters(const RowCells& row);
    void CompactArenaIfWasteful();
    void NotifyCellChanged(int row, int col);
    void NotifyColumnAlignmentChanged(int col);

    std::vector<RowCells> rows_;
    std::vector<char16_t> arena_;
    std::size_t wasted_ = 0;  // characters in the arena that no row uses any more
    int currentRow_ = 0;
    int currentCol_ = 0;
    int topRow_ = 1;
    float fontWidth_ = 0.0f;
    std::array<int, kGridColumns> widths_{};
    std::array<Qt::Alignment, kGridColumns> alignFixed_{};
    std::array<Qt::Alignment, kGridColumns> alignData_{};
    int bulkDepth_ = 0;
};

// The grid's scroll rule: once there are more than seven rows, header included, the newest
// row is scrolled to the top so that it is in view.
inline void ScrollToNewest(HistoryModel& grid) {
    constexpr int kRowsShownWithoutScrolling = 7;
    if (grid.Rows() > kRowsShownWithoutScrolling) grid.SetTopRow(grid.Rows() - 1);
}

}  // namespace keta
