#include "progress_chart.h"

#include <QAreaSeries>
#include <QCategoryAxis>
#include <QFontMetricsF>
#include <QHelpEvent>
#include <QImage>
#include <QLabel>
#include <QLegend>
#include <QLineSeries>
#include <QMouseEvent>
#include <QPainter>
#include <QScatterSeries>
#include <QToolTip>
#include <QDateTime>
#include <QValueAxis>
#include <algorithm>
#include <cmath>

#include "chart_support.h"

namespace keta {
namespace {

constexpr qint64 kHour = qint64{3600} * 1000;
constexpr qint64 kDay = 24 * kHour;

// A round dot, drawn large so that it stays smooth when scaled down to the marker's size at any
// screen scaling.
QImage DotImage(const QColor& colour) {
    QImage image(24, 24, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(colour);
    painter.drawEllipse(QRectF(2, 2, 20, 20));
    return image;
}

// Ticks on round values, the range a little wider so that no marker is cut at the edge.
void SetNiceRange(QValueAxis& axis, double low, double high, double floor, double ceiling) {
    const analysis::NiceScale scale = analysis::NiceTicks(low, high, 6);
    const double pad = (scale.high - scale.low) * 0.04;
    axis.setTickType(QValueAxis::TicksDynamic);
    axis.setTickAnchor(scale.low);
    axis.setTickInterval(scale.step);
    axis.setLabelFormat(QStringLiteral("%.") + QString::number(scale.decimals) + u'f');
    axis.setRange(std::max(floor, scale.low - pad), std::min(ceiling, scale.high + pad));
}

}  // namespace

ProgressChart::ProgressChart(QWidget* parent) : QChartView(parent) {
    auto* chart = new QChart;
    const QColor rateColour(120, 150, 210);
    raw_ = new QScatterSeries;
    raw_->setName(QStringLiteral("各回の速さ"));
    // A picture stamped at each point: Qt draws it in one pass, where plain markers make an
    // item per point and take seconds for a long history.
    raw_->setMarkerSize(8.0);
    raw_->setColor(rateColour);
    raw_->setLightMarker(DotImage(rateColour));
    spreadLow_ = new QLineSeries(this);
    spreadHigh_ = new QLineSeries(this);
    spread_ = new QAreaSeries(spreadHigh_, spreadLow_);
    spread_->setColor(QColor(120, 150, 210, 110));
    spread_->setBorderColor(rateColour);
    moving_ = new QLineSeries;
    moving_->setPen(QPen(QColor(20, 60, 160), 2.0));
    accuracy_ = new QLineSeries;
    // Solid: a dashed line over a thousand points takes a tenth of a second to draw.
    accuracy_->setPen(QPen(QColor(40, 150, 60), 1.5));
    accuracy_->setColor(QColor(40, 150, 60));
    bestRate_ = new QScatterSeries;
    bestRate_->setName(QStringLiteral("最高の速さ"));
    bestRate_->setMarkerShape(QScatterSeries::MarkerShapeStar);
    bestRate_->setMarkerSize(16.0);
    bestRate_->setColor(QColor(230, 160, 0));
    bestAccuracy_ = new QScatterSeries;
    bestAccuracy_->setName(QStringLiteral("最高の正解率"));
    bestAccuracy_->setMarkerShape(QScatterSeries::MarkerShapeTriangle);
    bestAccuracy_->setMarkerSize(14.0);
    bestAccuracy_->setColor(QColor(190, 40, 150));  // apart from the accuracy line's green
    const QList<QAbstractSeries*> all{spread_, raw_, moving_, accuracy_, bestRate_, bestAccuracy_};
    for (QAbstractSeries* s : all) chart->addSeries(s);
    timeAxis_ = new QCategoryAxis;
    timeAxis_->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    timeAxis_->setTitleText(QStringLiteral("日付"));
    rateAxis_ = new QValueAxis;
    rateAxis_->setTitleText(QStringLiteral("正解数/秒"));
    accuracyAxis_ = new QValueAxis;
    accuracyAxis_->setTitleText(QStringLiteral("正解率（%）"));
    chart->addAxis(timeAxis_, Qt::AlignBottom);
    chart->addAxis(rateAxis_, Qt::AlignLeft);
    chart->addAxis(accuracyAxis_, Qt::AlignRight);
    for (QAbstractSeries* s : all) s->attachAxis(timeAxis_);
    for (QAbstractSeries* s : {all[0], all[1], all[2], all[4]}) s->attachAxis(rateAxis_);
    accuracy_->attachAxis(accuracyAxis_);
    bestAccuracy_->attachAxis(accuracyAxis_);
    // The legend is a wrapping label of its own below the chart: Qt's legend keeps one row and
    // cuts the names with "…" once the window is narrow or the scale large.
    chart->legend()->hide();
    legend_ = new QLabel;
    legend_->setTextFormat(Qt::RichText);
    legend_->setWordWrap(true);
    legend_->setAlignment(Qt::AlignCenter);
    legend_->setAccessibleName(QStringLiteral("凡例"));
    ApplyChartFont(*chart);
    // The view made a chart of its own and gives it up, undeleted, when it takes this one.
    QChart* const madeByTheView = QChartView::chart();
    setChart(chart);
    delete madeByTheView;
    chart->setAnimationOptions(QChart::NoAnimation);
    setRenderHint(QPainter::Antialiasing);
    setAccessibleName(QStringLiteral("上達のグラフ"));
    setFocusPolicy(Qt::NoFocus);  // the same figures are in the table tab, which takes keys
    setMinimumSize(320, 220);
    setMouseTracking(true);
    Clear();
}

void ProgressChart::SetTimeAxis(qint64 from, qint64 to) {
    for (const QString& label : timeAxis_->categoriesLabels()) timeAxis_->remove(label);
    timeAxis_->setStartValue(static_cast<double>(from));
    // Room for the widest label and as much again between labels, so that they never touch.
    const double room =
        2.0 * QFontMetricsF(timeAxis_->labelsFont()).horizontalAdvance(QStringLiteral("0000/00"));
    const int most = std::clamp(static_cast<int>(chart()->plotArea().width() / room), 2, 8);
    for (const auto& [at, label] : DateTicks(from, to, most))
        timeAxis_->append(label, static_cast<double>(at));
    timeAxis_->setRange(static_cast<double>(from), static_cast<double>(to));
    // Ticks of one day are times: the axis names the day they belong to.
    const QDate first = QDateTime::fromMSecsSinceEpoch(from).date();
    const bool oneDay = to - from <= kDay && QDateTime::fromMSecsSinceEpoch(to).date() == first;
    timeAxis_->setTitleText(oneDay ? QStringLiteral("時刻（%1）")
                                         .arg(first.toString(QStringLiteral("yyyy/MM/dd")))
                                   : QStringLiteral("日付"));
}

void ProgressChart::Clear() {
    series_ = nullptr;
    points_ = {};
    for (QXYSeries* s : std::initializer_list<QXYSeries*>{raw_, spreadLow_, spreadHigh_, moving_,
                                                          accuracy_, bestRate_, bestAccuracy_})
        s->clear();
    if (legend_ != nullptr) legend_->clear();
}

void ProgressChart::ShowSeries(const analysis::ProgressSeries& series,
                               const analysis::ProgressSpan& span, bool perDay,
                               std::optional<ChartPoints> points) {
    series_ = &series;
    perDay_ = perDay;
    points_ = points ? std::move(*points) : PointsFor(series, span, perDay);

    double lowX = 0, highX = 0, highRate = 0, lowAccuracy = 100, highAccuracy = 0;
    bool any = false;
    const auto take = [&](const QList<QPointF>& list, bool accuracy) {
        for (const QPointF& p : list) {
            lowX = any ? std::min(lowX, p.x()) : p.x();
            highX = any ? std::max(highX, p.x()) : p.x();
            any = true;
            if (accuracy) {
                lowAccuracy = std::min(lowAccuracy, p.y());
                highAccuracy = std::max(highAccuracy, p.y());
            } else {
                highRate = std::max(highRate, p.y());
            }
        }
    };
    take(points_.raw, false);
    take(points_.high, false);
    take(points_.moving, false);
    take(points_.accuracy, true);
    if (points_.bestRate) take({*points_.bestRate}, false);
    if (points_.bestAccuracy) take({*points_.bestAccuracy}, true);
    if (lowAccuracy > highAccuracy) lowAccuracy = highAccuracy = 100.0;

    // The axes are set over empty series: each change of a range lays out every series' path
    // anew, which costs milliseconds over a thousand points.
    for (QXYSeries* s : std::initializer_list<QXYSeries*>{raw_, spreadLow_, spreadHigh_, moving_,
                                                          accuracy_, bestRate_, bestAccuracy_})
        s->clear();
    // The rate from zero, so that a rise reads as its true size; the accuracy over the range
    // it takes, at least five points wide, so that its line is not pressed into a strip.
    SetNiceRange(*rateAxis_, 0.0, std::max(highRate, 0.01), -1.0, 1e9);
    if (highAccuracy - lowAccuracy < 5.0) {
        lowAccuracy = std::max(0.0, std::min(lowAccuracy, highAccuracy - 5.0));
        highAccuracy = std::min(100.0, std::max(highAccuracy, lowAccuracy + 5.0));
    }
    SetNiceRange(*accuracyAxis_, lowAccuracy, highAccuracy, -5.0, 105.0);
    // Half a day beside a per-day point; otherwise 4 % of the span, at least five minutes:
    // the rounds of a first sitting spread over the width instead of standing in one strip.
    const qint64 spanMs = static_cast<qint64>(highX - lowX);
    const qint64 pad = std::max(perDay ? kDay / 2 : kHour / 12, spanMs * 4 / 100);
    SetTimeAxis(static_cast<qint64>(lowX) - pad, static_cast<qint64>(highX) + pad);

    raw_->replace(points_.raw);
    spreadLow_->replace(points_.low);
    spreadHigh_->replace(points_.high);
    spread_->setVisible(!points_.low.isEmpty());
    raw_->setVisible(!perDay && points_.low.isEmpty());
    spread_->setName(perDay ? QStringLiteral("その日の範囲")
                            : QStringLiteral("各回の速さ（範囲）"));
    moving_->replace(points_.moving);
    moving_->setPointsVisible(perDay && points_.moving.size() <= 200);
    moving_->setName(
        perDay ? QStringLiteral("その日の速さ（中央値）")
               : QStringLiteral("速さ（直近%1回の平均）").arg(analysis::kMovingAverageWindow));
    accuracy_->replace(points_.accuracy);
    // Many days of accuracy: a lighter, thinner line, so that the rate stays readable under it.
    const bool dense = points_.accuracy.size() > 150;
    accuracy_->setPen(QPen(QColor(40, 150, 60, dense ? 150 : 255), dense ? 1.0 : 1.5));
    accuracy_->setName(
        perDay ? QStringLiteral("その日の正解率（中央値）")
               : QStringLiteral("正解率（直近%1回の平均）").arg(analysis::kMovingAverageWindow));
    if (points_.bestRate) bestRate_->append(*points_.bestRate);
    if (points_.bestAccuracy) bestAccuracy_->append(*points_.bestAccuracy);
    UpdateLegend();
}

void ProgressChart::UpdateLegend() {
    // Each entry is the series' own marker in its colour, kept whole on one line: word joiners
    // between its characters, since Japanese text may otherwise break anywhere.
    const auto entry = [](const QString& glyph, const QColor& colour, const QString& name) {
        QString joined;
        for (const QChar c : name) joined += QString(c).toHtmlEscaped() + QChar(0x2060);
        return QStringLiteral("<span style=\"color:%1\">%2</span>&nbsp;%3")
            .arg(colour.name(), glyph, joined);
    };
    QStringList entries;
    if (raw_->isVisible()) entries << entry(QStringLiteral("●"), raw_->color(), raw_->name());
    if (spread_->isVisible())
        entries << entry(QStringLiteral("■"), QColor(160, 180, 225), spread_->name());
    entries << entry(QStringLiteral("━"), moving_->pen().color(), moving_->name());
    if (!points_.accuracy.isEmpty())
        entries << entry(QStringLiteral("━"), QColor(40, 150, 60), accuracy_->name());
    if (points_.bestRate)
        entries << entry(QStringLiteral("★"), bestRate_->color(), bestRate_->name());
    if (points_.bestAccuracy)
        entries << entry(QStringLiteral("▲"), bestAccuracy_->color(), bestAccuracy_->name());
    legend_->setText(entries.join(QStringLiteral(" &nbsp; ")));
}

std::optional<QPoint> ProgressChart::PositionOf(std::size_t index) const {
    const std::vector<std::size_t>& indices = perDay_ ? points_.movingIndex : points_.rawIndex;
    const QList<QPointF>& values = perDay_ ? points_.moving : points_.raw;
    const auto it = std::find(indices.begin(), indices.end(), index);
    if (it == indices.end()) return std::nullopt;
    const QPointF value = values[it - indices.begin()];
    const QPointF scene =
        chart()->mapToPosition(value, perDay_ ? static_cast<QAbstractSeries*>(moving_) : raw_);
    return mapFromScene(chart()->mapToScene(scene));
}

std::optional<QPoint> ProgressChart::RunPosition(std::size_t run) const {
    if (run >= points_.runs.size()) return std::nullopt;
    const auto k = static_cast<qsizetype>(run);
    const QPointF middle(points_.low[k].x(), (points_.low[k].y() + points_.high[k].y()) / 2.0);
    return mapFromScene(chart()->mapToScene(chart()->mapToPosition(middle, spread_)));
}

std::optional<ProgressChart::Hit> ProgressChart::HitAt(const QPoint& pos) const {
    if (series_ == nullptr) return std::nullopt;
    using Kind = Hit::Kind;
    std::optional<Hit> best;
    double nearest = 8.0 * 8.0;  // within 8 pixels
    const auto place = [&](const QPointF& value, QAbstractSeries* series) {
        return mapFromScene(chart()->mapToScene(chart()->mapToPosition(value, series)));
    };
    const auto consider = [&](const QPointF& value, QAbstractSeries* series, Hit hit) {
        const QPointF at = place(value, series);
        const double dx = at.x() - pos.x(), dy = at.y() - pos.y();
        if (dx * dx + dy * dy <= nearest) {
            nearest = dx * dx + dy * dy;
            best = hit;
        }
    };
    for (std::size_t i = 0; i < points_.rawIndex.size(); ++i) {
        consider(points_.raw[static_cast<qsizetype>(i)], raw_, {Kind::Result, points_.rawIndex[i]});
    }
    for (std::size_t i = 0; perDay_ && i < points_.movingIndex.size(); ++i) {
        consider(points_.moving[static_cast<qsizetype>(i)], moving_,
                 {Kind::Day, points_.movingIndex[i]});
    }
    // The bests last, so that a best drawn over its own dot wins.
    if (points_.bestRate) {
        consider(*points_.bestRate, bestRate_, {Kind::Result, *points_.bestRateIndex});
    }
    if (points_.bestAccuracy) {
        consider(*points_.bestAccuracy, bestAccuracy_, {Kind::Result, *points_.bestAccuracyIndex});
    }
    if (best) return best;
    // Under the markers, a run's range counts from anywhere between its ends, by the
    // horizontal distance.
    for (std::size_t k = 0; k < points_.runs.size(); ++k) {
        const QPointF low = place(points_.low[static_cast<qsizetype>(k)], spread_);
        const QPointF high = place(points_.high[static_cast<qsizetype>(k)], spread_);
        const double dx = low.x() - pos.x();
        if (dx * dx <= nearest && pos.y() >= high.y() - 8.0 && pos.y() <= low.y() + 8.0) {
            nearest = dx * dx;
            best = Hit{Kind::Run, k};
        }
    }
    return best;
}

QString ProgressChart::HitText(const Hit& hit) const {
    if (hit.kind == Hit::Kind::Run) {
        const auto [first, end] = points_.runs[hit.index];
        const auto k = static_cast<qsizetype>(hit.index);
        const analysis::ProgressPoint& a = series_->points[first];
        const analysis::ProgressPoint& b = series_->points[end - 1];
        return QStringLiteral("%1 %2 〜 %3 %4（%5 回）\n速さ %6〜%7 /秒")
            .arg(QString::fromStdString(a.date), QString::fromStdString(a.time),
                 QString::fromStdString(b.date), QString::fromStdString(b.time))
            .arg(end - first)
            .arg(FigureText(points_.low[k].y(), 2), FigureText(points_.high[k].y(), 2));
    }
    if (hit.kind == Hit::Kind::Day) {
        const analysis::DayFigures& day = series_->days[hit.index];
        return QStringLiteral("%1（%2 回）\n速さの中央値 %3 /秒（%4〜%5）\n正解率の中央値 %6")
            .arg(QString::fromStdString(day.date))
            .arg(day.results)
            .arg(FigureText(day.medianRate, 2), FigureText(day.lowestRate, 2),
                 FigureText(day.highestRate, 2), PercentText(day.medianAccuracy));
    }
    const analysis::ProgressPoint& p = series_->points[hit.index];
    return QStringLiteral("%1 %2\n速さ %3 /秒（正解 %4）\n正解率 %5\nクリックで作業曲線")
        .arg(QString::fromStdString(p.date), QString::fromStdString(p.time), FigureText(p.rate, 2))
        .arg(p.correct)
        .arg(PercentText(p.accuracy));
}

bool ProgressChart::viewportEvent(QEvent* event) {
    // The scene answers a resting pointer's help event by hiding any tooltip, since none of
    // its items has one: the chart answers it itself, so that the point's text stays up.
    if (event->type() == QEvent::ToolTip) {
        const auto* help = static_cast<QHelpEvent*>(event);
        if (const std::optional<Hit> hit = HitAt(help->pos())) {
            QToolTip::showText(help->globalPos(), HitText(*hit), this);
        } else {
            QToolTip::hideText();
        }
        return true;
    }
    return QChartView::viewportEvent(event);
}

void ProgressChart::mouseMoveEvent(QMouseEvent* event) {
    QChartView::mouseMoveEvent(event);
    const std::optional<Hit> hit = HitAt(event->position().toPoint());
    if (hit) {
        QToolTip::showText(event->globalPosition().toPoint(), HitText(*hit), this);
    } else {
        QToolTip::hideText();
    }
}

void ProgressChart::mousePressEvent(QMouseEvent* event) {
    QChartView::mousePressEvent(event);
    pressed_.reset();
    if (event->button() == Qt::LeftButton) pressed_ = HitAt(event->position().toPoint());
}

void ProgressChart::mouseReleaseEvent(QMouseEvent* event) {
    QChartView::mouseReleaseEvent(event);
    if (event->button() != Qt::LeftButton || !pressed_) return;
    const std::optional<Hit> hit = HitAt(event->position().toPoint());
    // A click is a press and a release on the same result.
    if (hit && hit->kind == Hit::Kind::Result && pressed_->kind == Hit::Kind::Result &&
        hit->index == pressed_->index)
        emit resultClicked(hit->index);
    pressed_.reset();
}

}  // namespace keta
