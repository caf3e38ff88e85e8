#pragma once
// The cells of the history grid msgRireki, with the grid operations the history logic uses,
// exposed to a view as a Qt table model.
//
// Grid terms: row 0 is the header row, column 0 the column of row numbers, rows 1.. hold one
// record each, columns 1..9 its items. Model terms, for the view: the horizontal header is
// grid row 0, the vertical header grid column 0, and model cell (r, c) is grid cell
// (r + 1, c + 1).
//
// Rows loaded from the history file are kept as the file's bytes, one record line after another,
// and decoded only when a view asks for them (the rows on screen), so that start-up does not
// grow with the history. Rows written cell by cell (the header, saved results) keep their texts.
// A view is shown at most the first kShownCharacters characters of a cell; the cell itself, and
// the file, keep every character.

#include <QAbstractTableModel>
#include <QString>
#include <QStringView>
#include <array>
#include <map>

#include "history_records.h"

namespace keta {

class HistoryModel : public QAbstractTableModel {
    Q_OBJECT

public:
    static constexpr int kGridColumns = 10;
    static constexpr qsizetype kShownCharacters = 256;

    explicit HistoryModel(QObject* parent = nullptr);

    // --- Grid operations.
    int Rows() const { return rows_; }
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

    // Replaces every row under the header by the records of the history file, in file order:
    // column 0 holds the row's number, columns 1..9 the line's items, items 4 and 5 as the
    // decimal text of their numbers. Each line must be one that RecordScanner takes for a
    // record and whose items 4 and 5 read as 16-bit integers.
    void SetFileRows(HistoryLines lines);

    // Many changes at once: one model reset in place of a signal per row and cell. Nests.
    void BeginBulkUpdate();
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
    using RowTexts = std::array<QString, kGridColumns>;
    struct ShownRow {
        int row = -1;
        RowTexts texts;
    };

    bool ValidCell(int row, int col) const;
    bool IsFileRow(int row) const { return row >= 1 && row <= fileRows_; }
    // The cells of a file row, each cut to `maxChars` characters and then marked as cut.
    RowTexts DecodeFileRow(int row, qsizetype maxChars) const;
    // A cell as the view shows it.
    QString ShownText(int row, int col) const;
    void ForgetShownRows(int fromRow);
    void NotifyCellChanged(int row, int col);
    void NotifyColumnAlignmentChanged(int col);

    int rows_ = 1;
    HistoryLines file_;
    int fileRows_ = 0;               // grid rows 1..fileRows_ come from file_
    std::map<int, RowTexts> texts_;  // rows written cell by cell; these win over file_
    // The rows a view asked for last, decoded; a view asks for each cell many times.
    mutable std::array<ShownRow, 64> shown_;
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
