#pragma once
// The count axis of a chart on round ticks. Standard library only, so that the desktop's charts
// and the browser edition's curve put their ticks at the same values.

namespace keta::analysis {

// An axis range on round ticks: every tick a multiple of `step`, which is 1, 2 or 5 × 10^n,
// from `low` to `high` in `intervals` steps; `decimals` is what the step needs to be read.
struct AxisScale {
    double low = 0.0;
    double high = 1.0;
    double step = 0.2;
    int intervals = 5;
    int decimals = 1;
};
// The smallest such range that holds [low, high] in at most `maxIntervals` steps (an empty
// or reversed range is widened to hold at least one step).
AxisScale RoundScale(double low, double high, int maxIntervals = 6);

}  // namespace keta::analysis
