// The window cuts exactly the part it has marked in FLV and WMV, and its preview shows
// the picture at the timeline's time: the result holds the same pictures as a
// cut that decodes the input from its beginning. (The other containers the
// file dialog offers, with marks on any frame: TimeOriginTest.)
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
    for (const QStringList& kind : {QStringList{"flv", "flv", "libmp3lame"}, QStringList{"wmv", "wmv2", "wmav2"}}) {
        SCOPED_TRACE(kind[0].toStdString());
        test::ClipRecipe recipe;
        recipe.seconds = 12, recipe.container = kind[0], recipe.videoCodec = kind[1], recipe.audioCodec = kind[2];
        recipe.baseName = "marks";
        const QString input = test::CopyClipTo(test::MakeClip(recipe), dir.path(), "marks." + kind[0]);
        // Marks count from the first picture; the reference's seek counts from the container's start.
        const QString starts =
            test::ProbeCsv(input, {"-select_streams", "v:0", "-show_entries", "stream=start_time:format=start_time"});
        const QStringList times = starts.split('\n', Qt::SkipEmptyParts);
        ASSERT_EQ(times.size(), 2) << starts.toStdString();
        const double firstPicture = times.first().section(',', 0, 0).toDouble() - times.last().section(',', 0, 0).toDouble();
        frmMain w;
        test::LoadForCutting(w, input);
        test::ChooseOwnPreset(w, "Exact", "-c:v ffv1 -an", "mkv");  // lossless: equal pictures, equal checksums
        const int start = 5, end = 7;
        w.Player()->setCurrentPosition(start);
        ASSERT_TRUE(test::WaitFor([&] { return !w.Player()->isSeeking(); }));
        // The picture shown is the one at the mark.
        EXPECT_NEAR(w.Player()->CurrentPosition(), start, 0.05) << "of " << w.Player()->Duration();

        Fake().messages.clear(), test::Select(w, start, end), test::Ctl<MyButton>(w, "cmdConvert")->click();
        ASSERT_TRUE(Fake().messages.isEmpty()) << Fake().messages.value(0).text.toStdString();
        ASSERT_TRUE(w.Cut().Job() && w.Cut().Job()->Succeeded());
        const QString reference = InDir("reference-" + kind[0] + ".mkv");
        ASSERT_EQ(test::RunProgram(test::FfmpegPath(), {"-nostdin", "-i", input, "-ss", QString::number(start + firstPicture, 'f', 6),
                                                        "-t", QString::number(end - start), "-c:v", "ffv1", "-an", "-y", reference}), 0);
        const QStringList expected = FrameHashes(reference);
        EXPECT_GE(expected.size(), 24 * (end - start));  // 25 frames a second, give or take the last
        EXPECT_EQ(FrameHashes(w.Cut().Job()->OutputFile()), expected);
    }
}

}  // namespace
}  // namespace clip
