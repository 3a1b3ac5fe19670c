#include "common/Rounding.h"

#include <gtest/gtest.h>

#include <cfenv>
#include <limits>

namespace clip {

TEST(Rounding, HalvesGoToTheEvenNeighbour)
{
    struct Case { double in; double out; };
    for (const Case& c : {Case{0.5, 0}, Case{1.5, 2}, Case{2.5, 2}, Case{3.5, 4}, Case{-0.5, 0},
                          Case{-1.5, -2}, Case{125.5, 126}, Case{124.5, 124}, Case{2.49, 2}, Case{2.51, 3}})
        EXPECT_EQ(RoundHalfEven(c.in), c.out) << c.in;
}

TEST(Rounding, IgnoresAChangedRoundingMode)
{
    std::fesetround(FE_UPWARD);
    EXPECT_EQ(RoundHalfEven(2.5), 2);
    EXPECT_EQ(std::fegetround(), FE_UPWARD);
    std::fesetround(FE_TONEAREST);
}

TEST(Rounding, FixedWidthConversionsRefuseWhatDoesNotFit)
{
    EXPECT_EQ(RoundToInt16(32767.4), 32767);
    EXPECT_FALSE(RoundToInt16(32767.5).has_value());  // rounds to 32768
    EXPECT_EQ(RoundToInt16(-32768.5), -32768);         // halves to even stays in range
    EXPECT_FALSE(RoundToInt16(std::numeric_limits<double>::quiet_NaN()).has_value());
    EXPECT_EQ(RoundToInt32(2147483647.0), 2147483647);
    EXPECT_FALSE(RoundToInt32(2147483648.0).has_value());
    EXPECT_FALSE(RoundToInt32(std::numeric_limits<double>::infinity()).has_value());
}

}  // namespace clip
