#pragma once
// The session's clock on the desktop: a steady timer that a change of the time of day or a
// time-zone switch cannot move.

#include <QElapsedTimer>

#include "practice_session.h"

namespace keta {

class ElapsedClock : public MonotonicClock {
public:
    ElapsedClock() { timer_.start(); }
    std::int64_t NowMs() override { return timer_.elapsed(); }

private:
    QElapsedTimer timer_;
};

}  // namespace keta
