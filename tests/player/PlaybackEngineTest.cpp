#include "player/PlaybackEngine.h"
#include "player/PlayerTestSupport.h"

#include <QElapsedTimer>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

#include <cmath>
#include <memory>

namespace clip {
namespace {

using test::Settle;
using test::WaitUntil;
using State = PlaybackEngine::State;

bool SeekDone(PlaybackEngine& engine)
{
    return WaitUntil([&] { return !engine.isSeeking(); }, 10000);
}

// ---- Loading -------------------------------------------------------------

TEST(PlaybackEngine, LoadsPausedAtStartWithTheFileLength)
{
    struct Case { double seconds; int fps; bool audio; };
    for (const Case& c : {Case{125.5, 5, true}, Case{124.5, 2, false}}) {
        SCOPED_TRACE(c.seconds);
        test::ClipRecipe wanted;
        wanted.seconds = c.seconds;
        wanted.fps = c.fps;
        if (!c.audio)
            wanted.audioCodec.clear();
        wanted.baseName = QStringLiteral("player-duration");
        const QString path = test::MakeClip(wanted);
        const double probed = test::ProbeDuration(path);
        ASSERT_GT(probed, 0.0);

        PlaybackEngine engine;
        ASSERT_TRUE(engine.RenderFile(path));
        EXPECT_TRUE(engine.isLoaded());
        EXPECT_EQ(engine.filePath(), path);
        EXPECT_NEAR(engine.Duration(), probed, 0.02);
        EXPECT_NEAR(engine.Duration(), c.seconds, 0.15);
        EXPECT_EQ(engine.state(), State::Paused);
        Settle(300);  // loading does not start playback
        EXPECT_NEAR(engine.CurrentPosition(), 0.0, 1e-6);
    }
}

// Unreadable files fail as failures, not at the time limit (which must not
// be reached: no hang); a load abandoned at its limit does not come back to
// life later. Controls then do nothing.
TEST(PlaybackEngine, FailedLoadLeavesTheEngineEmpty)
{
    QTemporaryDir dir;
    QFile shortClip(test::ShortClip());
    ASSERT_TRUE(shortClip.open(QIODevice::ReadOnly));
    struct Case { const char* name; QString path; QByteArray content; bool write; int limitMs; };
    const Case cases[] = {
        {"text as mp4", dir.filePath("notes.mp4"), QByteArray("These are some notes, not a video.\n/tmp/a.mp4\n").repeated(200), true, 30000},
        {"zero bytes", dir.filePath("empty.mp4"), {}, true, 30000},
        {"truncated", dir.filePath("cut-short.mp4"), shortClip.read(3000), true, 30000},
        {"missing", dir.filePath("no-such-file.mp4"), {}, false, 30000},
        {"folder", dir.path(), {}, false, 30000},
        {"empty path", QString(), {}, false, 30000},
        {"time limit of zero", test::LongClip(), {}, false, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.write) {
            QFile f(c.path);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            f.write(c.content);
        }
        PlaybackEngine engine;
        ASSERT_TRUE(engine.isValid());
        QElapsedTimer clock;
        clock.start();
        EXPECT_FALSE(engine.RenderFile(c.path, c.limitMs));
        EXPECT_TRUE(c.limitMs == 0 || clock.elapsed() < c.limitMs);
        engine.Run();
        engine.setCurrentPosition(5.0);
        Settle(300);
        EXPECT_FALSE(engine.isLoaded());
        EXPECT_EQ(engine.state(), State::Empty);
        EXPECT_EQ(engine.Duration(), 0.0);
        EXPECT_EQ(engine.CurrentPosition(), 0.0);
    }
}

TEST(PlaybackEngine, NextFileLoadsInAFreshEngineAfterTheFirstIsDestroyed)
{
    auto first = std::make_unique<PlaybackEngine>();
    ASSERT_TRUE(first->RenderFile(test::LongClip()));
    first->Run();
    ASSERT_TRUE(WaitUntil([&] { return first->CurrentPosition() > 0.2; }));
    first.reset();  // destroyed while playing

    PlaybackEngine second;
    ASSERT_TRUE(second.RenderFile(test::ShortClip()));
    EXPECT_NEAR(second.Duration(), test::ProbeDuration(test::ShortClip()), 0.02);
    second.Run();
    EXPECT_TRUE(WaitUntil([&] { return second.CurrentPosition() > 0.2; }));
}

TEST(PlaybackEngine, DestroyedByAnEventHandledWhileLoading)
{
    auto engine = std::make_unique<PlaybackEngine>();
    QTimer::singleShot(0, [&] { engine.reset(); });
    EXPECT_FALSE(engine->RenderFile(test::LongClip()));
    EXPECT_EQ(engine, nullptr);
}

// ---- Transport -----------------------------------------------------------

TEST(PlaybackEngine, RunPauseSeekStopAndRewind)
{
    PlaybackEngine engine;
    ASSERT_TRUE(engine.RenderFile(test::LongClip()));
    engine.Run();
    EXPECT_EQ(engine.state(), State::Running);
    ASSERT_TRUE(WaitUntil([&] { return engine.CurrentPosition() >= 0.6; }));

    engine.Pause();
    EXPECT_EQ(engine.state(), State::Paused);
    Settle(100);
    const double paused = engine.CurrentPosition();
    EXPECT_GE(paused, 0.6);
    Settle(500);
    EXPECT_DOUBLE_EQ(engine.CurrentPosition(), paused);

    // Run goes on from where it paused; a seek while playing keeps playing.
    engine.Run();
    ASSERT_TRUE(WaitUntil([&] { return engine.CurrentPosition() >= paused + 0.4; }));
    engine.setCurrentPosition(80.0);
    ASSERT_TRUE(SeekDone(engine));
    EXPECT_EQ(engine.state(), State::Running);
    EXPECT_TRUE(WaitUntil([&] { return engine.CurrentPosition() >= 80.4; }));
    EXPECT_LT(engine.CurrentPosition(), 90.0);

    engine.Stop();
    EXPECT_EQ(engine.state(), State::Stopped);
    EXPECT_TRUE(engine.isLoaded());
    engine.setCurrentPosition(0.0);
    EXPECT_EQ(engine.CurrentPosition(), 0.0);
    ASSERT_TRUE(SeekDone(engine));
    EXPECT_EQ(engine.state(), State::Stopped);
    Settle(400);
    EXPECT_NEAR(engine.CurrentPosition(), 0.0, 1e-3);

    engine.Run();
    EXPECT_EQ(engine.state(), State::Running);
    EXPECT_TRUE(WaitUntil([&] { return engine.CurrentPosition() >= 0.4; }));
}

TEST(PlaybackEngine, SeekLandsOnTheRequestedSecondWhilePaused)
{
    PlaybackEngine engine;
    ASSERT_TRUE(engine.RenderFile(test::LongClip()));
    for (const double target : {37.0, 1.0, 63.4, 125.0, 0.0, 100.0}) {
        SCOPED_TRACE(target);
        engine.setCurrentPosition(target);
        EXPECT_DOUBLE_EQ(engine.CurrentPosition(), target);  // read straight back, as the window does
        ASSERT_TRUE(SeekDone(engine));
        EXPECT_NEAR(engine.CurrentPosition(), target, 1e-3);
        EXPECT_EQ(engine.state(), State::Paused);
    }
}

TEST(PlaybackEngine, SeekOutsideTheFileIsClamped)
{
    PlaybackEngine engine;
    ASSERT_TRUE(engine.RenderFile(test::ShortClip()));
    engine.setCurrentPosition(-5.0);
    EXPECT_EQ(engine.CurrentPosition(), 0.0);
    ASSERT_TRUE(SeekDone(engine));
    engine.setCurrentPosition(1000.0);
    EXPECT_DOUBLE_EQ(engine.CurrentPosition(), engine.Duration());
    ASSERT_TRUE(SeekDone(engine));
    EXPECT_NEAR(engine.CurrentPosition(), engine.Duration(), 0.11);
    engine.setCurrentPosition(std::nan(""));
    EXPECT_NEAR(engine.CurrentPosition(), engine.Duration(), 0.11);
}

TEST(PlaybackEngine, EndOfFileHaltsOnTheEndWithThePositionAtTheDuration)
{
    PlaybackEngine engine;
    QSignalSpy ends(&engine, &PlaybackEngine::endReached);
    ASSERT_TRUE(engine.RenderFile(test::ShortClip()));
    for (int run = 1; run <= 2; ++run) {  // rewound after the end, it plays again
        SCOPED_TRACE(run);
        engine.Run();
        EXPECT_EQ(engine.state(), State::Running);
        ASSERT_TRUE(WaitUntil([&] { return engine.state() == State::AtEnd; }));
        EXPECT_TRUE(WaitUntil([&] { return ends.count() == run; }));
        EXPECT_TRUE(engine.isLoaded());
        Settle(400);  // it stays there
        EXPECT_EQ(engine.state(), State::AtEnd);
        EXPECT_DOUBLE_EQ(engine.CurrentPosition(), engine.Duration());
        EXPECT_EQ(ends.count(), run);
        engine.Stop();
        engine.setCurrentPosition(0.0);
        ASSERT_TRUE(SeekDone(engine));
        EXPECT_NEAR(engine.CurrentPosition(), 0.0, 1e-3);
    }
}

// ---- Rate, volume, balance -----------------------------------------------

TEST(PlaybackEngine, VolumeAndBalanceUnits)
{
    struct Percent { long volume; double percent; };
    for (const Percent& v : {Percent{0, 100.0}, Percent{-6000, 10.0}, Percent{-3000, 31.6228}, Percent{-10000, 0.0},
                             Percent{-9999, 2.1548}})
        EXPECT_NEAR(PlaybackEngine::VolumeToPercent(v.volume), v.percent, 1e-3) << v.volume;

    struct Gains { long balance; double left, right; };
    for (const Gains& g : {Gains{0, 1.0, 1.0}, Gains{2000, 0.1, 1.0}, Gains{-2000, 1.0, 0.1}, Gains{600, 0.50119, 1.0},
                           Gains{10000, 0.0, 1.0}, Gains{-10000, 1.0, 0.0}}) {
        double left = -1, right = -1;
        PlaybackEngine::BalanceToGains(g.balance, &left, &right);
        EXPECT_NEAR(left, g.left, 1e-4) << g.balance;
        EXPECT_NEAR(right, g.right, 1e-4) << g.balance;
    }
}

TEST(PlaybackEngine, PlaysWithVolumeBalanceAndRateSetAndRefusesOutOfRangeValues)
{
    PlaybackEngine engine;
    ASSERT_TRUE(engine.RenderFile(test::ShortClip()));
    // As the window sets them right after loading, then some off-centre ones.
    EXPECT_TRUE(engine.setRate(1.0) && engine.setVolume(0) && engine.setBalance(0));
    EXPECT_TRUE(engine.setVolume(-1500) && engine.setBalance(3000) && engine.setRate(2.0));
    for (const double rate : {0.0, -1.0})
        EXPECT_FALSE(engine.setRate(rate)) << rate;
    for (const long value : {1L, -10001L})
        EXPECT_FALSE(engine.setVolume(value)) << value;
    for (const long value : {10001L, -10001L})
        EXPECT_FALSE(engine.setBalance(value)) << value;
    engine.Run();
    EXPECT_TRUE(WaitUntil([&] { return engine.state() == State::AtEnd; }));
    EXPECT_DOUBLE_EQ(engine.CurrentPosition(), engine.Duration());
    // The refused values changed nothing.
    EXPECT_EQ(engine.Volume(), -1500);
    EXPECT_EQ(engine.Balance(), 3000);
    EXPECT_EQ(engine.Rate(), 2.0);
}

}  // namespace
}  // namespace clip
