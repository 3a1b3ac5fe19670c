// Smart cuts by the real encoder, over codecs, GOP kinds and containers and
// marks placed around key frames: the selected frames exactly, a stream
// that decodes without a complaint, the copied frames bit-exact, the
// re-encoded ones close to the source, the sound in step with the picture.
#include "engine/ChildRuns.h"
#include "engine/SmartCutJob.h"
#include "support/FakeHost.h"
#include "support/TestClips.h"

#include "common/SecondsToTime.h"

#include <QDateTime>
#include <QFileInfo>
#include <QLockFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtEndian>
#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <tuple>

namespace clip {
namespace {

using namespace test;

struct Frame {
    double time;  // from the file's start, as marks are
    bool key;
};

// The clip's video frames in presentation order.
QVector<Frame> Frames(const QString& path)
{
    const double start = ProbeCsv(path, {"-show_entries", "format=start_time"}).toDouble();
    QVector<Frame> frames;
    for (const QString& line : ProbeCsv(path, {"-select_streams", "v:0", "-show_entries", "packet=pts_time,flags"})
                                   .split('\n', Qt::SkipEmptyParts)) {
        const QStringList f = line.trimmed().split(',');
        if (f.size() >= 2 && !f[1].contains('D'))
            frames.append({f[0].toDouble() - start, f[1].startsWith('K')});
    }
    std::sort(frames.begin(), frames.end(), [](const Frame& a, const Frame& b) { return a.time < b.time; });
    return frames;
}

// The md5 of each decoded picture of `args` (input options and input).
QStringList PictureSums(const QStringList& input)
{
    QString out;
    RunProgram(FfmpegPath(), QStringList{"-v", "error"} + input + QStringList{"-map", "0:v:0", "-f", "framemd5", "-"},
               &out);
    QStringList sums;
    for (const QString& line : out.split('\n', Qt::SkipEmptyParts)) {
        if (line.startsWith("0,"))  // not the header, nor a decoder complaint
            sums << line.section(',', -1).trimmed();
    }
    return sums;
}

// Aims a fresh job at cutting `length` seconds of `input` from `start` into `output`.
void Aim(SmartCutJob& job, const QString& input, const QString& output, double start, double length)
{
    Fake().reset();
    job.setInputFile(input);
    job.setOutputFile(output);
    job.setStartTime(start);
    job.setSelectionLength(length);
}

// Puts a stand-in for the encoder or the probe (`tool`) into `dir`: a script that runs `first` (with `$last`, the
// last argument, at hand), then the real program in its place with the same arguments.
void WriteStandIn(const QTemporaryDir& dir, const QString& tool, const QString& first)
{
    const QString real = tool == "ffmpeg" ? FfmpegPath() : FfprobePath();
    WriteFile(dir.filePath(tool), QString("#!/bin/sh\nfor last; do :; done\n%1\nexec \"%2\" \"$@\"\n").arg(first, real).toUtf8(),
              true);
}

// The first message and its details: why a cut failed.
std::string Said(const CutJob& job) { return (job.Failure().message + job.Failure().details).toStdString(); }

// Runs `job` as aimed; its cut holds the `selected` pictures of `want` (the source's, decoded from its start),
// decodes cleanly and has the copied ones bit-exact.
void ExpectExactCut(SmartCutJob& job, const QStringList& want, int selected)
{
    job.StartConversion();
    ASSERT_EQ(job.Outcome(), CutOutcome::Succeeded) << Said(job);
    const SmartCutPlan& plan = job.Plan();
    EXPECT_EQ(plan.frames, selected);
    QString errors;
    EXPECT_TRUE(DecodesCleanly(job.OutputFile(), &errors)) << errors.toStdString();
    const QStringList got = PictureSums({"-i", job.OutputFile()});
    ASSERT_EQ(want.size(), selected);
    ASSERT_EQ(got.size(), selected);
    for (int i = plan.headFrames; i < plan.headFrames + plan.bodyFrames; ++i)
        ASSERT_EQ(got[i].toStdString(), want[i].toStdString()) << "copied picture " << i;
}

// Where the output's parameter sets (those of the container's entry first, then those in the stream) are not
// consistent: an H.264 id given other contents, or an H.265 one given them in front of a picture that does not
// start a new coded sequence (IDR or broken link). Empty when they are.
std::string SeamFault(const QString& path, bool hevc)
{
    QString trace;
    RunProgram(FfmpegPath(), {"-v", "trace", "-i", path, "-map", "0:v:0", "-c", "copy", "-bsf:v", "trace_headers", "-f", "null", "-"}, &trace);
    QHash<QString, QString> sets;  // contents by kind and ids
    QString unit, key, content, changed;
    const auto close = [&] {
        if (!key.isEmpty() && sets.contains(key) && sets[key] != content)
            changed = key;
        if (!key.isEmpty())
            sets[key] = content;
        key.clear(), content.clear();
    };
    for (const QString& line : trace.split('\n')) {
        const QString text = line.section("] ", 1).trimmed();
        if (!line.contains("[trace_headers") || text.isEmpty())
            continue;
        if (!text[0].isDigit()) {
            close();
            unit = text.endsWith("Parameter Set") ? text : QString();
            continue;
        }
        const QStringList f = text.simplified().split(' ');  // position, name, bits, "=", value
        if (f.size() < 5)
            continue;
        if (f[1] == "nal_unit_type" && f[4].toInt() <= (hevc ? 31 : 5) && (hevc || f[4].toInt() >= 1)) {
            const bool starts = hevc ? f[4].toInt() >= 16 && f[4].toInt() <= 20 : f[4].toInt() == 5;
            if (!changed.isEmpty() && (!hevc || !starts))
                return QString("%1 changed in front of a picture of type %2").arg(changed, f[4]).toStdString();
            changed.clear();
        }
        if (!unit.isEmpty() && f[1].endsWith("parameter_set_id") && content.count("parameter_set_id") == key.count('='))
            key += QString(" %1=%2").arg(f[1], f[4]).prepend(key.isEmpty() ? unit : "");
        content += f[1] + f[2];
    }
    return {};
}

// The plan on packet lists in decode order ("6K" is a key frame shown at 6): closed GOPs of six
// frames with B-frames, and open ones whose key frames are followed by two leading frames.
TEST(SmartCut, PlansTheHeadTheCopyAndTheTailFromUsableKeyFrames)
{
    const QString closed = "0K 3 1 2 5 4 6K 9 7 8 11 10 12K 15 13 14 17 16 18K 21 19 20";
    const QString open = "0K 3 1 2 6K 4 5 9 7 8 12K 10 11 15 13 14 18K 16 17 21 19 20";
    struct Case {
        QString packets;
        int from, to;
        bool leaveOutLeading;
        int head, body, tail, tailPts;
        int refused = -1;  // the key frame shown at this time cannot start a sequence
    } const cases[] = {
        {closed, 6, 12, true, 0, 6, 0, 0},    // from a key frame to one: all copied
        {closed, 7, 16, true, 5, 4, 0, 0},    // the copy ends inside a GOP where its B-frames allow
        {closed, 7, 15, true, 5, 1, 2, 13},   // ...and not where they need frame 15: the B-frames before it are the tail
        {closed, 0, 17, true, 0, 16, 1, 16},  // the copy runs over key frames; only frame 16 needs 17
        {closed, 1, 2, true, 1, 0, 0, 0},     // no key frame in the span
        {open, 4, 13, true, 2, 7, 0, 0},      // the key frame's leading frames 4 and 5 go to the head
        {open, 4, 13, false, 9, 0, 0, 0},     // where they may not be left out, nothing is copied
        {open, 4, 17, true, 2, 10, 1, 16},    // a later key frame's leading frames are copied with it
        {open, 4, 13, true, 8, 1, 0, 0, 6},   // the first key frame cannot start a sequence: the copy starts at 12
    };
    for (const Case& c : cases) {
        QVector<VideoPacket> packets;
        for (const QString& token : c.packets.split(' '))
            packets.append({token.chopped(token.endsWith('K')).toLongLong(), packets.size(), token.endsWith('K')});
        const std::optional<SmartCutPlan> plan = PlanSmartCut(packets, c.from, c.to, c.leaveOutLeading,
                                                              [&](int k) { return packets[k].pts != c.refused; });
        ASSERT_TRUE(plan.has_value());
        EXPECT_EQ(std::tuple(plan->frames, plan->headFrames, plan->bodyFrames, plan->tailFrames, plan->tailPts),
                  std::tuple(c.to - c.from, c.head, c.body, c.tail, qint64(c.tailPts)))
            << c.packets.toStdString() << " from " << c.from << " to " << c.to;
    }
    EXPECT_FALSE(PlanSmartCut({{0, 0, true}}, 1, 2).has_value());  // no frame in the span

    // A listing of a long selection's two ends ("|": the middle left out) plans for the whole stream
    // only where the copy starts before the gap with a whole GOP there, and runs on past the gap.
    const struct {
        QString packets;
        bool holds;
    } gaps[] = {
        {"0K 3 1 2 5 4 6K 9 7 8 11 10 12K 15 | 18K 21 19 20", true},
        {"0K 3 1 2 5 4 6K 9 7 | 18K 21 19 20", false},  // the copy's first GOP runs into the gap
        {"0K 3 1 2 5 4 | 18K 21 19 20", false},           // the copy starts after the gap
        {"0K 3 1 2 5 4 6K 9 7 8 11 10 12K 15 | 12K 15 13 14 17 16 18K 21 19 20", false},  // the ends overlap
    };
    for (const auto& g : gaps) {
        QVector<VideoPacket> packets;
        int second = -1;
        for (const QString& token : g.packets.split(' ')) {
            if (token == "|")
                second = packets.size();
            else
                packets.append({token.chopped(token.endsWith('K')).toLongLong(), packets.size() + (second < 0 ? 0 : 100),
                                token.endsWith('K')});
        }
        EXPECT_EQ(LargestStep(packets), second) << g.packets.toStdString();
        const std::optional<SmartCutPlan> plan = PlanSmartCut(packets, 1, 20);
        ASSERT_TRUE(plan.has_value());
        EXPECT_EQ(PlanSpansGap(packets, second, *plan), g.holds) << g.packets.toStdString();
    }
}

// Run by the test below as a program of its own: it dies holding a parts folder, as a killed job would.
TEST(SmartCutHelper, DISABLED_DiesHoldingAPartsFolder)
{
    const QString folder = qEnvironmentVariable("CLIP_PARTS_FOLDER");
    QLockFile owner(folder + "/" + SmartCutJob::kPartsOwnerFile);
    if (QDir().mkpath(folder) && owner.tryLock(0))
        std::_Exit(0);
}

// Every sound and subtitle stream is kept, a subtitle across the end mark ends with the cut, a phone's
// rotation stays (and no picture is turned on its own), and what cannot be cut that way (Opus in MOV,
// QuickTime ADPCM in the Matroska sound part, the rotation in MKV, interlaced pictures) is asked about
// before any part is made; the re-encode offered instead runs its bar.
#ifndef Q_OS_WIN
// A head of a few frames goes into its pipe whole and its encoder ends before the join has opened the pipe: the
// job's hold must reach the join with all of it, not end the pipe (and the head) before anyone read it.
TEST(SmartCut, HeldPipeReachesAReaderThatOpensAfterTheWriterEnded)
{
    QTemporaryDir dir;
    const QString fifo = dir.filePath("head.ts"), out = dir.filePath("read");
    ASSERT_TRUE(MakePipe(fifo));
    HeldPipe hold;
    ASSERT_TRUE(hold.Open(fifo));
    {
        QFile writer(fifo);
        ASSERT_TRUE(writer.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
        writer.write("head");
    }
    BesideRun reader("sh", {"-c", "sleep 0.3; exec cat \"$0\" > \"$1\"", fifo, out});
    EXPECT_TRUE(hold.Release("tail", 5000));
    EXPECT_TRUE(WaitForAll({&reader}, [] { return false; }, 3000));
    QFile read(out);
    EXPECT_TRUE(read.open(QIODevice::ReadOnly) && read.readAll() == "headtail");
}
#endif

TEST(SmartCut, KeepsEveryStreamAndTheRotationWithinTheCutOrAsksFirst)
{
    QTemporaryDir dir;
    const QString cues = dir.filePath("cues.srt");
    WriteFile(cues, "1\n00:00:02,000 --> 00:00:05,000\nacross the end\n");
    const QString made = dir.filePath("made.mp4"), clip = dir.filePath("two sounds.mp4");
    ASSERT_EQ(RunProgram(FfmpegPath(), {"-v", "error", "-f", "lavfi", "-i", "testsrc2=size=160x120:rate=25:duration=5",
                                        "-f", "lavfi", "-i", "sine=d=5", "-i", cues, "-map", "0", "-map", "1",
                                        "-map", "1", "-map", "2", "-c:v", "libx264", "-g", "25", "-c:a:0", "aac",
                                        "-c:a:1", "libopus", "-c:s", "mov_text", made})
                  + RunProgram(FfmpegPath(), {"-v", "error", "-i", made, "-map", "0", "-c", "copy", "-metadata:s:v:0",
                                              "rotate=90", clip}),
              0);
    // Parts folders of a job that died, of one that runs, and one whose owner has not locked it yet:
    // the cut removes the first only.
    QProcess dead;
    StartSelf(dead, "SmartCutHelper.*", {{"CLIP_PARTS_FOLDER", dir.filePath(".clipwright-smartcut-dead")}});
    ASSERT_TRUE(dead.waitForFinished() && QFile::exists(dir.filePath(".clipwright-smartcut-dead/owner.lock")));
    QLockFile running(dir.filePath(".clipwright-smartcut-running/owner.lock"));
    ASSERT_TRUE(QDir(dir.path()).mkpath(".clipwright-smartcut-running/") && running.tryLock(0)
                && QDir(dir.path()).mkpath(".clipwright-smartcut-new"));
    // A job that has run for an hour is as alive as a new one.
    QFile held(dir.filePath(".clipwright-smartcut-running/owner.lock"));
    ASSERT_TRUE(held.open(QIODevice::ReadWrite)
                && held.setFileTime(QDateTime::currentDateTime().addSecs(-3600), QFileDevice::FileModificationTime));
    held.close();
    // MOV takes this sound as it is (Matroska would not: the sound is taken straight from the input).
    const QString qtSound = MakeFile("qt-sound", "mov", {"-f", "lavfi", "-i", "testsrc2=size=160x120:rate=25:duration=5",
                                                        "-f", "lavfi", "-i", "sine=d=5", "-c:v", "libx264", "-g", "25",
                                                        "-c:a", "adpcm_ima_qt"});
    // Interlaced pictures whose stream does not say so in its header.
    const QString interlaced = MakeFile("interlaced", "mkv", {"-f", "lavfi", "-i", "testsrc2=size=160x120:rate=25:duration=5",
                                                             "-c:v", "libx264", "-flags", "+ildct+ilme", "-x264opts", "tff=1",
                                                             "-g", "25"});
    const std::pair<QString, QString> runs[] = {
        {clip, "mp4"}, {clip, "mov"}, {clip, "mkv"}, {qtSound, "mov"}, {interlaced, "mkv"}};
    int run = 0;
    for (const auto& [source, ext] : runs) {
        SCOPED_TRACE((QFileInfo(source).fileName() + " into " + ext).toStdString());
        SmartCutJob job;
        Aim(job, source, dir.filePath(QString("cut%1.%2").arg(++run).arg(ext)), 1.2, 2.0);
        job.StartConversion();
        const bool qt = source == qtSound;
        if (!qt && (source != clip || ext != "mp4")) {  // the re-encode is offered (the controller asks), nothing made
            EXPECT_TRUE(job.Outcome() == CutOutcome::NotRun && job.Failure().message.isEmpty() && Fake().messages.isEmpty());
            EXPECT_TRUE(job.ReencodeOffer().contains(source == interlaced ? "the video is interlaced"
                                                     : ext == "mov"         ? "as they are: opus)"
                                                                            : "rotation of 90 degrees"))
                << job.ReencodeOffer().toStdString();
            EXPECT_EQ(job.Plan().frames, 0);  // asked before the frames were even listed
            continue;
        }
        ASSERT_EQ(job.Outcome(), CutOutcome::Succeeded) << Said(job);
        const QString streams = ProbeCsv(job.OutputFile(), {"-show_entries",
                                                            "stream=codec_name:stream_side_data=rotation:format=duration"})
                                    .replace(',', ' ')
                                    .simplified();
        EXPECT_EQ(streams.section(' ', 0, qt ? 1 : 4).toStdString(), qt ? "h264 adpcm_ima_qt" : "h264 90 aac opus mov_text");
        EXPECT_LE(streams.section(' ', qt ? 2 : 5).toDouble(), 2.1);  // the subtitle alone would last to 3.8 s
        const QString sizes = ProbeCsv(job.OutputFile(), {"-show_entries", "frame=width,height"});
        EXPECT_EQ(sizes.split('\n', Qt::SkipEmptyParts).filter("160,120").size(), 50);
        EXPECT_EQ(QDir(dir.path()).entryList({".clipwright-smartcut-*"}, QDir::Dirs | QDir::Hidden),
                  QStringList({".clipwright-smartcut-new", ".clipwright-smartcut-running"}));
    }
}

// Two minutes at 10 fps with sound, a key frame every `gop` frames: long enough for the copied body to go through
// a pipe into the join, and for the packets to be listed around the marks only.
QString LongClip(int gop = 25)
{
    return MakeFile("long-selection", "mp4",
                    {"-f", "lavfi", "-i", "testsrc2=size=160x120:rate=10:duration=130", "-f", "lavfi", "-i",
                     "sine=sample_rate=44100:duration=130", "-c:v", "libx264", "-g", QString::number(gop), "-keyint_min",
                     QString::number(gop), "-sc_threshold", "0", "-bf", "2", "-c:a", "aac"});
}

// Parts that go wrong on their way to the join, by an encoder that wraps the real one: a re-encoded head with
// bytes overwritten in its middle (the output check refuses the result), joined or spliced into an MP4, and a copy
// into the join's pipe that fails, never having opened it, while the join waits for it (it must not wait for
// ever). No parts are left behind.
TEST(SmartCut, RefusesAnOutputWhosePartsWentWrongOnTheirWayToTheJoin)
{
    const struct {
        const char* part;
        QString fault, clip;
        double start, length;
        const char* says;
        const char* output = "cut.mkv";
    } cases[] = {
        {"head.ts", "head -c 6000 /dev/zero | tr '\\0' U | dd of=\"$part\" bs=1 seek=$(($(stat -c %s \"$part\") / 3)) "
                 "conv=notrunc 2>/dev/null; cat \"$part\" > \"$last\"; exit 0",
         MakeFile("damaged", "mp4", {"-f", "lavfi", "-i", "testsrc2=size=320x240:rate=25:duration=4", "-c:v", "libx264",
                                     "-g", "25"}),
         0.2, 2.4, "The cut produced no usable video"},
        {"body.ts", "sleep 2; exit 1", LongClip(), 0.3, 127.0, "Error converting file"},
        {"head.ts", "exit 1", MakeFile("damaged", "mp4", {"-f", "lavfi", "-i", "testsrc2=size=320x240:rate=25:duration=4",
                                                     "-c:v", "libx264", "-g", "25"}),
         0.2, 2.4, "Error converting file"},
        {"head.mp4", "head -c 6000 /dev/zero | tr '\\0' U | dd of=\"$part\" bs=1 seek=$(($(stat -c %s \"$part\") / 3)) "
                     "conv=notrunc 2>/dev/null; cat \"$part\" > \"$last\"; exit 0",
         MakeFile("damaged", "mp4", {"-f", "lavfi", "-i", "testsrc2=size=320x240:rate=25:duration=4", "-c:v", "libx264",
                                     "-g", "25"}),
         0.2, 2.4, "The cut produced no usable video", "cut.mp4"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.part);
        QTemporaryDir tools;
        // The head is made into a file of its own and damaged there on its way to its part (a pipe), or fails
        // outright while the join waits for it; the copy fails before it starts; the other runs are the encoder
        // itself, so that a run the job ends ends the encoder.
        const QString make = c.fault.contains("$part")
            ? QString("part=\"$last.made\"; n=$#; i=0; for a do i=$((i+1)); shift; [ $i -eq $n ] && a=\"$part\"; "
                      "set -- \"$@\" \"$a\"; done; \"%1\" \"$@\" || exit $?; ").arg(FfmpegPath())
            : "";
        WriteStandIn(tools, "ffmpeg", QString("case \"$last\" in */%1) %2%3 ;; esac").arg(c.part, make, c.fault));
        ASSERT_TRUE(QFile::link(FfprobePath(), tools.filePath("ffprobe")));
        SmartCutJob job;
        Aim(job, c.clip, tools.filePath(c.output), c.start, c.length);
        Fake().folderOverride = tools.path();
        job.StartConversion();
        EXPECT_EQ(job.Outcome(), CutOutcome::Failed);
        EXPECT_GT(job.Plan().headFrames, 1);
        EXPECT_TRUE(job.Failure().message.contains(c.says)) << Said(job);
        EXPECT_EQ(QDir(tools.path()).entryList({".clipwright-smartcut-*"}, QDir::Dirs | QDir::Hidden), QStringList());
    }
}

// The room the copy keeps at an MP4's front outgrown by the re-encoded pictures (an encoder wrapper shrinks it):
// they go after the copied ones, at the file's end, and the cut stays exact; a room too small even for the
// copy's own index, which the encoder then writes over the copied data while it ends as if it had succeeded:
// the cut is made again by a join, exact too.
TEST(SmartCut, SplicesTheReencodedPicturesWhereverTheCopyLeftRoom)
{
    const QString clip = MakeFile("roomy", "mp4", {"-f", "lavfi", "-i", "testsrc2=size=320x240:rate=25:duration=6", "-f",
                                                   "lavfi", "-i", "sine=sample_rate=44100:duration=6", "-c:v", "libx264",
                                                   "-bf", "3", "-g", "50", "-c:a", "aac"});
    for (const QString room : {"40000", "800"}) {
        SCOPED_TRACE(room.toStdString());
        QTemporaryDir tools;
        WriteStandIn(tools, "ffmpeg",
                     QString("p=; for a do shift; [ \"$p\" = -moov_size ] && a=%1; set -- \"$@\" \"$a\"; p=$a; done").arg(room));
        ASSERT_TRUE(QFile::link(FfprobePath(), tools.filePath("ffprobe")));
        SmartCutJob job;
        Aim(job, clip, tools.filePath("cut.mp4"), 0.6, 3.4);
        Fake().folderOverride = tools.path();
        ASSERT_NO_FATAL_FAILURE(ExpectExactCut(job, PictureSums({"-i", clip, "-ss", "0.600", "-t", "3.400"}), 85));
        EXPECT_GT(job.Plan().headFrames, 30);
        const QString tag = ProbeCsv(job.OutputFile(), {"-select_streams", "v", "-show_entries", "stream=codec_tag_string"});
        EXPECT_EQ(tag.trimmed().toStdString(), room == "800" ? "avc3" : "avc1");  // joined, or spliced
        EXPECT_EQ(QDir(tools.path()).entryList({".clipwright-smartcut-*"}, QDir::Dirs | QDir::Hidden), QStringList());
        if (room == "800")
            continue;
        // The room left free, the re-encoded pictures in a box of their own after the copied ones.
        QFile out(job.OutputFile());
        ASSERT_TRUE(out.open(QIODevice::ReadOnly));
        QByteArrayList boxes;
        for (qint64 at = 0; at + 8 <= out.size() && out.seek(at);) {
            const QByteArray header = out.read(8);
            boxes << header.mid(4, 4);
            at += qFromBigEndian<quint32>(reinterpret_cast<const uchar*>(header.constData()));
        }
        EXPECT_EQ(boxes.join(' ').toStdString(), "ftyp moov free mdat mdat");
    }
}

// The first key frame's look answering late, and no: the parts are made on the guess that it is an IDR picture,
// then made again from a plan that waits for the look (wrappers of the real probe and encoder: the first look
// answers after a second with a failure, the encoder counts the heads it makes). An MKV: the probe looks at its
// key frames (an MP4's are read in place).
TEST(SmartCut, MakesThePartsAgainWhereAKeyFrameTakenForIdrIsNone)
{
    QTemporaryDir tools;
    const QString said = tools.filePath("looked"), heads = tools.filePath("heads");
    WriteStandIn(tools, "ffprobe",
                 QString("case \"$*\" in *packet=pts,data*) [ -e '%1' ] || { touch '%1'; sleep 1; exit 1; } ;; esac").arg(said));
    WriteStandIn(tools, "ffmpeg", QString("case \"$last\" in */head.*) echo >> '%1' ;; esac").arg(heads));
    const QString clip = MakeFile("late-look", "mkv", {"-f", "lavfi", "-i", "testsrc2=size=160x120:rate=25:duration=6",
                                                       "-c:v", "libx264", "-bf", "3", "-g", "25"});
    SmartCutJob job;
    Aim(job, clip, tools.filePath("cut.mp4"), 0.6, 3.4);
    Fake().folderOverride = tools.path();
    ASSERT_NO_FATAL_FAILURE(ExpectExactCut(job, PictureSums({"-i", clip, "-ss", "0.600", "-t", "3.400"}), 85));
    EXPECT_GT(job.Plan().bodyFrames, 0);  // the second look said yes
    QFile made(heads);
    EXPECT_TRUE(made.open(QIODevice::ReadOnly));
    EXPECT_EQ(made.readAll().count('\n'), 2);
}

// The join's picture put 0.2 s after the sound instead of where the job aimed it (an encoder wrapper adds its own
// offset): the check's seek misses its stretch at first, finds where the picture starts and decodes again. And the
// look at the start cut short before the sound's frames after the start (a probe stand-in reads its first 20
// packets), or failing outright (a file the probe cannot seek in): the streams are asked alone, and the sound's own
// listing finds the audio frame under the start, which sets where the picture starts.
TEST(SmartCut, FindsTheCheckedStretchesWhereTheOutputsPictureStartsElsewhere)
{
    const QString clip = MakeFile("moved", "mp4", {"-f", "lavfi", "-i", "testsrc2=size=160x120:rate=25:duration=6", "-f",
                                                   "lavfi", "-i", "sine=sample_rate=44100:duration=6", "-c:v", "libx264",
                                                   "-bf", "3", "-g", "25", "-c:a", "aac"});
    for (const char* look : {"for a do shift\n    [ \"$p\" = -read_intervals ] && a=\"${a%%%*}%+#20\"; "
                             "set -- \"$@\" \"$a\"; p=$a\n  done", "exit 1"}) {
        SCOPED_TRACE(look);
        QTemporaryDir tools;
        WriteStandIn(tools, "ffmpeg",
                     "case \"$*\" in *parts.ffconcat*)\n  for a do shift\n"
                     "    [ \"$a\" = -f ] && [ -z \"$moved\" ] && { set -- \"$@\" -itsoffset 0.2; moved=1; }\n"
                     "    set -- \"$@\" \"$a\"\n  done ;;\nesac");
        WriteStandIn(tools, "ffprobe", QString("case \"$*\" in *nokey*) %1 ;;\nesac").arg(look));
        SmartCutJob job;
        Aim(job, clip, tools.filePath("cut.mkv"), 0.6, 3.4);
        Fake().folderOverride = tools.path();
        ASSERT_NO_FATAL_FAILURE(ExpectExactCut(job, PictureSums({"-i", clip, "-ss", "0.600", "-t", "3.400"}), 85));
        const auto [video, audio] = StreamStarts(job.OutputFile());
        EXPECT_NEAR(video - audio, 0.2, 0.002);  // the wrapper's offset took effect
        // The sound lasts from the audio frame under the start to the one under the end (1024 samples each).
        const QStringList frames = ProbeCsv(job.OutputFile(), {"-select_streams", "a:0", "-show_entries", "packet=pts_time"})
                                       .split('\n', Qt::SkipEmptyParts);
        ASSERT_GT(frames.size(), 1);
        const double sound = frames.last().toDouble() + 1024.0 / 44100 - frames.first().toDouble();
        EXPECT_TRUE(sound >= 3.4 - 0.001 && sound <= 3.4 + 2 * 1024.0 / 44100 + 0.001) << sound;
    }
}

struct ClipKind {
    const char* name;
    QString container, codec;
    QStringList options;
    QString output;  // the cut's container
};

const ClipKind kKinds[] = {
    {"H.264, B-frames, closed GOP", "mkv", "libx264", {"-g", "12", "-bf", "3"}, "mkv"},
    {"H.264, open GOP", "mp4", "libx264", {"-g", "12", "-bf", "3", "-x264-params", "open-gop=1"}, "mp4"},
    {"H.265 (open GOP, the encoder's default)", "mkv", "libx265",
     {"-x265-params", "keyint=12:min-keyint=12:bframes=3:log-level=error"}, "mkv"},
    {"MPEG-4 Part 2", "mp4", "mpeg4", {"-g", "12", "-q:v", "4"}, "mp4"},
    {"H.264 into MOV", "mp4", "libx264", {"-g", "12", "-bf", "3"}, "mov"},
};

// One clip kind per test, so that the kinds run side by side.
class SmartCutOf : public ::testing::TestWithParam<int> {};
INSTANTIATE_TEST_SUITE_P(Kinds, SmartCutOf, ::testing::Range(0, int(std::size(kKinds))));

TEST_P(SmartCutOf, CutsTheMarkedFramesCopyingWhatItCanAndDecodesCleanly)
{
    // Start and end as frames from a key frame K (the end frame itself is not cut).
    const std::pair<int, int> marks[] = {{0, 24}, {1, 31}, {-1, 23}, {5, 29}, {2, 8}};
    // Quotes, blanks and shell characters in the folder the parts and the output go to.
    QTemporaryDir temporary;
    const QDir folder(temporary.filePath("it's \"odd\" $HOME; `x` 'y'"));
    ASSERT_TRUE(temporary.isValid() && folder.mkpath("."));
    int cut = 0;
    const ClipKind& kind = kKinds[GetParam()];
    ClipRecipe recipe;
    recipe.container = kind.container, recipe.videoCodec = kind.codec, recipe.extraOutputArgs = kind.options;
    recipe.baseName = QString("smart-%1").arg(kind.codec);
    const QString clip = MakeClip(recipe);
    ASSERT_FALSE(clip.isEmpty());
    const QVector<Frame> frames = Frames(clip);
    int k = 0;  // the first key frame from 1 s on
    while (k < frames.size() && !(frames[k].key && frames[k].time >= 1.0))
        ++k;
    ASSERT_LT(k + 31, frames.size()) << kind.name;
    for (const auto& [first, last] : marks) {
        if (kind.output == "mov" && first != 1)
            continue;
        SCOPED_TRACE(QString("%1: frames K%2%3 to K+%4").arg(kind.name).arg(first < 0 ? "" : "+").arg(first).arg(last).toStdString());
        const double start = frames[k + first].time, end = frames[k + last].time;
        const bool openH264 = kind.codec == "libx264" && kind.options.contains("open-gop=1");
        const QString out = folder.filePath(QString("cut%1.%2").arg(++cut).arg(kind.output));
        // The source's pictures of the marks, decoded from its start.
        const QString at = CommandLineSeconds(MediaMilliseconds(start)),
                      length = CommandLineSeconds(MediaMilliseconds(end - start));
        const QStringList want = PictureSums({"-i", clip, "-ss", at, "-t", length});
        SmartCutJob job;
        Aim(job, clip, out, start - frames[0].time, end - start);  // a position: from the first frame on
        ASSERT_NO_FATAL_FAILURE(ExpectExactCut(job, want, last - first));
        const SmartCutPlan& plan = job.Plan();
        // From a key frame nothing before it is re-encoded, over one the copy starts there; an open
        // GOP's H.264 key frames are passed over.
        if (!openH264) {
            EXPECT_EQ(plan.headFrames == 0, first == 0);
            EXPECT_EQ(plan.bodyFrames > 0, last > 12);
        }
        // The re-encoding cut of the same marks selects as many.
        if (GetParam() == 0) {
            EXPECT_EQ(PictureSums({"-ss", at, "-i", clip, "-t", length}).size(), want.size());
        }
        QString psnr;
        RunProgram(FfmpegPath(), {"-v", "error", "-i", out, "-i", clip, "-lavfi",
                                  "[0:v]settb=1/25,setpts=N[a];[1:v]trim=start=" + at + ":duration=" + length
                                      + ",settb=1/25,setpts=N[b];[a][b]psnr=stats_file=-:shortest=1",
                                  "-f", "null", "-"},
                   &psnr);
        const QRegularExpression line("n:(\\d+) .*psnr_avg:(\\S+)");
        int measured = 0;
        for (auto m = line.globalMatch(psnr); m.hasNext();) {
            const auto hit = m.next();
            const int n = hit.captured(1).toInt() - 1;
            const bool copied = n >= plan.headFrames && n < plan.headFrames + plan.bodyFrames;
            ++measured;
            if (!copied && hit.captured(2) != "inf") {
                EXPECT_GE(hit.captured(2).toDouble(), 45.0) << "re-encoded picture " << n;
            }
        }
        EXPECT_EQ(measured, last - first);

        // The sound starts with the audio frame under the first picture (1024 samples at 44.1 kHz).
        const auto [video, audio] = StreamStarts(out);
        EXPECT_TRUE(video - audio >= -0.0005 && video - audio <= 1024.0 / 44100 + 0.0005) << video << " " << audio;
    }
}

// Files the cut meets beyond the encoder's defaults, each with the marks that trouble it: open GOPs
// (leading pictures before each key frame), a key frame every 10 s with the end inside the last GOP,
// sound that starts after the first picture, subtitles shown across the marks.
TEST(SmartCut, CutsFilesOfEveryCommonShapeExactly)
{
    const QStringList picture{"-f", "lavfi", "-i", "testsrc2=size=160x120:rate=25:duration=21"};
    const QStringList sound{"-f", "lavfi", "-i", "sine=sample_rate=48000:duration=21"};
    const QStringList x264{"-c:v", "libx264", "-preset", "fast", "-bf", "3", "-sc_threshold", "0",
                           "-pix_fmt", "yuv420p", "-c:a", "aac"};
    const QStringList openGop = x264 + QStringList{"-g", "50", "-keyint_min", "50", "-x264-params", "open-gop=1"};
    const QStringList longGop = x264 + QStringList{"-g", "250", "-keyint_min", "250"};
    const QString avc1 = MakeFile("avc1", "mp4", picture + sound + x264 + QStringList{"-g", "25", "-t", "5"});
    const QString hvc1 = MakeFile("hvc1", "mp4", picture + sound + QStringList{"-c:v", "libx265", "-x265-params",
        "keyint=25:min-keyint=25:scenecut=0:bframes=3:log-level=error", "-tag:v", "hvc1", "-c:a", "aac", "-t", "5"});
    QTemporaryDir dir;
    const QString cues = dir.filePath("cues.srt");
    WriteFile(cues, "1\n00:00:00,500 --> 00:00:00,900\nover before the start\n\n"
               "2\n00:00:01,000 --> 00:00:02,500\nacross the start\n\n3\n00:00:02,600 --> 00:00:04,000\nacross the end\n");
    struct Case {
        const char* name;
        QString clip, output;
        double start, end;  // marks in seconds
        bool copies;        // an H.264 open GOP has no IDR picture to copy from
        QString subtitles = {};  // shown in the output, as "from-to" in seconds
        QString tag = {};        // the output's video sample entry, where it has one
    } const cases[] = {
        {"open GOP, MKV", MakeFile("open", "mkv", QStringList{"-f", "lavfi", "-i", "testsrc2=size=320x240:rate=25:duration=16"} + sound + openGop),
         "mkv", 2.04, 13.28, false},
        {"open GOP, MP4", MakeFile("open", "mp4", picture + sound + openGop), "mp4", 3.96, 13.28, false},
        {"long GOP, end in the last GOP", MakeFile("long", "mkv", picture + sound + longGop), "mkv", 9.6, 19.24, true},
        {"long GOP, from inside the first GOP", MakeFile("long", "mkv", picture + sound + longGop), "mp4", 4.0, 18.8, true},
        {"sound after the first picture",
         MakeFile("late-sound", "mp4", picture + QStringList{"-itsoffset", "0.5"} + sound + x264 + QStringList{"-g", "25", "-t", "4"}),
         "mp4", 0.2, 2.6, true},
        {"subtitles across the marks",
         MakeFile("subtitled", "mkv", picture + sound + QStringList{"-i", cues} + x264
                                          + QStringList{"-g", "25", "-c:s", "srt", "-t", "5"}),
         "mkv", 2.0, 3.0, true, "0.00-0.50 0.60-1.00"},
        // H.265 from an hvc1 entry, open GOPs: the copy alone keeps the entry's tag; after a head the copy's
        // key frame becomes a broken link, starting a sequence whose own sets it brings. H.264 keeps avc1 after a
        // head too: the entry holds the head's sets beside the input's.
        {"H.265 hvc1, the copy alone, into MP4", hvc1, "mp4", 1.0, 3.04, true, {}, "hvc1"},
        {"H.265 hvc1, the copy alone, into MOV", hvc1, "mov", 2.0, 4.04, true, {}, "hvc1"},
        {"H.265 hvc1, a head before the copy, into MP4", hvc1, "mp4", 0.6, 3.2, true, {}, "hev1"},
        {"H.264 avc1, a head before the copy, into MOV", avc1, "mov", 0.6, 3.2, true, {}, "avc1"},
        {"H.264 avc1, the copy alone, into MP4", avc1, "mp4", 1.0, 2.0, true, {}, "avc1"},
        {"two minutes, the copy piped into the join", LongClip(), "mp4", 0.35, 127.65, true},
        {"two minutes, a key frame every 25 s: the middle listed after all", LongClip(250), "mp4", 5.05, 127.65, true},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_FALSE(c.clip.isEmpty());
        const QVector<Frame> frames = Frames(c.clip);
        const auto first = std::find_if(frames.begin(), frames.end(), [&](const Frame& f) { return f.time >= c.start - 0.0005; });
        const int selected = int(std::find_if(first, frames.end(), [&](const Frame& f) { return f.time >= c.end - 0.0005; }) - first);
        SmartCutJob job;
        Aim(job, c.clip, dir.filePath(QString("cut%1.%2").arg(++n).arg(c.output)), c.start, c.end - c.start);
        ASSERT_NO_FATAL_FAILURE(ExpectExactCut(job, PictureSums({"-i", c.clip}).mid(int(first - frames.begin()), selected),
                                               selected));
        EXPECT_EQ(job.Plan().bodyFrames > 0, c.copies);
        EXPECT_LE(job.Plan().tailFrames, 3);  // at most the B-frames of one group
        // The sound starts with the audio frame under the start mark (at 10 fps, more than half a frame before the
        // first picture), or as much after the picture as in the source.
        const auto [sourceVideo, sourceAudio] = StreamStarts(c.clip);
        const auto [video, audio] = StreamStarts(job.OutputFile());
        const double late = std::max(0.0, sourceAudio - sourceVideo - c.start), early = first->time - c.start;
        EXPECT_TRUE(audio - video <= late + 0.001 && audio - video >= late - (late > 0 ? 0.001 : early + 0.045))
            << video << " " << audio;
        QStringList spans;
        const QString shown =
            ProbeCsv(job.OutputFile(), {"-select_streams", "s", "-show_entries", "packet=pts_time,duration_time"});
        for (const QString& line : shown.split('\n', Qt::SkipEmptyParts)) {
            const double from = line.section(',', 0, 0).toDouble() - video;
            spans << QString::asprintf("%.2f-%.2f", from + 0.0, from + line.section(',', 1, 1).toDouble());
        }
        EXPECT_EQ(spans.join(" ").toStdString(), c.subtitles.toStdString());
        EXPECT_EQ(SeamFault(job.OutputFile(), c.clip == hvc1), "");
        if (!c.tag.isEmpty()) {
            EXPECT_EQ(ProbeCsv(job.OutputFile(), {"-select_streams", "v", "-show_entries", "stream=codec_tag_string"}).trimmed().toStdString(),
                      c.tag.toStdString());
        }
    }
}

}  // namespace
}  // namespace clip
