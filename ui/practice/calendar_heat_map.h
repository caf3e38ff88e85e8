#pragma once
// The last 53 weeks as a grid of days: a column per week, a row per weekday (Sunday on top),
// each cell coloured by its minutes of practice. A mouse rest shows the day's tooltip; the
// arrow keys move a focus cell whose text is the widget's accessible name, so that a screen
// reader reads the day it is on.

#include <QString>
#include <QWidget>

#include "practice_calendar.h"

namespace keta {

class CalendarHeatMap : public QWidget {
    Q_OBJECT
public:
    explicit CalendarHeatMap(QWidget* parent = nullptr);

    // Shows `calendar`; the focus cell goes to its last day (today).
    void SetCalendar(analysis::PracticeCalendar calendar);
    const analysis::PracticeCalendar& Calendar() const { return calendar_; }

    // "2026/12/07 （月） 12 分・5 回" ("12 分・5 回（苦手克服 2 回を含む）" on a day with focus
    // rounds; " 目標達成" after it on a day that reached the goal).
    static QString DayText(const analysis::CalendarDay& day);
    // The focus cell's index into Calendar().days, and the widget point at a cell's centre.
    int FocusIndex() const { return focus_; }
    QPoint CellCentre(int index) const;
    static QColor MinutesColour(std::int64_t minutes);
    // A day's cell: grey only for a day without practice.
    static QColor DayColour(const analysis::CalendarDay& day);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    bool event(QEvent* event) override;

private:
    QRect CellRect(int index) const;
    int IndexAt(const QPoint& point) const;
    void MoveFocus(int index);
    // The side of a day's square: the font's height when the width allows, smaller on a
    // narrow screen, so that the whole year always shows.
    int Cell() const;
    int CellFor(int width) const;
    int PreferredCell() const;
    int LeftMargin() const;
    int TopMargin() const;

    analysis::PracticeCalendar calendar_;
    int focus_ = -1;
};

}  // namespace keta
