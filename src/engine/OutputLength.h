#pragma once

#include <QString>

#include <optional>

namespace clip {

// What the probe says about the length of a media file.
struct MediaLength {
    std::optional<double> seconds;       // the container's duration
    std::optional<double> frameSeconds;  // one picture's time (from the average frame rate); none without a picture
};

// Reads the probe's "key=value" report on a file (format=duration and
// stream=codec_type,avg_frame_rate).
MediaLength ParseMediaLength(const QString& probeReport);

// How far short of the selection a result may fall: two pictures' time (the
// encoder ends on a whole frame, and a copy on a whole packet), and at least
// a tenth of a second for a result without pictures, whose length a probe
// may estimate from the bit rate.
double ShortfallTolerance(std::optional<double> frameSeconds);

// Why a result holding `heldSeconds` falls short of the `selectedSeconds`
// cut from `inputFile`; empty when it holds the selection (to within
// ShortfallTolerance). An encoder that meets the end of a file that shrank
// under it, or damaged data it skips, still exits with success: only the
// result's length tells.
QString ShortOutputProblem(const QString& inputFile, double selectedSeconds, double heldSeconds,
                           std::optional<double> frameSeconds);

}  // namespace clip
