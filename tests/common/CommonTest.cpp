// The shared rounding (halves to even, whatever the rounding mode; fixed
// widths refuse what does not fit), the time text of the timeline and where
// a file's positions start.
#include "common/MediaTime.h"
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

// Probe reports as the probe writes them for files whose clocks differ:
// position 0 is the first video stream's start, whatever comes first.
TEST(TimeOrigin, ThePositionStartsAtTheFirstVideoFrameAndEachClockConvertsFromIt)
{
    const auto read = [](const QString& streams, const QString& format, const QString& packets = {}) {
        return TimeOrigin::FromProbeReport(QString(R"({"packets":[%3],"streams":[%1],"format":{%2}})")
                                               .arg(streams, format, packets));
    };
    const auto sound = R"({"codec_type":"audio","start_time":"9.978000"})";
    const std::optional<TimeOrigin> late =
        read(QString(sound) + R"(,{"codec_type":"video","start_time":"10.000000"})", R"("start_time":"9.978000")");
    ASSERT_TRUE(late);
    EXPECT_EQ(late->FirstFrame(), 10.0);
    EXPECT_EQ(late->EncoderMilliseconds(2080), 2102);  // the encoder counts from the sound's start
    EXPECT_EQ(late->PositionOfEngineTime(12.08, late->EngineZero(std::nullopt, 0.0)), 2.08);
    // An edit list the engine applies as a shift: its first picture is the probe's first packet.
    const std::optional<TimeOrigin> edited =
        read(R"({"codec_type":"video","start_time":"0.000000"})", R"("start_time":"0.000000")", R"({"pts_time":"-1.320000"})");
    ASSERT_TRUE(edited);
    EXPECT_NEAR(edited->EngineTimeOfPosition(0.8, edited->EngineZero(-1.3, 0.0)), 0.82, 1e-9);
    EXPECT_EQ(edited->EncoderMilliseconds(800), 800);
    // Without video the sound's start is position 0; without any start there is no origin.
    EXPECT_EQ(read(sound, R"("start_time":"0.021000")")->FirstFrame(), 0.021);
    EXPECT_FALSE(read(R"({"codec_type":"video","start_time":"N/A"})", R"("start_time":"N/A")"));
    EXPECT_FALSE(TimeOrigin::FromProbeReport("not json"));
    EXPECT_EQ(TimeOrigin().EncoderMilliseconds(1234), 1234);
}

}  // namespace clip
