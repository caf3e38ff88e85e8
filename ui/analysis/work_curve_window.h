#pragma once
// The work curve of one round: answers per second in each interval of the time limit, the
// wrong ones marked, and the round's indices beside it in plain words.

#include <QWidget>
#include <map>

#include "figure_label.h"
#include "round_indices.h"
#include "round_record.h"
#include "work_curve.h"

class QBarCategoryAxis;
class QBarSet;
class QChart;
class QChartView;
class QLabel;
class QStackedBarSeries;
class QTableWidget;
class QValueAxis;

namespace keta {

class WorkCurveWindow : public QWidget {
    Q_OBJECT

public:
    explicit WorkCurveWindow(QWidget* parent = nullptr);

    // Shows `round`; `title` is the round's own line of the history grid.
    void ShowRound(const QString& title, const analysis::RoundRecord& round);

    const analysis::WorkCurve& Curve() const { return curve_; }
    const analysis::RoundIndices& Indices() const { return indices_; }

private:
    analysis::WorkCurve curve_;
    analysis::RoundIndices indices_;
    QChart* chart_ = nullptr;
    QChartView* view_ = nullptr;
    QStackedBarSeries* series_ = nullptr;
    QBarSet* rightSet_ = nullptr;
    QBarSet* wrongSet_ = nullptr;
    QBarCategoryAxis* xAxis_ = nullptr;
    QValueAxis* yAxis_ = nullptr;
    QTableWidget* bins_ = nullptr;
    FigureLabel* answers_ = nullptr;
    FigureLabel* correct_ = nullptr;
    FigureLabel* wrong_ = nullptr;
    FigureLabel* accuracy_ = nullptr;
    std::map<analysis::IndexId, FigureLabel*> values_;
};

}  // namespace keta
