#include "stats.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <vector>

namespace keta::analysis {
namespace {

struct QuantileCase {
    std::vector<double> sample;
    double q;
    std::optional<double> expected;
};

TEST(Stats, QuantileInterpolatesBetweenClosestRanks) {
    const QuantileCase cases[] = {
        {{}, 0.5, std::nullopt},
        {{5}, 0.5, 5.0},
        {{5}, 0.9, 5.0},
        {{3, 1, 2}, 0.5, 2.0},                        // unsorted input
        {{4, 1, 3, 2}, 0.5, 2.5},                     // even count: mean of the middle two
        {{1, 2, 3, 4, 5, 6, 7, 8, 9, 10}, 0.9, 9.1},  // h = 8.1
        {{10, 20}, 0.9, 19.0},                        // h = 0.9
        {{10, 20}, 0.0, 10.0},
        {{10, 20}, 1.0, 20.0},
        {{10, 20}, 1.5, std::nullopt},
        {{10, 20}, -0.1, std::nullopt},
    };
    for (const auto& c : cases) {
        const auto got = Quantile(c.sample, c.q);
        ASSERT_EQ(got.has_value(), c.expected.has_value()) << "q=" << c.q;
        if (got) {
            EXPECT_NEAR(*got, *c.expected, 1e-12) << "q=" << c.q;
        }
    }
    const std::vector<std::int64_t> ints{700, 100, 400};
    EXPECT_DOUBLE_EQ(Median(std::span<const std::int64_t>(ints)).value(), 400.0);
    EXPECT_EQ(ints[0], 700);  // the caller's sample is not reordered
}

TEST(Stats, SlopeAndRatioAreUndefinedRatherThanDividingByZero) {
    const std::vector<double> x{0, 1, 2};
    const std::vector<double> y{1, 3, 5};
    EXPECT_DOUBLE_EQ(LeastSquaresSlope(x, y).value(), 2.0);
    const std::vector<double> y2{2, 1, 3};  // ȳ = 2, Σdxdy = 1, Σdx² = 2
    EXPECT_DOUBLE_EQ(LeastSquaresSlope(x, y2).value(), 0.5);
    const std::vector<double> same{3, 3, 3};
    EXPECT_FALSE(LeastSquaresSlope(same, y).has_value());
    EXPECT_FALSE(LeastSquaresSlope(std::vector<double>{1}, std::vector<double>{1}));
    EXPECT_FALSE(LeastSquaresSlope(x, std::vector<double>{1, 2}));

    EXPECT_FALSE(Ratio(1, 0).has_value());
    EXPECT_FALSE(Ratio(0, 0).has_value());
    EXPECT_DOUBLE_EQ(Ratio(0, 5).value(), 0.0);
    EXPECT_DOUBLE_EQ(Ratio(3, 4).value(), 0.75);
}

}  // namespace
}  // namespace keta::analysis
