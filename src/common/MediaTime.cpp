#include "common/MediaTime.h"

#include "common/SecondsToTime.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonValue>

#include <cmath>

namespace clip {

namespace {

// The probe writes times as text ("12.800000", "N/A").
std::optional<double> TimeField(const QJsonObject& object)
{
    bool ok = false;
    const double value = object.value(QLatin1String("start_time")).toString().toDouble(&ok);
    if (!ok)
        return std::nullopt;
    return std::isfinite(value) ? std::optional<double>(value) : std::nullopt;
}

}  // namespace

TimeOrigin::TimeOrigin(double firstFrame, double containerStart, std::optional<double> firstVideoPacket)
    : m_firstFrame(firstFrame)
    , m_containerStart(containerStart)
    , m_firstVideoPacket(firstVideoPacket)
    , m_known(true)
{
}

QStringList TimeOrigin::ProbeArguments(const QString& path)
{
    // The first packet of the first video stream only: a quick look even at
    // a long file.
    return {QStringLiteral("-v"),
            QStringLiteral("error"),
            QStringLiteral("-select_streams"),
            QStringLiteral("v:0"),
            QStringLiteral("-show_entries"),
            QStringLiteral("format=format_name,start_time,duration:stream=codec_type,start_time:packet=pts_time"),
            QStringLiteral("-read_intervals"),
            QStringLiteral("%+#1"),
            QStringLiteral("-of"),
            QStringLiteral("json"),
            path};
}

std::optional<TimeOrigin> TimeOrigin::FromProbeReport(const QString& json)
{
    const QJsonDocument document = QJsonDocument::fromJson(json.toUtf8());
    if (!document.isObject())
        return std::nullopt;
    return FromProbeJson(document.object());
}

std::optional<TimeOrigin> TimeOrigin::FromProbeJson(const QJsonObject& report)
{
    const std::optional<double> container = TimeField(report.value(QLatin1String("format")).toObject());
    std::optional<double> video;
    for (const QJsonValue& stream : report.value(QLatin1String("streams")).toArray()) {
        const QJsonObject s = stream.toObject();
        if (s.value(QLatin1String("codec_type")).toString() == QLatin1String("video")) {
            video = TimeField(s);
            break;
        }
    }
    std::optional<double> packet;
    const QJsonArray packets = report.value(QLatin1String("packets")).toArray();
    if (!packets.isEmpty()) {
        bool ok = false;
        const double pts = packets.first().toObject().value(QLatin1String("pts_time")).toString().toDouble(&ok);
        if (ok && std::isfinite(pts))
            packet = pts;
    }
    if (!container && !video)
        return std::nullopt;
    // Without video, position 0 is where the sound starts.
    const double first = video.value_or(*container);
    return TimeOrigin(first, container.value_or(first), packet);
}

double TimeOrigin::EngineZero(std::optional<double> firstPictureEngineTime, double demuxerStart) const
{
    if (!m_known)
        return 0.0;  // the identity: positions are the engine's clock
    if (firstPictureEngineTime && m_firstVideoPacket)
        return *m_firstVideoPacket - *firstPictureEngineTime;
    return demuxerStart;
}

qint64 TimeOrigin::EncoderMilliseconds(qint64 positionMs) const
{
    const double offset = m_firstFrame - m_containerStart;
    if (offset == 0.0)
        return positionMs;
    return MediaMilliseconds(double(positionMs) / 1000.0 + offset);
}

}  // namespace clip
