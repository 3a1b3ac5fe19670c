#include "player/PlayerTestSupport.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cmath>
#include <memory>

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
        wanted.seconds = c.seconds;
        wanted.fps = c.fps;
        if (!c.audio)
            wanted.audioCodec.clear();
        if (!c.video)
            wanted.videoCodec.clear();
        wanted.baseName = QStringLiteral("player-duration");
        const QString path = test::MakeClip(wanted);
        PlaybackEngine engine;
        ASSERT_TRUE(LoadAndWait(engine, path));
        EXPECT_EQ(engine.filePath(), path);
        EXPECT_NEAR(engine.Duration(), test::ProbeDuration(path), 0.02);
        EXPECT_NEAR(engine.Duration(), c.seconds, 0.15);
        EXPECT_EQ(engine.state(), State::Paused);
        EXPECT_NEAR(engine.CurrentPosition(), 0.0, 1e-6);
    }
}

// Files that cannot be played: the engine says so (with a reason) instead
// of running into its time limit; what it cannot even start on (no regular
// file) is refused at once. Controls do nothing afterwards.
TEST(PlaybackEngine, FailedLoadsSayWhyAndLeaveTheEngineEmpty)
{
    QTemporaryDir dir;
    QFile shortClip(test::ShortClip());
    ASSERT_TRUE(shortClip.open(QIODevice::ReadOnly));
    ASSERT_EQ(mkfifo(QFile::encodeName(dir.filePath("pipe.mp4")).constData(), 0600), 0);
    struct Case { const char* name; QString path; QByteArray content; bool starts; };
    const Case cases[] = {
        {"text as mp4", dir.filePath("notes.mp4"), QByteArray("Notes, not a video.\n").repeated(200), true},
        {"zero bytes", dir.filePath("empty.mp4"), QByteArray(""), true},
        {"truncated", dir.filePath("cut-short.mp4"), shortClip.read(3000), true},
        {"no picture", test::NoPictureClip(), {}, true},
        {"missing", dir.filePath("no-such-file.mp4"), {}, false},
        {"folder", dir.path(), {}, false},
        {"fifo", dir.filePath("pipe.mp4"), {}, false},
        {"empty path", QString(), {}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (!c.content.isNull()) {
            QFile f(c.path);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            f.write(c.content);
        }
        PlaybackEngine engine;
        QSignalSpy failed(&engine, &PlaybackEngine::loadFailed);
        QString reason;
        EXPECT_FALSE(LoadAndWait(engine, c.path, &reason));
        EXPECT_EQ(failed.count(), c.starts ? 1 : 0);
        EXPECT_EQ(!reason.isEmpty() && !reason.contains("too long"), c.starts) << reason.toStdString();
        EXPECT_EQ(reason.contains("picture"), QString(c.name) == "no picture") << reason.toStdString();
        engine.Run();
        engine.setCurrentPosition(5.0);
        EXPECT_EQ(engine.state(), State::Empty);
        EXPECT_EQ(engine.Duration() + engine.CurrentPosition(), 0.0);
    }
}

TEST(PlaybackEngine, NextFileLoadsInAFreshEngineAfterTheFirstIsDestroyed)
{
    auto first = std::make_unique<PlaybackEngine>();
    ASSERT_TRUE(first->Load(test::LongClip()));
    first.reset();  // destroyed while loading
    first = std::make_unique<PlaybackEngine>();
    ASSERT_TRUE(LoadAndWait(*first, test::LongClip()));
    first->Run();
    ASSERT_TRUE(WaitUntil([&] { return first->CurrentPosition() > 0.2; }));
    first.reset();  // destroyed while playing
    PlaybackEngine second;
    ASSERT_TRUE(LoadAndWait(second, test::ShortClip()));
    second.Run();
    EXPECT_TRUE(WaitUntil([&] { return second.CurrentPosition() > 0.2; }));
}

TEST(PlaybackEngine, RunPauseSeekStopAndRangeChecks)
{
    PlaybackEngine engine;
    ASSERT_TRUE(LoadAndWait(engine, test::LongClip()));
    EXPECT_TRUE(engine.setRate(1.0) && engine.setVolume(-1500) && engine.setBalance(3000));
    EXPECT_FALSE(engine.setRate(0.0) || engine.setVolume(1) || engine.setBalance(-10001));
    engine.Run();
    EXPECT_EQ(engine.state(), State::Running);
    ASSERT_TRUE(WaitUntil([&] { return engine.CurrentPosition() >= 0.6; }));
    engine.Pause();
    EXPECT_EQ(engine.state(), State::Paused);

    // Seeks while paused land on the requested time, read straight back as
    // the window does; outside the file they are clamped.
    const struct { double target, lands; } seeks[] = {{37.0, 37.0}, {63.4, 63.4}, {0.0, 0.0}, {-5.0, 0.0}};
    for (const auto& s : seeks) {
        SCOPED_TRACE(s.target);
        engine.setCurrentPosition(s.target);
        EXPECT_NEAR(engine.CurrentPosition(), s.lands, 0.11);
        ASSERT_TRUE(SeekDone(engine));
        EXPECT_NEAR(engine.CurrentPosition(), s.lands, 0.11);
        EXPECT_NE(engine.state(), State::Running);
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
    EXPECT_EQ(engine.state(), State::Stopped);
    EXPECT_NEAR(engine.CurrentPosition(), 0.0, 1e-3);
}

TEST(PlaybackEngine, EndOfFileHaltsThereWithThePositionAtTheDuration)
{
    PlaybackEngine engine;
    QSignalSpy ends(&engine, &PlaybackEngine::endReached);
    ASSERT_TRUE(LoadAndWait(engine, test::ShortClip()));
    for (int run = 1; run <= 2; ++run) {  // rewound after the end, it plays again
        SCOPED_TRACE(run);
        engine.Run();
        ASSERT_TRUE(WaitUntil([&] { return ends.count() == run; }));
        EXPECT_EQ(engine.state(), State::AtEnd);
        EXPECT_DOUBLE_EQ(engine.CurrentPosition(), engine.Duration());
        engine.Stop();
        engine.setCurrentPosition(0.0);
        ASSERT_TRUE(SeekDone(engine));
    }
    // Past the end is the end; not a number is ignored.
    engine.setCurrentPosition(1000.0);
    EXPECT_DOUBLE_EQ(engine.CurrentPosition(), engine.Duration());
    ASSERT_TRUE(SeekDone(engine));
    engine.setCurrentPosition(std::nan(""));
    EXPECT_NEAR(engine.CurrentPosition(), engine.Duration(), 0.11);
}

// libmpv's rule: the thread that renders makes no client-API call. Pictures
// come from the engine's own render thread; a client call made there is
// caught, and none is made while playing, seeking and pausing.
TEST(PlaybackEngine, ClientCallsStayOffTheRenderThread)
{
    QStringList caught;
    auto previous = PlaybackEngine::SetRenderThreadCallHandler([&](const char* call) { caught << call; });
    {
        PlaybackEngine engine;
        ASSERT_NE(engine.renderThread(), QThread::currentThread());
        engine.setRenderSize(QSize(64, 48));
        ASSERT_TRUE(LoadAndWait(engine, test::LongClip()));
        engine.Run();
        for (double target : {30.0, 60.0, 90.0}) {
            engine.setCurrentPosition(target);
            engine.Pause();
            ASSERT_TRUE(SeekDone(engine));
            engine.Run();
        }
        EXPECT_EQ(engine.currentImage().size(), QSize(64, 48));
        EXPECT_TRUE(caught.isEmpty()) << caught.join(", ").toStdString();

        QObject onRenderThread;
        onRenderThread.moveToThread(engine.renderThread());
        QThread* here = QThread::currentThread();
        QMetaObject::invokeMethod(
            &onRenderThread, [&] { engine.state(); onRenderThread.moveToThread(here); }, Qt::BlockingQueuedConnection);
        ASSERT_FALSE(caught.isEmpty());
        EXPECT_EQ(caught.first(), "mpv_get_property");
    }
    PlaybackEngine::SetRenderThreadCallHandler(previous);
}

}  // namespace
}  // namespace clip
