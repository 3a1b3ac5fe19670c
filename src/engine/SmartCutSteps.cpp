#include "engine/SmartCutSteps.h"

#include "engine/ChildRuns.h"
#include "engine/ProbeRun.h"
#include "engine/SmartCutSurvey.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cmath>

namespace clip {

namespace {

// The same as kSeekLead in the 90 kHz units of an MPEG-TS part.
constexpr qint64 kHalfMillisecond = 45;
// How far before the start the subtitles are read, for one shown across it.
constexpr double kSubtitleLookBack = 60.0;
// Packets each input of the join may hold ready.
constexpr int kJoinQueuePackets = 1024;
// The length of a copied body from which on it goes through a pipe into the
// join (a shorter one is made beside the head's encode at no cost).
constexpr double kStreamedBodySeconds = 120.0;
// How much longer than its packets last a copy reads (the packets past its
// end that it reads are left out by their times).
constexpr double kCopyReadsPast = 2.0;
// How far past a re-encoded part's last frame its encoder reads.
constexpr double kEncodeReadsPast = 0.1;
// The room the output's index gets at its front where the re-encoded parts
// are spliced in: a margin, and per picture and sound packet as much as
// its tables may take; and room for the re-encoded pictures themselves,
// this many times the input's pictures on average (a high quality's
// encode of a low rate's input takes more; its pictures then go after the
// copied ones, at the file's end).
constexpr qint64 kIndexMargin = 65536, kIndexBytesPerSample = 20;
constexpr double kReencodedPictureRoom = 8.0;
// Sound packets a second where the look did not see the sound's.
constexpr double kAssumedSoundPackets = 100.0;
// Weights of the steps on the bar, per second of the selection.
constexpr double kEncodeCost = 1.0, kCopyCost = 0.02, kJoinCost = 0.04;

// A path in a concat listing: quoted, with the file protocol named so that
// no part of the name is read as another protocol.
QString ListedFile(const QString& path)
{
    QString quoted = QStringLiteral("file:") + QDir::fromNativeSeparators(path);
    quoted.replace(QLatin1Char('\''), QStringLiteral("'\\''"));
    return QStringLiteral("file '") + quoted + QLatin1Char('\'');
}

// Whether the copy may write the output itself, with the re-encoded parts
// spliced in afterwards (Mp4Splice): H.264 (whose re-encoded parameter sets
// take ids of their own, so that one sample entry holds them all) into MP4
// or MOV, a copied body and something re-encoded, at most one sound stream
// whose first frame is known, no subtitles.
bool Spliced(const SmartCutInput& in)
{
    const QString suffix = QFileInfo(in.output).suffix().toLower();
    const SmartCutPlan& p = in.plan;
    return (suffix == QLatin1String("mp4") || suffix == QLatin1String("mov")) && in.video.codec == QLatin1String("h264")
        && p.bodyFrames > 0 && (p.headFrames > 0 || p.tailFrames > 0) && in.subtitleStreams.isEmpty()
        && in.audioStreams.size() <= 1 && (in.audioStreams.isEmpty() || in.hasAudioStart) && !in.joinOnly;
}

}  // namespace

std::optional<SmartCutSteps> MakeSmartCutSteps(const SmartCutInput& in, const QDir& folder)
{
    const QString encoder = EncoderProgram();
    const auto seconds = [&](qint64 ticks) { return double(ticks * in.tbNum) / double(in.tbDen); };
    const auto relative = [&](qint64 ticks) { return seconds(ticks) - in.origin.ContainerStart(); };
    const SmartCutPlan& p = in.plan;
    const double span = seconds(p.endPts) - seconds(p.firstPts);
    SmartCutSteps made;
    QList<SmartCutStep>& steps = made.steps;
    struct Part {
        QString file;
        qint64 from;
    };
    QList<Part> parts;
    const QStringList common{"-hide_banner", "-nostdin", "-y"};
    const bool spliced = Spliced(in);
    // The picture's time scale in an MP4 or MOV output: the input's own
    // where it counts whole ticks.
    const qint64 timescale = in.tbNum == 1 ? in.tbDen : 90000;
    // The input's picture ticks in another time scale.
    const auto rescaled = [&](qint64 ticks, qint64 scale) {
        return qint64(std::llround(double(ticks * in.tbNum) * double(scale) / double(in.tbDen)));
    };

    // A re-encoded part decodes from the last key frame shown at or before
    // its first frame (an open GOP's leading frames, shown before their own
    // key frame, come after that one) and drops what lies before that frame.
    // The seek aims just past that key frame, so that the demuxer lands on it
    // rather than on the one before; only a part that starts on the key frame
    // itself aims just before it.
    // It reads a little past its last frame (the encoder stops at its count,
    // the reading by time), as the encoder's input number `input`.
    struct Encode {
        QStringList input, output;
        double seconds = 0;
    };
    const auto encodePart = [&](const QString& name, qint64 from, int frames, qint64 until, const QStringList& more,
                                int input) {
        const auto after = std::upper_bound(in.keyFrames.begin(), in.keyFrames.end(), from);
        double seek = 0.0;
        if (after != in.keyFrames.begin()) {
            const qint64 key = *(after - 1);
            seek = std::max(0.0, relative(key) + (key < from ? kSeekLead : -kSeekLead));
        }
        const QString file = folder.filePath(name);
        Encode part;
        part.input = QStringList{"-noautorotate", "-ss", Secs(seek), "-t", Secs(relative(until) - seek + kEncodeReadsPast),
                                 "-i", in.input};
        part.output = QStringList{"-map", QStringLiteral("%1:%2").arg(input).arg(in.videoMap.section(QLatin1Char(':'), 1))}
                      << in.encoderOptions << "-ss" << Secs(relative(from) - seek - kSeekLead) << "-frames:v"
                      << QString::number(frames) << more
                      << (spliced ? QStringList{"-video_track_timescale", QString::number(timescale), "-f", "mp4"}
                                  : QStringList{"-f", "mpegts"})
                      << file;
        part.seconds = seconds(until) - seconds(from);
        parts << Part{file, from};
        return part;
    };
    const qint64 bodyEnd = p.tailFrames > 0 ? p.tailPts : p.endPts;
    std::optional<Encode> head, tail;
    if (p.headFrames > 0) {
        // The head's decode times step back by the copied key frame's delay,
        // so the joined stream's decode times keep rising across the seam.
        QStringList more;
        if (!spliced && p.bodyFrames > 0 && p.bodyDelay > 0)
            more << "-bsf:v"
                 << QStringLiteral("setts=dts=DTS-%1")
                        .arg(qint64(std::ceil(double(p.bodyDelay * in.tbNum) * 90000.0 / double(in.tbDen))));
        head = encodePart(spliced ? QStringLiteral("head.mp4") : QStringLiteral("head.ts"), p.firstPts, p.headFrames,
                          p.bodyFrames > 0 ? p.bodyPts : p.endPts, more, 0);
    }
    const double audioFrom = in.hasAudioStart ? in.audioStart : seconds(p.firstPts);
    const double endAbsolute = in.end;
    const bool withSound = !in.audioStreams.isEmpty();
    // The picture starts as much after the sound as its first frame lies
    // after the sound's first, and the sound as much after the picture where
    // it starts later (no audio frame covers the start).
    const double soundLead = seconds(p.firstPts) - audioFrom;
    const double pictureOffset = withSound ? std::max(0.0, soundLead) : 0.0;
    made.videoDelay = pictureOffset;
    std::optional<SmartCutStep> copy;
    if (spliced) {
        // The copy writes the output: the body's packets and the sound, each
        // kept by its times (the input's own), the index at the front in
        // room for the re-encoded parts' entries and pictures too.
        const double bodyStart = seconds(p.bodyPts), bodyEnd = seconds(p.tailFrames > 0 ? p.tailPts : p.endPts);
        const double soundEnd = endAbsolute + std::max(0.0, -soundLead);
        const double from = (withSound ? std::min(audioFrom, bodyStart) : bodyStart) - kSeekLead;
        const double until = withSound ? std::max(bodyEnd, soundEnd) : bodyEnd;
        const double soundPackets = (in.soundPacketsPerSecond > 0 ? in.soundPacketsPerSecond : kAssumedSoundPackets) * span;
        const qint64 room = kIndexMargin + kIndexBytesPerSample * (p.frames + qint64(std::ceil(1.5 * soundPackets)))
            + qint64(kReencodedPictureRoom * in.pictureBytes * (p.headFrames + p.tailFrames));
        // (The times may be negative: a sound's first frame often is.)
        const auto keep = [](double first, double end) {
            return QStringLiteral("noise=drop='lt(pts*tb\\,%1)+gte(pts*tb\\,%2)'")
                .arg(QString::number(first - kSeekLead, 'f', 6), QString::number(end - kSeekLead, 'f', 6));
        };
        QStringList args(common);
        args << "-copyts" << "-ss" << Secs(from - in.origin.ContainerStart()) << "-t" << Secs(until - from + kCopyReadsPast)
             << "-i" << in.input << "-map" << in.videoMap;
        for (const auto& stream : in.audioStreams)
            args << "-map" << QStringLiteral("0:%1").arg(stream.first);
        args << "-c" << "copy" << "-map_chapters" << "-1" << "-bsf:v" << keep(bodyStart, bodyEnd);
        if (withSound)
            args << "-bsf:a" << keep(audioFrom, soundEnd);
        // The sample entry's own tag says every parameter set is in it; the
        // splice puts the re-encoded parts' sets there beside the input's.
        args << "-moov_size" << QString::number(room) << "-video_track_timescale" << QString::number(timescale)
             << "-tag:v" << (in.codecTag == QLatin1String("avc1") ? "avc1" : "avc3") << in.output;
        copy.emplace();
        copy->program = encoder;
        copy->args = args;
        copy->seconds = span;
        copy->cost = kJoinCost * span;
        copy->body = true;
        const auto ticks = [&](qint64 t) { return rescaled(t, timescale); };
        Mp4SpliceRequest request;
        request.output = in.output;
        request.head = p.headFrames > 0 ? folder.filePath(QStringLiteral("head.mp4")) : QString();
        request.tail = p.tailFrames > 0 ? folder.filePath(QStringLiteral("tail.mp4")) : QString();
        request.timescale = timescale;
        request.firstShown = ticks(p.firstPts);
        request.bodyShown = ticks(p.bodyPts);
        request.tailShown = ticks(p.tailPts);
        request.end = ticks(p.endPts);
        request.pictureStart = seconds(p.firstPts);
        if (withSound)
            request.soundStart = audioFrom;
        made.splice = request;
    } else if (p.bodyFrames > 0) {
        // The copy keeps the input's times (in the part's 90 kHz units when
        // the filters see them) and leaves out every packet shown before the
        // key frame: those of the GOP the seek lands in, and the leading
        // frames of an open GOP, which the head has re-encoded.
        const auto mpegTicks = [&](qint64 ticks) { return rescaled(ticks, 90000); };
        QStringList filters{QStringLiteral("noise=drop='lt(pts,%1)+gte(pts,%2)'")
                                .arg(mpegTicks(p.bodyPts) - kHalfMillisecond)
                                .arg(mpegTicks(bodyEnd) - kHalfMillisecond)};
        // Each copied key frame carries the parameter sets in front of it.
        if (in.video.codec == QLatin1String("h264"))
            filters << QStringLiteral("h264_mp4toannexb");
        else if (in.video.codec == QLatin1String("hevc"))
            filters << QStringLiteral("hevc_mp4toannexb");
        filters << QStringLiteral("dump_extra=freq=keyframe");
        const QString file = folder.filePath(QStringLiteral("body.ts"));
        SmartCutStep step;
        // A long copy goes through a pipe straight into the join: the body's
        // packets are then written once, into the output, instead of into a
        // part first and read back (the two passes the selection's length
        // would cost twice). A short one is made beside the head's encode,
        // where it costs nothing, and an H.265 one after a re-encoded head is
        // changed in place before the join.
        const bool changedInPlace = in.video.codec == QLatin1String("hevc") && p.headFrames > 0;
        step.streamed =
            seconds(bodyEnd) - seconds(p.bodyPts) >= kStreamedBodySeconds && !changedInPlace && MakePipe(file);
        step.program = encoder;
        // It reads a little past the body's last packet (each has its decode
        // time before the body's end), and reports how many it wrote.
        step.args = QStringList(common)
                    << "-copyts" << "-ss" << Secs(relative(p.bodyPts) - kSeekLead) << "-t"
                    << Secs(seconds(bodyEnd) - seconds(p.bodyPts) + kCopyReadsPast) << "-i" << in.input << "-map"
                    << in.videoMap << "-c:v" << "copy" << "-bsf:v" << filters.join(QLatin1Char(',')) << "-f" << "mpegts"
                    << file;
        step.body = true;
        step.seconds = seconds(bodyEnd) - seconds(p.bodyPts);
        step.cost = kCopyCost * step.seconds;
        step.beside = true;
        steps << step;
        parts << Part{file, p.bodyPts};
    }
    if (p.tailFrames > 0)
        tail = encodePart(spliced ? QStringLiteral("tail.mp4") : QStringLiteral("tail.ts"), p.tailPts, p.tailFrames, p.endPts, {}, head ? 1 : 0);
    // The tail's few frames are encoded by the head's encoder run, as its
    // second input and output (one start of the encoder fewer), or beside
    // the copies where there is no head.
    // The head goes, off Windows, through a pipe into the join, which then
    // starts with it instead of after it; the job holds the pipe open
    // (below) until the parts the join reads after the head are ready. Not
    // with subtitles: the join opens their part at its start.
    if (head || tail) {
        SmartCutStep step;
        step.program = encoder;
        step.args = QStringList(common) << (head ? head->input : tail->input) << (head && tail ? tail->input : QStringList())
                                        << (head ? head->output : tail->output) << (head && tail ? tail->output : QStringList());
        step.seconds = head ? head->seconds : tail->seconds;
        step.cost = kEncodeCost * step.seconds;
        step.beside = !head || spliced;
        if (!spliced && head && in.subtitleStreams.isEmpty() && MakePipe(folder.filePath(QStringLiteral("head.ts")))) {
            step.beside = step.streamed = step.holdsJoin = true;
            step.pipe = folder.filePath(QStringLiteral("head.ts"));
        }
        steps.prepend(step);
    }

    if (copy) {
        steps << *copy;
        return made;
    }

    // The sound from the audio frame that covers the start to the end: the
    // join takes it straight from the input (below).
    // The subtitles shown in the selection, in the input's own times: one
    // shown across the start begins there, one shown across the end ends
    // there (copied as it is, it would make the file last until its own end),
    // and those over before the start are left out.
    // MP4's own subtitles stay in an MP4 part: they are copied, never
    // converted here, as the filters that trim them work on copies only.
    const bool withSubtitles = !in.subtitleStreams.isEmpty();
    const bool mp4Subtitles = std::all_of(in.subtitleStreams.begin(), in.subtitleStreams.end(),
                                          [](const auto& s) { return s.second == QLatin1String("mov_text"); });
    const QString subtitles = folder.filePath(mp4Subtitles ? QStringLiteral("subtitles.mp4") : QStringLiteral("subtitles.mks"));
    if (withSubtitles) {
        const double startAbsolute = seconds(p.firstPts);
        const double seek = std::max(0.0, startAbsolute - in.origin.ContainerStart() - kSubtitleLookBack);
        QStringList args(common);
        args << "-copyts" << "-ss" << Secs(seek) << "-i" << in.input;
        for (const auto& s : in.subtitleStreams)
            args << "-map" << QStringLiteral("0:%1").arg(s.first);
        args << "-c" << "copy";
        if (!mp4Subtitles)
            args << SmartCutSurvey::SubtitleCodecs(in.subtitleStreams, true);
        for (qsizetype k = 0; k < in.subtitleStreams.size(); ++k) {
            const auto [num, den] = in.subtitleTimeBases.value(in.subtitleStreams[k].first, {1, 1000});
            const auto ticks = [&](double t) { return qint64(std::llround(t * double(den) / double(num))); };
            const qint64 from = ticks(startAbsolute), to = ticks(seconds(p.endPts));
            args << QStringLiteral("-bsf:s:%1").arg(k)
                 << QStringLiteral("noise=drop='lte(pts+duration\\,%1)+gte(pts\\,%2)',"
                                   "setts=pts=max(PTS\\,%1):dts=max(DTS\\,%1):"
                                   "duration=max(1\\,min(PTS+DURATION\\,%2)-max(PTS\\,%1))")
                        .arg(from)
                        .arg(to);
        }
        args << "-f" << (mp4Subtitles ? "mp4" : "matroska") << subtitles;
        SmartCutStep step;
        step.program = encoder;
        step.args = args;
        step.seconds = 0;
        step.cost = kCopyCost * span;
        step.beside = true;
        steps << step;
    }

    // The join: the parts one after the other, each lasting up to the next.
    QFile listing(folder.filePath(QStringLiteral("parts.ffconcat")));
    QString text = QStringLiteral("ffconcat version 1.0\n");
    for (qsizetype i = 0; i < parts.size(); ++i) {
        const qint64 until = i + 1 < parts.size() ? parts[i + 1].from : p.endPts;
        text += ListedFile(parts[i].file) + QLatin1Char('\n')
                + QStringLiteral("duration %1\n").arg(Secs(seconds(until) - seconds(parts[i].from)));
    }
    if (!listing.open(QIODevice::WriteOnly) || listing.write(text.toUtf8()) < 0 || !listing.flush())
        return std::nullopt;
    listing.close();
    QStringList args(common);
    if (pictureOffset > 0)
        args << "-itsoffset" << Secs(pictureOffset);
    // With more than one input, the encoder reads each on a thread of its
    // own and hands its packets over one by one through a queue; a queue
    // that holds a second's packets, not eight, keeps the threads from
    // waking each other for every packet (a third of the join's time).
    const QStringList queue{"-thread_queue_size", QString::number(kJoinQueuePackets)};
    args << queue << "-f" << "concat" << "-safe" << "0" << "-i" << listing.fileName();
    // The sound is read from the input itself, from just before the audio
    // frame that covers the start: the seek lands on the key frame before
    // that, and the packets before the seek point are left out below. Its
    // length counts in the input's times moved by the offset.
    if (withSound) {
        const double offset = std::max(0.0, -soundLead);
        if (offset > 0)
            args << "-itsoffset" << Secs(offset);
        args << queue << "-ss" << Secs(audioFrom - in.origin.ContainerStart() - kSeekLead) << "-t"
             << Secs(endAbsolute - audioFrom + offset) << "-i" << in.input;
    }
    // The subtitles keep the input's times: they move as the picture does.
    if (withSubtitles) {
        args << "-itsoffset" << QString::number(pictureOffset - seconds(p.firstPts), 'f', 6) << queue << "-i"
             << subtitles;
    }
    args << "-map" << "0:v:0";
    for (const auto& stream : in.audioStreams)
        args << "-map" << QStringLiteral("1:%1").arg(stream.first);
    if (withSubtitles)
        args << "-map" << (withSound ? "2" : "1");
    // A copy keeps what the seek lands on before the seek point unless told.
    args << "-c" << "copy" << "-copypriorss:a" << "0";
    const QString suffix = QFileInfo(in.output).suffix().toLower();
    args << SmartCutSurvey::SubtitleCodecs(in.subtitleStreams, suffix == QLatin1String("mkv"));
    if (suffix != QLatin1String("mkv")) {
        args << "-movflags" << "+faststart" << "-video_track_timescale"
             << QString::number(in.tbNum == 1 ? in.tbDen : 90000);
        // The sample entry's own tag (avc1, hvc1) says every parameter set is
        // in it: so where the output is the input's packets alone, whose sets
        // all came with the input's entry; the copies of them sent in front of
        // each key frame are left out. A re-encoded part brings sets of its
        // own, sent in the stream (avc3, hev1).
        const bool h264 = in.video.codec == QLatin1String("h264"), hevc = in.video.codec == QLatin1String("hevc");
        const bool inputsSetsAlone = p.headFrames == 0 && p.tailFrames == 0
            && (in.codecTag == QLatin1String(h264 ? "avc1" : "hvc1"));
        if (h264 || hevc)
            args << "-tag:v" << QLatin1String(inputsSetsAlone ? (h264 ? "avc1" : "hvc1") : (h264 ? "avc3" : "hev1"));
        if (inputsSetsAlone)
            args << "-bsf:v" << QLatin1String(h264 ? "filter_units=remove_types=7|8" : "filter_units=remove_types=32|33|34");
        if (in.rotation != 0)
            args << "-metadata:s:v:0" << QStringLiteral("rotate=%1").arg(in.rotation);
    }
    args << in.output;
    SmartCutStep join;
    join.program = encoder;
    join.args = args;
    join.seconds = span;
    join.cost = kJoinCost * span;
    steps << join;
    return made;
}

}  // namespace clip
