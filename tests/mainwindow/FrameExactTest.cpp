// Cutting to the frame through the window, against the real player and
// encoder: the clicked timeline seeks where it was clicked, key frames are
// read and drawn, the window grows, and more containers are accepted. (Marks
// on the frame on screen and cuts of exactly the marked frames, at 25, 30000/1001
// and 50 frames a second: TimeOriginTest.)
#include "mainwindow/WindowTestKit.h"
#include "player/VideoPane.h"
#include "preview/VideoSession.h"
#include "slider/KeyFrameTicks.h"

#include <QTest>

#include <cmath>

namespace clip {
namespace {

using test::WaitFor;

class FrameExact : public test::WindowTest {
protected:
    void SetUp() override { WindowTest::SetUp(), w->show(); }
    double Now() { return Engine().CurrentPosition(); }
    // A clip of `fps` ("25", "30000/1001"), loaded and paused at its start.
    void LoadPaused(const QString& fps, const QStringList& extra = {})
    {
        test::ClipRecipe recipe;
        recipe.seconds = 6, recipe.audioCodec.clear(), recipe.baseName = "frame-exact";
        recipe.extraOutputArgs = QStringList{"-r", fps} + extra;
        test::LoadForCutting(*w, test::CopyClipTo(test::MakeClip(recipe), dir.path(), QString(fps).replace('/', '_') + ".mp4"));
        ASSERT_TRUE(WaitFor([&] { return !Engine().isSeeking() && Now() == 0.0; }));
    }
    void Seek(qint32 s) { test::Ctl<Slider>(w, "Slider")->setValue(s), emit test::Ctl<Slider>(w, "Slider")->MouseUp(1, 0, 0, 0), WaitFor([&] { return !Engine().isSeeking(); }); }
};

TEST_F(FrameExact, ClickOnTheTimelineSeeksToTheClickedValue)
{
    LoadPaused("25");
    const int x = int(std::lround(*test::Ctl<Slider>(w, "Slider")->CentreOf(0.6 * test::Ctl<Slider>(w, "Slider")->Max())));
    const QPoint at(x, test::Ctl<Slider>(w, "Slider")->height() / 2);
    QTest::mouseMove(test::Ctl<Slider>(w, "Slider"), at), QTest::mouseClick(test::Ctl<Slider>(w, "Slider"), Qt::LeftButton, {}, at);
    EXPECT_LE(std::abs(test::Ctl<Slider>(w, "Slider")->Value() - 0.6 * test::Ctl<Slider>(w, "Slider")->Max()), 1.0);
    EXPECT_TRUE(WaitFor([&] { return !Engine().isSeeking() && test::Ctl<Slider>(w, "Slider")->Value() > 0 && Now() == test::Ctl<Slider>(w, "Slider")->Value(); }));
}

// (Ctrl+Right landing on the next key frame: TimeOriginTest.)
TEST_F(FrameExact, KeyFrameTicksMatchTheProbeAndTheCopySummaryNamesTheStart)
{
    LoadPaused("25", {"-g", "12", "-sc_threshold", "0"});
    ASSERT_TRUE(WaitFor([&] { return !w->KeyFrames().isEmpty(); }));
    QList<double> expected;
    for (const QString& t : test::ProbeCsv(w->InputFile(), {"-select_streams", "v:0", "-skip_frame", "nokey",
                                                               "-show_entries", "frame=pts_time"}).split('\n'))
        if (expected.isEmpty() || expected.last() != t.toDouble())  // the first may be listed twice
            expected << t.toDouble();
    EXPECT_EQ(w->KeyFrames(), expected);
    EXPECT_EQ(expected.size(), 13);  // 150 frames, one key frame every 12
    const QList<int> ticks = test::Ctl<KeyFrameTicks>(w, "KeyFrameMarks")->TickPositions();
    EXPECT_TRUE(ticks.size() == expected.size() && std::is_sorted(ticks.begin(), ticks.end()) && ticks[0] < ticks[1]);
    test::ChoosePreset(*w, "Lossless", "Copy Streams (No Re-encoding)", "mkv"), test::Ctl<Slider>(w, "Slider")->setSelectStart(1);
    w->ShowFormatDescription();  // a stream copy starts at the key frame at or before the mark
    const QString copying = test::Ctl<QLabel>(w, "lblFormat")->text();
    EXPECT_TRUE(copying.endsWith("key frame at 00:00:00.960, at or before the start mark."));
    // A choice in the panel that is not saved leaves the summary; a new start mark renews its key frame.
    test::ChoosePreset(*w, "General Video", "H.264 (AVC) - Standard", "mp4");
    Seek(2), QTest::keyClick(w.get(), Qt::Key_I);
    EXPECT_EQ(test::Ctl<QLabel>(w, "lblFormat")->text(), QString(copying).replace("00:00:00.960", "00:00:01.920"));
}

// The pane takes what the window grows by; the Start button keeps its place
// from the bottom-right corner; the design size is the smallest.
TEST_F(FrameExact, GrowingTheWindowGrowsThePaneAndTheDesignSizeIsTheMinimum)
{
    const QSize design = w->size(), pane = test::Ctl<VideoPane>(w, "picVideoWindow")->size();
    auto fromCorner = [&] { return QPoint(w->width(), w->height()) - test::Ctl<MyButton>(w, "cmdConvert")->mapTo(w.get(), QPoint()); };
    const QPoint start = fromCorner();
    w->resize(design + QSize(200, 150));
    EXPECT_TRUE(WaitFor([&] { return test::Ctl<VideoPane>(w, "picVideoWindow")->size() == pane + QSize(200, 150); }) && fromCorner() == start);
    w->resize(100, 100);
    EXPECT_EQ(w->size(), design);
}

TEST_F(FrameExact, MoreContainersAreAcceptedByTheDropListAndTheDialog)
{
    w->SelectVideoFile();  // cancelled
    const QString common = test::Fake().lastFilters.value(0);
    for (const char* ext : {"webm", "mts", "m2ts", "m2t", "3gp", "3g2", "ogv", "vob", "mxf", "f4v", "wtv"}) {
        EXPECT_TRUE(VideoSession::IsVideoFileName(QString("clip.") + ext)) << ext;
        EXPECT_TRUE(common.endsWith(QString("*.") + ext) || common.contains(QString("*.") + ext + ";")) << ext;
    }
    EXPECT_TRUE(common.contains("*.divx;*.webm;"));
}

}  // namespace
}  // namespace clip
