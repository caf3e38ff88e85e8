#pragma once
// The drill's only clock: the time of day in seconds with a fraction.

namespace keta {

class Clock {
public:
    virtual ~Clock() = default;
    // Seconds since local midnight of the day the program started. Grows past 86 400 after
    // midnight instead of wrapping to 0, so that a round that runs across midnight times right.
    virtual double SecondsSinceMidnight() = 0;
};

}  // namespace keta
