// Exports of several segments of one video by the real encoder: one file per
// segment or one joined file, in a re-encoding preset, the stream copy and
// the smart cut; the frames each output holds, the copied pictures bit for
// bit, the sound across every join, the chapters, and what a stop or a
// failed part leaves behind.
#include "cut/CutController.h"
#include "formats/Catalogue.h"
#include "support/FakeHost.h"
#include "support/TestClips.h"

#include <QComboBox>
#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

namespace clip {
namespace {

using namespace test;

const FormatChoice kH264 = FormatChoice::Preset("General Video", "H.264 (AVC) - Standard", "mp4");
const QString kSmart = "Smart Cut (frame-exact, original quality)";
constexpr double kFrame = 0.04;  // 25 frames a second

int Frames(const QString& path)
{
    return ProbeCsv(path, {"-count_packets", "-select_streams", "v:0", "-show_entries", "stream=nb_read_packets"}).toInt();
}

int FramesOf(const std::vector<Segment>& parts)
{
    int frames = 0;
    for (const Segment& s : parts)
        frames += int(std::lround(s.end / kFrame)) - int(std::lround(s.start / kFrame));
    return frames;
}

// The md5 of each decoded picture, in order.
QStringList PictureSums(const QString& path)
{
    QString out;
    RunProgram(FfmpegPath(), {"-v", "error", "-i", path, "-map", "0:v:0", "-f", "framemd5", "-"}, &out);
    QStringList sums;
    for (const QString& line : out.split('\n', Qt::SkipEmptyParts))
        if (line.startsWith("0,"))
            sums << line.section(',', -1).trimmed();
    return sums;
}

// The sound of `path` from its start, decoded: mono samples at 44.1 kHz, each where its timestamp puts it (as a
// player places them: a gap filled, an overlap dropped).
std::vector<qint16> Sound(const QString& path)
{
    QProcess decode;
    decode.start(FfmpegPath(), {"-v", "error", "-i", path, "-map", "0:a:0", "-af", "aresample=async=1:min_hard_comp=0.001:first_pts=0",
                                "-ac", "1", "-ar", "44100", "-f", "s16le", "-"});
    decode.waitForFinished(60000);
    const QByteArray bytes = decode.readAllStandardOutput();
    std::vector<qint16> samples(size_t(bytes.size() / 2));
    std::memcpy(samples.data(), bytes.constData(), samples.size() * 2);
    return samples;
}

// How many samples later than in `want` (at `from`) the same 0.1 s of sound stands in `got` (at `at`): the best
// match within 20 ms either way.
int SoundLag(const std::vector<qint16>& got, qint64 at, const std::vector<qint16>& want, qint64 from)
{
    constexpr int kWindow = 4410, kSearch = 882;
    int best = 0;
    double bestScore = -1e300;
    for (int lag = -kSearch; lag <= kSearch; ++lag) {
        double score = 0;
        for (int n = 0; n < kWindow; ++n) {
            const qint64 g = at + lag + n, w = from + n;
            if (g >= 0 && g < qint64(got.size()) && w < qint64(want.size()))
                score += double(got[size_t(g)]) * double(want[size_t(w)]);
        }
        if (score > bestScore)
            bestScore = score, best = lag;
    }
    return best;
}

class Exporting : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        // A key frame every second, B-frames, and noise for sound: where a stretch of it lies tells its time.
        input = CopyClipTo(MakeFile("segments-noise", "mp4", {"-f", "lavfi", "-i", "testsrc2=size=160x120:rate=25:duration=10",
                                                              "-f", "lavfi", "-i", "anoisesrc=d=10:c=pink:r=44100:a=0.5", "-c:v", "libx264",
                                                              "-g", "25", "-keyint_min", "25", "-sc_threshold", "0", "-bf", "2",
                                                              "-pix_fmt", "yuv420p", "-c:a", "aac", "-ac", "1"}),
                           dir.path(), "party.mp4");
        QComboBox category, video, audio;
        LoadPresets(cat, &category), LoadCodecs(cat, &video, &audio);
        cat.Presets.resize(cat.PresetCount), ++cat.PresetCount;
        cat.Presets.append({"Slow", "-vf realtime -c:v mpeg4 -an", "mkv", "Test Jobs", {}});
        QObject::connect(&cut, &CutController::progress, [this](int percent) { bar << percent; });
    }
    CutRequest Request(const std::vector<Segment>& parts, SegmentExport exportAs, const FormatChoice& format) const
    {
        return {input, 0, 0, format, {}, false, parts, exportAs};
    }
    QStringList FilesInWork() const { return QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot); }

    QTemporaryDir dir;
    QString input;
    Catalogues cat;
    CutController cut{cat};
    QList<int> bar;
};

