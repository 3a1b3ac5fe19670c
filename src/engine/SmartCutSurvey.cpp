#include "engine/SmartCutSurvey.h"

#include "engine/ChildRuns.h"
#include "engine/EncoderRunner.h"
#include "engine/ParameterSets.h"
#include "engine/ProbeRun.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonObject>

#include <algorithm>
#include <cmath>
#include <optional>
#include <tuple>

namespace clip {

namespace {

// How far a time from the probe may lie off a mark and still count as on it.
constexpr double kTolerance = 5e-7;
// The length of a selection from which on its packets are listed around
// its ends only, and how far past the start and before the end.
constexpr double kWindowedListingFrom = 120.0;
constexpr double kListedAroundMark = 30.0;
// How far past the start the look at the start reads (the sound's packets
// there may lie this much behind the picture's in the file).
constexpr double kStartLookPast = 4.0;
// Key frames asked whether they start a sequence before the copy is given up.
constexpr int kMostKeyFramesAsked = 4;

// The bytes of the probe's hex dump ("00000000: 0000 0005 0606  ......").
QByteArray HexDumpBytes(const QString& dump)
{
    QByteArray hex;
    for (const QString& line : dump.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        const qsizetype colon = line.indexOf(QLatin1String(": "));
        if (colon < 0)
            continue;
        const qsizetype text = line.indexOf(QLatin1String("  "), colon + 2);
        hex += line.mid(colon + 2, text < 0 ? -1 : text - colon - 2).remove(QLatin1Char(' ')).toLatin1();
    }
    return QByteArray::fromHex(hex);
}


// The video packets of the probe's listing ("pts,dts,size,pos,flags" lines); empty,
// with `noTimes` set, when a packet has no presentation time.
QVector<VideoPacket> ParseListing(const QString& report, bool* noTimes)
{
    QVector<VideoPacket> packets;
    *noTimes = false;
    for (const QString& line : report.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        const QStringList f = line.trimmed().split(QLatin1Char(','));
        if (f.size() < 5)
            continue;
        bool ok = false;
        VideoPacket p;
        p.pts = f[0].toLongLong(&ok);
        if (!ok) {
            *noTimes = true;
            return {};
        }
        p.dts = f[1] == QLatin1String("N/A") ? p.pts : f[1].toLongLong();
        p.size = f[2].toInt();
        p.pos = f[3].toLongLong(&ok);
        p.pos = ok ? p.pos : -1;
        p.key = f[4].startsWith(QLatin1Char('K'));
        p.discard = f[4].contains(QLatin1Char('D'));
        packets << p;
    }
    return packets;
}


}  // namespace

bool StartsSequence(const BesideRun& look, qint64 pts, QSet<int>* ids)
{
    const QJsonArray listed = ParseJson(look.Answer()).value(QLatin1String("packets")).toArray();
    const QJsonObject packet = listed.isEmpty() ? QJsonObject() : listed.first().toObject();
    const QList<QByteArray> units = NalUnits(HexDumpBytes(packet.value(QLatin1String("data")).toString()), false);
    ids->unite(H264ParameterSetIds(units));
    return packet.value(QLatin1String("pts")).toInteger(-1) == pts && StartsWithH264Idr(units);
}


SmartCutSurvey::SmartCutSurvey(Request request, EncoderRunner& runner, std::function<bool()> stop)
    : m_request(std::move(request))
    , m_runner(runner)
    , m_stop(std::move(stop))
{
    m_in.input = m_request.input;
    m_in.output = m_request.output;
    m_in.origin = m_request.origin;
    m_in.start = m_request.start;
    m_in.end = m_request.end;
    m_probe = ProbeProgram();
    m_mp4Family = QFileInfo(m_in.output).suffix().compare(QLatin1String("mkv"), Qt::CaseInsensitive) != 0;
}

StageEnd SmartCutSurvey::Run()
{
    StageEnd end = Ask();
    if (end.IsDone())
        end = ReadPicture();
    if (end.IsDone())
        end = ListAndPlan();
    if (end.IsDone())
        end = FindSoundStart();
    if (end.IsDone())
        StepDone("plan");
    return end;
}

qint64 SmartCutSurvey::Ticks(double seconds) const
{
    return qint64(std::ceil((seconds - kTolerance) * double(m_in.tbDen) / double(m_in.tbNum)));
}

QStringList SmartCutSurvey::ListingArguments(std::size_t margin)
{
    // The video's packets around the selection, from a key frame at or
    // before its start: listed from ever further back until one is found, so
    // that a long GOP costs a longer listing, not the whole file's.
    // A long selection's packets are listed around its two ends only: its
    // middle is copied as it is and counted by the copy (listing a long
    // stretch takes as long as copying it). The middle comes back into the
    // listing where the plan needs it (PlanSpansGap).
    static constexpr double kMargins[] = {3.0, 30.0, 300.0, 3000.0, -1.0};
    m_margin = std::min(margin, std::size(kMargins) - 1);
    const double back = kMargins[m_margin];
    m_whole = back < 0 || m_in.start - back <= m_in.origin.ContainerStart() || m_margin + 1 == std::size(kMargins);
    QString intervals = (m_whole ? QString() : Secs(m_in.start - back)) + QLatin1Char('%');
    if (m_windowed)
        intervals += Secs(m_in.start + kListedAroundMark) + QLatin1Char(',') + Secs(m_in.end - kListedAroundMark) + QLatin1Char('%');
    return QStringList{"-v", "error", "-select_streams", "V:0", "-show_entries", "packet=pts,dts,size,pos,flags", "-of",
                       "csv=p=0", "-read_intervals", intervals + Secs(m_in.end + 2.0), m_in.input};
}

QStringList SmartCutSurvey::StreamEntries(bool withFrames)
{
    // The picture is the first video stream that is no attached picture
    // ("V"), the sound's start is that of the first audio stream.
    return {"-show_entries",
            "format=format_name,start_time:stream=index,codec_type,start_time,codec_name,profile,level,pix_fmt,"
            "color_range,color_space,color_transfer,color_primaries,field_order,time_base,has_b_frames,"
            "codec_tag_string,extradata:stream_disposition=attached_pic:stream_side_data=rotation"
                + QLatin1String(withFrames ? ":frame=stream_index,pts,interlaced_frame,top_field_first" : ""),
            "-show_data", "-of", "json"};
}

StageEnd SmartCutSurvey::Ask()
{
    const auto asked = [](std::optional<BesideRun>& run) { return run ? &*run : nullptr; };
    const double start = m_in.start;
    // The streams, and around the start every stream's frames, the video's
    // key frames alone decoded: the sound's frames tell where its frame under
    // the start begins; the key frames tell whether the pictures are
    // interlaced, which the stream's header need not say (a re-encoded part
    // would otherwise come out progressive in front of interlaced copied
    // ones). One run of the probe answers both: no packet is shown, as its
    // bytes would be dumped with the streams' parameter sets. Quiet, so that
    // no decoder's complaint lands in the middle of its report.
    m_startLook.emplace(m_probe, QStringList{"-v", "quiet", "-skip_frame", "nokey", "-read_intervals",
                                             Secs(start - 3.0) + QLatin1Char('%') + Secs(start + kStartLookPast)}
                                     << StreamEntries(true) << m_in.input);
    m_windowed = m_in.end - start >= kWindowedListingFrom;
    m_listing.emplace(m_probe, ListingArguments(0));
    // The streams' answer first, while the listing goes on.
    if (!WaitForAll({asked(m_startLook)}, m_stop, kProbeWaitMs))
        return m_stop() ? StageEnd::Stop() : StageEnd::Refuse(QStringLiteral("the probe could not read it"));
    QString report = m_startLook->Answer();
    // A file the probe cannot seek in gives no answer at all: its streams are
    // asked alone, and the start is taken to have nothing to say.
    if (report.isEmpty())
        report = RunProbeUntil(QStringList{"-v", "error"} << StreamEntries(false) << m_in.input, m_stop);
    if (report.isEmpty())
        return m_stop() ? StageEnd::Stop() : StageEnd::Refuse(QStringLiteral("the probe could not read it"));
    const QJsonObject info = ParseJson(report);
    m_startFrames = info.value(QLatin1String("frames")).toArray();
    StepDone("stream look");
    if (const QString why = ReadStreams(info); !why.isEmpty())
        return StageEnd::Refuse(why);
    m_h264 = m_in.video.codec == QLatin1String("h264");
    // What is left to ask is asked beside the questions already running:
    // whether the output's containers take the sound and subtitles as they
    // are, on the output's own name.
    const QList<KeptStream> kept = m_in.audioStreams + m_in.subtitleStreams;
    // Sound that MP4, MOV and Matroska all take as it is needs no trial.
    static const QStringList kTakenEverywhere{"aac", "mp3", "ac3"};
    const QString container = QFileInfo(m_in.output).suffix().toLower();
    const bool certain = (container == QLatin1String("mp4") || container == QLatin1String("mov")
                          || container == QLatin1String("mkv"))
        && std::all_of(kept.begin(), kept.end(), [](const KeptStream& s) { return kTakenEverywhere.contains(s.second); })
        && m_in.subtitleStreams.isEmpty();
    const bool outputExisted = QFile::exists(m_in.output);
    const bool outputWasEmpty = outputExisted && QFileInfo(m_in.output).size() == 0;
    if (!certain)
        m_takes.emplace(EncoderProgram(), TakesArguments(kept, !m_mp4Family));
    const bool answered = WaitForAll({asked(m_takes), asked(m_listing)}, m_stop, kProbeWaitMs,
                                     [this] { WatchListing(); });
    if (answered)
        WatchListing();  // the listing's last lines may have come with its end
    StepDone("questions");
    // The output's name is left as it was found: the re-encode offered
    // instead must not meet the muxer's trial file there.
    if (m_takes && !outputExisted)
        QFile::remove(m_in.output);
    else if (m_takes && outputWasEmpty)
        QFile::resize(m_in.output, 0);
    return answered ? StageEnd::Done() : StageEnd::Stop();
}

std::shared_ptr<BesideRun> SmartCutSurvey::KeyFrameLook(qint64 pts) const
{
    return std::make_shared<BesideRun>(
        m_probe, QStringList{"-v", "error", "-select_streams", QString::number(m_videoIndex), "-show_entries",
                             "packet=pts,data", "-show_data", "-of", "json", "-read_intervals",
                             Secs(m_in.Seconds(pts)) + QStringLiteral("%+#1"), m_in.input});
}

void SmartCutSurvey::WatchListing()
{
    // An H.264 copy starts only at an IDR picture (ListAndPlan): the first
    // key frame from the start on, most often the one the copy starts at, is
    // looked at as soon as the listing names it, beside the other questions
    // (where it cannot be read in place).
    const QByteArray& so = m_listing->OutputSoFar();
    const qint64 from = Ticks(m_in.start);
    for (qsizetype eol; m_h264 && !m_packetsInPlace && !m_firstKeyLook && (eol = so.indexOf('\n', m_listed)) >= 0;
         m_listed = eol + 1) {
        const QList<QByteArray> f = so.mid(m_listed, eol - m_listed).trimmed().split(',');
        bool ok = false;
        const qint64 pts = f.value(0).toLongLong(&ok);
        if (ok && f.size() >= 5 && f[4].startsWith('K') && !f[4].contains('D') && pts >= from) {
            m_firstKeyPts = pts;
            m_firstKeyLook = KeyFrameLook(pts);
        }
    }
}

StageEnd SmartCutSurvey::ReadPicture()
{
    const QString order = m_in.video.fieldOrder;
    if (order.isEmpty() || order == QLatin1String("progressive") || order == QLatin1String("unknown")) {
        // The picture's first key frame.
        for (const QJsonValue& value : m_startFrames) {
            const QJsonObject frame = value.toObject();
            if (frame.value(QLatin1String("stream_index")).toInt(-1) != m_videoIndex)
                continue;
            if (frame.value(QLatin1String("interlaced_frame")).toInt() == 1)
                m_in.video.fieldOrder =
                    frame.value(QLatin1String("top_field_first")).toInt() == 1 ? QStringLiteral("tt") : QStringLiteral("bb");
            break;
        }
    }
    QString reason;
    m_in.encoderOptions = SmartCutEncoderOptions(m_in.video, &reason);
    if (m_in.encoderOptions.isEmpty())
        return StageEnd::Refuse(reason);
    m_in.videoMap = QStringLiteral("0:%1").arg(m_videoIndex);
    // The picture is copied as it is stored; only MP4 and MOV can say how
    // it is to be turned (a phone's upright video stored sideways).
    if (m_in.rotation != 0 && !m_mp4Family)
        return StageEnd::Refuse(QStringLiteral("the %1 container cannot keep its rotation of %2 degrees")
                                    .arg(QFileInfo(m_in.output).suffix().toUpper())
                                    .arg(m_in.rotation));
    // Which of the streams kept is refused is asked of each alone.
    return m_takes && !m_takes->Succeeded() ? ContainerRefusal() : StageEnd::Done();
}

StageEnd SmartCutSurvey::ReadPackets(QString report, QVector<VideoPacket>* packets)
{
    for (;;) {
        if (report.isEmpty())
            return m_stop() ? StageEnd::Stop() : StageEnd::Refuse(QStringLiteral("the probe could not list its frames"));
        bool noTimes = false;
        *packets = OffTheWindow([report, &noTimes] { return ParseListing(report, &noTimes); });
        if (noTimes)
            return StageEnd::Refuse(QStringLiteral("its frames carry no presentation times"));
        if (m_whole || (!packets->isEmpty() && packets->first().key && m_in.Seconds(packets->first().pts) <= m_in.start))
            return StageEnd::Done();
        report = RunProbeUntil(ListingArguments(m_margin + 1), m_stop);
    }
}

std::optional<bool> SmartCutSurvey::ReadIdr(const VideoPacket& packet)
{
    // A key frame's first units are read where the listing says they lie
    // (its position and size) by this process instead of by a probe run.
    if (!m_packetsInPlace || packet.pos < 0 || packet.size <= 0)
        return std::nullopt;
    QFile file(m_in.input);
    if (!file.open(QIODevice::ReadOnly) || !file.seek(packet.pos))
        return std::nullopt;
    const QList<QByteArray> units = NalUnits(file.read(packet.size), false);
    if (units.isEmpty())
        return std::nullopt;
    m_in.inputSetIds.unite(H264ParameterSetIds(units));
    return StartsWithH264Idr(units);
}

StageEnd SmartCutSurvey::FindSequenceStarts(const QVector<VideoPacket>& packets, QHash<int, bool>* startsSequence)
{
    // An H.264 copy starts at an IDR picture only: a recovery-point key
    // frame continues the numbering of the pictures before it, which the
    // re-encoded head cannot continue, and the decoder drops what follows.
    // The key frames the plan would copy from are looked at together, each
    // at its first packet; an open-GOP stream has no IDR picture after its
    // first, so a few are asked about, not all.
    const QVector<int> candidates = OffTheWindow([packets, from = Ticks(m_in.start), to = Ticks(m_in.end)] {
        QVector<int> asked;
        PlanSmartCut(packets, from, to, false, [&](int k) {
            if (asked.size() < kMostKeyFramesAsked)
                asked << k;
            return false;
        });
        return asked;
    });
    // Read in place, in order, up to the first that starts a sequence.
    bool read = true;
    for (const int k : candidates) {
        const std::optional<bool> idr = ReadIdr(packets[k]);
        read = read && idr.has_value();
        if (!read || ((*startsSequence)[k] = *idr))
            break;
    }
    if (read)
        return StageEnd::Done();
    startsSequence->clear();
    // Otherwise by the probe: the first alone (most often an IDR picture),
    // the others together.
    for (qsizetype from = 0; from < candidates.size();) {
        const qsizetype to = from == 0 ? 1 : candidates.size();
        // The first key frame's look, where it has not answered yet, is
        // taken for a yes: the parts are started meanwhile, and made again
        // in the rare case that it says otherwise.
        if (from == 0 && m_request.mayAssumeIdr && m_firstKeyLook && m_firstKeyLook->Running()
            && packets[candidates[0]].pts == m_firstKeyPts) {
            (*startsSequence)[candidates[0]] = true;
            m_in.pendingLook = std::move(m_firstKeyLook);
            m_in.pendingLookPts = m_firstKeyPts;
            return StageEnd::Done();
        }
        std::vector<std::shared_ptr<BesideRun>> looks;
        std::vector<BesideRun*> lookRuns;
        for (qsizetype i = from; i < to; ++i) {
            const qint64 pts = packets[candidates[i]].pts;
            looks.push_back(m_firstKeyLook && pts == m_firstKeyPts ? std::move(m_firstKeyLook) : KeyFrameLook(pts));
            lookRuns.push_back(looks.back().get());
        }
        if (!WaitForAll(lookRuns, m_stop, kProbeWaitMs) && m_stop())
            return StageEnd::Stop();
        bool found = false;
        for (qsizetype i = from; i < to; ++i) {
            const int k = candidates[i];
            (*startsSequence)[k] = StartsSequence(*looks[i - from], packets[k].pts, &m_in.inputSetIds);
            found = found || (*startsSequence)[k];
        }
        if (found)
            break;
        from = to;
    }
    return StageEnd::Done();
}

StageEnd SmartCutSurvey::ListAndPlan()
{
    // The plan, and the times of the key frames and of the frames it keeps.
    struct Planned {
        std::optional<SmartCutPlan> plan;
        QVector<qint64> keyFrames, shownPts;
        double pictureBytes = 0.0;
    };
    Planned planned;
    QString report = m_listing->Answer();
    for (;;) {
        QVector<VideoPacket> packets;
        QHash<int, bool> startsSequence;
        StageEnd read = ReadPackets(report, &packets);
        if (read.IsDone() && m_h264)
            read = FindSequenceStarts(packets, &startsSequence);
        if (!read.IsDone())
            return read;
        StepDone("listing read, IDR look");
        planned = OffTheWindow([packets, from = Ticks(m_in.start), to = Ticks(m_in.end), h264 = m_h264, startsSequence,
                                windowed = m_windowed] {
            Planned made;
            made.plan = PlanSmartCut(packets, from, to, !h264, [&](int k) { return !h264 || startsSequence.value(k); });
            if (windowed && !(made.plan && PlanSpansGap(packets, LargestStep(packets), *made.plan))) {
                made.plan.reset();
                return made;
            }
            for (const VideoPacket& p : packets) {
                made.pictureBytes += double(p.size) / double(packets.size());
                if (p.key && !p.discard)
                    made.keyFrames << p.pts;
                if (made.plan && !p.discard && p.pts >= made.plan->firstPts && p.pts < made.plan->endPts)
                    made.shownPts << p.pts;
            }
            std::sort(made.keyFrames.begin(), made.keyFrames.end());
            std::sort(made.shownPts.begin(), made.shownPts.end());
            return made;
        });
        if (!m_windowed || planned.plan)
            break;
        // The plan needs the middle: listed whole, from the same key frame.
        qCDebug(lcSmartCutSteps, "the plan needs the selection's middle: listing it");
        if (m_in.pendingLook)
            m_firstKeyLook = std::move(m_in.pendingLook);
        m_windowed = false;
        report = RunProbeUntil(ListingArguments(m_margin), m_stop);
    }
    m_in.middleUnlisted = m_windowed;
    if (!planned.plan)
        return StageEnd::Fail(QStringLiteral("The selection holds no picture of the video: nothing to cut."));
    m_in.plan = *planned.plan;
    // The re-encoded parts' H.264 parameter sets take an id the input's own
    // do not use: every id in the output names one set throughout, in the
    // stream and in the container's copy of the first part's sets alike.
    if (m_h264) {
        if (m_in.inputSetIds.isEmpty())
            m_in.inputSetIds.insert(0);  // not found: the id nearly every encoder gives
        if (const int id = FreeParameterSetId(m_in.inputSetIds); id >= 0)
            m_in.encoderOptions << "-x264-params" << QStringLiteral("sps-id=%1").arg(id);
    }
    m_in.keyFrames = std::move(planned.keyFrames);
    m_in.shownPts = std::move(planned.shownPts);
    m_in.pictureBytes = planned.pictureBytes;
    return StageEnd::Done();
}

QString SmartCutSurvey::ReadStreams(const QJsonObject& info)
{
    const QJsonObject format = info.value(QLatin1String("format")).toObject();
    const QStringList formats = format.value(QLatin1String("format_name")).toString().split(QLatin1Char(','));
    if (formats.contains(QLatin1String("mpegts")) || formats.contains(QLatin1String("mpeg")))
        return QStringLiteral("its container, an MPEG transport or program stream, has no index to find frames by");
    // In MP4 and MOV a packet's bytes lie where the listing says (ReadIdr).
    m_packetsInPlace = formats.contains(QLatin1String("mov")) || formats.contains(QLatin1String("mp4"));
    m_in.audioStreams.clear();
    m_in.subtitleStreams.clear();
    m_in.subtitleTimeBases.clear();
    static const QStringList textSubtitles{"mov_text", "subrip", "ass", "ssa", "webvtt", "text"};
    for (const QJsonValue& value : info.value(QLatin1String("streams")).toArray()) {
        const QJsonObject s = value.toObject();
        const QString type = s.value(QLatin1String("codec_type")).toString();
        const int index = s.value(QLatin1String("index")).toInt();
        const QString codec = s.value(QLatin1String("codec_name")).toString();
        if (type == QLatin1String("video") && m_videoIndex < 0
            && s.value(QLatin1String("disposition")).toObject().value(QLatin1String("attached_pic")).toInt() == 0) {
            m_videoIndex = index;
            m_in.video.codec = codec;
            m_in.video.profile = s.value(QLatin1String("profile")).toString();
            m_in.video.level = s.value(QLatin1String("level")).toInt(-1);
            m_in.video.pixelFormat = s.value(QLatin1String("pix_fmt")).toString();
            m_in.video.colorRange = s.value(QLatin1String("color_range")).toString();
            m_in.video.colorSpace = s.value(QLatin1String("color_space")).toString();
            m_in.video.colorTransfer = s.value(QLatin1String("color_transfer")).toString();
            m_in.video.colorPrimaries = s.value(QLatin1String("color_primaries")).toString();
            m_in.video.fieldOrder = s.value(QLatin1String("field_order")).toString();
            m_in.video.bFrames = s.value(QLatin1String("has_b_frames")).toInt() > 0;
            m_in.codecTag = s.value(QLatin1String("codec_tag_string")).toString();
            m_in.inputSetIds = codec == QLatin1String("h264")
                ? H264ParameterSetIds(NalUnits(HexDumpBytes(s.value(QLatin1String("extradata")).toString()), false))
                : QSet<int>();
            m_in.rotation = 0;
            for (const QJsonValue& side : s.value(QLatin1String("side_data_list")).toArray())
                m_in.rotation = m_in.rotation ? m_in.rotation : side.toObject().value(QLatin1String("rotation")).toInt();
            const QStringList tb = s.value(QLatin1String("time_base")).toString().split(QLatin1Char('/'));
            m_in.tbNum = tb.value(0).toLongLong();
            m_in.tbDen = tb.value(1).toLongLong();
        } else if (type == QLatin1String("audio")) {
            if (m_audioIndex < 0) {
                m_audioIndex = index;
                m_audioTimeBase = s.value(QLatin1String("time_base")).toString();
            }
            m_in.audioStreams << qMakePair(index, codec);
        } else if (type == QLatin1String("subtitle") && (!m_mp4Family || textSubtitles.contains(codec))) {
            m_in.subtitleStreams << qMakePair(index, codec);
            const QStringList tb = s.value(QLatin1String("time_base")).toString().split(QLatin1Char('/'));
            m_in.subtitleTimeBases[index] = {std::max(1LL, tb.value(0).toLongLong()), std::max(1LL, tb.value(1).toLongLong())};
        }
    }
    if (m_videoIndex < 0)
        return QStringLiteral("it has no video stream");
    if (m_in.tbNum <= 0 || m_in.tbDen <= 0)
        return QStringLiteral("its video stream has no time base");
    return {};
}

StageEnd SmartCutSurvey::FindSoundStart()
{
    const double start = m_in.start;
    m_in.hasAudioStart = false;
    if (m_audioIndex < 0)
        return StageEnd::Done();
    const QStringList tb = m_audioTimeBase.split(QLatin1Char('/'));
    const double unit = tb.value(0).toDouble() / std::max(1.0, tb.value(1).toDouble());
    // The sound's frame that covers the start, and the first one after it,
    // among the times `ticks`.
    const auto soundStart = [&](const QVector<qint64>& ticks) {
        double covering = -1e300, after = 1e300;
        for (const qint64 tick : ticks) {
            const double t = double(tick) * unit;
            if (t <= start + kTolerance)
                covering = std::max(covering, t);
            else
                after = std::min(after, t);
        }
        return std::pair(covering, after);
    };
    // The sound's frames in the look at the start (each decoded from the
    // packet of the same time).
    QVector<qint64> ticks;
    for (const QJsonValue& value : m_startFrames) {
        const QJsonObject frame = value.toObject();
        const QJsonValue pts = frame.value(QLatin1String("pts"));
        if (frame.value(QLatin1String("stream_index")).toInt(-1) == m_audioIndex && pts.isDouble())
            ticks << pts.toInteger();
    }
    auto [covering, after] = soundStart(ticks);
    // How many of its packets a second holds (the room the output's index
    // needs grows with it).
    if (ticks.size() >= 2) {
        const auto [first, last] = std::minmax_element(ticks.begin(), ticks.end());
        if (*last > *first)
            m_in.soundPacketsPerSecond = double(ticks.size() - 1) / (double(*last - *first) * unit);
    }
    // The look at the start ends with the first packet of any stream past
    // its end: where the picture lies far ahead of the sound in the file,
    // the sound's packets after the start may not have come. Only the
    // sound's own listing ("pts" lines) then tells.
    if (after >= 1e300) {
        const QString report = RunProbeUntil({"-v", "error", "-select_streams", "a:0", "-show_entries", "packet=pts", "-of",
                                              "csv=p=0", "-read_intervals",
                                              Secs(start - 3.0) + QLatin1Char('%') + Secs(start + 1.0), m_in.input},
                                             m_stop);
        if (report.isEmpty())
            return m_stop() ? StageEnd::Stop() : StageEnd::Refuse(QStringLiteral("the probe could not list its sound"));
        ticks.clear();
        for (const QString& line : report.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
            bool ok = false;
            const qint64 tick = line.trimmed().section(QLatin1Char(','), 0, 0).toLongLong(&ok);
            if (ok)
                ticks << tick;
        }
        std::tie(covering, after) = soundStart(ticks);
    }
    m_in.hasAudioStart = covering > -1e300 || after < 1e300;
    m_in.audioStart = covering > -1e300 ? covering : after;
    return StageEnd::Done();
}

QStringList SmartCutSurvey::SubtitleCodecs(const QList<KeptStream>& subtitles, bool matroska)
{
    // Text subtitles go into MP4 and MOV in the form those hold; Matroska
    // holds every text form but that one, which it gets as SubRip.
    QStringList args;
    for (qsizetype k = 0; k < subtitles.size(); ++k) {
        if (!matroska)
            args << QStringLiteral("-c:s:%1").arg(k) << QStringLiteral("mov_text");
        else if (subtitles[k].second == QLatin1String("mov_text"))
            args << QStringLiteral("-c:s:%1").arg(k) << QStringLiteral("srt");
    }
    return args;
}

QStringList SmartCutSurvey::TakesArguments(const QList<KeptStream>& streams, bool matroska) const
{
    QStringList args{"-hide_banner", "-nostdin", "-v", "error", "-y", "-i", m_in.input};
    QList<QPair<int, QString>> subtitles;
    for (const auto& s : streams) {
        args << "-map" << QStringLiteral("0:%1").arg(s.first);
        if (m_in.subtitleStreams.contains(s))
            subtitles << s;
    }
    args << "-c" << "copy" << SubtitleCodecs(subtitles, matroska) << "-t" << "0";
    if (matroska)
        args << "-f" << "matroska";
    args << m_in.output;
    return args;
}

StageEnd SmartCutSurvey::ContainerRefusal()
{
    // The sound and subtitles are copied as they are: the output's muxer is
    // asked at once, on the output's own name, whether it takes them, rather
    // than after the picture's parts have been made.
    std::optional<StageEnd> ended;
    const auto takes = [&](const QList<KeptStream>& streams) {
        const RunEnd run = m_runner.Run(EncoderProgram(), TakesArguments(streams, !m_mp4Family));
        if (run.kind == RunEnd::Kind::Stopped)
            ended = StageEnd::Stop();
        else if (run.kind == RunEnd::Kind::NotStarted)
            ended = StageEnd::Fail(ConversionError(m_in.input, run.cause));
        return ended || run.kind == RunEnd::Kind::Done;
    };
    const QList<KeptStream> kept = m_in.audioStreams + m_in.subtitleStreams;
    if (kept.isEmpty() || takes(kept))
        return ended.value_or(StageEnd::Done());
    // The muxer's complaint may name another stream than the one it refused:
    // each is asked alone.
    QStringList codecs;
    for (const auto& s : kept) {
        if (!takes({s}))
            codecs << s.second;
        if (ended)
            return *ended;
    }
    codecs.removeDuplicates();
    return StageEnd::Refuse(QStringLiteral("its sound or subtitles cannot be carried into the %1 file as they are: %2")
                                .arg(QFileInfo(m_in.output).suffix().toUpper(),
                                     codecs.isEmpty() ? QStringLiteral("not all of them together") : codecs.join(QStringLiteral(", "))));
}

}  // namespace clip
