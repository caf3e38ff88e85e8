#pragma once
// The session's clock on the desktop: a steady timer that a change of the time of day or a
// time-zone switch cannot move.

#include <QElapsedTimer>
#include <memory>

#include "practice_session.h"

namespace keta {

class ElapsedClock : public MonotonicClock {
public:
    ElapsedClock() { timer_.start(); }
    std::int64_t NowMs() override { return timer_.elapsed(); }

private:
    QElapsedTimer timer_;
};

// The clock a practice window runs on: the one it was given (a test's), or one of its own.
class WindowClock {
public:
    explicit WindowClock(MonotonicClock* given)
        : own_(given == nullptr ? std::make_unique<ElapsedClock>() : nullptr),
          clock_(given == nullptr ? own_.get() : given) {}
    MonotonicClock& operator*() const { return *clock_; }
    MonotonicClock* operator->() const { return clock_; }

private:
    std::unique_ptr<MonotonicClock> own_;
    MonotonicClock* clock_;
};

}  // namespace keta
