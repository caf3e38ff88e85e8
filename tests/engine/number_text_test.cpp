#include "number_text.h"

#include <gtest/gtest.h>

#include <cmath>

namespace keta {
namespace {

TEST(ReadNumber, LeadingNumberOfTheText) {
    EXPECT_EQ(ReadNumber("7"), 7);
    EXPECT_EQ(ReadNumber("12"), 12);
    EXPECT_EQ(ReadNumber(""), 0);
    EXPECT_EQ(ReadNumber("a"), 0);
    EXPECT_EQ(ReadNumber(" "), 0);
    EXPECT_EQ(ReadNumber("-"), 0);
    EXPECT_EQ(ReadNumber("."), 0);
    EXPECT_EQ(ReadNumber("3x9"), 3);
    EXPECT_EQ(ReadNumber("  4"), 4);
    EXPECT_EQ(ReadNumber("1 2"), 12);  // blanks are skipped, not an end
    EXPECT_EQ(ReadNumber("\t-2.5e1z"), -25);
    EXPECT_EQ(ReadNumber("1.2.3"), 1.2);
    EXPECT_EQ(ReadNumber("5e"), 5);
    EXPECT_EQ(ReadNumber("5e+"), 5);
    EXPECT_EQ(ReadNumber("180秒"), 180);
    EXPECT_EQ(ReadNumber("+3"), 3);
}

TEST(ReadNumber, FullWidthFormsReadLikeAscii) {
    EXPECT_EQ(ReadNumber("５"), 5);
    EXPECT_EQ(ReadNumber("１２"), 12);
    EXPECT_EQ(ReadNumber("－３"), -3);
    EXPECT_EQ(ReadNumber("　９"), 9);  // ideographic space
    EXPECT_EQ(ReadNumber("ａ"), 0);
}

TEST(ReadNumber, OutOfRangeGivesInfinityNotACrash) {
    EXPECT_TRUE(std::isinf(ReadNumber("1e999")));
    EXPECT_EQ(ReadNumber(std::string(5000, '9')), ReadNumber("9.99999e4999"));
}

TEST(NumberPatterns, PercentRoundsHalvesAwayFromZero) {
    EXPECT_EQ(FormatPercent(1.0), "100.0%");
    EXPECT_EQ(FormatPercent(0.0), "0.0%");
    EXPECT_EQ(FormatPercent(2.0 / 3), "66.7%");
    EXPECT_EQ(FormatPercent(1.0 / 16), "6.3%");  // exact half
    EXPECT_EQ(FormatPercent(3.0 / 80), "3.8%");  // near-half settled as a half
    EXPECT_EQ(FormatPercent(22.0 / 25), "88.0%");
    EXPECT_EQ(FormatPercent(1.0 / 3), "33.3%");
    EXPECT_EQ(FormatPercent(0.00049), "0.0%");
    EXPECT_EQ(FormatPercent(0.0005), "0.1%");
}

TEST(NumberPatterns, PerSecond) {
    EXPECT_EQ(FormatPerSecond(0.0), "0.00/秒");
    EXPECT_EQ(FormatPerSecond(131.0 / 60), "2.18/秒");
    EXPECT_EQ(FormatPerSecond(22.0 / 60), "0.37/秒");
    EXPECT_EQ(FormatPerSecond(3.0 / 40), "0.08/秒");  // near-half settled as a half
    EXPECT_EQ(FormatPerSecond(1.0 / 8), "0.13/秒");   // exact half
    EXPECT_EQ(FormatPerSecond(999.995), "1000.00/秒");
    EXPECT_EQ(FormatPerSecond(12345.0), "12345.00/秒");  // no digit grouping
    EXPECT_EQ(FormatPerSecond(-1.0 / 8), "-0.13/秒");
    EXPECT_EQ(FormatPerSecond(-0.001), "0.00/秒");  // no minus sign on a zero
}

TEST(NumberPatterns, ZeroDivisorNeverShowsInfinity) {
    EXPECT_EQ(FormatPerSecond(SafeRatio(5, 0)), "0.00/秒");
    EXPECT_EQ(FormatPercent(SafeRatio(0, 0)), "0.0%");
    EXPECT_EQ(FormatFixed(std::nan(""), 2), "0.00");
}

}  // namespace
}  // namespace keta
