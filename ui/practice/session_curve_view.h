#pragma once
// A small line chart painted by hand: points joined within each series, round ticks on the
// count axis, named positions across, and gaps where no series runs (the rest between halves).
// Its data is also given as text to screen readers.

#include <QColor>
#include <QPointF>
#include <QString>
#include <QWidget>
#include <utility>
#include <vector>

namespace keta {

struct CurveSeries {
    QString name;  // the legend's entry; series with the same name share one entry
    QColor colour;
    std::vector<QPointF> points;
    bool joined = true;       // false: markers only
    bool crossMarks = false;  // crosses instead of dots
};

class SessionCurveView : public QWidget {
    Q_OBJECT

public:
    explicit SessionCurveView(QWidget* parent = nullptr);

    // `ticks`: across positions and their labels; `gapLabel` is written at `gapX` (none when
    // empty); `table`: the same data as text for screen readers.
    void SetData(const QString& title, const QString& acrossTitle, const QString& upTitle,
                 std::vector<CurveSeries> series, std::vector<std::pair<double, QString>> ticks,
                 double low, double high, const QString& gapLabel, double gapX,
                 const QString& table);

    const std::vector<std::pair<double, QString>>& Ticks() const { return ticks_; }

    QSize sizeHint() const override { return {560, 280}; }
    QSize minimumSizeHint() const override { return {200, 150}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString title_, acrossTitle_, upTitle_, gapLabel_;
    std::vector<CurveSeries> series_;
    std::vector<std::pair<double, QString>> ticks_;
    double low_ = 0.0, high_ = 1.0, gapX_ = 0.0;
};

}  // namespace keta
