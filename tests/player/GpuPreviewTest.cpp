// The preview's two drawing paths on a real X display (a virtual one, with
// Mesa's OpenGL when the machine has no GPU): the path chosen, the picture
// the pane shows, and libmpv's threading rule while the OpenGL renderer
// runs. The test runs itself again as children under xvfb-run; the suite's
// own run, on the offscreen platform, must choose the software path.
#include "player/PlayerTestSupport.h"
#include "player/PreviewPath.h"
#include "player/VideoPane.h"

#include <QCoreApplication>
#include <QProcess>
#include <QStandardPaths>
#include <gtest/gtest.h>

namespace clip {
namespace {

using test::WaitFor;

bool Near(QRgb c, int r, int g, int b)
{
    return std::abs(qRed(c) - r) < 60 && std::abs(qGreen(c) - g) < 60 && std::abs(qBlue(c) - b) < 60;
}
bool IsRed(QRgb c) { return Near(c, 255, 0, 0); }
bool IsBlue(QRgb c) { return Near(c, 0, 0, 255); }
bool IsBlack(QRgb c) { return Near(c, 0, 0, 0) && qRed(c) < 20; }

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
    ASSERT_TRUE(WaitFor([&] { return pane.isVisible(); }));
    EXPECT_TRUE(IsBlack(pane.grab().toImage().pixel(159, 94)));  // nothing loaded
    EXPECT_EQ(pane.drawsWithOpenGl(), path.gpu);
    QStringList caught;
    const auto previous = PlaybackEngine::SetRenderThreadCallHandler([&](const char* call) { caught << call; });
    {
        PlaybackEngine engine;
        EXPECT_EQ(engine.rendersWithOpenGl(), path.gpu);
        ASSERT_TRUE(test::LoadAndWait(engine, clipPath));
        pane.setEngine(&engine);
        ASSERT_TRUE(WaitFor([&] { return pane.pictureSize() == pane.size(); }));
        QImage shot = pane.grab().toImage();
        EXPECT_TRUE(IsRed(shot.pixel(159, 40)) && IsBlue(shot.pixel(159, 150)) && IsRed(shot.pixel(40, 5)));
        EXPECT_TRUE(IsBlack(shot.pixel(5, 94)) && IsBlack(shot.pixel(312, 94)));

        // Client calls from this thread (seeks, reads, pause and play) while the render thread draws every
        // picture: a call that blocks the renderer would hang here (the parent gives up on a hung child).
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
        EXPECT_TRUE(IsRed(shot.pixel(60, 120)) && IsBlue(shot.pixel(60, 180)));
        EXPECT_TRUE(IsBlack(shot.pixel(60, 5)) && IsBlack(shot.pixel(60, 294)));
    }  // destroyed while playing: the renderer is freed on its own thread
    EXPECT_TRUE(WaitFor([&] { return IsBlack(pane.grab().toImage().pixel(60, 150)); }));
    EXPECT_TRUE(caught.isEmpty()) << caught.join(", ").toStdString();
    PlaybackEngine::SetRenderThreadCallHandler(previous);
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
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "xcb"), env.insert("CLIPWRIGHT_GPU_CHILD", mode);
        env.insert("CLIPWRIGHT_GPU_CHILD_CLIP", clipPath), env.insert("CLIPWRIGHT_PREVIEW", mode);
        QProcess child;
        child.setProcessEnvironment(env), child.setProcessChannelMode(QProcess::MergedChannels);
        child.start(xvfbRun, {"-a", "-s", "-screen 0 1024x768x24", QCoreApplication::applicationFilePath(),
                              "--gtest_filter=GpuPreview.*"});
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
