#include "progress_window.h"

#include <QAreaSeries>
#include <QComboBox>
#include <QDateTime>
#include <QDateTimeAxis>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QImage>
#include <QLabel>
#include <QLineSeries>
#include <QPainter>
#include <QScatterSeries>
#include <QVBoxLayout>
#include <QValueAxis>
#include <algorithm>
#include <cmath>
#include <map>

#include "chart_support.h"

namespace keta {
namespace {

const QString kSum = QStringLiteral("＋");
const QString kDifference = QStringLiteral("－");

int Digits(const std::string& text, std::size_t at, std::size_t count) {
    int value = 0;
    for (std::size_t i = at; i < at + count; ++i) value = value * 10 + (text[i] - '0');
    return value;
}

// Chart positions in local time. The points have checked stamps ("yyyy/mm/dd", "hh:mm:ss"),
// so the digits can be taken as they stand; the start of each day is looked up once.
class StampClock {
public:
    qint64 MsecsOf(const analysis::ProgressPoint& p) {
        auto it = days_.find(p.date);
        if (it == days_.end()) {
            const QDate date(Digits(p.date, 0, 4), Digits(p.date, 5, 2), Digits(p.date, 8, 2));
            it = days_.emplace(p.date, date.startOfDay().toMSecsSinceEpoch()).first;
        }
        const int seconds =
            Digits(p.time, 0, 2) * 3600 + Digits(p.time, 3, 2) * 60 + Digits(p.time, 6, 2);
        return it->second + qint64{seconds} * 1000;
    }

private:
    std::map<std::string, qint64> days_;
};

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

QString PointText(const analysis::ProgressPoint& p) {
    return QString::fromStdString(p.date) + u' ' + QString::fromStdString(p.time);
}

}  // namespace

ProgressWindow::ProgressWindow(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("progressWindow"));
    SetUpAnalysisWindow(*this, QStringLiteral("上達の記録"));

    mode_ = new QComboBox(this);
    mode_->setAccessibleName(QStringLiteral("モード"));
    limit_ = new QComboBox(this);
    limit_->setAccessibleName(QStringLiteral("制限時間"));
    auto* modeLabel = new QLabel(QStringLiteral("モード(&M)"), this);
    modeLabel->setBuddy(mode_);
    auto* limitLabel = new QLabel(QStringLiteral("制限時間(&T)"), this);
    limitLabel->setBuddy(limit_);
    auto* filter = new QHBoxLayout;
    filter->addWidget(modeLabel);
    filter->addWidget(mode_);
    filter->addSpacing(12);
    filter->addWidget(limitLabel);
    filter->addWidget(limit_);
    filter->addStretch(1);

