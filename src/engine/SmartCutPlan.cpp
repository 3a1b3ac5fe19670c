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

// True when every packet before `k` in decode order is shown before it.
bool SplitsCleanly(const QVector<VideoPacket>& packets, int k)
{
    return std::all_of(packets.begin(), packets.begin() + k,
                       [&](const VideoPacket& p) { return p.discard || p.pts < packets[k].pts; });
}

struct Body {
    int frames = 0;
};

// The body copied from key frame `k` up to (not including) decode position
// `stop`, keeping the frames shown in [K, until): empty when some packet in
// that range is shown at or after `until`, or a frame of [K, until) lies
// outside the range.
std::optional<Body> BodyBetween(const QVector<VideoPacket>& packets, int k, int stop, qint64 until)
{
    const qint64 K = packets[k].pts;
    Body body;
    for (int i = k; i < stop; ++i) {
        const VideoPacket& p = packets[i];
        if (p.discard || p.pts < K)
            continue;  // left out
        if (p.pts >= until)
            return std::nullopt;
        ++body.frames;
    }
    if (body.frames != CountShown(packets, K, until))
        return std::nullopt;
    return body;
}

}  // namespace

std::optional<SmartCutPlan> PlanSmartCut(const QVector<VideoPacket>& packets, qint64 from, qint64 to,
                                         bool leaveOutLeading)
{
    const int n = int(packets.size());
    SmartCutPlan plan;
    plan.frames = CountShown(packets, from, to);
    if (plan.frames == 0)
        return std::nullopt;
    plan.firstPts = std::numeric_limits<qint64>::max();
    qint64 lastPts = std::numeric_limits<qint64>::min();
    qint64 nextPts = std::numeric_limits<qint64>::max();
    qint64 beforeLast = std::numeric_limits<qint64>::min();
    for (const VideoPacket& p : packets) {
        if (p.discard)
            continue;
        if (Shown(p, from, to)) {
            plan.firstPts = std::min(plan.firstPts, p.pts);
            lastPts = std::max(lastPts, p.pts);
        }
    }
    for (const VideoPacket& p : packets) {
        if (p.discard)
            continue;
        if (p.pts > lastPts)
            nextPts = std::min(nextPts, p.pts);
        else if (p.pts < lastPts)
            beforeLast = std::max(beforeLast, p.pts);
    }
    // Past the last packet listed, the last frame lasts as long as the one before it.
    plan.endPts = nextPts != std::numeric_limits<qint64>::max()      ? nextPts
                  : beforeLast != std::numeric_limits<qint64>::min() ? 2 * lastPts - beforeLast
                                                                     : lastPts + 1;
    plan.headFrames = plan.frames;

    for (int k = 0; k < n; ++k) {
        const VideoPacket& key = packets[k];
        if (!key.key || key.discard || key.pts < plan.firstPts || key.pts > lastPts || !SplitsCleanly(packets, k))
            continue;
        const bool leading = std::any_of(packets.begin() + k + 1, packets.end(),
                                         [&](const VideoPacket& p) { return !p.discard && p.pts < key.pts; });
        if (leading && !leaveOutLeading)
            continue;
        // Without a tail: the body reaches the last packet that holds a frame before the end.
        int last = k;
        for (int i = k; i < n; ++i) {
            if (Shown(packets[i], key.pts, to))
                last = i;
        }
        std::optional<Body> body = BodyBetween(packets, k, last + 1, to);
        qint64 tailPts = 0;
        // With a tail from a later usable key frame (the latest that works), or from its leading frames.
        for (int t = n - 1; !body && t > k; --t) {
            const VideoPacket& tailKey = packets[t];
            if (!tailKey.key || tailKey.discard || tailKey.pts <= key.pts || tailKey.pts > lastPts
                || !SplitsCleanly(packets, t))
                continue;
            tailPts = tailKey.pts;
            for (int i = t + 1; i < n; ++i) {
                if (!packets[i].discard && packets[i].pts < tailKey.pts)
                    tailPts = std::min(tailPts, packets[i].pts);
            }
            if (tailPts > key.pts)
                body = BodyBetween(packets, k, t, tailPts);
        }
        if (!body)
            continue;
        plan.headFrames = CountShown(packets, from, key.pts);
        plan.bodyPts = key.pts;
        plan.bodyDelay = key.pts - key.dts;
        plan.bodyFrames = body->frames;
        plan.tailFrames = plan.frames - plan.headFrames - plan.bodyFrames;
        plan.tailPts = plan.tailFrames > 0 ? tailPts : 0;
        return plan;
    }
    return plan;  // nothing can be copied: the whole span is the head
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
