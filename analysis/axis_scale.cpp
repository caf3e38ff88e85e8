#include "axis_scale.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace keta::analysis {

AxisScale RoundScale(double low, double high, int maxIntervals) {
    maxIntervals = std::max(1, maxIntervals);
    if (!std::isfinite(low) || !std::isfinite(high)) low = high = 0.0;
    if (high < low) std::swap(low, high);
    if (high - low <= 0.0) high = low + std::max(std::abs(low), 1.0);
    const double span = high - low;
    // A hair of slack so that a bound that is already a multiple of the step stays the bound
    // despite the binary error of the division.
    constexpr double kSlack = 1e-9;
    const double magnitude = std::pow(10.0, std::floor(std::log10(span / maxIntervals)));
    AxisScale scale;
    for (const double factor : {1.0, 2.0, 5.0, 10.0, 20.0, 50.0, 100.0}) {
        const double step = factor * magnitude;
        const double first = std::floor(low / step + kSlack);
        double last = std::ceil(high / step - kSlack);
        if (last <= first) last = first + 1.0;
        const auto intervals = static_cast<int>(std::lround(last - first));
        if (intervals > maxIntervals) continue;
        scale.step = step;
        scale.low = first * step;
        scale.high = last * step;
        scale.intervals = intervals;
        scale.decimals = std::max(0, static_cast<int>(-std::floor(std::log10(step) + kSlack)));
        return scale;
    }
    return scale;
}

}  // namespace keta::analysis
