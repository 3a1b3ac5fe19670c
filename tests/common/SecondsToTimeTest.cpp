#include "common/SecondsToTime.h"

#include <gtest/gtest.h>

#include <limits>

namespace clip {

TEST(SecondsToTime, WritesHoursMinutesSecondsWithTwoDigitsEach)
{
    struct Case { qint32 in; const char* out; };
    for (const Case& c : {Case{0, "00:00:00"}, Case{9, "00:00:09"}, Case{59, "00:00:59"}, Case{60, "00:01:00"},
                          Case{61, "00:01:01"}, Case{75, "00:01:15"}, Case{124, "00:02:04"}, Case{126, "00:02:06"},
                          Case{3599, "00:59:59"}, Case{3600, "01:00:00"}, Case{36000, "10:00:00"},
                          Case{86399, "23:59:59"}, Case{86400, "24:00:00"}})
        EXPECT_EQ(SecondsToTime(c.in), QString::fromLatin1(c.out)) << c.in;
}

TEST(SecondsToTime, HoursAreNotCapped)
{
    EXPECT_EQ(SecondsToTime(360000), "100:00:00");
    EXPECT_EQ(SecondsToTime(359999), "99:59:59");
    EXPECT_EQ(SecondsToTime(std::numeric_limits<qint32>::max()), "596523:14:07");
}

TEST(SecondsToTime, NegativeCountsCarryOneLeadingSign)
{
    EXPECT_EQ(SecondsToTime(-1), "-00:00:01");
    EXPECT_EQ(SecondsToTime(-61), "-00:01:01");
    EXPECT_EQ(SecondsToTime(-3600), "-01:00:00");
    // The smallest value has no positive counterpart in 32 bits.
    EXPECT_EQ(SecondsToTime(std::numeric_limits<qint32>::min()), "-596523:14:08");
}

}  // namespace clip
