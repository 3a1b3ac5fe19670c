// The preview's two drawing paths on a real X display (a virtual one, with
// Mesa's OpenGL when the machine has no GPU): the path chosen, the picture
// the pane shows, and libmpv's threading rule while the OpenGL renderer
// runs. The test runs itself again as children under xvfb-run; the suite's
// own run, on the offscreen platform, must choose the software path.
#include "player/PlayerTestSupport.h"
#include "player/PreviewPath.h"
#include "player/VideoPane.h"

#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <gtest/gtest.h>

namespace clip {
namespace {

using test::WaitFor;

constexpr QRgb kRed = 0xff0000, kBlue = 0x0000ff, kBlack = 0;
bool Is(QRgb c, QRgb want)
{
    return std::abs(qRed(c) - qRed(want)) < 40 && std::abs(qGreen(c) - qGreen(want)) < 40
        && std::abs(qBlue(c) - qBlue(want)) < 40;
}

// The child's part: `mode` is "gpu" or "software", asked for by CLIPWRIGHT_PREVIEW.
void CheckPath(const QString& mode, const QString& clipPath)
{
    const PreviewPath& path = ChosenPreviewPath();
    if (mode == "gpu" && !path.gpu && path.description.contains("OpenGL context"))
        GTEST_SKIP() << "no OpenGL here: " << path.description.toStdString();
    ASSERT_EQ(path.gpu, mode == "gpu") << path.description.toStdString();
    std::printf("preview: %s\n", qPrintable(path.description));
    if (mode == "gpu") {  // unasked, OpenGL drawn by the CPU is passed over, a GPU's taken
        qunsetenv("CLIPWRIGHT_PREVIEW");
        const PreviewPath unasked = DecidePreviewPath();
        const bool byCpu = path.description.contains("llvmpipe") || path.description.contains("softpipe");
        EXPECT_TRUE(unasked.gpu != byCpu && (unasked.gpu || unasked.description.contains("drawn by the CPU")))
            << unasked.description.toStdString();
    }

    // A 4:3 picture, red above and blue below, in a wide pane: bars left and right (a picture drawn upside
    // down, black, or missing its bars fails), then in a tall pane while playing: bars above and below.
    VideoPane pane;
    pane.resize(318, 189), pane.show();
    EXPECT_TRUE(Is(pane.grab().toImage().pixel(159, 94), kBlack));  // nothing loaded
    {
        PlaybackEngine engine;
        EXPECT_TRUE(pane.drawsWithOpenGl() == path.gpu && engine.rendersWithOpenGl() == path.gpu);
        ASSERT_TRUE(test::LoadAndWait(engine, clipPath));
        pane.setEngine(&engine);
        ASSERT_TRUE(WaitFor([&] { return pane.pictureSize() == pane.size(); }));
        QImage shot = pane.grab().toImage();
        EXPECT_TRUE(Is(shot.pixel(159, 40), kRed) && Is(shot.pixel(159, 150), kBlue) && Is(shot.pixel(40, 5), kRed));
        EXPECT_TRUE(Is(shot.pixel(5, 94), kBlack) && Is(shot.pixel(312, 94), kBlack));

        // Client calls from this thread (seeks, reads, pause and play) while the render thread draws every
        // picture: a call that blocks the renderer would hang here (the parent gives up on a hung child),
        // a client call on the render thread ends the child (the tests' handler).
        engine.Run();
        pane.resize(120, 300);
        for (int step = 0; step < 24; ++step) {
            const quint64 shown = pane.picturesShown();
            if (step % 6 == 5)
                step % 12 == 5 ? engine.Pause() : engine.Run();
            else
                engine.setCurrentPosition(0.15 * step);
            engine.CurrentPosition(), engine.state();
            ASSERT_TRUE(WaitFor([&] { return pane.picturesShown() > shown || engine.state() != PlaybackEngine::State::Running; }))
                << "step " << step;
        }
        ASSERT_TRUE(WaitFor([&] { return pane.pictureSize() == pane.size(); }));
        shot = pane.grab().toImage();
        EXPECT_TRUE(Is(shot.pixel(60, 120), kRed) && Is(shot.pixel(60, 180), kBlue));
        EXPECT_TRUE(Is(shot.pixel(60, 5), kBlack) && Is(shot.pixel(60, 294), kBlack));
    }  // destroyed while playing: the renderer is freed on its own thread
    EXPECT_TRUE(WaitFor([&] { return Is(pane.grab().toImage().pixel(60, 150), kBlack); }));

    // A phone video stored turned (a copy of the clip tagged with each rotation) loads and shows upright:
    // the 4:3 picture becomes a tall one with red on the side its top was turned to. A quarter turn used to
    // abort the whole program on the software path.
    struct Turn { int tag; QPoint red, blue; };
    for (const Turn& turn : {Turn{0, {159, 40}, {159, 150}}, Turn{90, {120, 94}, {200, 94}},
                             Turn{180, {159, 150}, {159, 40}}, Turn{270, {200, 94}, {120, 94}}}) {
        SCOPED_TRACE(turn.tag);
        const QString turned = QFileInfo(clipPath).path() + QStringLiteral("/player-turned-%1.mp4").arg(turn.tag);
        ASSERT_TRUE(QFileInfo::exists(turned) || test::RunProgram(test::FfmpegPath(), {"-v", "error", "-i", clipPath,
                        "-c", "copy", "-metadata:s:v:0", QStringLiteral("rotate=%1").arg(turn.tag), turned}) == 0);
        pane.resize(318, 189);
        PlaybackEngine engine;
        ASSERT_TRUE(test::LoadAndWait(engine, turned));
        pane.setEngine(&engine);
        ASSERT_TRUE(WaitFor([&] { return pane.pictureSize() == pane.size(); }));
        const QImage shot = pane.grab().toImage();
        EXPECT_TRUE(Is(shot.pixel(turn.red), kRed) && Is(shot.pixel(turn.blue), kBlue));
        const bool tall = turn.tag % 180 != 0;  // bars beside a tall picture reach further in
        EXPECT_TRUE(Is(shot.pixel(tall ? 70 : 20, 94), kBlack) && Is(shot.pixel(tall ? 248 : 298, 94), kBlack));
        pane.setEngine(nullptr);
    }
}

TEST(GpuPreview, DrawsThePictureOnEitherPathUnderXWithoutBreakingTheThreadingRule)
{
    const QString clipPath = test::PlayerClip("player-red-over-blue", 4.0, 25, "c=red",
                                              {"-vf", "drawbox=y=ih/2:h=ih/2:c=blue:t=fill"});
    if (const QString mode = qEnvironmentVariable("CLIPWRIGHT_GPU_CHILD"); !mode.isEmpty())
        return CheckPath(mode, qEnvironmentVariable("CLIPWRIGHT_GPU_CHILD_CLIP"));

    const PreviewPath& here = ChosenPreviewPath();  // the offscreen platform has no OpenGL
    EXPECT_TRUE(!here.gpu && here.description.contains("offscreen")) << here.description.toStdString();
    const QString xvfbRun = QStandardPaths::findExecutable("xvfb-run");
    if (xvfbRun.isEmpty())
        GTEST_SKIP() << "xvfb-run is not installed (scripts/install-deps.sh installs it)";
    for (const QString mode : {"gpu", "software"}) {
        SCOPED_TRACE(mode.toStdString());
        QProcess child;
        test::StartSelf(child, "GpuPreview.*", {{"QT_QPA_PLATFORM", "xcb"}, {"CLIPWRIGHT_GPU_CHILD", mode},
                                                {"CLIPWRIGHT_GPU_CHILD_CLIP", clipPath}, {"CLIPWRIGHT_PREVIEW", mode}},
                        {xvfbRun, "-a", "-s", "-screen 0 1024x768x24"});
        const bool finished = child.waitForFinished(90000);
        const QString output = QString::fromUtf8(child.readAll());
        if (!finished)
            child.kill(), child.waitForFinished(5000);
        if (output.contains("[  SKIPPED ]"))
            GTEST_SKIP() << output.section("no OpenGL here: ", 1).section('\n', 0, 0).toStdString();
        EXPECT_TRUE(finished && child.exitCode() == 0 && output.contains("[  PASSED  ] 1 test"))
            << (finished ? "" : "hung: ") << output.toStdString();
    }
}

}  // namespace
}  // namespace clip
