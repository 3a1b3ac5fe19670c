// The window cuts exactly the part it has marked: the result holds the same
// pictures and sound as a cut that decodes the input from its beginning.
#include "mainwindow/WindowTestKit.h"

#include <string>
#include <vector>

namespace clip {
namespace {

using test::Fake;

std::vector<std::string> FrameHashes(const QString& path)
{
    QString output;
    EXPECT_EQ(test::RunProgram(test::FfmpegPath(), {"-nostdin", "-v", "error", "-i", path, "-f", "framemd5", "-"},
                               &output),
              0)
        << output.toStdString();
    std::vector<std::string> lines;
    for (const QString& line : output.split('\n', Qt::SkipEmptyParts))
        if (!line.startsWith('#'))
            lines.push_back(line.trimmed().toStdString());
    return lines;
}

class CutSelection : public test::HiveTest {};

TEST_F(CutSelection, WindowCutsExactlyTheMarkedPartWithTheStartBeforeTheInput)
{
    // Key frames every two seconds, so the marks fall between them.
    test::ClipRecipe recipe;
    recipe.seconds = 8;
    recipe.container = "mkv";
    recipe.audioCodec = "pcm_s16le";
    recipe.extraOutputArgs = {"-g", "50"};
    recipe.baseName = "marks";
    const QString input = test::CopyClipTo(test::MakeClip(recipe), dir.path(), "marks.mkv");

    frmMain w;
    test::LoadForCutting(w, input);
    // Lossless, so that equal pictures and samples give equal checksums.
    test::ChooseOwnPreset(w, "Exact", "-c:v ffv1 -c:a pcm_s16le", "mkv");
    for (const auto& [start, end] : {std::pair{3, 5}, {0, 2}, {5, 8}}) {
        SCOPED_TRACE(testing::Message() << start << ".." << end);
        Fake().messages.clear();
        test::Select(w, start, end);
        w.cmdConvert->click();
        ASSERT_TRUE(Fake().messages.isEmpty()) << Fake().messages.value(0).text.toStdString();
        ASSERT_TRUE(w.cConvert && w.cConvert->Succeeded());
        EXPECT_EQ(w.cConvert->StartTime(), start);

        const QString reference = InDir(QString("reference%1.mkv").arg(start));
        QString log;
        ASSERT_EQ(test::RunProgram(test::FfmpegPath(),
                                   {"-nostdin", "-i", input, "-ss", QString::number(start), "-t",
                                    QString::number(end - start), "-c:v", "ffv1", "-c:a", "pcm_s16le", "-y", reference},
                                   &log),
                  0)
            << log.toStdString();
        const std::vector<std::string> expected = FrameHashes(reference);
        EXPECT_GE(expected.size(), size_t(25 * (end - start)));
        EXPECT_EQ(FrameHashes(w.cConvert->OutputFile()), expected);
    }
}

}  // namespace
}  // namespace clip
