// The shared rounding (halves to even, whatever the rounding mode; fixed
// widths refuse what does not fit) and the time text of the timeline.
#include "common/Rounding.h"
#include "common/SecondsToTime.h"

#include <gtest/gtest.h>

#include <cfenv>
#include <limits>

namespace clip {

TEST(Rounding, HalvesGoToTheEvenNeighbourInAnyRoundingModeAndWidthsRefuseOverflow)
{
    std::fesetround(FE_UPWARD);
    for (const auto& [in, out] : {std::pair{0.5, 0.0}, {1.5, 2.0}, {2.5, 2.0}, {-1.5, -2.0}, {124.5, 124.0}, {2.51, 3.0}})
        EXPECT_EQ(RoundHalfEven(in), out) << in;
    EXPECT_EQ(std::fegetround(), FE_UPWARD);
    std::fesetround(FE_TONEAREST);
    EXPECT_TRUE(RoundToInt16(32767.4) == 32767 && RoundToInt16(-32768.5) == -32768);
    EXPECT_FALSE(RoundToInt16(32767.5) || RoundToInt16(std::numeric_limits<double>::quiet_NaN())
                 || RoundToInt32(2147483648.0));
}

TEST(SecondsToTime, TwoDigitsEachUncappedHoursOneLeadingSign)
{
    for (const auto& [in, out] : {std::pair{0, "00:00:00"}, {61, "00:01:01"}, {3599, "00:59:59"}, {86400, "24:00:00"},
                                  {360000, "100:00:00"}, {-61, "-00:01:01"}, {INT32_MAX, "596523:14:07"},
                                  {INT32_MIN, "-596523:14:08"}})
        EXPECT_EQ(SecondsToTime(in), QString::fromLatin1(out)) << in;
}

}  // namespace clip
