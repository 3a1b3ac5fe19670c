#include "engine/SmartCutPlan.h"

#include <algorithm>
#include <limits>

namespace clip {

namespace {

bool Shown(const VideoPacket& p, qint64 from, qint64 to)
{
    return !p.discard && p.pts >= from && p.pts < to;
}

int CountShown(const QVector<VideoPacket>& packets, qint64 from, qint64 to)
{
    return int(std::count_if(packets.begin(), packets.end(), [&](const VideoPacket& p) { return Shown(p, from, to); }));
}

}  // namespace

std::optional<SmartCutPlan> PlanSmartCut(const QVector<VideoPacket>& packets, qint64 from, qint64 to,
                                         bool leaveOutLeading, const std::function<bool(int)>& startsSequence)
{
    const int n = int(packets.size());
    SmartCutPlan plan;
    plan.frames = CountShown(packets, from, to);
    if (plan.frames == 0)
        return std::nullopt;
    // The shown frames in presentation order, to tell where a copied run of
    // packets leaves a gap.
    QVector<qint64> shown;
    shown.reserve(n);
    for (const VideoPacket& p : packets) {
        if (!p.discard)
            shown << p.pts;
    }
    std::sort(shown.begin(), shown.end());
    shown.erase(std::unique(shown.begin(), shown.end()), shown.end());
    const auto rank = [&](qint64 pts) { return int(std::lower_bound(shown.begin(), shown.end(), pts) - shown.begin()); };
    const int firstRank = rank(from);
    const int endRank = rank(to);  // the first frame at or after the end
    plan.firstPts = shown[firstRank];
    const qint64 lastPts = shown[endRank - 1];
    // Past the last packet listed, the last frame lasts as long as the one before it.
    plan.endPts = endRank < shown.size() ? shown[endRank]
                  : endRank >= 2         ? 2 * lastPts - shown[endRank - 2]
                                         : lastPts + 1;
    plan.headFrames = plan.frames;

    // For each packet: the latest presentation time before it in decode order,
    // and the earliest after it, so that each key frame is judged in constant time.
    QVector<qint64> latestBefore(n + 1, std::numeric_limits<qint64>::min());
    QVector<qint64> earliestAfter(n + 1, std::numeric_limits<qint64>::max());
    for (int i = 0; i < n; ++i)
        latestBefore[i + 1] = packets[i].discard ? latestBefore[i] : std::max(latestBefore[i], packets[i].pts);
    for (int i = n - 1; i >= 0; --i)
        earliestAfter[i] = packets[i].discard ? earliestAfter[i + 1] : std::min(earliestAfter[i + 1], packets[i].pts);

    for (int k = 0; k < n; ++k) {
        const VideoPacket& key = packets[k];
        // Usable: nothing before it in decode order is shown after it.
        if (!key.key || key.discard || key.pts < plan.firstPts || key.pts > lastPts || latestBefore[k] >= key.pts)
            continue;
        const bool leading = earliestAfter[k + 1] < key.pts;
        if (leading && !leaveOutLeading)
            continue;
        if (startsSequence && !startsSequence(k))
            continue;
        // The copy runs in decode order from the key frame to the first packet
        // shown at or after the end; it ends after the longest stretch whose
        // frames are all those from the key frame up to some time, so that
        // every frame it holds is shown before the end and none is missing.
        // What lies between there and the end is re-encoded as the tail.
        const int keyRank = rank(key.pts);
        int copied = 0, bestFrames = 0, highest = keyRank - 1;
        for (int i = k; i < n; ++i) {
            const VideoPacket& p = packets[i];
            if (p.discard || p.pts < key.pts)
                continue;  // left out (its leading frames)
            if (p.pts >= plan.endPts)
                break;
            ++copied;
            highest = std::max(highest, rank(p.pts));
            if (highest - keyRank + 1 == copied)
                bestFrames = copied;
        }
        plan.headFrames = CountShown(packets, from, key.pts);
        plan.bodyPts = key.pts;
        plan.bodyDelay = key.pts - key.dts;
        plan.bodyFrames = bestFrames;
        plan.tailFrames = plan.frames - plan.headFrames - plan.bodyFrames;
        plan.tailPts = plan.tailFrames > 0 ? shown[keyRank + bestFrames] : 0;
        return plan;
    }
    return plan;  // nothing can be copied: the whole span is the head
}

bool PlanSpansGap(const QVector<VideoPacket>& packets, int second, const SmartCutPlan& plan)
{
    const int n = int(packets.size());
    if (second <= 0 || second >= n || !packets[second].key || plan.bodyFrames == 0)
        return false;
    qint64 latestBefore = std::numeric_limits<qint64>::min(), earliestAfter = std::numeric_limits<qint64>::max();
    qint64 nextKey = std::numeric_limits<qint64>::max();
    bool bodyKeyBefore = false;
    for (int i = 0; i < n; ++i) {
        const VideoPacket& p = packets[i];
        if (p.discard)
            continue;
        if (i < second) {
            latestBefore = std::max(latestBefore, p.pts);
            bodyKeyBefore = bodyKeyBefore || (p.key && p.pts == plan.bodyPts);
            if (p.key && p.pts > plan.bodyPts)
                nextKey = std::min(nextKey, p.pts);
        } else {
            earliestAfter = std::min(earliestAfter, p.pts);
        }
    }
    const qint64 bodyEnd = plan.tailFrames > 0 ? plan.tailPts : plan.endPts;
    return bodyKeyBefore && nextKey <= latestBefore && latestBefore < earliestAfter
        && bodyEnd > packets[second].pts;
}

int LargestStep(const QVector<VideoPacket>& packets)
{
    int found = -1;
    for (int i = 1; i < int(packets.size()); ++i) {
        if (found < 0 || packets[i].dts - packets[i - 1].dts > packets[found].dts - packets[found - 1].dts)
            found = i;
    }
    return found;
}

namespace {

// The libx264 profile for the probe's H.264 profile name; empty when none fits.
QString X264Profile(const QString& profile)
{
    const QString p = profile.toLower();
    if (p == QLatin1String("constrained baseline") || p == QLatin1String("baseline"))
        return QStringLiteral("baseline");
    if (p == QLatin1String("main"))
        return QStringLiteral("main");
    if (p == QLatin1String("high"))
        return QStringLiteral("high");
    if (p == QLatin1String("high 10"))
        return QStringLiteral("high10");
    if (p == QLatin1String("high 4:2:2"))
        return QStringLiteral("high422");
    if (p == QLatin1String("high 4:4:4 predictive"))
        return QStringLiteral("high444");
    return {};
}

bool Set(const QString& value)
{
    return !value.isEmpty() && value != QLatin1String("unknown") && value != QLatin1String("unspecified");
}

}  // namespace

QStringList SmartCutEncoderOptions(const VideoProperties& video, QString* reason)
{
    QStringList options;
    const QString crf = QString::number(kSmartCutCrf);
    if (Set(video.fieldOrder) && video.fieldOrder != QLatin1String("progressive")) {
        *reason = QStringLiteral("the video is interlaced");
        return {};
    }
    if (video.codec == QLatin1String("h264")) {
        static const QStringList formats{"yuv420p", "yuvj420p", "yuv422p", "yuvj422p", "yuv444p", "yuvj444p",
                                         "yuv420p10le", "yuv422p10le", "yuv444p10le", "gray"};
        const QString profile = X264Profile(video.profile);
        if (profile.isEmpty()) {
            *reason = QStringLiteral("its H.264 profile \"%1\" cannot be matched").arg(video.profile);
            return {};
        }
        if (!formats.contains(video.pixelFormat)) {
            *reason = QStringLiteral("its pixel format %1 cannot be matched").arg(video.pixelFormat);
            return {};
        }
        options << "-c:v" << "libx264" << "-preset" << "fast" << "-crf" << crf << "-bf" << "0" << "-profile:v"
                << profile;
        if (video.level > 0) {
            options << "-level:v"
                    << (video.level == 9 ? QStringLiteral("1b")
                                         : QStringLiteral("%1.%2").arg(video.level / 10).arg(video.level % 10));
        }
    } else if (video.codec == QLatin1String("hevc")) {
        static const QStringList formats{"yuv420p", "yuvj420p", "yuv422p", "yuv444p", "yuv420p10le", "yuv422p10le",
                                         "yuv444p10le", "gray"};
        if (!formats.contains(video.pixelFormat)) {
            *reason = QStringLiteral("its pixel format %1 cannot be matched").arg(video.pixelFormat);
            return {};
        }
        QString params = QStringLiteral("log-level=error:bframes=0:repeat-headers=1");
        if (video.level > 0)
            params += QStringLiteral(":level-idc=%1").arg(double(video.level) / 30.0, 0, 'g', 3);
        options << "-c:v" << "libx265" << "-preset" << "fast" << "-crf" << crf << "-x265-params" << params;
    } else if (video.codec == QLatin1String("mpeg4")) {
        if (video.pixelFormat != QLatin1String("yuv420p")) {
            *reason = QStringLiteral("its pixel format %1 cannot be matched").arg(video.pixelFormat);
            return {};
        }
        if (video.bFrames) {
            *reason = QStringLiteral("its MPEG-4 Part 2 stream has B-frames");
            return {};
        }
        options << "-c:v" << "mpeg4" << "-qmin" << "1" << "-q:v" << "1" << "-bf" << "0";
    } else {
        *reason = QStringLiteral("its video codec %1 has no matching encoder here").arg(video.codec);
        return {};
    }
    options << "-pix_fmt" << video.pixelFormat;
    const std::pair<const char*, QString> colour[] = {{"-color_range", video.colorRange},
                                                      {"-colorspace", video.colorSpace},
                                                      {"-color_trc", video.colorTransfer},
                                                      {"-color_primaries", video.colorPrimaries}};
    for (const auto& [option, value] : colour) {
        if (Set(value))
            options << QLatin1String(option) << value;
    }
    return options;
}

}  // namespace clip