TEST_F(Exporting, EveryFormatWritesExactlyTheKeptFramesOnceEachOrJoinedWithChapters)
{
    const std::vector<Segment> three{{0.52, 2.36, "Intro"}, {3.0, 4.6, "Talk #2"}, {6.28, 8.8, "End=1;#"}};
    const auto cutOut = [](std::vector<Segment> s) { return KeptParts(s, SegmentMode::CutOut, 10.0); };
    FormatChoice avi{.custom = true, .category = {}, .label = {}, .extension = {}, .container = "AVI",
                     .videoCodec = "MPEG-4 Part 2, DivX compatible (AVI, MP4, MOV)", .videoBitrate = "320", .videoSize = "[As Input]",
                     .aspect = "[As Input]", .frameRate = "25", .audioCodec = "MP3 (AVI, FLV, MOV, MP4, MPG)",
                     .audioBitrate = "64", .samplingRate = "44.1 KHz", .channels = "2"};
    const FormatChoice smartMkv = FormatChoice::Preset("Lossless", kSmart, "mkv"), smartMp4 = FormatChoice::Preset("Lossless", kSmart, "mp4");
    const struct { FormatChoice format; SegmentExport exportAs; std::vector<Segment> parts; } cases[] = {
        {kH264, SegmentExport::OneFilePerSegment, three},
        {smartMkv, SegmentExport::OneFilePerSegment, three},
        {kH264, SegmentExport::Join, three},
        {smartMkv, SegmentExport::Join, three},
        {smartMp4, SegmentExport::Join, three},
        {FormatChoice::Preset("Lossless", "Copy Streams (No Re-encoding)", "mkv"), SegmentExport::Join, three},
        {avi, SegmentExport::Join, three},  // the custom route: its size, rate and sampling after the join
        // Cut out: the first second, the last two, two adjacent stretches.
        {kH264, SegmentExport::Join, cutOut({{0, 1.0, {}}})},
        {smartMkv, SegmentExport::Join, cutOut({{8.0, 10.0, {}}})},
        {kH264, SegmentExport::Join, cutOut({{2.0, 3.0, {}}, {3.0, 5.52, {}}})},
    };
    const QStringList source = PictureSums(input);
    ASSERT_EQ(source.size(), 250);
    for (const auto& c : cases) {
        const bool smart = c.format.label == kSmart, join = c.exportAs == SegmentExport::Join, copy = c.format.label.startsWith("Copy");
        SCOPED_TRACE(QString("%1 %2 %3 parts").arg(c.format.label, c.format.OutputExtension()).arg(c.parts.size()).toStdString());
        for (const QString& f : FilesInWork())
            if (f != "party.mp4")
                QFile::remove(dir.filePath(f));
        Fake().reset(), bar.clear();
        EXPECT_TRUE(CutController::Refusal(Request(c.parts, c.exportAs, c.format)).message.isEmpty()) << "the marks do not count";
        const CutResult result = cut.Run(Request(c.parts, c.exportAs, c.format));
        ASSERT_EQ(result.outcome, CutOutcome::Succeeded) << result.message.toStdString() << result.details.toStdString();
        ASSERT_EQ(result.outputFiles.size(), join ? 1 : qsizetype(c.parts.size()));
        EXPECT_TRUE(std::is_sorted(bar.begin(), bar.end()) && bar.last() <= 99) << "one bar over the whole export";
        EXPECT_EQ(FilesInWork().size(), 1 + result.outputFiles.size()) << FilesInWork().join(' ').toStdString();
        for (qsizetype i = 0; i < result.outputFiles.size(); ++i) {
            const QString file = result.outputFiles[i];
            const std::vector<Segment> parts = join ? c.parts : std::vector<Segment>{c.parts[size_t(i)]};
            EXPECT_EQ(QFileInfo(file).fileName().toStdString(), (join ? (c.format.extension == "mp4" ? "party_Converted.mp4" : "party." + c.format.OutputExtension())
                                                       : QString("party_Converted_Part%1.%2").arg(i + 1, 2, 10, QChar('0')).arg(c.format.OutputExtension())).toStdString());
            // A copy runs from the key frame at or before each part's start to the one at or after its end.
            std::vector<Segment> fromKeyFrames = parts;
            for (Segment& s : fromKeyFrames)
                s = copy ? Segment{std::floor(s.start + 1e-6), std::ceil(s.end - 1e-6), {}} : s;
            EXPECT_EQ(Frames(file), FramesOf(fromKeyFrames));
            QString errors;
            // (A copy's sound may overlap by part of an audio frame where a part starts: not checked.)
            EXPECT_TRUE(DecodesCleanly(file, &errors) || copy) << errors.toStdString();
            if (join && c.format.OutputExtension() != "AVI") {
                QStringList labels;
                for (const Segment& s : parts)
                    labels << s.label;
                EXPECT_EQ(ProbeCsv(file, {"-show_entries", "chapter_tags=title"}).toStdString(), labels.join('\n').toStdString());
            }
            if (!smart)
                continue;
            // Every picture from the first key frame in a part to the last one in it is the input's own.
            const QStringList got = PictureSums(file);
            int at = 0;
            for (const Segment& s : parts) {
                const int first = int(std::lround(s.start / kFrame)), last = int(std::lround(s.end / kFrame));
                for (int k = (first + 24) / 25 * 25; k < last / 25 * 25; ++k)
                    ASSERT_EQ(got.value(at + k - first).toStdString(), source[k].toStdString()) << "picture " << k << " of the input";
                at += last - first;
            }
            // The sound runs on at every join: each audio packet follows the last within one audio frame.
            const QStringList times = ProbeCsv(file, {"-select_streams", "a:0", "-show_entries", "packet=pts_time,duration_time"}).split('\n');
            for (qsizetype k = 1; k < times.size(); ++k) {
                const double step = times[k].section(',', 0, 0).toDouble() - times[k - 1].section(',', 0, 0).toDouble();
                ASSERT_NEAR(step, times[k - 1].section(',', 1).toDouble(), times[k - 1].section(',', 1).toDouble()) << "audio packet " << k;
            }
            // Each part's sound lies where its picture starts, as in the input (a tenth of a second in).
            const std::vector<qint16> heard = Sound(file), original = Sound(input);
            const double pictureStart = ProbeCsv(file, {"-select_streams", "v:0", "-show_entries", "stream=start_time"}).toDouble()
                - ProbeCsv(file, {"-show_entries", "format=start_time"}).toDouble();
            double in = pictureStart;
            for (const Segment& s : parts) {
                const int lag = SoundLag(heard, std::llround((in + 0.1) * 44100), original, std::llround((s.start + 0.1) * 44100));
                EXPECT_LE(std::abs(lag), 88) << "(2 ms) the sound of the part from " << s.start << " s lies " << lag << " samples off";
                in += s.length();
            }
            const double sound = times.last().section(',', 0, 0).toDouble() + times.last().section(',', 1).toDouble() - times.first().section(',', 0, 0).toDouble();
            EXPECT_NEAR(sound, FramesOf(parts) * kFrame, 0.0233 * double(parts.size() + 1)) << "within an audio frame at every join";
        }
    }
    EXPECT_TRUE(Fake().messages.isEmpty());

    // An input the encoder cannot seek in exactly (MPEG-TS) is read once, its parts trimmed out by time.
    ClipRecipe ts;
    std::tie(ts.container, ts.seconds, ts.baseName) = std::tuple("ts", 6.0, "segments-ts");
    input = CopyClipTo(MakeClip(ts), dir.path(), "stream.ts");
    const CutResult trimmed = cut.Run(Request({{0.52, 2.36, "a"}, {3.0, 4.6, "b"}}, SegmentExport::Join, kH264));
    ASSERT_EQ(trimmed.outcome, CutOutcome::Succeeded) << trimmed.message.toStdString();
    EXPECT_EQ(Frames(trimmed.outputFile), 46 + 40);
    EXPECT_TRUE(DecodesCleanly(trimmed.outputFile));
}

