#include "stats.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <vector>

namespace keta::analysis {

std::optional<double> Ratio(double numerator, double denominator) {
    if (denominator == 0.0 || !std::isfinite(numerator) || !std::isfinite(denominator)) {
        return std::nullopt;
    }
    return numerator / denominator;
}

namespace {

// Selection rather than a full sort: only the two ranks around h are needed.
std::optional<double> SelectQuantile(std::vector<double>& values, double q) {
    if (values.empty() || !(q >= 0.0 && q <= 1.0)) return std::nullopt;
    const double h = static_cast<double>(values.size() - 1) * q;
    const auto lower = static_cast<std::size_t>(std::floor(h));
    const auto at = values.begin() + static_cast<std::ptrdiff_t>(lower);
    std::nth_element(values.begin(), at, values.end());
    const double fraction = h - static_cast<double>(lower);
    if (lower + 1 >= values.size() || fraction == 0.0) return *at;
    const double upper = *std::min_element(at + 1, values.end());
    return *at + fraction * (upper - *at);
}

}  // namespace

std::optional<double> Quantile(std::span<const double> sample, double q) {
    std::vector<double> values(sample.begin(), sample.end());
    return SelectQuantile(values, q);
}

std::optional<double> Quantile(std::span<const std::int64_t> sample, double q) {
    std::vector<double> values;
    values.reserve(sample.size());
    for (const std::int64_t v : sample) values.push_back(static_cast<double>(v));
    return SelectQuantile(values, q);
}

std::optional<double> LeastSquaresSlope(std::span<const double> x, std::span<const double> y) {
    if (x.size() != y.size() || x.size() < 2) return std::nullopt;
    const auto n = static_cast<double>(x.size());
    double meanX = 0.0;
    double meanY = 0.0;
    for (std::size_t i = 0; i < x.size(); ++i) {
        meanX += x[i];
        meanY += y[i];
    }
    meanX /= n;
    meanY /= n;
    double sxy = 0.0;
    double sxx = 0.0;
    for (std::size_t i = 0; i < x.size(); ++i) {
        sxy += (x[i] - meanX) * (y[i] - meanY);
        sxx += (x[i] - meanX) * (x[i] - meanX);
    }
    return Ratio(sxy, sxx);
}

}  // namespace keta::analysis
