#include "engine/SegmentsJob.h"

#include "common/MediaTime.h"
#include "common/SecondsToTime.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <algorithm>
#include <cmath>

namespace clip {

namespace {

// How far past a copied stretch's end a key frame to end it at is looked for.
constexpr int kEndKeyFrameSearch = 30;

// A time on a command line or in a listing: seconds with microseconds.
QString Secs(double seconds) { return QString::number(seconds, 'f', 6); }

// Milliseconds as the encoder's seconds ("10", "10.040").
QString MsText(qint64 ms) { return CommandLineSeconds(ms); }

// A path in a concat listing: quoted, with the file protocol named so that
// no part of the name is read as another protocol.
QString ListedFile(const QString& path)
{
    QString quoted = QStringLiteral("file:") + QDir::fromNativeSeparators(path);
    quoted.replace(QLatin1Char('\''), QStringLiteral("'\\''"));
    return QStringLiteral("file '") + quoted + QStringLiteral("'\n");
}

// A value in the encoder's metadata listing: its special characters escaped.
QString MetadataValue(QString text)
{
    QString escaped;
    for (const QChar c : text) {
        if (c == QLatin1Char('=') || c == QLatin1Char(';') || c == QLatin1Char('#') || c == QLatin1Char('\\')
            || c == QLatin1Char('\n'))
            escaped += QLatin1Char('\\');
        escaped += c;
    }
    return escaped;
}

}  // namespace

SegmentsJob::SegmentsJob(QObject* parent)
    : CVideoConv(parent)
{
}

SegmentsJob::~SegmentsJob() = default;

bool SegmentsJob::KeepsChapters(const QString& extension)
{
    static const QStringList kept{"mkv", "mp4", "mov", "m4v"};
    return kept.contains(extension.toLower());
}

QStringList SegmentsJob::WithoutLengthAndFilters(const QStringList& options, QString* videoFilter,
                                                 QString* audioFilter)
{
    static const QStringList video{"-vf", "-filter:v", "-filter:v:0"}, audio{"-af", "-filter:a", "-filter:a:0"};
    QStringList kept;
    for (qsizetype i = 0; i < options.size(); ++i) {
        const QString& option = options[i];
        const bool withValue = i + 1 < options.size();
        if (withValue && option == QLatin1String("-t")) {
            ++i;
        } else if (withValue && video.contains(option)) {
            *videoFilter = options[++i];
        } else if (withValue && audio.contains(option)) {
            *audioFilter = options[++i];
        } else {
            kept << option;
        }
    }
    return kept;
}

QString SegmentsJob::ChapterListing(const std::vector<double>& seconds, const QStringList& labels)
{
    QString text = QStringLiteral(";FFMETADATA1\n");
    qint64 from = 0;
    for (std::size_t i = 0; i < seconds.size(); ++i) {
        const qint64 to = from + std::max<qint64>(1, std::llround(seconds[i] * 1000.0));
        text += QStringLiteral("[CHAPTER]\nTIMEBASE=1/1000\nSTART=%1\nEND=%2\ntitle=%3\n")
                    .arg(from)
                    .arg(to)
                    .arg(MetadataValue(labels.value(qsizetype(i))));
        from = to;
    }
    return text;
}

QString SegmentsJob::WriteFile(const QString& name, const QString& text, QString* path)
{
    QFile file(m_folder->filePath(name));
    if (!file.open(QIODevice::WriteOnly) || file.write(text.toUtf8()) < 0 || !file.flush())
        return QStringLiteral("the list of parts could not be written: ") + file.errorString();
    *path = file.fileName();
    return {};
}

QString SegmentsJob::PrepareReencode(std::vector<double>* lengths)
{
    // Which kinds of stream there are to join (every stretch has the same).
    const QString report = RunProbe({"-v", "error", "-show_entries", "stream=codec_type", "-of", "csv=p=0", m_inputFile});
    if (m_probesStopped)
        return {};
    QString videoFilter, audioFilter;
    const QStringList options = WithoutLengthAndFilters(m_options, &videoFilter, &audioFilter);
    m_video = report.contains(QLatin1String("video")) && !options.contains(QLatin1String("-vn"));
    m_audio = report.contains(QLatin1String("audio")) && !options.contains(QLatin1String("-an"));
    if (!m_video && !m_audio)
        return QStringLiteral("it holds neither picture nor sound to write");
    for (const JoinSpan& span : m_spans)
        lengths->push_back(double(MediaMilliseconds(span.end - span.start)) / 1000.0);
    // The graph's tail: the format's own filters after the join.
    m_graph.clear();
    QStringList maps;
    if (m_video) {
        if (!videoFilter.isEmpty())
            m_graph += QStringLiteral(";[cv]%1[vo]").arg(videoFilter);
        maps << "-map" << (videoFilter.isEmpty() ? "[cv]" : "[vo]");
    }
    if (m_audio) {
        if (!audioFilter.isEmpty())
            m_graph += QStringLiteral(";[ca]%1[ao]").arg(audioFilter);
        maps << "-map" << (audioFilter.isEmpty() ? "[ca]" : "[ao]");
    }
    m_outputOptions = maps + options;
    return {};
}

QString SegmentsJob::PrepareCopy(std::vector<double>* lengths)
{
    // Each stretch is copied from the key frame at or before its start to
    // the key frame at or after its end (left out): a copy cut anywhere
    // else would hold pictures that refer to pictures it lacks, or that
    // are shown after the next stretch has begun. The probe's seek lands
    // on the first; the packets listed from the end tell the second.
    const TimeOrigin o = ProbeTimeOrigin(m_inputFile).value_or(TimeOrigin());
    const auto packets = [&](double from, const QString& count) {
        return RunProbe({"-v", "error", "-select_streams", "v:0", "-show_entries", "packet=pts_time,dts_time,flags",
                         "-read_intervals", Secs(from) + "%" + count, "-of", "csv=p=0", m_inputFile})
            .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    };
    const auto keyFrame = [](const QString& line) { return line.section(QLatin1Char(','), 2).startsWith(QLatin1Char('K')); };
    const auto time = [](const QString& line, int field) { return line.section(QLatin1Char(','), field, field).toDouble(); };
    QString listing = QStringLiteral("ffconcat version 1.0\n");
    for (const JoinSpan& span : m_spans) {
        const double from = o.FileTimeOfPosition(span.start), to = o.FileTimeOfPosition(span.end);
        const QStringList first = packets(from, QStringLiteral("+#1"));
        const QStringList after = packets(to, QStringLiteral("+%1").arg(kEndKeyFrameSearch));
        if (m_probesStopped)
            return {};
        const bool onKey = !first.isEmpty() && keyFrame(first.front()) && time(first.front(), 0) <= from + 1e-6;
        const double in = onKey ? time(first.front(), 0) : from;
        listing += ListedFile(m_inputFile) + QStringLiteral("inpoint %1\n").arg(Secs(in));
        const auto end = std::find_if(after.begin(), after.end(), [&](const QString& line) {
            return keyFrame(line) && time(line, 0) >= to - 1e-6;
        });
        // Without a key frame there, the stretch runs to the input's end.
        if (end != after.end()) {
            listing += QStringLiteral("outpoint %1\nduration %2\n")
                           .arg(Secs(end->section(QLatin1Char(','), 1, 1) == QLatin1String("N/A") ? time(*end, 0) : time(*end, 1)),
                                Secs(time(*end, 0) - in));
        }
        lengths->push_back((end != after.end() ? time(*end, 0) : to) - in);
    }
    if (const QString error = WriteFile(QStringLiteral("spans.ffconcat"), listing, &m_listing); !error.isEmpty())
        return error;
    // A copy has no filters to run.
    QString unusedVideo, unusedAudio;
    m_outputOptions = WithoutLengthAndFilters(m_options, &unusedVideo, &unusedAudio);
    return {};
}

QString SegmentsJob::PrepareJoin(const QString& extension, std::vector<double>* lengths)
{
    const bool oneFile = m_files.size() == 1;
    // Each made file lasts its picture's length, measured from where its
    // picture starts: the sound in front of a picture (less than an
    // audio frame) plays before it, across the join, as it does in the
    // file. The file's last audio frames that would start where the
    // next file's sound has begun are left out (its out point), so no
    // sound overlaps; never a picture's packet.
    std::vector<double> starts, delays, lastPictures;
    QString codec;
    for (const QString& file : std::as_const(m_files)) {
        const QJsonObject info = QJsonDocument::fromJson(
            RunProbe({"-v", "error", "-show_entries",
                      "stream=index,codec_type,codec_name,start_time:format=start_time,duration", "-of", "json", file})
                .toUtf8()).object();
        if (m_probesStopped)
            return {};
        const QJsonObject format = info.value(QLatin1String("format")).toObject();
        const double start = format.value(QLatin1String("start_time")).toString().toDouble();
        const double end = start + format.value(QLatin1String("duration")).toString().toDouble();
        double delay = 0.0;
        QStringList videoStreams;
        for (const QJsonValue& value : info.value(QLatin1String("streams")).toArray()) {
            const QJsonObject stream = value.toObject();
            if (stream.value(QLatin1String("codec_type")).toString() != QLatin1String("video"))
                continue;
            if (codec.isEmpty())
                codec = stream.value(QLatin1String("codec_name")).toString();
            if (videoStreams.isEmpty())
                delay = std::max(0.0, stream.value(QLatin1String("start_time")).toString().toDouble() - start);
            videoStreams << QString::number(stream.value(QLatin1String("index")).toInt());
        }
        // The last picture packets' decode times, read from a second before the file's end.
        double lastPicture = start;
        if (oneFile)
            videoStreams.clear();
        const QString packets = videoStreams.isEmpty() ? QString() : RunProbe({"-v", "error", "-show_entries",
            "packet=stream_index,dts_time,pts_time", "-read_intervals", Secs(std::max(start, end - 1.0)) + "%",
            "-of", "csv=p=0", file});
        if (m_probesStopped)
            return {};
        for (const QString& line : packets.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
            if (!videoStreams.contains(line.section(QLatin1Char(','), 0, 0)))
                continue;
            const QString dts = line.section(QLatin1Char(','), 2, 2);
            lastPicture = std::max(lastPicture, (dts == QLatin1String("N/A") ? line.section(QLatin1Char(','), 1, 1) : dts).toDouble());
        }
        starts.push_back(start);
        delays.push_back(delay);
        lastPictures.push_back(lastPicture);
    }
    QString listing = QStringLiteral("ffconcat version 1.0\n");
    if (oneFile)
        listing += ListedFile(m_files.front());  // already joined: copied as it is, the chapters added
    for (std::size_t i = 0; i < m_spans.size(); ++i) {
        const double picture = m_spans[i].end - m_spans[i].start;
        if (!oneFile && i + 1 < m_spans.size()) {
            const double next = picture + delays[i] - delays[i + 1];
            listing += ListedFile(m_files[qsizetype(i)])
                + QStringLiteral("duration %1\noutpoint %2\n")
                      .arg(Secs(next), Secs(std::max(starts[i] + next, lastPictures[i] + 0.0005)));
        } else if (!oneFile) {
            listing += ListedFile(m_files[qsizetype(i)]);
        }
        lengths->push_back(picture);
    }
    if (const QString error = WriteFile(QStringLiteral("parts.ffconcat"), listing, &m_listing); !error.isEmpty())
        return error;
    QString unusedVideo, unusedAudio;
    m_outputOptions = QStringList{"-map", "0"} + WithoutLengthAndFilters(m_options, &unusedVideo, &unusedAudio);
    // The parts' parameter sets differ (re-encoded heads, copied bodies)
    // and travel in the stream: MP4 and MOV say so by the sample entry.
    if (QStringList{"mp4", "mov", "m4v"}.contains(extension.toLower())) {
        if (codec == QLatin1String("h264"))
            m_outputOptions << "-tag:v" << "avc3";
        else if (codec == QLatin1String("hevc"))
            m_outputOptions << "-tag:v" << "hev1";
    }
    return {};
}

QString SegmentsJob::Prepare()
{
    m_listing.clear(), m_chapters.clear(), m_outputOptions.clear();
    const bool oneFile = m_route == Route::JoinFiles && m_files.size() == 1;
    if (m_spans.empty() || (m_route == Route::JoinFiles && !oneFile && m_files.size() != qsizetype(m_spans.size())))
        return QStringLiteral("there is nothing to write");
    m_folder = std::make_unique<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/clipwright-join-XXXXXX"));
    if (!m_folder->isValid())
        return QStringLiteral("its working folder could not be made: ") + m_folder->errorString();
    const QString extension = QFileInfo(m_outputShownAs.isEmpty() ? m_outputFile : m_outputShownAs).suffix();
    std::vector<double> lengths;
    QStringList labels;
    for (const JoinSpan& span : m_spans)
        labels << span.label;

    const QString error = m_route == Route::Reencode ? PrepareReencode(&lengths)
        : m_route == Route::CopyInput                 ? PrepareCopy(&lengths)
                                                      : PrepareJoin(extension, &lengths);
    if (!error.isEmpty() || m_probesStopped)
        return error;
    if (m_withChapters && KeepsChapters(extension)) {
        if (const QString failed = WriteFile(QStringLiteral("chapters.txt"), ChapterListing(lengths, labels), &m_chapters);
            !failed.isEmpty())
            return failed;
    }
    return {};
}

QStringList SegmentsJob::BuildArguments() const
{
    QStringList args;
    int chaptersInput = 1;
    if (m_route == Route::Reencode) {
        // Where the input seeks exactly, each stretch is an input of its own
        // (the encoder seeks to it and reads only it); elsewhere the input is
        // read once and the stretches are trimmed out of it by time.
        const int n = int(m_spans.size());
        QString graph;
        QString joined;
        if (!m_seekAfterInput) {
            for (int i = 0; i < n; ++i) {
                const qint64 start = MediaMilliseconds(m_spans[size_t(i)].start);
                args << "-ss" << MsText(m_origin.EncoderMilliseconds(start)) << "-t"
                     << MsText(MediaMilliseconds(m_spans[size_t(i)].end - m_spans[size_t(i)].start)) << "-i"
                     << m_inputFile;
                if (m_video)
                    joined += QStringLiteral("[%1:v:0]").arg(i);
                if (m_audio)
                    joined += QStringLiteral("[%1:a:0]").arg(i);
            }
            chaptersInput = n;
        } else {
            args << "-i" << m_inputFile;
            QString vSplit = QStringLiteral("[0:v:0]split=%1").arg(n), aSplit = QStringLiteral("[0:a:0]asplit=%1").arg(n);
            QString trims;
            for (int i = 0; i < n; ++i) {
                const qint64 from = m_origin.EncoderMilliseconds(MediaMilliseconds(m_spans[size_t(i)].start));
                const qint64 to = from + MediaMilliseconds(m_spans[size_t(i)].end - m_spans[size_t(i)].start);
                const QString range = QStringLiteral("start=%1:end=%2").arg(MsText(from), MsText(to));
                if (m_video) {
                    vSplit += QStringLiteral("[s%1]").arg(i);
                    trims += QStringLiteral(";[s%1]trim=%2,setpts=PTS-STARTPTS[v%1]").arg(i).arg(range);
                    joined += QStringLiteral("[v%1]").arg(i);
                }
                if (m_audio) {
                    aSplit += QStringLiteral("[t%1]").arg(i);
                    trims += QStringLiteral(";[t%1]atrim=%2,asetpts=PTS-STARTPTS[a%1]").arg(i).arg(range);
                    joined += QStringLiteral("[a%1]").arg(i);
                }
            }
            graph = (m_video ? vSplit : QString()) + (m_video && m_audio ? QStringLiteral(";") : QString())
                + (m_audio ? aSplit : QString()) + trims + QLatin1Char(';');
        }
        graph += joined + QStringLiteral("concat=n=%1:v=%2:a=%3").arg(n).arg(m_video ? 1 : 0).arg(m_audio ? 1 : 0)
            + (m_video ? QStringLiteral("[cv]") : QString()) + (m_audio ? QStringLiteral("[ca]") : QString()) + m_graph;
        if (!m_chapters.isEmpty())
            args << "-i" << m_chapters;
        args << "-filter_complex" << graph;
    } else {
        args << "-f" << "concat" << "-safe" << "0" << "-i" << m_listing;
        if (!m_chapters.isEmpty())
            args << "-i" << m_chapters;
    }
    args << m_outputOptions;
    if (!m_chapters.isEmpty())
        args << "-map_chapters" << QString::number(chaptersInput);
    return args << m_outputFile;
}

void SegmentsJob::StartConversion()
{
    m_failure = {};
    m_outcome = CutOutcome::NotRun;
    m_probesStopped = false;
    if (!m_spans.empty() && m_route != Route::JoinFiles)
        setStartTime(m_spans.front().start);  // where the input is read from: its seek and its length check
    const QString problem = Prepare();
    if (m_probesStopped) {
        m_outcome = CutOutcome::Stopped;
        raiseStatus(QStringLiteral("Cancelled"));
    } else if (!problem.isEmpty()) {
        m_outcome = CutOutcome::Failed;
        setFailure(ConversionError(problem), {});
        raiseStatus(QStringLiteral("Error"));
    } else {
        CVideoConv::StartConversion();
        // The join's own count of the picture's packets it wrote (its last status line).
        static const QRegularExpression counted(QStringLiteral("frame=\\s*(\\d+)"));
        int written = -1;
        for (auto m = counted.globalMatch(m_lastReport); m.hasNext();)
            written = m.next().captured(1).toInt();
        if (m_outcome == CutOutcome::Succeeded && m_expectedPictures > 0 && written != m_expectedPictures) {
            m_outcome = CutOutcome::Failed;
            setFailure(ConversionError(QStringLiteral("The cut produced no usable video: the joined parts hold %1 "
                                                      "pictures instead of the %2 selected")
                                           .arg(written)
                                           .arg(m_expectedPictures)),
                       m_lastReport);
            raiseStatus(QStringLiteral("Error"));
        }
    }
    m_folder.reset();
}

}  // namespace clip
