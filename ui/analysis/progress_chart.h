#pragma once
// The chart of the progress window: each result's rate with its moving average, or each day's
// median rate with the day's range, and the accuracy on an axis of its own. Pointing at a
// point tells its result; clicking a result asks for its work curve.

#include <QChartView>
#include <QList>
#include <QPair>
#include <QPointF>
#include <optional>
#include <utility>
#include <vector>

#include "progress.h"

class QAreaSeries;
class QCategoryAxis;
class QLabel;
class QLineSeries;
class QScatterSeries;
class QValueAxis;

namespace keta {

class ProgressChart : public QChartView {
    Q_OBJECT

public:
    explicit ProgressChart(QWidget* parent = nullptr);

    // The points of `span` as the chart draws them; x is local time in ms since the epoch. Up
    // to `mostMarkers` results are drawn one by one. More are drawn as the range of their rates
    // (lowest to highest) over `slices` runs of consecutive results, with the averages at the
    // end of each run: a chart has no more pixel columns than that anyway, and Qt makes one
    // graphics item per marker, which takes seconds for a long history. Per day, each day is
    // one point at its noon with its range; over more than `mostMarkers` days the ranges are
    // those of `slices` runs of consecutive days.
    struct ChartPoints {
        QList<QPointF> raw;               // one per result, or none
        QList<QPointF> low, high;         // the range per run (of results or days) or per day
        QList<QPointF> moving, accuracy;  // the averages, or the day's medians (accuracy in %)
        std::optional<QPointF> bestRate, bestAccuracy;
        std::optional<std::size_t> bestRateIndex, bestAccuracyIndex;  // their results
        // What a point stands for: the result (index into the series' points) of each raw
        // point, or the day (index into the series' days) of each median.
        std::vector<std::size_t> rawIndex, movingIndex;
        // The results each run's range stands for: [first, second) in the series' points.
        std::vector<std::pair<std::size_t, std::size_t>> runs;
    };
    static ChartPoints PointsFor(const analysis::ProgressSeries& series,
                                 const analysis::ProgressSpan& span, bool perDay,
                                 std::size_t mostMarkers = 400, std::size_t slices = 400);

    // Labels for the time axis between `from` and `to` (ms since the epoch, local time): at
    // most `most` of them, on whole hours, days or months, written "HH:mm" within a day,
    // "MM/dd" within a year and "yyyy/MM" beyond, each one different.
    static QList<QPair<qint64, QString>> DateTicks(qint64 from, qint64 to, int most);

    // `points`, when given, are PointsFor(series, span, perDay) worked out already (on a
    // reading thread), so that showing a long series costs the window's thread less.
    void ShowSeries(const analysis::ProgressSeries& series, const analysis::ProgressSpan& span,
                    bool perDay, std::optional<ChartPoints> points = std::nullopt);
    void Clear();
    // The legend, a label that wraps, for the window to place below the chart.
    QLabel* Legend() const { return legend_; }

    // The axes as shown, for checks.
    QValueAxis* RateAxis() const { return rateAxis_; }
    QValueAxis* AccuracyAxis() const { return accuracyAxis_; }
    QCategoryAxis* TimeAxis() const { return timeAxis_; }
    // Where the point of result `index` (or of day `index` per day) is drawn, in the view's
    // coordinates; nullopt when it is not drawn on its own.
    std::optional<QPoint> PositionOf(std::size_t index) const;
    // The middle of the range drawn for run `run` of a long series; nullopt without runs.
    std::optional<QPoint> RunPosition(std::size_t run) const;

signals:
    // A result's own point was clicked: its index in the series' points.
    void resultClicked(std::size_t index);

protected:
    bool viewportEvent(QEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    struct Hit {
        enum class Kind { Result, Day, Run } kind = Kind::Result;
        std::size_t index = 0;  // into the series' points, its days, or the chart's runs
    };
    std::optional<Hit> HitAt(const QPoint& pos) const;
    QString HitText(const Hit& hit) const;
    void SetTimeAxis(qint64 from, qint64 to);
    void UpdateLegend();

    const analysis::ProgressSeries* series_ = nullptr;
    ChartPoints points_;
    bool perDay_ = false;
    std::optional<Hit> pressed_;
    QScatterSeries* raw_ = nullptr;
    QAreaSeries* spread_ = nullptr;
    QLineSeries* spreadLow_ = nullptr;
    QLineSeries* spreadHigh_ = nullptr;
    QLineSeries* moving_ = nullptr;
    QLineSeries* accuracy_ = nullptr;
    QScatterSeries* bestRate_ = nullptr;
    QScatterSeries* bestAccuracy_ = nullptr;
    QCategoryAxis* timeAxis_ = nullptr;
    QValueAxis* rateAxis_ = nullptr;
    QValueAxis* accuracyAxis_ = nullptr;
    QLabel* legend_ = nullptr;
};

}  // namespace keta
