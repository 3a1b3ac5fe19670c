// Many cuts in a row in one window: shipped re-encoding presets and a stream
// copy in turn, one job stopped halfway. Afterwards no encoder is left, no
// file descriptor has leaked, and every finished cut decodes.
#include "mainwindow/WindowTestKit.h"

#include <algorithm>

namespace clip {
namespace {

using test::EncoderChildren;
using test::Fake;

int OpenDescriptors()
{
    return int(QDir("/proc/self/fd").entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot).size());
}

class RepeatedCuts : public test::HiveTest {};

TEST_F(RepeatedCuts, ThirtyCutsLeaveNoEncoderNoDescriptorAndOnlyPlayableFiles)
{
    test::ClipRecipe recipe;
    recipe.seconds = 6;
    recipe.extraOutputArgs = {"-g", "25"};
    recipe.baseName = "session";
    const QString input = test::CopyClipTo(test::MakeClip(recipe), dir.path(), "session.mp4");

    struct Choice {
        QString category, label, extension;
        bool copies;
    };
    const QList<Choice> choices{
        {"General Video", "H.264 (AVC) - Standard", "mp4", false},
        {"General Video", "MPEG-4 (Xvid compatible)", "avi", false},
        {"Lossless", "Copy Streams (No Re-encoding)", "mkv", true},
        {"Audio Only", "MP3 - High Quality", "mp3", false},
    };
    const int stoppedRun = 17;

    frmMain w;
    test::LoadForCutting(w, input);
    struct Finished {
        QString path;
        double length;
        bool copies;
    };
    QList<Finished> finished;
    int descriptorsAfterWarmUp = 0;
    for (int run = 0; run <= 30; ++run) {
        SCOPED_TRACE(testing::Message() << "run " << run);
        Fake().messages.clear();
        if (run == stoppedRun) {
            // Throttled to real time, so that it still runs when the stop comes.
            test::ChooseOwnPreset(w, "Slow", "-vf realtime -c:v mpeg4 -an", "mkv");
            test::Select(w, 0, 6);
            test::Poller stopper([&] {
                if (!w.cConvert || !w.cConvert->IsRunning() || w.progress->Value() <= 0)
                    return false;
                w.cmdConvert->click();  // Stop
                return true;
            });
            w.cmdConvert->click();
            ASSERT_TRUE(stopper.done());
            EXPECT_TRUE(w.cConvert->WasStopped());
            EXPECT_EQ(w.lblProgress->text(), "Task Progress:[Stopped]");
            EXPECT_TRUE(Fake().messages.isEmpty());
            continue;
        }
        const qint32 start = run % 4, length = 1 + run % 2;
        test::Select(w, start, start + length);
        const Choice& choice = choices.at(run % choices.size());
        ASSERT_TRUE(std::any_of(w.Tables.Presets.begin(), w.Tables.Presets.end(), [&](const PresetEntry& p) {
            return p.Category == choice.category && p.Label == choice.label && p.Extension == choice.extension;
        })) << choice.label.toStdString();  // a shipped preset
        test::ChoosePreset(w, choice.category, choice.label, choice.extension);
        w.cmdConvert->click();
        ASSERT_TRUE(Fake().messages.isEmpty()) << Fake().messages.value(0).text.toStdString();
        ASSERT_TRUE(w.cConvert && w.cConvert->Succeeded());
        EXPECT_EQ(EncoderChildren(), 0);
        if (run == 0)
            descriptorsAfterWarmUp = OpenDescriptors();  // the first cut opens what is opened once
        else
            finished.append({w.cConvert->OutputFile(), double(length), choice.copies});
    }

    EXPECT_EQ(EncoderChildren(), 0);
    EXPECT_LE(OpenDescriptors(), descriptorsAfterWarmUp + 2);
    EXPECT_EQ(finished.size(), 29);
    for (const Finished& f : finished) {
        SCOPED_TRACE(f.path.toStdString());
        QString errors;
        EXPECT_TRUE(test::DecodesCleanly(f.path, &errors)) << errors.toStdString();
        const double duration = test::ProbeDuration(f.path);
        if (f.copies) {  // from the key frame at or before the start
            EXPECT_GE(duration, f.length - 0.05);
            EXPECT_LE(duration, f.length + 1.2);
        } else {
            EXPECT_NEAR(duration, f.length, 0.2);
        }
    }
}

}  // namespace
}  // namespace clip
