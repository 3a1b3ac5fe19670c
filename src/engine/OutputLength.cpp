#include "engine/OutputLength.h"

#include <QDir>

#include <algorithm>

namespace clip {

namespace {

// A probe value that is a positive number ("N/A" and "0/0" are none).
std::optional<double> Positive(double value)
{
    return value > 0.0 ? std::optional<double>(value) : std::nullopt;
}

}  // namespace

MediaLength ParseMediaLength(const QString& probeReport)
{
    // One "key=value" a line; streams come before the container.
    MediaLength length;
    bool inVideo = false;
    for (const QString& line : probeReport.split(QLatin1Char('\n'))) {
        const QString key = line.section(QLatin1Char('='), 0, 0).trimmed();
        const QString value = line.section(QLatin1Char('='), 1).trimmed();
        if (key == QLatin1String("codec_type")) {
            inVideo = value == QLatin1String("video");
        } else if (key == QLatin1String("avg_frame_rate") && inVideo && !length.frameSeconds) {
            const double frames = value.section(QLatin1Char('/'), 0, 0).toDouble();
            const double per = value.contains(QLatin1Char('/')) ? value.section(QLatin1Char('/'), 1).toDouble() : 1.0;
            if (frames > 0.0)
                length.frameSeconds = Positive(per / frames);
        } else if (key == QLatin1String("duration")) {
            length.seconds = Positive(value.toDouble());
        }
    }
    return length;
}

double ShortfallTolerance(std::optional<double> frameSeconds)
{
    constexpr double kWithoutPictures = 0.1;
    // A millisecond on top: the selection and the probe round differently.
    return (frameSeconds ? 2.0 * *frameSeconds : kWithoutPictures) + 0.001;
}

QString ShortOutputProblem(const QString& inputFile, double selectedSeconds, double heldSeconds,
                           std::optional<double> frameSeconds)
{
    if (selectedSeconds - heldSeconds <= ShortfallTolerance(frameSeconds))
        return {};
    return QStringLiteral("The cut is shorter than the selection: it holds %1 of the %2 seconds selected. The input "
                          "file %3 ended early or is damaged; check it, or cut from an intact copy.")
        .arg(QString::number(std::max(heldSeconds, 0.0), 'f', 2), QString::number(selectedSeconds, 'f', 2),
             QDir::toNativeSeparators(inputFile));
}

}  // namespace clip
