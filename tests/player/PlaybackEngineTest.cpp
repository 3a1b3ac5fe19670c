#include "player/PlayerTestSupport.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cmath>

namespace clip {
namespace {

using test::LoadAndWait;
using test::WaitUntil;
using State = PlaybackEngine::State;

bool SeekDone(PlaybackEngine& engine) { return WaitUntil([&] { return !engine.isSeeking(); }); }

TEST(PlaybackEngine, LoadsPausedAtStartWithTheFileLength)
{
    struct Case { double seconds; int fps; bool video, audio; };
    for (const Case& c : {Case{125.5, 5, true, true}, Case{124.5, 2, true, false}, Case{3.0, 5, false, true}}) {
        SCOPED_TRACE(c.seconds);
        test::ClipRecipe wanted;
        wanted.seconds = c.seconds, wanted.fps = c.fps;
        wanted.audioCodec = c.audio ? wanted.audioCodec : QString(), wanted.videoCodec = c.video ? wanted.videoCodec : "";
        const QString path = test::MakeClip(wanted);
        PlaybackEngine engine;
        ASSERT_TRUE(LoadAndWait(engine, path) && engine.filePath() == path);
        EXPECT_NEAR(engine.Duration(), test::ProbeDuration(path), 0.02);
        EXPECT_TRUE(std::abs(engine.Duration() - c.seconds) < 0.15 && engine.CurrentPosition() == 0.0);
        EXPECT_EQ(engine.state(), State::Paused);
    }
}

// Files that cannot be played: the engine says so (with a reason) instead
// of running into its time limit; what it cannot even start on (no regular
// file) is refused at once. Controls do nothing afterwards.
TEST(PlaybackEngine, FailedLoadsSayWhyAndLeaveTheEngineEmpty)
{
    QTemporaryDir dir;
    QFile shortClip(test::ShortClip());
    ASSERT_TRUE(shortClip.open(QIODevice::ReadOnly) && mkfifo(QFile::encodeName(dir.filePath("pipe.mp4")), 0600) == 0);
    struct Case { const char* name; QString path; QByteArray content; bool starts; };
    const Case cases[] = {{"text as mp4", dir.filePath("notes.mp4"), QByteArray(4000, 'x'), true},
                          {"zero bytes", dir.filePath("empty.mp4"), QByteArray(""), true},
                          {"truncated", dir.filePath("cut-short.mp4"), shortClip.read(3000), true},
                          {"no picture", test::NoPictureClip(), {}, true}, {"folder", dir.path(), {}, false},
                          {"fifo", dir.filePath("pipe.mp4"), {}, false}, {"empty path", QString(), {}, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QFile f(c.path);
        ASSERT_TRUE(c.content.isNull() || (f.open(QIODevice::WriteOnly) && f.write(c.content) == c.content.size()));
        f.close();
        PlaybackEngine engine;
        QSignalSpy failed(&engine, &PlaybackEngine::loadFailed);
        QString reason;
        EXPECT_FALSE(LoadAndWait(engine, c.path, &reason));
        EXPECT_EQ(failed.count() == 1 && !reason.contains("too long"), c.starts) << reason.toStdString();
        EXPECT_EQ(reason.contains("picture"), QString(c.name) == "no picture") << reason.toStdString();
        engine.Run(), engine.setCurrentPosition(5.0);
        EXPECT_TRUE(engine.state() == State::Empty && engine.Duration() + engine.CurrentPosition() == 0.0);
    }
}

// Also libmpv's rule on the way: the thread that renders (the engine's own) makes no client-API call; one made
// there is caught, and none is made while playing, seeking and pausing.
TEST(PlaybackEngine, RunPauseSeekStopOffTheRenderThread)
{
    QStringList caught;
    const auto previous = PlaybackEngine::SetRenderThreadCallHandler([&](const char* call) { caught << call; });
    PlaybackEngine engine;
    ASSERT_NE(engine.renderThread(), QThread::currentThread());
    engine.setRenderSize(QSize(64, 48));
    ASSERT_TRUE(LoadAndWait(engine, test::LongClip()));
    EXPECT_TRUE(engine.setRate(1.0) && engine.setVolume(-1500) && engine.setBalance(3000));
    EXPECT_FALSE(engine.setRate(0.0) || engine.setVolume(1) || engine.setBalance(-10001));
    engine.Run();
    EXPECT_EQ(engine.state(), State::Running);
    ASSERT_TRUE(WaitUntil([&] { return engine.CurrentPosition() >= 0.6; }));
    engine.Pause();

    // Seeks while paused land on the requested time, read straight back as
    // the window does; outside the file they are clamped.
    const struct { double target, lands; } seeks[] = {{37.0, 37.0}, {63.4, 63.4}, {0.0, 0.0}, {-5.0, 0.0}};
    for (const auto& s : seeks) {
        SCOPED_TRACE(s.target);
        engine.setCurrentPosition(s.target);
        EXPECT_NEAR(engine.CurrentPosition(), s.lands, 1e-3);
        ASSERT_TRUE(SeekDone(engine));
        EXPECT_NEAR(engine.CurrentPosition(), s.lands, 1e-3);
        EXPECT_EQ(engine.state(), State::Paused);
    }
    // A seek while playing keeps playing; Stop halts and keeps the file.
    engine.Run();
    engine.setCurrentPosition(80.0);
    ASSERT_TRUE(SeekDone(engine));
    EXPECT_EQ(engine.state(), State::Running);
    EXPECT_TRUE(WaitUntil([&] { return engine.CurrentPosition() >= 80.4; }));
    EXPECT_LT(engine.CurrentPosition(), 90.0);
    engine.Stop();
    engine.setCurrentPosition(0.0);
    ASSERT_TRUE(SeekDone(engine));
    EXPECT_TRUE(engine.state() == State::Stopped && std::abs(engine.CurrentPosition()) < 1e-3);
    // Played to its end, the file halts there, its position the duration; past the end is the end.
    QSignalSpy ends(&engine, &PlaybackEngine::endReached);
    engine.setCurrentPosition(124.0), engine.Run();
    ASSERT_TRUE(WaitUntil([&] { return ends.count() == 1; }));
    EXPECT_TRUE(engine.state() == State::AtEnd && engine.CurrentPosition() == engine.Duration());
    engine.setCurrentPosition(1000.0), engine.setCurrentPosition(std::nan(""));
    EXPECT_DOUBLE_EQ(engine.CurrentPosition(), engine.Duration());
    EXPECT_EQ(engine.currentImage().size(), QSize(64, 48));
    EXPECT_TRUE(caught.isEmpty()) << caught.join(", ").toStdString();

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
