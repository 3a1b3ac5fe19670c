#pragma once

#include <QJsonObject>
#include <QString>
#include <QStringList>

#include <optional>

namespace clip {

// Where the program's time starts in a media file, and every conversion
// between that time and the clocks of the probe, the encoder and the
// playback engine.
//
// A *position* (the timeline, the time labels, the marks, the key-frame
// ticks, the selection handed to every kind of cut) is seconds from the
// file's first shown frame: the start time the probe gives the first video
// stream, or, for a file without video, the container's start. A 14 s video
// runs from position 0 to 14, whatever timestamps the file stores.
//
// The clocks it meets:
// - file time: the file's own timestamps, as the probe lists frames and
//   packets (pts_time);
// - the encoder's "-ss": seconds from the container's start time (the
//   probe's format start_time), before the input as after it;
// - the engine's clock: file time minus the engine's zero. The engine reads
//   some containers differently from the probe (an MP4 edit list that starts
//   inside a group of pictures is applied as a plain shift there), so its
//   zero is taken from its own first picture against the probe's first video
//   packet, which is that picture; without a video packet it is the engine's
//   own demuxer start.
//
// A default-constructed origin is the identity: the position is the engine's
// clock and the encoder's seconds (what a file whose timestamps start at 0
// gives anyway).
class TimeOrigin {
public:
    TimeOrigin() = default;
    TimeOrigin(double firstFrame, double containerStart, std::optional<double> firstVideoPacket = std::nullopt);

    // The probe's arguments that answer FromProbeReport, and the reading of
    // its JSON report (also of any report holding "format" and "streams"
    // with start_time, such as a longer stream listing). Empty when the
    // report holds no start at all.
    static QStringList ProbeArguments(const QString& path);
    static std::optional<TimeOrigin> FromProbeReport(const QString& json);
    static std::optional<TimeOrigin> FromProbeJson(const QJsonObject& report);

    double FirstFrame() const { return m_firstFrame; }          // file time of position 0
    double ContainerStart() const { return m_containerStart; }  // file time of the encoder's 0

    double PositionOfFileTime(double fileSeconds) const { return fileSeconds - m_firstFrame; }
    double FileTimeOfPosition(double position) const { return position + m_firstFrame; }

    // The engine's zero in file time, given the engine's clock at its first
    // picture (none: no picture) and its own demuxer start time.
    double EngineZero(std::optional<double> firstPictureEngineTime, double demuxerStart) const;
    double PositionOfEngineTime(double engineSeconds, double engineZero) const
    {
        return engineSeconds + engineZero - m_firstFrame;
    }
    double EngineTimeOfPosition(double position, double engineZero) const
    {
        return position + m_firstFrame - engineZero;
    }

    // The encoder's "-ss" for a position kept in whole milliseconds (as the
    // cut jobs keep the selection's start): whole milliseconds again, rounded
    // down (MediaMilliseconds), so that the frame at the position is the
    // first one at or after the seek.
    qint64 EncoderMilliseconds(qint64 positionMs) const;

private:
    double m_firstFrame = 0.0;
    double m_containerStart = 0.0;
    std::optional<double> m_firstVideoPacket;
    bool m_known = false;
};

}  // namespace clip
