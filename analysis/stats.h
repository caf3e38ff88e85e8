#pragma once
// Small order statistics shared by the figures. A figure that has no value (an empty sample, a
// zero denominator) is std::nullopt everywhere in this library, never NaN and never a division
// by zero; a window shows it as "なし".

#include <cstdint>
#include <optional>
#include <span>

namespace keta::analysis {

// numerator ÷ denominator; nullopt when the denominator is 0 (or either is not finite).
std::optional<double> Ratio(double numerator, double denominator);

// Quantile q (0..1) by linear interpolation between closest ranks: with the sample sorted as
// x[0] <= ... <= x[n-1], h = (n − 1)·q, result = x[⌊h⌋] + (h − ⌊h⌋)·(x[⌊h⌋+1] − x[⌊h⌋]).
// The median (q = 0.5) of an even count is the mean of the two middle values.
// nullopt for an empty sample. The sample is copied; the argument is left as it is.
std::optional<double> Quantile(std::span<const double> sample, double q);
std::optional<double> Quantile(std::span<const std::int64_t> sample, double q);
inline std::optional<double> Median(std::span<const double> sample) {
    return Quantile(sample, 0.5);
}
inline std::optional<double> Median(std::span<const std::int64_t> sample) {
    return Quantile(sample, 0.5);
}

// Least-squares slope of y over x: Σ(x − x̄)(y − ȳ) ÷ Σ(x − x̄)². nullopt with fewer than two
// points, unequal lengths, or when every x is the same.
std::optional<double> LeastSquaresSlope(std::span<const double> x, std::span<const double> y);

}  // namespace keta::analysis