    chart_ = new QChart;
    raw_ = new QScatterSeries;
    raw_->setName(QStringLiteral("各回の速さ"));
    // A picture stamped at each point: Qt draws it in one pass, where plain markers make an
    // item per point and take seconds for a long history.
    raw_->setMarkerSize(8.0);
    raw_->setColor(QColor(120, 150, 210));
    raw_->setLightMarker(DotImage(QColor(120, 150, 210)));
    spreadLow_ = new QLineSeries(this);
    spreadHigh_ = new QLineSeries(this);
    spread_ = new QAreaSeries(spreadHigh_, spreadLow_);
    spread_->setName(QStringLiteral("各回の速さ（範囲）"));
    spread_->setColor(QColor(120, 150, 210, 110));
    spread_->setBorderColor(QColor(120, 150, 210));
    moving_ = new QLineSeries;
    moving_->setName(QStringLiteral("速さ（直近%1回の平均）").arg(analysis::kMovingAverageWindow));
    moving_->setPen(QPen(QColor(20, 60, 160), 2.0));
    accuracy_ = new QLineSeries;
    accuracy_->setName(
        QStringLiteral("正解率（直近%1回の平均）").arg(analysis::kMovingAverageWindow));
    accuracy_->setPen(QPen(QColor(40, 150, 60), 1.5, Qt::DashLine));
    bestRate_ = new QScatterSeries;
    bestRate_->setName(QStringLiteral("最高の速さ"));
    bestRate_->setMarkerShape(QScatterSeries::MarkerShapeStar);
    bestRate_->setMarkerSize(16.0);
    bestRate_->setColor(QColor(230, 160, 0));
    bestAccuracy_ = new QScatterSeries;
    bestAccuracy_->setName(QStringLiteral("最高の正解率"));
    bestAccuracy_->setMarkerShape(QScatterSeries::MarkerShapeTriangle);
    bestAccuracy_->setMarkerSize(14.0);
    bestAccuracy_->setColor(QColor(40, 150, 60));
    const QList<QAbstractSeries*> all{spread_, raw_, moving_, accuracy_, bestRate_, bestAccuracy_};
    for (QAbstractSeries* s : all) chart_->addSeries(s);
    xAxis_ = new QDateTimeAxis;
    xAxis_->setFormat(QStringLiteral("yyyy/MM/dd"));
    xAxis_->setTitleText(QStringLiteral("日付"));
    xAxis_->setTickCount(5);
    rateAxis_ = new QValueAxis;
    rateAxis_->setTitleText(QStringLiteral("正解数/秒"));
    rateAxis_->setLabelFormat(QStringLiteral("%.2f"));
    accuracyAxis_ = new QValueAxis;
    accuracyAxis_->setTitleText(QStringLiteral("正解率（%）"));
    accuracyAxis_->setRange(0.0, 100.0);
    accuracyAxis_->setLabelFormat(QStringLiteral("%d"));
    chart_->addAxis(xAxis_, Qt::AlignBottom);
    chart_->addAxis(rateAxis_, Qt::AlignLeft);
    chart_->addAxis(accuracyAxis_, Qt::AlignRight);
    for (QAbstractSeries* s : chart_->series()) s->attachAxis(xAxis_);
    for (QAbstractSeries* s : {all[0], all[1], all[2], all[4]}) s->attachAxis(rateAxis_);
    accuracy_->attachAxis(accuracyAxis_);
    bestAccuracy_->attachAxis(accuracyAxis_);
    ApplyChartFont(*chart_);
    view_ = MakeChartView(chart_, QStringLiteral("上達のグラフ"), this);

    auto* form = new QFormLayout;
    count_ = AddFigureRow(*form, QStringLiteral("記録の数"));
    latest_ = AddFigureRow(
        *form, QStringLiteral("最近の速さ"),
        QStringLiteral("直近%1回の正解数/秒の平均").arg(analysis::kMovingAverageWindow));
    bestRateText_ = AddFigureRow(*form, QStringLiteral("最高の速さ"));
    bestAccuracyText_ = AddFigureRow(*form, QStringLiteral("最高の正解率"));
    skipped_ = AddFigureRow(*form, QStringLiteral("使えなかった記録"),
                            QStringLiteral("制限時間や日時が読めない記録、記録の形でない行"));

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(filter);
    layout->addWidget(view_, 1);
    layout->addLayout(form);
    resize(820, 600);

    connect(mode_, &QComboBox::currentIndexChanged, this, [this] {
        if (filling_) return;
        const int limit = limit_->currentData().toInt();
        FillLimits(
            mode_->currentData().toInt() == 1 ? analysis::Mode::Difference : analysis::Mode::Sum,
            limit);
        ShowSeries();
    });
    connect(limit_, &QComboBox::currentIndexChanged, this, [this] {
        if (!filling_) ShowSeries();
    });
}

