// Tests of the leading-number and date readers behind the list's column sort.
#include "controls/sort_keys.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace kivo {
namespace {

TEST(LeadingLong, ReadsAsAtolDoes) {
    EXPECT_EQ(leadingLong(u"42"), 42);
    EXPECT_EQ(leadingLong(u"  \t-12abc"), -12);
    EXPECT_EQ(leadingLong(u"+7 days"), 7);
    EXPECT_EQ(leadingLong(u"-"), 0);
    EXPECT_EQ(leadingLong(u""), 0);
    EXPECT_EQ(leadingLong(u"x5"), 0);
    EXPECT_EQ(leadingLong(u"--5"), 0);
    EXPECT_EQ(leadingLong(u"1 2"), 1);
    EXPECT_EQ(leadingLong(u"99999999999999999999999"), std::numeric_limits<long long>::max());
    EXPECT_EQ(leadingLong(u"-99999999999999999999999"), std::numeric_limits<long long>::min());
}

TEST(LeadingDouble, ReadsAsAtofDoesWhateverTheLocale) {
    EXPECT_DOUBLE_EQ(leadingDouble(u"1.5"), 1.5);
    EXPECT_DOUBLE_EQ(leadingDouble(u" +2.25kg"), 2.25);
    EXPECT_DOUBLE_EQ(leadingDouble(u"-2e1"), -20.0);
    EXPECT_DOUBLE_EQ(leadingDouble(u".5"), 0.5);
    EXPECT_DOUBLE_EQ(leadingDouble(u"1e"), 1.0);
    EXPECT_DOUBLE_EQ(leadingDouble(u"3,5"), 3.0); // the comma is never a decimal point here
    EXPECT_DOUBLE_EQ(leadingDouble(u"0x1p3"), 8.0);
    EXPECT_DOUBLE_EQ(leadingDouble(u"0xz"), 0.0);
    EXPECT_DOUBLE_EQ(leadingDouble(u"-"), 0.0);
    EXPECT_DOUBLE_EQ(leadingDouble(u"--1"), 0.0);
    EXPECT_DOUBLE_EQ(leadingDouble(u"abc"), 0.0);
    EXPECT_TRUE(std::isnan(leadingDouble(u"nan")));
}

TEST(LeadingDouble, OutOfRangeGivesInfinityOrZeroAsAtofDoes) {
    EXPECT_EQ(leadingDouble(u"1e400"), std::numeric_limits<double>::infinity());
    EXPECT_EQ(leadingDouble(u"-1e400"), -std::numeric_limits<double>::infinity());
    EXPECT_EQ(leadingDouble(u"123456e-400"), 0.0);
    EXPECT_EQ(leadingDouble(u"0.0001e-330"), 0.0);
    EXPECT_EQ(leadingDouble(QString(400, u'9')), std::numeric_limits<double>::infinity());
}

TEST(DateOrder, FollowsTheFormatOrThePattern) {
    EXPECT_EQ(dateOrderFromFormat(u"%d/%m/%Y"), (DateOrder{'d', 'm', 'y'}));
    EXPECT_EQ(dateOrderFromFormat(u"%m/%d/%Y"), (DateOrder{'m', 'd', 'y'}));
    EXPECT_EQ(dateOrderFromFormat(u"%Y-%m-%d"), (DateOrder{'y', 'm', 'd'}));
    EXPECT_EQ(dateOrderFromFormat(u"%#d.%#m.%y"), (DateOrder{'d', 'm', 'y'}));
    EXPECT_EQ(dateOrderFromFormat(u"%%Y %m-%d-%Y"), (DateOrder{'m', 'd', 'y'}));
    EXPECT_EQ(dateOrderFromFormat(u"%Y"), (DateOrder{'d', 'm', 'y'})); // incomplete: the default
    EXPECT_EQ(dateOrderFromLocale(QLocale(QLocale::English, QLocale::UnitedStates)),
              (DateOrder{'m', 'd', 'y'}));
    EXPECT_EQ(dateOrderFromLocale(QLocale(QLocale::German, QLocale::Germany)),
              (DateOrder{'d', 'm', 'y'}));
    EXPECT_EQ(dateOrderFromLocale(QLocale(QLocale::Japanese, QLocale::Japan)),
              (DateOrder{'y', 'm', 'd'}));
}

TEST(DateKey, ReadsRealCalendarDatesInTheGivenOrder) {
    const DateOrder dmy{'d', 'm', 'y'};
    const DateOrder mdy{'m', 'd', 'y'};
    const DateOrder ymd{'y', 'm', 'd'};
    EXPECT_EQ(dateKey(u"07/03/2025", dmy), 20250307);
    EXPECT_EQ(dateKey(u"07/03/2025", mdy), 20250703);
    EXPECT_EQ(dateKey(u"2025-03-07", ymd), 20250307);
    EXPECT_EQ(dateKey(u" 7.3.2025 ", dmy), 20250307);
    EXPECT_EQ(dateKey(u"29/02/2000", dmy), 20000229);
    EXPECT_EQ(dateKey(u"29/02/1900", dmy), std::nullopt); // 1900 was no leap year
    EXPECT_EQ(dateKey(u"29/02/2023", dmy), std::nullopt);
    EXPECT_EQ(dateKey(u"31/04/2023", dmy), std::nullopt);
    EXPECT_EQ(dateKey(u"01/13/2023", dmy), std::nullopt);
    EXPECT_EQ(dateKey(u"00/01/2023", dmy), std::nullopt);
    EXPECT_EQ(dateKey(u"01/01/10000", dmy), std::nullopt);
    EXPECT_EQ(dateKey(u"12/06", dmy), std::nullopt);
    EXPECT_EQ(dateKey(u"1/2/3/4", dmy), std::nullopt);
    EXPECT_EQ(dateKey(u"", dmy), std::nullopt);
    EXPECT_EQ(dateKey(u"-", dmy), std::nullopt);
    // Two-digit years as the platform's parser reads them.
    EXPECT_EQ(dateKey(u"01/01/29", dmy), 20290101);
    EXPECT_EQ(dateKey(u"01/01/30", dmy), 19300101);
}

} // namespace
} // namespace kivo
