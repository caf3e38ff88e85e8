#pragma once
// The time of day for the drill, counted from midnight of the day the program started, so that
// it keeps growing across midnight instead of starting again at 0.

#include <QDateTime>

#include "clock.h"

namespace keta {

class WallClock : public Clock {
public:
    // startOfDay copes with the days on which a time-zone change skips midnight itself.
    WallClock() : midnight_(QDate::currentDate().startOfDay().toMSecsSinceEpoch()) {}
    double SecondsSinceMidnight() override {
        return static_cast<double>(QDateTime::currentMSecsSinceEpoch() - midnight_) / 1000.0;
    }

private:
    qint64 midnight_;
};

}  // namespace keta
