#pragma once
// Progress over many rounds, from the saved results: the rate of each result and its moving
// average, the accuracy on a second axis, for one mode and one time limit at a time, with the
// personal bests marked.

#include <QList>
#include <QPointF>
#include <QWidget>

#include "figure_label.h"
#include "progress.h"
#include "round_record.h"

class QAreaSeries;
class QChart;
class QChartView;
class QComboBox;
class QDateTimeAxis;
class QLabel;
class QLineSeries;
class QScatterSeries;
class QValueAxis;

namespace keta {

class ProgressWindow : public QWidget {
    Q_OBJECT

public:
    explicit ProgressWindow(QWidget* parent = nullptr);

    // Takes the saved results (file order) and shows the series of the newest one, or the one
    // chosen before when it still exists. `skippedLines` are lines of the file that were no
    // records.
    void ShowHistory(const std::vector<analysis::HistoryPoint>& history, int skippedLines);

    const analysis::ProgressReport& Report() const { return report_; }
    // The series on show, nullptr when there is none.
    const analysis::ProgressSeries* Shown() const { return shown_; }
    // The series as the chart draws it; x is local time in ms since the epoch. Up to
    // `mostMarkers` results are drawn one by one. More are drawn as the range of their rates
    // (lowest to highest) over `slices` runs of consecutive results, with the averages at the
    // end of each run: a chart has no more pixel columns than that anyway, and Qt makes one
    // graphics item per marker, which takes seconds for a long history.
    struct ChartPoints {
        QList<QPointF> raw;               // one per result, or none
        QList<QPointF> low, high;         // the range per run, or none
        QList<QPointF> moving, accuracy;  // the averages (accuracy in %)
        std::optional<QPointF> bestRate, bestAccuracy;
    };
    static ChartPoints PointsFor(const analysis::ProgressSeries& series,
                                 std::size_t mostMarkers = 400, std::size_t slices = 400);

    QComboBox* ModeBox() const { return mode_; }
    QComboBox* LimitBox() const { return limit_; }

private:
    void FillLimits(analysis::Mode mode, int preferredLimit);
    void ShowSeries();

    analysis::ProgressReport report_;
    const analysis::ProgressSeries* shown_ = nullptr;
    int skippedLines_ = 0;
    bool filling_ = false;
    QComboBox* mode_ = nullptr;
    QComboBox* limit_ = nullptr;
    QChart* chart_ = nullptr;
    QChartView* view_ = nullptr;
    QScatterSeries* raw_ = nullptr;
    QAreaSeries* spread_ = nullptr;
    QLineSeries* spreadLow_ = nullptr;
    QLineSeries* spreadHigh_ = nullptr;
    QLineSeries* moving_ = nullptr;
    QLineSeries* accuracy_ = nullptr;
    QScatterSeries* bestRate_ = nullptr;
    QScatterSeries* bestAccuracy_ = nullptr;
    QDateTimeAxis* xAxis_ = nullptr;
    QValueAxis* rateAxis_ = nullptr;
    QValueAxis* accuracyAxis_ = nullptr;
    FigureLabel* count_ = nullptr;
    FigureLabel* latest_ = nullptr;
    FigureLabel* bestRateText_ = nullptr;
    FigureLabel* bestAccuracyText_ = nullptr;
    FigureLabel* skipped_ = nullptr;
};

}  // namespace keta
