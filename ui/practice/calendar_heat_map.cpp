#include "calendar_heat_map.h"

#include <QAccessible>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>
#include <algorithm>

namespace keta {
namespace {

const QString kWeekdays[] = {
    QStringLiteral("日"), QStringLiteral("月"), QStringLiteral("火"), QStringLiteral("水"),
    QStringLiteral("木"), QStringLiteral("金"), QStringLiteral("土"),
};

}  // namespace

CalendarHeatMap::CalendarHeatMap(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("calendarHeatMap"));
    setFocusPolicy(Qt::StrongFocus);
    QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
    setAccessibleDescription(QStringLiteral("矢印キーで日を移ります"));
}

QString CalendarHeatMap::DayText(const analysis::CalendarDay& day) {
    QString text = QStringLiteral("%1/%2/%3 （%4） %5 分・%6 回")
                       .arg(day.date.year, 4, 10, QLatin1Char('0'))
                       .arg(day.date.month, 2, 10, QLatin1Char('0'))
                       .arg(day.date.day, 2, 10, QLatin1Char('0'))
                       .arg(kWeekdays[day.weekday])
                       .arg(analysis::WholeMinutes(day.seconds))
                       .arg(day.rounds);
    // Focus rounds are in the minutes and the count; say how many, so that the count is not
    // taken for the drill's alone.
    if (day.focusRounds > 0)
        text += QStringLiteral("（苦手克服 %1 回を含む）").arg(day.focusRounds);
    if (day.goalReached) text += QStringLiteral(" 目標達成");
    return text;
}

QColor CalendarHeatMap::DayColour(const analysis::CalendarDay& day) {
    // A day of practice under a minute still shows, in the lightest green, as the runs count it.
    if (!analysis::IsPracticeDay(day)) return MinutesColour(0);
    return MinutesColour(std::max<std::int64_t>(1, analysis::WholeMinutes(day.seconds)));
}

QColor CalendarHeatMap::MinutesColour(std::int64_t minutes) {
    // Steps rather than a smooth scale: a few shades are told apart at a glance.
    if (minutes <= 0) return {0xDA, 0xDE, 0xE3};
    if (minutes < 5) return {0xB7, 0xE4, 0xB0};
    if (minutes < 15) return {0x6F, 0xC2, 0x6B};
    if (minutes < 30) return {0x30, 0x9A, 0x3E};
    return {0x15, 0x62, 0x27};
}

namespace {
constexpr int kWeeks = 53;
constexpr int kSmallestCell = 5;
}  // namespace

int CalendarHeatMap::PreferredCell() const { return std::max(12, fontMetrics().height()); }
int CalendarHeatMap::CellFor(int width) const {
    return std::clamp((width - LeftMargin() - 2) / kWeeks - 2, kSmallestCell, PreferredCell());
}
int CalendarHeatMap::Cell() const { return CellFor(width()); }
int CalendarHeatMap::LeftMargin() const {
    return fontMetrics().horizontalAdvance(kWeekdays[3]) + 8;
}
int CalendarHeatMap::TopMargin() const { return fontMetrics().height() + 4; }

QSize CalendarHeatMap::sizeHint() const {
    return {LeftMargin() + kWeeks * (PreferredCell() + 2) + 2,
            TopMargin() + 7 * (PreferredCell() + 2) + 2};
}

QSize CalendarHeatMap::minimumSizeHint() const {
    return {LeftMargin() + kWeeks * (kSmallestCell + 2) + 2,
            TopMargin() + 7 * (kSmallestCell + 2) + 2};
}

int CalendarHeatMap::heightForWidth(int width) const {
    return TopMargin() + 7 * (CellFor(width) + 2) + 2;
}

QRect CalendarHeatMap::CellRect(int index) const {
    const int step = Cell() + 2;
    return {LeftMargin() + (index / 7) * step, TopMargin() + (index % 7) * step, Cell(), Cell()};
}

QPoint CalendarHeatMap::CellCentre(int index) const { return CellRect(index).center(); }

int CalendarHeatMap::IndexAt(const QPoint& point) const {
    const int step = Cell() + 2;
    const int x = point.x() - LeftMargin();
    const int y = point.y() - TopMargin();
    if (x < 0 || y < 0 || y / step >= 7) return -1;
    const int index = (x / step) * 7 + y / step;
    if (index >= static_cast<int>(calendar_.days.size())) return -1;
    return CellRect(index).contains(point) ? index : -1;
}

