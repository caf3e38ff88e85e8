#include "history_model.h"

#include <algorithm>

namespace keta {

HistoryModel::HistoryModel(QObject* parent) : QAbstractTableModel(parent), rows_(1) {
    alignFixed_.fill(Qt::AlignLeft);
    alignData_.fill(Qt::AlignLeft);
}

void HistoryModel::SetRows(int rows) {
    rows = std::max(1, rows);
    const int old = Rows();
    if (rows == old) return;
    const bool notify = bulkDepth_ == 0;
    if (rows > old) {
        if (notify) beginInsertRows(QModelIndex(), old - 1, rows - 2);
        // A new row is empty and stands at the arena's end, ready to be filled in order.
        rows_.resize(static_cast<std::size_t>(rows), RowCells{arena_.size(), {}});
        if (notify) endInsertRows();
    } else {
        if (notify) beginRemoveRows(QModelIndex(), rows - 1, old - 2);
        for (auto k = static_cast<std::size_t>(rows); k < rows_.size(); ++k)
            DropRowCharacters(rows_[k]);
        rows_.resize(static_cast<std::size_t>(rows));
        CompactArenaIfWasteful();
        if (notify) endRemoveRows();
        currentRow_ = std::min(currentRow_, rows - 1);
        if (topRow_ > std::max(1, rows - 1)) {
            topRow_ = std::max(1, rows - 1);
            emit topRowChanged(topRow_);
        }
    }
}

void HistoryModel::SetCurrentRow(int row) { currentRow_ = std::clamp(row, 0, Rows() - 1); }

void HistoryModel::SetCurrentCol(int col) { currentCol_ = std::clamp(col, 0, kGridColumns - 1); }

void HistoryModel::SetCurrentText(QStringView text) {
    RowCells& row = rows_[static_cast<std::size_t>(currentRow_)];
    const int col = currentCol_;
    const std::uint32_t rowLength = row.ends[kGridColumns - 1];
    if (row.start + rowLength != arena_.size()) MoveRowToArenaEnd(row);

    // The row now ends the arena: cut it back to the cell, write the cell, put back what
    // followed it. Writing cells in order leaves nothing to put back.
    const std::uint32_t cellStart = col == 0 ? 0 : row.ends[col - 1];
    const std::uint32_t oldLength = row.ends[col] - cellStart;
    const auto tailBegin =
        arena_.begin() + static_cast<std::ptrdiff_t>(row.start + cellStart + oldLength);
    std::vector<char16_t> tail(tailBegin, arena_.end());
    arena_.resize(row.start + cellStart);
    const auto* chars = reinterpret_cast<const char16_t*>(text.utf16());
    arena_.insert(arena_.end(), chars, chars + text.size());
    arena_.insert(arena_.end(), tail.begin(), tail.end());

    const auto delta = static_cast<std::uint32_t>(text.size()) - oldLength;  // wraps as intended
    for (int k = col; k < kGridColumns; ++k) row.ends[k] += delta;
    NotifyCellChanged(currentRow_, col);
}

void HistoryModel::MoveRowToArenaEnd(RowCells& row) {
    const std::uint32_t length = row.ends[kGridColumns - 1];
    const std::size_t from = row.start;
    arena_.reserve(arena_.size() + length);  // no reallocation while copying from itself
    arena_.insert(arena_.end(), arena_.begin() + static_cast<std::ptrdiff_t>(from),
                  arena_.begin() + static_cast<std::ptrdiff_t>(from + length));
    row.start = arena_.size() - length;
    wasted_ += length;
}

void HistoryModel::DropRowCharacters(const RowCells& row) {
    const std::uint32_t length = row.ends[kGridColumns - 1];
    if (row.start + length == arena_.size()) {
        arena_.resize(row.start);
    } else {
        wasted_ += length;
    }
}

void HistoryModel::CompactArenaIfWasteful() {
    if (wasted_ < 4096 || wasted_ < arena_.size() / 2) return;
    std::vector<char16_t> packed;
    packed.reserve(arena_.size() - wasted_);
    for (RowCells& row : rows_) {
        const std::uint32_t length = row.ends[kGridColumns - 1];
        const auto from = arena_.begin() + static_cast<std::ptrdiff_t>(row.start);
        row.start = packed.size();
        packed.insert(packed.end(), from, from + length);
    }
    arena_ = std::move(packed);
    wasted_ = 0;
}

int HistoryModel::ColWidth(int col) const {
    return col >= 0 && col < kGridColumns ? widths_[col] : 0;
}

void HistoryModel::SetColWidth(int col, int twips) {
    if (col < 0 || col >= kGridColumns) return;
    widths_[col] = twips;
    emit columnWidthChanged(col, twips);
}

Qt::Alignment HistoryModel::ColAlignmentFixed(int col) const {
    return col >= 0 && col < kGridColumns ? alignFixed_[col] : Qt::Alignment();
}

void HistoryModel::SetColAlignmentFixed(int col, Qt::Alignment alignment) {
    if (col < 0 || col >= kGridColumns) return;
    alignFixed_[col] = alignment & Qt::AlignHorizontal_Mask;
    NotifyColumnAlignmentChanged(col);
}

Qt::Alignment HistoryModel::ColAlignment(int col) const {
    return col >= 0 && col < kGridColumns ? alignData_[col] : Qt::Alignment();
}

void HistoryModel::SetColAlignment(int col, Qt::Alignment alignment) {
    if (col < 0 || col >= kGridColumns) return;
    alignData_[col] = alignment & Qt::AlignHorizontal_Mask;
    NotifyColumnAlignmentChanged(col);
}

void HistoryModel::SetTopRow(int row) {
    topRow_ = std::clamp(row, 1, std::max(1, Rows() - 1));
    emit topRowChanged(topRow_);
}

QString HistoryModel::TextMatrix(int row, int col) const {
    return ValidCell(row, col) ? Cell(row, col).toString() : QString();
}

QStringView HistoryModel::Cell(int row, int col) const {
    const RowCells& cells = rows_[static_cast<std::size_t>(row)];
    const std::uint32_t from = col == 0 ? 0 : cells.ends[col - 1];
    return QStringView(arena_.data() + cells.start + from,
                       static_cast<qsizetype>(cells.ends[col] - from));
}

void HistoryModel::BeginBulkUpdate(qsizetype rows, qsizetype characters) {
    if (bulkDepth_++ == 0) beginResetModel();
    rows_.reserve(rows_.size() + static_cast<std::size_t>(std::max<qsizetype>(rows, 0)));
    arena_.reserve(arena_.size() + static_cast<std::size_t>(std::max<qsizetype>(characters, 0)));
}

void HistoryModel::EndBulkUpdate() {
    if (bulkDepth_ == 0 || --bulkDepth_ > 0) return;
    endResetModel();
    emit cornerChanged();
}

int HistoryModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : Rows() - 1;
}

int HistoryModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kGridColumns - 1;
}

QVariant HistoryModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) return QVariant();
    const int row = index.row() + 1;
    const int col = index.column() + 1;
    if (!ValidCell(row, col)) return QVariant();
    if (role == Qt::DisplayRole) return TextMatrix(row, col);
    if (role == Qt::TextAlignmentRole) return int(alignData_[col] | Qt::AlignVCenter);
    return QVariant();
}

QVariant HistoryModel::headerData(int section, Qt::Orientation orientation, int role) const {
    const bool horizontal = orientation == Qt::Horizontal;
    const int row = horizontal ? 0 : section + 1;
    const int col = horizontal ? section + 1 : 0;
    if (!ValidCell(row, col)) return QVariant();
    if (role == Qt::DisplayRole) return TextMatrix(row, col);
    if (role == Qt::TextAlignmentRole) return int(alignFixed_[col] | Qt::AlignVCenter);
    return QVariant();
}

bool HistoryModel::ValidCell(int row, int col) const {
    return row >= 0 && row < Rows() && col >= 0 && col < kGridColumns;
}

void HistoryModel::NotifyCellChanged(int row, int col) {
    if (row == 0 && col == 0) {
        emit cornerChanged();
        return;
    }
    if (bulkDepth_ > 0) return;
    if (row == 0) {
        emit headerDataChanged(Qt::Horizontal, col - 1, col - 1);
    } else if (col == 0) {
        emit headerDataChanged(Qt::Vertical, row - 1, row - 1);
    } else {
        const QModelIndex cell = index(row - 1, col - 1);
        emit dataChanged(cell, cell, {Qt::DisplayRole});
    }
}

void HistoryModel::NotifyColumnAlignmentChanged(int col) {
    if (col == 0) emit cornerChanged();
    if (bulkDepth_ > 0) return;
    const int lastRow = rowCount() - 1;
    if (col == 0) {
        if (lastRow >= 0) emit headerDataChanged(Qt::Vertical, 0, lastRow);
        return;
    }
    emit headerDataChanged(Qt::Horizontal, col - 1, col - 1);
    if (lastRow >= 0) {
        emit dataChanged(index(0, col - 1), index(lastRow, col - 1), {Qt::TextAlignmentRole});
    }
}

}  // namespace keta