ProgressWindow::ChartPoints ProgressWindow::PointsFor(const analysis::ProgressSeries& series,
                                                      std::size_t mostMarkers, std::size_t slices) {
    ChartPoints out;
    const std::vector<analysis::ProgressPoint>& points = series.points;
    if (points.empty()) return out;
    StampClock clock;
    std::vector<double> xs;
    xs.reserve(points.size());
    for (const analysis::ProgressPoint& p : points)
        xs.push_back(static_cast<double>(clock.MsecsOf(p)));
    const auto addAverages = [&](std::size_t i) {
        out.moving.append({xs[i], points[i].movingRate});
        if (points[i].movingAccuracy)
            out.accuracy.append({xs[i], *points[i].movingAccuracy * 100.0});
    };
    if (points.size() <= mostMarkers || slices == 0) {
        for (std::size_t i = 0; i < points.size(); ++i) {
            out.raw.append({xs[i], points[i].rate});
            addAverages(i);
        }
    } else {
        slices = std::min(slices, points.size());
        addAverages(0);
        for (std::size_t k = 0; k < slices; ++k) {
            const std::size_t begin = k * points.size() / slices;
            const std::size_t end = (k + 1) * points.size() / slices;
            double low = points[begin].rate, high = low;
            for (std::size_t i = begin; i < end; ++i) {
                low = std::min(low, points[i].rate);
                high = std::max(high, points[i].rate);
            }
            const double x = (xs[begin] + xs[end - 1]) / 2.0;
            out.low.append({x, low});
            out.high.append({x, high});
            addAverages(end - 1);
        }
    }
    if (series.bestRate)
        out.bestRate = QPointF(xs[*series.bestRate], points[*series.bestRate].rate);
    if (series.bestAccuracy) {
        const analysis::ProgressPoint& p = points[*series.bestAccuracy];
        out.bestAccuracy = QPointF(xs[*series.bestAccuracy], p.accuracy.value_or(0.0) * 100.0);
    }
    return out;
}

void ProgressWindow::ShowHistory(const std::vector<analysis::HistoryPoint>& history,
                                 int skippedLines) {
    const int oldMode = mode_->currentIndex() >= 0 ? mode_->currentData().toInt() : -1;
    const int oldLimit = limit_->currentIndex() >= 0 ? limit_->currentData().toInt() : -1;
    shown_ = nullptr;
    report_ = analysis::ComputeProgress(history);
    skippedLines_ = skippedLines;

    // What to show: the choice made before when it still exists, else the newest result's.
    analysis::Mode mode = analysis::Mode::Sum;
    int limit = 0;
    bool found = false;
    if (oldMode >= 0) {
        mode = oldMode == 1 ? analysis::Mode::Difference : analysis::Mode::Sum;
        limit = oldLimit;
        found = report_.find(mode, limit) != nullptr;
    }
    for (auto it = history.rbegin(); !found && it != history.rend(); ++it) {
        mode = analysis::ModeOf(it->modeText);
        limit = it->timeLimit;
        found = report_.find(mode, limit) != nullptr;
    }

    filling_ = true;
    mode_->clear();
    bool hasSum = false, hasDifference = false;
    for (const analysis::ProgressSeries& s : report_.series) {
        (s.mode == analysis::Mode::Sum ? hasSum : hasDifference) = true;
    }
    if (hasSum) mode_->addItem(kSum, 0);
    if (hasDifference) mode_->addItem(kDifference, 1);
    mode_->setCurrentIndex(
        std::max(0, mode_->findData(mode == analysis::Mode::Difference ? 1 : 0)));
    filling_ = false;
    FillLimits(mode, limit);
    ShowSeries();
}

void ProgressWindow::FillLimits(analysis::Mode mode, int preferredLimit) {
    filling_ = true;
    limit_->clear();
    for (const analysis::ProgressSeries& s : report_.series) {
        if (s.mode == mode) limit_->addItem(QStringLiteral("%1秒").arg(s.timeLimit), s.timeLimit);
    }
    const int at = limit_->findData(preferredLimit);
    limit_->setCurrentIndex(at >= 0 ? at : 0);
    filling_ = false;
}

