// The start of a cut as an input option: the encoder seeks to it instead of
// decoding everything before it. These tests prove that the fast order
// selects exactly what decoding from the beginning selects, and that the
// encoder's times (and so the progress) count from the start of the cut.
#include "engine/CVideoConv.h"

#include "support/FakeHost.h"
#include "support/TestClips.h"

#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace clip {
namespace {

using test::Fake;

// The frame lines of the encoder's per-frame checksums of `path` (stream,
// timestamps, size and hash of every decoded frame and audio packet),
// without the header comments.
std::vector<std::string> FrameHashes(const QString& path)
{
    QString output;
    const int code = test::RunProgram(test::FfmpegPath(),
                                      {"-nostdin", "-v", "error", "-i", path, "-f", "framemd5", "-"}, &output);
    EXPECT_EQ(code, 0) << output.toStdString();
    std::vector<std::string> lines;
    for (const QString& line : output.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        if (!line.startsWith(QLatin1Char('#')))
            lines.push_back(line.trimmed().toStdString());
    }
    return lines;
}

int VideoFrames(const std::vector<std::string>& hashes)
{
    int frames = 0;
    for (const std::string& line : hashes)
        frames += line.starts_with("0,") ? 1 : 0;
    return frames;
}

// H.264 with a key frame every two seconds and uncompressed sound: starts
// between key frames are where seeking could go wrong.
QString SparseKeyFrameClip(const QString& container)
{
    test::ClipRecipe recipe;
    recipe.seconds = 8;
    recipe.container = container;
    recipe.audioCodec = "pcm_s16le";
    recipe.extraOutputArgs = {"-g", "50"};
    recipe.baseName = "sparsekeys";
    return test::MakeClip(recipe);
}

TEST(SeekOrder, FastOrderSelectsExactlyTheFramesAndSamplesOfDecodingFromTheBeginning)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    // Lossless re-encodes, so that equal pictures and samples give equal hashes.
    const QStringList lossless{"-c:v", "ffv1", "-c:a", "pcm_s16le"};

    struct Case {
        const char* container;
        qint32 start, length;
    };
    // Between key frames, at the very beginning, up to the end. In Matroska
    // a start right on a key frame may miss the one sound packet that began
    // just before it (the seek lands on the picture's cluster), so starts on
    // key frames are checked where the index serves every stream.
    const Case cases[] = {{"mkv", 3, 2}, {"mkv", 0, 1}, {"mkv", 5, 3}, {"mov", 3, 2}, {"mov", 2, 2}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.container << " start " << c.start << " length " << c.length);
        const QString clip = SparseKeyFrameClip(c.container);
        ASSERT_FALSE(clip.isEmpty());
        const QString slow = dir.filePath(QStringLiteral("slow-%1-%2.mkv").arg(c.container).arg(c.start));
        QString log;
        ASSERT_EQ(test::RunProgram(test::FfmpegPath(),
                                   QStringList{"-nostdin", "-i", clip, "-ss", QString::number(c.start), "-t",
                                               QString::number(c.length)}
                                       + lossless + QStringList{"-y", slow},
                                   &log),
                  0)
            << log.toStdString();

        // The job as the window runs it.
        const QString fast = dir.filePath(QStringLiteral("fast-%1-%2.mkv").arg(c.container).arg(c.start));
        CVideoConv job;
        job.setInputFile(clip);
        job.setOutputFile(fast);
        job.setParametrs(QStringLiteral("-t %1 ").arg(c.length) + lossless.join(' ') + " -y");
        job.setStartTime(c.start);
        job.setFileTimeLength(float(c.length));
        job.StartConversion();
        ASSERT_TRUE(job.Succeeded());
        EXPECT_TRUE(Fake().messages.isEmpty());

        const std::vector<std::string> expected = FrameHashes(slow);
        const std::vector<std::string> got = FrameHashes(fast);
        EXPECT_EQ(VideoFrames(expected), 25 * c.length);
        EXPECT_GT(int(expected.size()), VideoFrames(expected));  // the sound is there too
        EXPECT_EQ(got, expected);
    }
}

// The encoder's "time=" counts from the start of the cut, wherever it lies,
// so the progress runs from 0 to 100 and the status from 0 to the length.
TEST(SeekOrder, TimesCountFromTheStartOfTheCutWhereverItLies)
{
    test::ClipRecipe recipe;
    recipe.seconds = 60;
    recipe.audioCodec.clear();
    recipe.extraOutputArgs = {"-g", "250"};
    recipe.baseName = "minute";
    const QString clip = test::MakeClip(recipe);
    ASSERT_FALSE(clip.isEmpty());
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());

    for (const qint32 start : {0, 30, 54}) {
        SCOPED_TRACE(testing::Message() << "start " << start);
        for (const float length : {5.0f, 0.0f}) {
            CVideoConv job;
            QList<int> progress;
            QList<double> converted;
            QObject::connect(&job, &CVideoConv::Progress, &job, [&](qint16& p) { progress << p; });
            QObject::connect(&job, &CVideoConv::CurrentStatus, &job, [&](QString& s) {
                static const QRegularExpression seconds(QStringLiteral("^([-\\d.]+) Seconds Converted$"));
                const auto m = seconds.match(s);
                if (m.hasMatch())
                    converted << m.captured(1).toDouble();
            });
            job.setInputFile(clip);
            job.setOutputFile(dir.filePath(QStringLiteral("cut%1.avi").arg(start)));
            job.setParametrs("-t 5 -vcodec mpeg4 -y");
            job.setStartTime(start);
            job.setFileTimeLength(length);
            job.StartConversion();
            ASSERT_TRUE(job.Succeeded());
            if (length > 0) {
                ASSERT_FALSE(progress.isEmpty());
                for (int p : progress) {
                    EXPECT_GE(p, 0);
                    EXPECT_LE(p, 102);  // counted from the input's beginning it would pass 600
                }
                EXPECT_GE(progress.last(), 98);
            } else {
                ASSERT_FALSE(converted.isEmpty());
                for (double t : converted) {
                    EXPECT_GE(t, 0.0);
                    EXPECT_LE(t, 5.1);
                }
                EXPECT_GE(converted.last(), 4.9);
            }
        }
    }
}

}  // namespace
}  // namespace clip