void CalendarHeatMap::SetCalendar(analysis::PracticeCalendar calendar) {
    calendar_ = std::move(calendar);
    MoveFocus(static_cast<int>(calendar_.days.size()) - 1);
    updateGeometry();
}

void CalendarHeatMap::MoveFocus(int index) {
    if (index < 0 || index >= static_cast<int>(calendar_.days.size())) return;
    focus_ = index;
    setAccessibleName(DayText(calendar_.days[static_cast<std::size_t>(index)]));
    if (QAccessible::isActive()) {
        QAccessibleEvent changed(this, QAccessible::NameChanged);
        QAccessible::updateAccessibility(&changed);
    }
    update();
}

void CalendarHeatMap::keyPressEvent(QKeyEvent* event) {
    // The days run down each week's column, so a row is seven days apart.
    int to = focus_;
    switch (event->key()) {
        case Qt::Key_Up:
            to -= 1;
            break;
        case Qt::Key_Down:
            to += 1;
            break;
        case Qt::Key_Left:
            to -= 7;
            break;
        case Qt::Key_Right:
            to += 7;
            break;
        case Qt::Key_Home:
            to = 0;
            break;
        case Qt::Key_End:
            to = static_cast<int>(calendar_.days.size()) - 1;
            break;
        default:
            QWidget::keyPressEvent(event);
            return;
    }
    MoveFocus(to);
}

void CalendarHeatMap::mousePressEvent(QMouseEvent* event) {
    const int index = IndexAt(event->position().toPoint());
    if (index >= 0) MoveFocus(index);
    QWidget::mousePressEvent(event);
}

bool CalendarHeatMap::event(QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        const int index = IndexAt(help->pos());
        if (index >= 0) {
            QToolTip::showText(help->globalPos(),
                               DayText(calendar_.days[static_cast<std::size_t>(index)]), this,
                               CellRect(index));
        } else {
            QToolTip::hideText();
            event->ignore();
        }
        return true;
    }
    return QWidget::event(event);
}

void CalendarHeatMap::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor text = palette().color(QPalette::WindowText);
    p.setPen(text);
    for (int row : {1, 3, 5}) {
        const QRect r = CellRect(row);
        p.drawText(QRect(0, r.top(), LeftMargin() - 4, r.height()),
                   Qt::AlignRight | Qt::AlignVCenter, kWeekdays[row]);
    }
    int shownMonth = 0;
    int labelsEnd = 0;  // a month's name never runs into the one before
    for (std::size_t i = 0; i < calendar_.days.size(); ++i) {
        const analysis::CalendarDay& day = calendar_.days[i];
        const QRect r = CellRect(static_cast<int>(i));
        // A month's name over the first week that starts in it.
        if (day.weekday == 0 && day.date.month != shownMonth && day.date.day <= 7) {
            shownMonth = day.date.month;
            const QString name = QStringLiteral("%1月").arg(day.date.month);
            const int end = r.left() + fontMetrics().horizontalAdvance(name);
            if (r.left() >= labelsEnd && end <= width()) {
                p.setPen(text);
                p.drawText(QPoint(r.left(), fontMetrics().ascent()), name);
                labelsEnd = end + 4;
            }
        }
        p.setPen(Qt::NoPen);
        p.setBrush(DayColour(day));
        p.drawRoundedRect(r, 2, 2);
        if (day.goalReached) {
            // A dot in the cell: the goal was reached that day.
            p.setBrush(Qt::white);
            const int d = std::max(4, r.width() / 3);
            p.drawEllipse(QRect(r.center().x() - d / 2 + 1, r.center().y() - d / 2 + 1, d, d));
        }
        if (static_cast<int>(i) == focus_ && hasFocus()) {
            p.setBrush(Qt::NoBrush);
            p.setPen(QPen(palette().color(QPalette::Highlight), 2));
            p.drawRect(r.adjusted(-1, -1, 1, 1));
        }
    }
    // This month is named even before a week of it has begun on a Sunday: over the week of its
    // first day, or after the last name when that one is in the way.
    if (!calendar_.days.empty() && calendar_.days.back().date.month != shownMonth) {
        const analysis::CalendarDay& today = calendar_.days.back();
        const int first = std::max(0, static_cast<int>(calendar_.days.size()) - today.date.day);
        const QString name = QStringLiteral("%1月").arg(today.date.month);
        const int left = std::max(CellRect(first).left(), labelsEnd);
        if (left + fontMetrics().horizontalAdvance(name) <= width()) {
            p.setPen(text);
            p.drawText(QPoint(left, fontMetrics().ascent()), name);
        }
    }
}

}  // namespace keta
