#include "session_curve_view.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>

#include "analysis/chart_support.h"

namespace keta {

SessionCurveView::SessionCurveView(QWidget* parent) : QWidget(parent) {
    setFocusPolicy(Qt::StrongFocus);  // reachable with Tab, so its data can be read out
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    setBackgroundRole(QPalette::Base);
    setAutoFillBackground(true);
}

void SessionCurveView::SetData(const QString& title, const QString& acrossTitle,
                               const QString& upTitle, std::vector<CurveSeries> series,
                               std::vector<std::pair<double, QString>> ticks, double low,
                               double high, const QString& gapLabel, double gapX,
                               const QString& table) {
    title_ = title;
    acrossTitle_ = acrossTitle;
    upTitle_ = upTitle;
    series_ = std::move(series);
    ticks_ = std::move(ticks);
    low_ = low;
    high_ = high > low ? high : low + 1.0;
    gapLabel_ = gapLabel;
    gapX_ = gapX;
    setAccessibleName(title);
    setAccessibleDescription(table);
    setToolTip(table);
    update();
}

void SessionCurveView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setFont(font());
    const QFontMetrics fm(font());
    const int line = fm.height();

    double top = 0.0;
    for (const CurveSeries& s : series_) {
        for (const QPointF& pt : s.points) top = std::max(top, pt.y());
    }
    const AxisScale scale = RoundScale(0.0, std::max(top, 1.0), 5);
    QString widest;
    for (int i = 0; i <= scale.intervals; ++i) {
        const QString t = FigureText(scale.low + i * scale.step, scale.decimals);
        if (t.size() > widest.size()) widest = t;
    }
    const QRectF plot(fm.horizontalAdvance(widest) + line + 10, 2.5 * line,
                      width() - fm.horizontalAdvance(widest) - line - 24, height() - 5.0 * line);
    if (plot.width() < 20 || plot.height() < 20) return;
    const auto xAt = [&](double x) {
        return plot.left() + (x - low_) / (high_ - low_) * plot.width();
    };
    const auto yAt = [&](double y) {
        return plot.bottom() - (y - scale.low) / (scale.high - scale.low) * plot.height();
    };

    p.drawText(QRectF(0, 0, width(), line * 1.2), Qt::AlignHCenter, title_);
    p.setPen(palette().color(QPalette::Mid));
    for (int i = 0; i <= scale.intervals; ++i) {
        const double v = scale.low + i * scale.step;
        p.drawLine(QPointF(plot.left(), yAt(v)), QPointF(plot.right(), yAt(v)));
    }
    p.setPen(palette().color(QPalette::Text));
    p.drawRect(plot);
    for (int i = 0; i <= scale.intervals; ++i) {
        const double v = scale.low + i * scale.step;
        p.drawText(QRectF(0, yAt(v) - line / 2.0, plot.left() - 4, line),
                   Qt::AlignRight | Qt::AlignVCenter, FigureText(v, scale.decimals));
    }
    // Labels across, skipping those that would overlap the one before.
    double lastRight = -1e9;
    for (const auto& [x, text] : ticks_) {
        const double w = fm.horizontalAdvance(text);
        const double cx = xAt(x);
        if (cx - w / 2 < lastRight + 4) continue;
        p.drawLine(QPointF(cx, plot.bottom()), QPointF(cx, plot.bottom() + 4));
        p.drawText(QRectF(cx - w / 2 - 2, plot.bottom() + 4, w + 4, line), Qt::AlignCenter, text);
        lastRight = cx + w / 2;
    }
    if (!gapLabel_.isEmpty()) {
        // A shaded band where no line runs, its name written top to bottom so that it fits however
        // narrow it is.
        const double half = std::max(xAt(gapX_ + 0.5) - xAt(gapX_), line * 0.6);
        p.fillRect(QRectF(xAt(gapX_) - half, plot.top() + 1, 2 * half, plot.height() - 2),
                   palette().color(QPalette::AlternateBase));
        QStringList upright;
        for (const QChar c : gapLabel_) upright << QString(c);
        p.drawText(QRectF(xAt(gapX_) - half, plot.top(), 2 * half, plot.height()), Qt::AlignCenter,
                   upright.join(QLatin1Char('\n')));
    }
    p.drawText(QRectF(plot.left(), plot.bottom() + line + 6, plot.width(), line), Qt::AlignCenter,
               acrossTitle_);
    p.save();
    p.translate(line * 0.2, plot.center().y());
    p.rotate(-90);
    p.drawText(QRectF(-plot.height() / 2, 0, plot.height(), line), Qt::AlignCenter, upTitle_);
    p.restore();

    const double r = std::max(3.0, line / 4.0);
    for (const CurveSeries& s : series_) {
        p.setPen(QPen(s.colour, 2));
        if (s.joined && s.points.size() > 1) {
            QPainterPath path(QPointF(xAt(s.points[0].x()), yAt(s.points[0].y())));
            for (std::size_t i = 1; i < s.points.size(); ++i)
                path.lineTo(xAt(s.points[i].x()), yAt(s.points[i].y()));
            p.drawPath(path);
        }
        for (const QPointF& pt : s.points) {
            const QPointF c(xAt(pt.x()), yAt(pt.y()));
            if (s.crossMarks) {
                p.drawLine(c + QPointF(-r, -r), c + QPointF(r, r));
                p.drawLine(c + QPointF(-r, r), c + QPointF(r, -r));
            } else {
                p.setBrush(s.colour);
                p.drawEllipse(c, r, r);
                p.setBrush(Qt::NoBrush);
            }
        }
    }
    // The legend, one entry per name, along the top.
    double x = plot.left();
    QStringList seen;
    for (const CurveSeries& s : series_) {
        if (s.name.isEmpty() || seen.contains(s.name)) continue;
        seen << s.name;
        const QPointF c(x + r, 1.7 * line);
        p.setPen(QPen(s.colour, 2));
        if (s.crossMarks) {
            p.drawLine(c + QPointF(-r, -r), c + QPointF(r, r));
            p.drawLine(c + QPointF(-r, r), c + QPointF(r, -r));
        } else {
            p.setBrush(s.colour);
            p.drawEllipse(c, r, r);
            p.setBrush(Qt::NoBrush);
        }
        p.setPen(palette().color(QPalette::Text));
        const double w = fm.horizontalAdvance(s.name);
        p.drawText(QRectF(x + 2 * r + 4, 1.2 * line, w + 2, line), Qt::AlignLeft, s.name);
        x += 2 * r + w + 20;
    }
}

}  // namespace keta
