#include "history_model.h"

#include <algorithm>
#include <limits>

#include "qt_text.h"

namespace keta {
namespace {

// What the view shows of a long text: its start and a mark that there is more.
QString Shown(const QString& text) {
    if (text.size() <= HistoryModel::kShownCharacters) return text;
    return text.first(HistoryModel::kShownCharacters) + QChar(u'…');
}

}  // namespace

HistoryModel::HistoryModel(QObject* parent) : QAbstractTableModel(parent) {
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
        rows_ = rows;  // new rows are empty: neither file rows nor written ones
        if (notify) endInsertRows();
    } else {
        if (notify) beginRemoveRows(QModelIndex(), rows - 1, old - 2);
        texts_.erase(texts_.lower_bound(rows), texts_.end());
        if (fileRows_ >= rows) {
            fileRows_ = rows - 1;
            if (fileRows_ == 0) {
                file_ = HistoryLines();  // a clear gives the memory back
            } else {
                file_.starts.resize(static_cast<std::size_t>(fileRows_) + 1);
            }
        }
        rows_ = rows;
        ForgetShownRows(rows);
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
    const int row = currentRow_;
    auto it = texts_.find(row);
    if (it == texts_.end()) {
        // A file row that is written to keeps its other cells as texts from now on.
        RowTexts cells;
        if (IsFileRow(row)) cells = DecodeFileRow(row, std::numeric_limits<qsizetype>::max());
        it = texts_.emplace(row, std::move(cells)).first;
    }
    it->second[static_cast<std::size_t>(currentCol_)] = text.toString();
    ShownRow& shown = shown_[static_cast<std::size_t>(row) % shown_.size()];
    if (shown.row == row) shown.row = -1;
    NotifyCellChanged(row, currentCol_);
}

void HistoryModel::SetFileRows(HistoryLines lines) {
    const bool notify = bulkDepth_ == 0;
    if (notify) beginResetModel();
    texts_.erase(texts_.upper_bound(0), texts_.end());
    file_ = std::move(lines);
    fileRows_ = file_.Count();
    rows_ = fileRows_ + 1;
    currentRow_ = std::min(currentRow_, rows_ - 1);
    ForgetShownRows(0);
    if (notify) endResetModel();
}

HistoryModel::RowTexts HistoryModel::DecodeFileRow(int row, qsizetype maxChars) const {
    RowTexts cells;
    cells[0] = QString::number(row);
    // One character more than asked tells whether there was more.
    const bool cut = maxChars < std::numeric_limits<qsizetype>::max();
    const auto texts = RecordItemTexts(file_.Line(row - 1), cut ? maxChars + 1 : maxChars);
    for (std::size_t i = 0; i < texts.size(); ++i) {
        QString cell = ToQString(texts[i]);
        cells[i + 1] = cut ? Shown(cell) : std::move(cell);
    }
    return cells;
}

QString HistoryModel::ShownText(int row, int col) const {
    const auto it = texts_.find(row);
    if (it != texts_.end()) return Shown(it->second[static_cast<std::size_t>(col)]);
    if (!IsFileRow(row)) return QString();
    if (col == 0) return QString::number(row);
    ShownRow& shown = shown_[static_cast<std::size_t>(row) % shown_.size()];
    if (shown.row != row) {
        shown.texts = DecodeFileRow(row, kShownCharacters);
        shown.row = row;
    }
    return shown.texts[static_cast<std::size_t>(col)];
}

void HistoryModel::ForgetShownRows(int fromRow) {
    for (ShownRow& shown : shown_) {
        if (shown.row >= fromRow) shown = ShownRow();
    }
}

int HistoryModel::ColWidth(int col) const {
    return col >= 0 && col < kGridColumns ? widths_[static_cast<std::size_t>(col)] : 0;
}

void HistoryModel::SetColWidth(int col, int twips) {
    if (col < 0 || col >= kGridColumns) return;
    widths_[static_cast<std::size_t>(col)] = twips;
    emit columnWidthChanged(col, twips);
}

void HistoryModel::SetColAlignmentFixed(int col, Qt::Alignment alignment) {
    if (col < 0 || col >= kGridColumns) return;
    alignFixed_[static_cast<std::size_t>(col)] = alignment & Qt::AlignHorizontal_Mask;
    NotifyColumnAlignmentChanged(col);
}

Qt::Alignment HistoryModel::ColAlignment(int col) const {
    return col >= 0 && col < kGridColumns ? alignData_[static_cast<std::size_t>(col)]
                                          : Qt::Alignment();
}

void HistoryModel::SetColAlignment(int col, Qt::Alignment alignment) {
    if (col < 0 || col >= kGridColumns) return;
    alignData_[static_cast<std::size_t>(col)] = alignment & Qt::AlignHorizontal_Mask;
    NotifyColumnAlignmentChanged(col);
}

void HistoryModel::SetTopRow(int row) {
    topRow_ = std::clamp(row, 1, std::max(1, Rows() - 1));
    emit topRowChanged(topRow_);
}

QString HistoryModel::TextMatrix(int row, int col) const {
    if (!ValidCell(row, col)) return QString();
    const auto it = texts_.find(row);
    if (it != texts_.end()) return it->second[static_cast<std::size_t>(col)];
    if (!IsFileRow(row)) return QString();
    return DecodeFileRow(row, std::numeric_limits<qsizetype>::max())[static_cast<std::size_t>(col)];
}

void HistoryModel::BeginBulkUpdate() {
    if (bulkDepth_++ == 0) beginResetModel();
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
    if (role == Qt::DisplayRole) return ShownText(row, col);
    if (role == Qt::TextAlignmentRole) {
        return int(alignData_[static_cast<std::size_t>(col)] | Qt::AlignVCenter);
    }
    return QVariant();
}

QVariant HistoryModel::headerData(int section, Qt::Orientation orientation, int role) const {
    const bool horizontal = orientation == Qt::Horizontal;
    const int row = horizontal ? 0 : section + 1;
    const int col = horizontal ? section + 1 : 0;
    if (!ValidCell(row, col)) return QVariant();
    if (role == Qt::DisplayRole) return ShownText(row, col);
    if (role == Qt::TextAlignmentRole) {
        return int(alignFixed_[static_cast<std::size_t>(col)] | Qt::AlignVCenter);
    }
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
