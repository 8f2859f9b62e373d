// Numbers read from text as the C runtime reads them, including the cases where it would overflow.
#include "core/number_text.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>

namespace kivo {
namespace {

TEST(NumberText, AtoiReadsLeadingIntegerAndIgnoresTheRest) {
    EXPECT_EQ(atoiLike(""), 0);
    EXPECT_EQ(atoiLike("abc"), 0);
    EXPECT_EQ(atoiLike("  42abc"), 42);
    EXPECT_EQ(atoiLike("\t\n-7,"), -7);
    EXPECT_EQ(atoiLike("+5"), 5);
    EXPECT_EQ(atoiLike("- 5"), 0);
    EXPECT_EQ(atoiLike("--5"), 0);
    EXPECT_EQ(atoiLike("12 34"), 12);
    EXPECT_EQ(atoiLike("0007"), 7);
    EXPECT_EQ(atoiLike("-001"), -1);
}

TEST(NumberText, AtoiClampsInsteadOfOverflowing) {
    EXPECT_EQ(atoiLike("2147483647"), INT_MAX);
    EXPECT_EQ(atoiLike("-2147483648"), INT_MIN);
    EXPECT_EQ(atoiLike("2147483648"), INT_MAX);
    EXPECT_EQ(atoiLike("-2147483649"), INT_MIN);
    EXPECT_EQ(atoiLike(std::string(300, '9')), INT_MAX);
    EXPECT_EQ(atoiLike("-" + std::string(300, '9')), INT_MIN);
}

TEST(NumberText, AtolUsesTheRangeOfLong) {
    EXPECT_EQ(atolLike("-"), 0L);
    EXPECT_EQ(atolLike(" 123456x"), 123456L);
    EXPECT_EQ(atolLike(std::string(40, '7')), LONG_MAX);
    EXPECT_EQ(atolLike("-" + std::string(40, '7')), LONG_MIN);
}

TEST(NumberText, AtofReadsLeadingDecimalNumber) {
    EXPECT_DOUBLE_EQ(atofLike("1.5kg"), 1.5);
    EXPECT_DOUBLE_EQ(atofLike("  -2.5e1"), -25.0);
    EXPECT_DOUBLE_EQ(atofLike(".5"), 0.5);
    EXPECT_DOUBLE_EQ(atofLike("+3"), 3.0);
    EXPECT_DOUBLE_EQ(atofLike("3,75"), 3.0); // the decimal point is "." whatever the locale
    EXPECT_DOUBLE_EQ(atofLike("abc"), 0.0);
    EXPECT_DOUBLE_EQ(atofLike("+-1"), 0.0);
    EXPECT_DOUBLE_EQ(atofLike(""), 0.0);
}

TEST(NumberText, AtofOutOfRangeGivesInfinityOrZero) {
    EXPECT_TRUE(std::isinf(atofLike("1e999")));
    EXPECT_LT(atofLike("-1e999"), 0.0);
    EXPECT_DOUBLE_EQ(atofLike("1e-999"), 0.0);
}

} // namespace
} // namespace kivo
