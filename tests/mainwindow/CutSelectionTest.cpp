// The window cuts exactly the part it has marked, and its preview shows the
// picture at the timeline's time, in every container the file dialog offers:
// the result holds the same pictures as a cut that decodes the input from its
// beginning, also where the input seek is not exact (MPEG-PS; MPEG-TS whose
// timestamps start at 11.4 s with key frames ten seconds apart).
#include "mainwindow/WindowTestKit.h"
#include "player/PlaybackEngine.h"

#include <QRegularExpression>

namespace clip {
namespace {

using test::Fake;

// The checksum of every decoded picture of `path`.
QStringList FrameHashes(const QString& path)
{
    QString output;
    EXPECT_EQ(test::RunProgram(test::FfmpegPath(), {"-nostdin", "-v", "error", "-i", path, "-an", "-f", "framemd5", "-"}, &output), 0);
    QStringList sums;  // the pictures' checksums alone: where the output's clock starts is not compared here
    for (const QString& line : output.split('\n', Qt::SkipEmptyParts).filter(QRegularExpression("^[^#]")))
        sums << line.section(',', -1).trimmed();
    return sums;
}

class CutSelection : public test::HiveTest {};

TEST_F(CutSelection, WindowCutsAndShowsExactlyTheMarkedPart)
{
    struct Case { QStringList clip; std::vector<std::pair<int, int>> marks; };  // container, codecs, encoder options
    const Case cases[] = {
        {{"mkv", "libx264", "aac", "-g", "50"}, {{3, 5}, {0, 2}, {5, 8}}},  // the marks fall between key frames
        {{"ts", "libx264", "mp2", "-output_ts_offset", "10"}, {{5, 9}, {11, 12}}},
        {{"mpg", "mpeg2video", "mp2"}, {{5, 7}}}, {{"mp4", "libx264", "aac"}, {{5, 7}}}, {{"mov", "libx264", "aac"}, {{5, 7}}},
        {{"avi", "mpeg4", "libmp3lame"}, {{5, 7}}}, {{"flv", "flv", "libmp3lame"}, {{5, 7}}}, {{"wmv", "wmv2", "wmav2"}, {{5, 7}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.clip.join(' ').toStdString());
        test::ClipRecipe recipe;
        recipe.seconds = 12, recipe.container = c.clip[0], recipe.videoCodec = c.clip[1], recipe.audioCodec = c.clip[2];
        recipe.extraOutputArgs = c.clip.mid(3), recipe.baseName = "marks";
        const QString input = test::CopyClipTo(test::MakeClip(recipe), dir.path(), "marks." + recipe.container);
        // Marks count from the first picture; the reference's seek counts from the container's start.
        QString starts;
        test::RunProgram(test::FfprobePath(), {"-v", "error", "-select_streams", "v:0", "-show_entries",
                                               "stream=start_time:format=start_time", "-of", "csv=p=0", input}, &starts);
        const QStringList times = starts.split('\n', Qt::SkipEmptyParts);
        ASSERT_GE(times.size(), 2) << starts.toStdString();  // a transport stream lists its program too
        const double firstPicture = times.first().section(',', 0, 0).toDouble() - times.last().section(',', 0, 0).toDouble();
        frmMain w;
        test::LoadForCutting(w, input);
        test::ChooseOwnPreset(w, "Exact", "-c:v ffv1 -an", "mkv");  // lossless: equal pictures, equal checksums
        for (const auto& [start, end] : c.marks) {
            SCOPED_TRACE(testing::Message() << start << ".." << end);
            w.Player()->setCurrentPosition(start);
            ASSERT_TRUE(test::WaitFor([&] { return !w.Player()->isSeeking(); }));
            // The picture shown is the one at the mark.
            EXPECT_NEAR(w.Player()->CurrentPosition(), start, 0.05) << "of " << w.Player()->Duration();

            Fake().messages.clear(), test::Select(w, start, end), w.cmdConvert->click();
            ASSERT_TRUE(Fake().messages.isEmpty()) << Fake().messages.value(0).text.toStdString();
            ASSERT_TRUE(w.cConvert && w.cConvert->Succeeded());
            const QString reference = InDir(QString("reference%1.mkv").arg(start));
            ASSERT_EQ(test::RunProgram(test::FfmpegPath(), {"-nostdin", "-i", input, "-ss", QString::number(start + firstPicture, 'f', 6), "-t",
                                        QString::number(end - start), "-c:v", "ffv1", "-an", "-y", reference}), 0);
            const QStringList expected = FrameHashes(reference);
            EXPECT_GE(expected.size(), 24 * (end - start));  // 25 frames a second, give or take the last
            EXPECT_EQ(FrameHashes(w.cConvert->OutputFile()), expected);
        }
    }
}

}  // namespace
}  // namespace clip
