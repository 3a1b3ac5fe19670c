// Many cuts in a row in one window: shipped re-encoding presets and a stream
// copy in turn, one job stopped halfway. Afterwards no encoder is left, no
// file descriptor has leaked, and the folder holds the finished cuts only,
// each playable.
#include "mainwindow/WindowTestKit.h"

namespace clip {
namespace {

using test::Fake;

int OpenDescriptors()
{
    return int(QDir("/proc/self/fd").entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot).size());
}

class RepeatedCuts : public test::HiveTest {};

TEST_F(RepeatedCuts, TwelveCutsLeaveNoEncoderNoDescriptorAndOnlyPlayableFiles)
{
    test::ClipRecipe recipe;
    recipe.seconds = 6;
    recipe.extraOutputArgs = {"-g", "25"};
    recipe.baseName = "session";
    const QString input = test::CopyClipTo(test::MakeClip(recipe), dir.path(), "session.mp4");
    struct Choice { QString category, label, extension; bool copies; };
    const QList<Choice> choices{
        {"General Video", "H.264 (AVC) - Standard", "mp4", false},
        {"General Video", "MPEG-4 (Xvid compatible)", "avi", false},
        {"Lossless", "Copy Streams (No Re-encoding)", "mkv", true},
        {"Audio Only", "MP3 - High Quality", "mp3", false},
    };
    frmMain w;
    test::LoadForCutting(w, input);
    int descriptorsAfterWarmUp = 0;
    for (int run = 0; run < 12; ++run) {
        SCOPED_TRACE(testing::Message() << "run " << run);
        Fake().messages.clear();
        if (run == 7) {  // throttled to real time, so that it still runs when the stop comes
            test::ChooseOwnPreset(w, "Slow", "-vf realtime -c:v mpeg4 -an", "mkv");
            test::Select(w, 0, 6);
            test::Poller stopper([&] {
                if (!w.cConvert || !w.cConvert->IsRunning() || w.progress->Value() <= 0)
                    return false;
                w.cmdConvert->click();
                return true;
            });
            w.cmdConvert->click();
            ASSERT_TRUE(stopper.done());
            EXPECT_TRUE(w.cConvert->WasStopped());
            continue;
        }
        const qint32 start = run % 4, length = 1 + run % 2;
        test::Select(w, start, start + length);
        const Choice& choice = choices.at(run % choices.size());
        test::ChoosePreset(w, choice.category, choice.label, choice.extension);
        w.cmdConvert->click();
        ASSERT_TRUE(Fake().messages.isEmpty()) << Fake().messages.value(0).text.toStdString();
        ASSERT_TRUE(w.cConvert && w.cConvert->Succeeded());
        EXPECT_EQ(test::EncoderChildren(), 0);
        if (run == 0)
            descriptorsAfterWarmUp = OpenDescriptors();  // the first cut opens what is opened once
        const QString out = w.cConvert->OutputFile();
        QString errors;
        EXPECT_TRUE(test::DecodesCleanly(out, &errors)) << errors.toStdString();
        // A stream copy starts at the key frame at or before the start.
        EXPECT_NEAR(test::ProbeDuration(out), length + (choice.copies ? 0.5 : 0.0), choice.copies ? 0.7 : 0.2);
    }
    EXPECT_EQ(test::EncoderChildren(), 0);
    EXPECT_LE(OpenDescriptors(), descriptorsAfterWarmUp + 2);
    EXPECT_EQ(QDir(dir.path()).entryList({"session?*"}, QDir::Files).size(), 1 + 11);  // the input and eleven cuts
}

}  // namespace
}  // namespace clip
