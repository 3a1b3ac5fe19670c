// The window cuts exactly the part it has marked, and its preview shows the
// picture at the timeline's time: the result holds the same pictures and
// sound as a cut that decodes the input from its beginning, also for an
// MPEG-TS file whose timestamps start at 11.4 s.
#include "mainwindow/WindowTestKit.h"
#include "player/PlaybackEngine.h"

#include <QRegularExpression>

namespace clip {
namespace {

using test::Fake;

// The checksum of every decoded picture and sound packet of `path`.
QStringList FrameHashes(const QString& path)
{
    QString output;
    EXPECT_EQ(test::RunProgram(test::FfmpegPath(), {"-nostdin", "-v", "error", "-i", path, "-f", "framemd5", "-"}, &output), 0);
    return output.split('\n', Qt::SkipEmptyParts).filter(QRegularExpression("^[^#]"));
}

class CutSelection : public test::HiveTest {};

TEST_F(CutSelection, WindowCutsAndShowsExactlyTheMarkedPart)
{
    struct Case { QString container, audio; QStringList extra; std::vector<std::pair<int, int>> marks; };
    const Case cases[] = {
        // Key frames every two seconds, so the marks fall between them.
        {"mkv", "pcm_s16le", {"-g", "50"}, {{3, 5}, {0, 2}, {5, 8}}},
        // Key frames every ten seconds, timestamps from 11.4 s on.
        {"ts", "mp2", {"-output_ts_offset", "10"}, {{5, 9}, {11, 12}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.container.toStdString());
        test::ClipRecipe recipe;
        recipe.seconds = 12, recipe.container = c.container, recipe.audioCodec = c.audio, recipe.extraOutputArgs = c.extra;
        const QString input = test::CopyClipTo(test::MakeClip(recipe), dir.path(), "marks." + c.container);
        frmMain w;
        test::LoadForCutting(w, input);
        // Lossless, so that equal pictures and samples give equal checksums.
        test::ChooseOwnPreset(w, "Exact", "-c:v ffv1 -c:a pcm_s16le", "mkv");
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
            ASSERT_EQ(test::RunProgram(test::FfmpegPath(), {"-nostdin", "-i", input, "-ss", QString::number(start), "-t",
                                        QString::number(end - start), "-c:v", "ffv1", "-c:a", "pcm_s16le", "-y", reference}), 0);
            const QStringList expected = FrameHashes(reference);
            EXPECT_GE(expected.size(), 25 * (end - start));
            EXPECT_EQ(FrameHashes(w.cConvert->OutputFile()), expected);
        }
    }
}

}  // namespace
}  // namespace clip
