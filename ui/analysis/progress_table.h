#pragma once
// The chart's data as a table, for reading with the keyboard or a screen reader: each result
// of the period shown (date, time, rate, accuracy, moving average), or each day's figures.
// Rows are made on demand, so that a long history costs nothing until it is scrolled.

#include <QAbstractTableModel>

#include "progress.h"

namespace keta {

class ProgressTableModel : public QAbstractTableModel {
    Q_OBJECT

public:
    using QAbstractTableModel::QAbstractTableModel;

    // `series` must outlive the model's use of it; nullptr empties the table.
    void Show(const analysis::ProgressSeries* series, const analysis::ProgressSpan& span,
              bool perDay);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    QString Cell(int row, int column) const;

    const analysis::ProgressSeries* series_ = nullptr;
    analysis::ProgressSpan span_;
    bool perDay_ = false;
};

}  // namespace keta
