#include "progress_table.h"

#include "chart_support.h"

namespace keta {
namespace {

const QString kResultColumns[] = {
    QStringLiteral("日付"), QStringLiteral("時刻"), QStringLiteral("速さ（正解数/秒）"),
    QStringLiteral("正解率"),
    QStringLiteral("速さ（直近%1回の平均）").arg(analysis::kMovingAverageWindow)};
const QString kDayColumns[] = {QStringLiteral("日付"),         QStringLiteral("回数"),
                               QStringLiteral("速さの中央値"), QStringLiteral("最低の速さ"),
                               QStringLiteral("最高の速さ"),   QStringLiteral("正解率の中央値")};

}  // namespace

void ProgressTableModel::Show(const analysis::ProgressSeries* series,
                              const analysis::ProgressSpan& span, bool perDay) {
    beginResetModel();
    series_ = series;
    span_ = span;
    perDay_ = perDay;
    endResetModel();
}

int ProgressTableModel::rowCount(const QModelIndex& parent) const {
    if (parent.isValid() || series_ == nullptr) return 0;
    return static_cast<int>(perDay_ ? span_.dayEnd - span_.dayBegin : span_.end - span_.begin);
}

int ProgressTableModel::columnCount(const QModelIndex& parent) const {
    if (parent.isValid()) return 0;
    return perDay_ ? static_cast<int>(std::size(kDayColumns))
                   : static_cast<int>(std::size(kResultColumns));
}

QVariant ProgressTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole) return {};
    if (orientation == Qt::Vertical) return section + 1;
    if (section < 0 || section >= columnCount()) return {};
    return perDay_ ? kDayColumns[section] : kResultColumns[section];
}

QVariant ProgressTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || series_ == nullptr) return {};
    if (role == Qt::TextAlignmentRole) {
        return index.column() < (perDay_ ? 1 : 2) ? QVariant(Qt::AlignLeft | Qt::AlignVCenter)
                                                  : QVariant(Qt::AlignRight | Qt::AlignVCenter);
    }
    if (role != Qt::DisplayRole && role != Qt::AccessibleTextRole) return {};
    return Cell(index.row(), index.column());
}

QString ProgressTableModel::Cell(int row, int column) const {
    if (perDay_) {
        const analysis::DayFigures& day =
            series_->days[span_.dayBegin + static_cast<std::size_t>(row)];
        switch (column) {
            case 0:
                return QString::fromStdString(day.date);
            case 1:
                return QString::number(day.results);
            case 2:
                return FigureText(day.medianRate, 2);
            case 3:
                return FigureText(day.lowestRate, 2);
            case 4:
                return FigureText(day.highestRate, 2);
            default:
                return PercentText(day.medianAccuracy);
        }
    }
    const analysis::ProgressPoint& p = series_->points[span_.begin + static_cast<std::size_t>(row)];
    switch (column) {
        case 0:
            return QString::fromStdString(p.date);
        case 1:
            return QString::fromStdString(p.time);
        case 2:
            return FigureText(p.rate, 2);
        case 3:
            return PercentText(p.accuracy);
        default:
            return FigureText(p.movingRate, 2);
    }
}

}  // namespace keta