void ProgressWindow::ShowSeries() {
    shown_ = nullptr;
    if (mode_->currentIndex() >= 0 && limit_->currentIndex() >= 0) {
        shown_ = report_.find(
            mode_->currentData().toInt() == 1 ? analysis::Mode::Difference : analysis::Mode::Sum,
            limit_->currentData().toInt());
    }
    const int skipped =
        skippedLines_ + report_.skippedNoLimit + report_.skippedBadStamp + report_.skippedBadCounts;
    skipped_->setText(QString::number(skipped));

    ChartPoints points;
    double highest = 0.0;
    qint64 first = 0, last = 0;
    if (shown_ != nullptr) {
        points = PointsFor(*shown_);
        for (const analysis::ProgressPoint& p : shown_->points) highest = std::max(highest, p.rate);
        if (!shown_->points.empty()) {
            StampClock clock;
            first = clock.MsecsOf(shown_->points.front());
            last = clock.MsecsOf(shown_->points.back());
        }
    }
    raw_->replace(points.raw);
    spreadLow_->replace(points.low);
    spreadHigh_->replace(points.high);
    spread_->setVisible(!points.low.isEmpty());
    raw_->setVisible(points.low.isEmpty());
    moving_->replace(points.moving);
    accuracy_->replace(points.accuracy);
    bestRate_->clear();
    bestAccuracy_->clear();
    if (points.bestRate) bestRate_->append(*points.bestRate);
    if (points.bestAccuracy) bestAccuracy_->append(*points.bestAccuracy);

    // A single day still needs a span to draw; an hour either side keeps the points apart from
    // the edges.
    constexpr qint64 kMargin = qint64{3600} * 1000;
    xAxis_->setRange(QDateTime::fromMSecsSinceEpoch(first - kMargin),
                     QDateTime::fromMSecsSinceEpoch(last + kMargin));
    xAxis_->setFormat(last - first < qint64{2} * 86'400'000 ? QStringLiteral("MM/dd HH:mm")
                                                            : QStringLiteral("yyyy/MM/dd"));
    rateAxis_->setRange(0.0, std::max(0.5, std::ceil(highest * 1.15 * 4.0) / 4.0));

    if (shown_ == nullptr) {
        chart_->setTitle(QStringLiteral("記録がありません"));
        for (QLabel* l : {count_, latest_, bestRateText_, bestAccuracyText_}) l->setText(kNoFigure);
        count_->setText(QStringLiteral("0"));
        view_->setAccessibleDescription(chart_->title());
        return;
    }
    const QString seriesName =
        QStringLiteral("%1 モード・%2秒")
            .arg(shown_->mode == analysis::Mode::Difference ? kDifference : kSum)
            .arg(shown_->timeLimit);
    chart_->setTitle(seriesName);
    count_->setText(QString::number(shown_->points.size()));
    const analysis::ProgressPoint& newest = shown_->points.back();
    latest_->setText(FigureText(newest.movingRate, 2) + QStringLiteral(" /秒"));
    if (shown_->bestRate) {
        const analysis::ProgressPoint& p = shown_->points[*shown_->bestRate];
        bestRateText_->setText(
            QStringLiteral("%1 /秒（%2）").arg(FigureText(p.rate, 2), PointText(p)));
    } else {
        bestRateText_->setText(kNoFigure);
    }
    if (shown_->bestAccuracy) {
        const analysis::ProgressPoint& p = shown_->points[*shown_->bestAccuracy];
        bestAccuracyText_->setText(QStringLiteral("%1（%2、正解 %3）")
                                       .arg(PercentText(p.accuracy), PointText(p))
                                       .arg(p.correct));
    } else {
        bestAccuracyText_->setText(kNoFigure);
    }
    view_->setAccessibleDescription(QStringLiteral("%1。%2 回の記録。最近の速さ %3 /秒")
                                        .arg(seriesName)
                                        .arg(shown_->points.size())
                                        .arg(FigureText(newest.movingRate, 2)));
}

}  // namespace keta