// A stop at any point of an export, or a part that fails, leaves none of its files (neither parts made before
// nor working files) and no file that was there before is touched; a taken part name gets the next number; a
// video the smart cut cannot keep is asked about once for the whole export.
TEST_F(Exporting, StopsAndFailuresLeaveNothingAndTheReencodeIsAskedOnce)
{
    const QStringList before{"party.mp4", "party_Converted_Part02.mkv", "party_Converted_Part02.mp4"};
    WriteFile(dir.filePath(before[1]), "mine"), WriteFile(dir.filePath(before[2]), "mine");
    const std::vector<Segment> two{{1.0, 2.0, {}}, {3.0, 4.0, {}}};
    const FormatChoice slow = FormatChoice::Preset("Test Jobs", "Slow", "mkv");
    const struct { SegmentExport exportAs; FormatChoice format; std::vector<Segment> parts; int stopAbove; QString failure; } cases[] = {
        {SegmentExport::OneFilePerSegment, slow, {{0, 1, {}}, {2, 3, {}}, {4, 5, {}}}, 40, {}},  // in the second part
        {SegmentExport::Join, slow, two, 30, {}},
        {SegmentExport::Join, FormatChoice::Preset("Lossless", kSmart, "mkv"), {{1, 3.2, {}}, {4, 6, {}}, {7, 9, {}}}, 40, {}},
        {SegmentExport::OneFilePerSegment, kH264, {{1, 2, {}}, {20, 21, {}}}, 100,
         "Segment 2 of 2 (00:00:20 - 00:00:21) could not be made.\r\nThe cut produced no video: "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.format.label.toStdString() + (c.exportAs == SegmentExport::Join ? " joined" : " one each"));
        Fake().reset(), bar.clear();
        Poller poller([&] { return !bar.isEmpty() && bar.last() > c.stopAbove && EncoderChildren() > 0 && (cut.Stop(), true); });
        const CutResult result = cut.Run(Request(c.parts, c.exportAs, c.format));
        EXPECT_EQ(result.outcome, c.failure.isEmpty() ? CutOutcome::Stopped : CutOutcome::Failed);
        EXPECT_TRUE(result.message.startsWith(c.failure) && result.outputFiles.isEmpty()) << result.message.toStdString();
        EXPECT_EQ(FilesInWork(), before);
        EXPECT_TRUE(!cut.IsRunning() && EncoderChildren() == 0 && Fake().messages.isEmpty());
    }
    const CutResult named = cut.Run(Request(two, SegmentExport::OneFilePerSegment, kH264));
    EXPECT_EQ(named.outputFiles, (QStringList{dir.filePath("party_Converted_Part01.mp4"), dir.filePath("party_Converted_Part02_0.mp4")}));
    EXPECT_EQ(ReadFile(dir.filePath(before[2])), "mine");

    ClipRecipe ffv1;
    std::tie(ffv1.container, ffv1.videoCodec, ffv1.baseName) = std::tuple("mkv", "ffv1", "smart-ffv1");
    input = CopyClipTo(MakeClip(ffv1), dir.path(), "lossless.mkv");
    for (const SegmentExport exportAs : {SegmentExport::OneFilePerSegment, SegmentExport::Join}) {
        Fake().reset(), Fake().questionAnswers = {true};
        const CutResult result = cut.Run(Request(two, exportAs, FormatChoice::Preset("Lossless", kSmart, "mkv")));
        ASSERT_EQ(result.outcome, CutOutcome::Succeeded) << result.message.toStdString();
        EXPECT_EQ(Fake().messages.size(), 1);
        for (const QString& file : result.outputFiles)
            EXPECT_EQ(Frames(file), exportAs == SegmentExport::Join ? 50 : 25);
    }
}

}  // namespace
}  // namespace clip
