// The engine on its own: what the window's tests cannot reach (a file without
// video, seeks outside the file, libmpv's threading rule). Loads, transport
// and failed loads through the window: tests/mainwindow/PreviewTest.
#include "player/PlayerTestSupport.h"

#include <QThread>
#include <gtest/gtest.h>

#include <cmath>

namespace clip {
namespace {

using test::WaitFor;
using State = PlaybackEngine::State;

// Loaded paused at its start with the probe's length (a file without video
// has no picture to wait for). The thread that renders (the engine's own)
// makes no client-API call while the engine plays and seeks, and one made
// there is caught (the window's tests run with the default handler, which
// aborts). Seeks read straight back, as the window does; before the file's
// start they are clamped.
TEST(PlaybackEngine, LoadsAndSeeksWithoutAClientCallOnTheRenderThread)
{
    test::ClipRecipe soundOnly;
    soundOnly.videoCodec.clear();
    PlaybackEngine sound;
    ASSERT_TRUE(test::LoadAndWait(sound, test::MakeClip(soundOnly)));
    EXPECT_NEAR(sound.Duration(), 4.0, 0.1);
    QStringList caught;
    const auto previous = PlaybackEngine::SetRenderThreadCallHandler([&](const char* call) { caught << call; });
    PlaybackEngine engine;
    ASSERT_NE(engine.renderThread(), QThread::currentThread());
    engine.setRenderSize(QSize(64, 48));
    ASSERT_TRUE(test::LoadAndWait(engine, test::LongClip()));
    EXPECT_TRUE(engine.state() == State::Paused && engine.CurrentPosition() == 0.0);
    EXPECT_NEAR(engine.Duration(), test::ProbeDuration(test::LongClip()), 0.02);
    engine.Run();
    ASSERT_TRUE(WaitFor([&] { return engine.CurrentPosition() >= 0.6; }));
    const struct { double target, lands; bool playing; } seeks[] = {
        {63.4, 63.4, false}, {-5.0, 0.0, false}, {80.0, 80.0, true}};
    for (const auto& s : seeks) {
        SCOPED_TRACE(s.target);
        s.playing ? engine.Run() : engine.Pause();
        engine.setCurrentPosition(s.target);
        EXPECT_NEAR(engine.CurrentPosition(), s.lands, 1e-3);
        ASSERT_TRUE(WaitFor([&] { return !engine.isSeeking(); }));
        EXPECT_EQ(engine.state(), s.playing ? State::Running : State::Paused);
        EXPECT_TRUE(s.playing ? WaitFor([&] { return engine.CurrentPosition() >= 80.4; }) && engine.CurrentPosition() < 90
                              : std::abs(engine.CurrentPosition() - s.lands) < 1e-3);
    }
    EXPECT_TRUE(caught.isEmpty() && engine.currentImage().size() == QSize(64, 48)) << caught.join(", ").toStdString();

    QObject onRenderThread;
    onRenderThread.moveToThread(engine.renderThread());
    QThread* here = QThread::currentThread();
    QMetaObject::invokeMethod(
        &onRenderThread, [&] { engine.state(), onRenderThread.moveToThread(here); }, Qt::BlockingQueuedConnection);
    EXPECT_EQ(caught.value(0), "mpv_get_property");
    PlaybackEngine::SetRenderThreadCallHandler(previous);
}

}  // namespace
}  // namespace clip
