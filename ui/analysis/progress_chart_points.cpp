// What the progress chart draws, worked out from the series: its points in time and the labels
// of its time axis.

#include <QDate>
#include <QDateTime>
#include <QSet>
#include <algorithm>
#include <map>
#include <span>

#include "progress_chart.h"

namespace keta {
namespace {

constexpr qint64 kHour = qint64{3600} * 1000;
constexpr qint64 kDay = 24 * kHour;

int Digits(const std::string& text, std::size_t at, std::size_t count) {
    int value = 0;
    for (std::size_t i = at; i < at + count; ++i) value = value * 10 + (text[i] - '0');
    return value;
}

// Chart positions in local time. The points have checked stamps ("yyyy/mm/dd", "hh:mm:ss"),
// so the digits can be taken as they stand; the start of each day is looked up once.
class StampClock {
public:
    qint64 DayStart(const std::string& date) {
        auto it = days_.find(date);
        if (it == days_.end()) {
            const QDate day(Digits(date, 0, 4), Digits(date, 5, 2), Digits(date, 8, 2));
            it = days_.emplace(date, day.startOfDay().toMSecsSinceEpoch()).first;
        }
        return it->second;
    }
    qint64 MsecsOf(const analysis::ProgressPoint& p) {
        const int seconds =
            Digits(p.time, 0, 2) * 3600 + Digits(p.time, 3, 2) * 60 + Digits(p.time, 6, 2);
        return DayStart(p.date) + qint64{seconds} * 1000;
    }

private:
    std::map<std::string, qint64> days_;
};

}  // namespace

ProgressChart::ChartPoints ProgressChart::PointsFor(const analysis::ProgressSeries& series,
                                                    const analysis::ProgressSpan& span, bool perDay,
                                                    std::size_t mostMarkers, std::size_t slices) {
    ChartPoints out;
    const std::vector<analysis::ProgressPoint>& points = series.points;
    if (span.begin >= span.end) return out;
    StampClock clock;
    const auto at = [&](std::size_t i) { return static_cast<double>(clock.MsecsOf(points[i])); };
    if (perDay) {
        const auto noon = [&](std::size_t d) {
            return static_cast<double>(clock.DayStart(series.days[d].date) + 12 * kHour);
        };
        for (std::size_t d = span.dayBegin; d < span.dayEnd; ++d) {
            const analysis::DayFigures& day = series.days[d];
            const double x = noon(d);
            out.moving.append({x, day.medianRate});
            out.movingIndex.push_back(d);
            if (day.medianAccuracy) out.accuracy.append({x, *day.medianAccuracy * 100.0});
        }
        // Each day's range, or with more days than that the range over runs of days: filling
        // a band of a thousand spikes takes longer than the rest of the chart together, and
        // shows no more on a chart a few hundred pixels wide.
        const std::size_t days = span.dayEnd - span.dayBegin;
        const std::size_t runs = days <= mostMarkers || slices == 0 ? days : std::min(slices, days);
        for (std::size_t k = 0; k < runs; ++k) {
            const std::size_t begin = span.dayBegin + k * days / runs;
            const std::size_t end = span.dayBegin + (k + 1) * days / runs;
            double low = series.days[begin].lowestRate, high = series.days[begin].highestRate;
            for (std::size_t d = begin; d < end; ++d) {
                low = std::min(low, series.days[d].lowestRate);
                high = std::max(high, series.days[d].highestRate);
            }
            const double x = (noon(begin) + noon(end - 1)) / 2.0;
            out.low.append({x, low});
            out.high.append({x, high});
        }
    } else {
        const std::size_t count = span.end - span.begin;
        const auto addAverages = [&](std::size_t i, double x) {
            out.moving.append({x, points[i].movingRate});
            if (points[i].movingAccuracy)
                out.accuracy.append({x, *points[i].movingAccuracy * 100.0});
        };
        if (count <= mostMarkers || slices == 0) {
            for (std::size_t i = span.begin; i < span.end; ++i) {
                const double x = at(i);
                out.raw.append({x, points[i].rate});
                out.rawIndex.push_back(i);
                addAverages(i, x);
            }
        } else {
            slices = std::min(slices, count);
            addAverages(span.begin, at(span.begin));
            for (std::size_t k = 0; k < slices; ++k) {
                const std::size_t begin = span.begin + k * count / slices;
                const std::size_t end = span.begin + (k + 1) * count / slices;
                double low = points[begin].rate, high = low;
                for (std::size_t i = begin; i < end; ++i) {
                    low = std::min(low, points[i].rate);
                    high = std::max(high, points[i].rate);
                }
                const double x = (at(begin) + at(end - 1)) / 2.0;
                out.low.append({x, low});
                out.high.append({x, high});
                out.runs.emplace_back(begin, end);
                addAverages(end - 1, at(end - 1));
            }
        }
    }
    out.bestRateIndex = span.bestRate;
    out.bestAccuracyIndex = span.bestAccuracy;
    if (span.bestRate) out.bestRate = QPointF(at(*span.bestRate), points[*span.bestRate].rate);
    if (span.bestAccuracy) {
        const analysis::ProgressPoint& p = points[*span.bestAccuracy];
        out.bestAccuracy = QPointF(at(*span.bestAccuracy), p.accuracy.value_or(0.0) * 100.0);
    }
    return out;
}

QList<QPair<qint64, QString>> ProgressChart::DateTicks(qint64 from, qint64 to, int most) {
    QList<QPair<qint64, QString>> ticks;
    if (to <= from || most < 1) return ticks;
    const qint64 span = to - from;
    const QString format = span <= kDay         ? QStringLiteral("HH:mm")
                           : span <= 366 * kDay ? QStringLiteral("MM/dd")
                                                : QStringLiteral("yyyy/MM");
    struct Step {
        qint64 minutes;
        int days;
        int months;
    };
    // Times only where the labels are times (minutes for the rounds of one sitting), whole
    // days only where they show the day.
    static const Step kHours[] = {{5, 0, 0},   {10, 0, 0},  {15, 0, 0},  {30, 0, 0}, {60, 0, 0},
                                  {120, 0, 0}, {180, 0, 0}, {360, 0, 0}, {720, 0, 0}};
    static const Step kDays[] = {{0, 1, 0}, {0, 2, 0}, {0, 7, 0}, {0, 14, 0},
                                 {0, 0, 1}, {0, 0, 2}, {0, 0, 3}, {0, 0, 6}};
    static const Step kMonths[] = {{0, 0, 1},  {0, 0, 2},  {0, 0, 3},  {0, 0, 6},
                                   {0, 0, 12}, {0, 0, 24}, {0, 0, 60}, {0, 0, 120}};
    const std::span<const Step> steps = format == u"HH:mm"   ? std::span<const Step>(kHours)
                                        : format == u"MM/dd" ? std::span<const Step>(kDays)
                                                             : std::span<const Step>(kMonths);
    const QDate first = QDateTime::fromMSecsSinceEpoch(from).date();
    for (const Step& step : steps) {
        ticks.clear();
        QSet<QString> seen;
        bool fits = true;
        const auto add = [&](qint64 t) {
            const QString label = QDateTime::fromMSecsSinceEpoch(t).toString(format);
            if (ticks.size() >= most || seen.contains(label)) {
                fits = false;
                return;
            }
            seen.insert(label);
            ticks.append({t, label});
        };
        if (step.minutes > 0) {
            const qint64 dayStart = first.startOfDay().toMSecsSinceEpoch();
            const qint64 every = step.minutes * kHour / 60;
            for (qint64 t = dayStart + (from - dayStart + every - 1) / every * every;
                 fits && t <= to; t += every) {
                add(t);
            }
        } else if (step.days > 0) {
            QDate d = first;
            while (d.startOfDay().toMSecsSinceEpoch() < from || d.toJulianDay() % step.days != 0)
                d = d.addDays(1);
            for (; fits && d.startOfDay().toMSecsSinceEpoch() <= to; d = d.addDays(step.days))
                add(d.startOfDay().toMSecsSinceEpoch());
        } else {
            QDate d(first.year(), first.month(), 1);
            while (d.startOfDay().toMSecsSinceEpoch() < from ||
                   (d.year() * 12 + d.month() - 1) % step.months != 0)
                d = d.addMonths(1);
            for (; fits && d.startOfDay().toMSecsSinceEpoch() <= to; d = d.addMonths(step.months))
                add(d.startOfDay().toMSecsSinceEpoch());
        }
        if (fits) return ticks;
    }
    return ticks;  // the widest step, cut at `most`
}

}  // namespace keta
