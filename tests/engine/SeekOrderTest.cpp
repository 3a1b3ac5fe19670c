// The start of a cut as an input option: the encoder seeks to it instead of
// decoding everything before it. The fast order must select exactly what
// decoding from the beginning selects, and the encoder's times (and so the
// progress) must count from the start of the cut.
#include "engine/CVideoConv.h"

#include "support/FakeHost.h"
#include "support/TestClips.h"

#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace clip {
namespace {

using test::Fake;

// The per-frame checksum lines (stream, timestamps, size, hash of every
// decoded frame and audio packet) of `path`, without the header comments.
std::vector<std::string> FrameHashes(const QString& path)
{
    QString output;
    EXPECT_EQ(test::RunProgram(test::FfmpegPath(), {"-nostdin", "-v", "error", "-i", path, "-f", "framemd5", "-"}, &output), 0)
        << output.toStdString();
    std::vector<std::string> lines;
    for (const QString& line : output.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        if (!line.startsWith(QLatin1Char('#')))
            lines.push_back(line.trimmed().toStdString());
    }
    return lines;
}

TEST(SeekOrder, FastOrderSelectsExactlyTheFramesAndSamplesOfDecodingFromTheBeginning)
{
    QTemporaryDir dir;
    // Lossless re-encodes, so that equal pictures and samples give equal hashes.
    const QStringList lossless{"-c:v", "ffv1", "-c:a", "pcm_s16le"};
    struct Case { const char* container; qint32 start, length; };
    // Between key frames (every 2 s), at the very beginning, up to the end.
    // In Matroska a start right on a key frame may miss the one sound packet
    // that began just before it (the seek lands on the picture's cluster), so
    // starts on key frames are checked where the index serves every stream.
    const Case cases[] = {{"mkv", 3, 2}, {"mkv", 0, 1}, {"mkv", 5, 3}, {"mov", 3, 2}, {"mov", 2, 2}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.container << " start " << c.start << " length " << c.length);
        test::ClipRecipe recipe;
        recipe.seconds = 8;
        recipe.container = c.container;
        recipe.audioCodec = "pcm_s16le";
        recipe.extraOutputArgs = {"-g", "50"};
        recipe.baseName = "sparsekeys";
        const QString clip = test::MakeClip(recipe);
        ASSERT_FALSE(clip.isEmpty());

        const QString slow = dir.filePath(QStringLiteral("slow-%1-%2.mkv").arg(c.container).arg(c.start));
        const QStringList slowArgs = QStringList{"-nostdin", "-i", clip, "-ss", QString::number(c.start), "-t",
                                                 QString::number(c.length)} + lossless + QStringList{"-y", slow};
        QString log;
        ASSERT_EQ(test::RunProgram(test::FfmpegPath(), slowArgs, &log), 0) << log.toStdString();
        const QString fast = dir.filePath(QStringLiteral("fast-%1-%2.mkv").arg(c.container).arg(c.start));
        CVideoConv job;  // as the window runs it: the start before the input
        job.setInputFile(clip);
        job.setOutputFile(fast);
        job.setParametrs(QStringLiteral("-t %1 %2 -y").arg(c.length).arg(lossless.join(' ')));
        job.setStartTime(c.start);
        job.setFileTimeLength(float(c.length));
        job.StartConversion();
        ASSERT_TRUE(job.Succeeded());
        EXPECT_TRUE(Fake().messages.isEmpty());

        const std::vector<std::string> expected = FrameHashes(slow);
        const auto videoFrames = std::count_if(expected.begin(), expected.end(),
                                               [](const std::string& l) { return l.starts_with("0,"); });
        EXPECT_EQ(videoFrames, 25 * c.length);
        EXPECT_GT(qsizetype(expected.size()), videoFrames);  // the sound is there too
        EXPECT_EQ(FrameHashes(fast), expected);
    }
}

// Counted from the input's beginning, a cut at 54 s would report 1000 %.
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

    for (const qint32 start : {0, 30, 54}) {
        for (const float length : {5.0f, 0.0f}) {
            SCOPED_TRACE(testing::Message() << "start " << start << " length " << length);
            // Progress when the length is known, converted seconds otherwise.
            QList<double> reported;
            CVideoConv job;
            QObject::connect(&job, &CVideoConv::Progress, &job, [&](qint16& p) { reported << p; });
            QObject::connect(&job, &CVideoConv::CurrentStatus, &job, [&](QString& s) {
                static const QRegularExpression seconds(QStringLiteral("^([-\\d.]+) Seconds Converted$"));
                if (const auto m = seconds.match(s); m.hasMatch())
                    reported << m.captured(1).toDouble();
            });
            job.setInputFile(clip);
            job.setOutputFile(dir.filePath(QStringLiteral("cut%1.avi").arg(start)));
            job.setParametrs("-t 5 -vcodec mpeg4 -y");
            job.setStartTime(start);
            job.setFileTimeLength(length);
            job.StartConversion();
            ASSERT_TRUE(job.Succeeded());
            const double full = length > 0 ? 100.0 : 5.0;
            ASSERT_FALSE(reported.isEmpty());
            for (double r : reported) {
                EXPECT_GE(r, 0.0);
                EXPECT_LE(r, full * 1.02);
            }
            EXPECT_GE(reported.last(), full * 0.98);
        }
    }
}

}  // namespace
}  // namespace clip
