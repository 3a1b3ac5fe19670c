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

// Waits until a seek has landed.
bool SeekDone(PlaybackEngine& engine)
{
    return WaitUntil([&] { return !engine.isSeeking(); }, 10000);
}

// ---- Loading -------------------------------------------------------------

struct DurationCase {
    const char* name;
    double seconds;
    int fps;
    bool audio;
};

class LoadDuration : public ::testing::TestWithParam<DurationCase> {};

TEST_P(LoadDuration, LoadsPausedAtStartWithTheFileLength)
{
    const DurationCase& c = GetParam();
    test::ClipRecipe wanted;
    wanted.seconds = c.seconds;
    wanted.fps = c.fps;
    if (!c.audio)
        wanted.audioCodec.clear();
    wanted.baseName = QStringLiteral("player-duration");
    const QString path = test::MakeClip(wanted);
    ASSERT_FALSE(path.isEmpty());
    const double probed = test::ProbeDuration(path);
    ASSERT_GT(probed, 0.0);

    PlaybackEngine engine;
    ASSERT_TRUE(engine.isValid());
    ASSERT_TRUE(engine.RenderFile(path));
    EXPECT_TRUE(engine.isLoaded());
    EXPECT_EQ(engine.filePath(), path);
    EXPECT_NEAR(engine.Duration(), probed, 0.02);
    EXPECT_NEAR(engine.Duration(), c.seconds, 0.15);
    EXPECT_EQ(engine.state(), State::Paused);
    EXPECT_NEAR(engine.CurrentPosition(), 0.0, 1e-6);
    // Loading does not start playback.
    Settle(300);
    EXPECT_NEAR(engine.CurrentPosition(), 0.0, 1e-6);
}

INSTANTIATE_TEST_SUITE_P(Clips, LoadDuration,
                         ::testing::Values(DurationCase{"HalfSecondsWithSound", 125.5, 5, true},
                                           DurationCase{"HalfSecondsSilent", 124.5, 2, false}),
                         [](const auto& info) { return std::string(info.param.name); });

enum class BadFile { TextAsMp4, ZeroBytes, Missing, Truncated, Folder, EmptyPath };

class LoadFailure : public ::testing::TestWithParam<BadFile> {};

TEST_P(LoadFailure, FailsWithoutWaitingForTheTimeLimit)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QString path;
    switch (GetParam()) {
    case BadFile::TextAsMp4: {
        path = dir.filePath("notes.mp4");
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        for (int i = 0; i < 200; ++i)
            f.write("These are some notes, not a video at all.\n/tmp/another/line.mp4\n");
        break;
    }
    case BadFile::ZeroBytes: {
        path = dir.filePath("empty.mp4");
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        break;
    }
    case BadFile::Missing:
        path = dir.filePath("no-such-file.mp4");
        break;
    case BadFile::Truncated: {
        QFile source(test::ShortClip());
        ASSERT_TRUE(source.open(QIODevice::ReadOnly));
        path = dir.filePath("cut-short.mp4");
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(source.read(3000));
        break;
    }
    case BadFile::Folder:
        path = dir.path();
        break;
    case BadFile::EmptyPath:
        break;
    }

    PlaybackEngine engine;
    ASSERT_TRUE(engine.isValid());
    constexpr int kLimitMs = 30000;
    QElapsedTimer clock;
    clock.start();
    EXPECT_FALSE(engine.RenderFile(path, kLimitMs));
    // Recognised as a failure, not given up on at the time limit.
    EXPECT_LT(clock.elapsed(), kLimitMs);
    EXPECT_FALSE(engine.isLoaded());
    EXPECT_EQ(engine.state(), State::Empty);
    EXPECT_EQ(engine.Duration(), 0.0);
    EXPECT_EQ(engine.CurrentPosition(), 0.0);
    // Controls do nothing on a failed engine.
    engine.Run();
    engine.setCurrentPosition(5.0);
    EXPECT_EQ(engine.state(), State::Empty);
    EXPECT_EQ(engine.CurrentPosition(), 0.0);
}

INSTANTIATE_TEST_SUITE_P(Files, LoadFailure,
                         ::testing::Values(BadFile::TextAsMp4, BadFile::ZeroBytes, BadFile::Missing,
                                           BadFile::Truncated, BadFile::Folder, BadFile::EmptyPath));

TEST(PlaybackEngine, TinyTimeLimitGivesUpAndLeavesTheEngineEmpty)
{
    PlaybackEngine engine;
    EXPECT_FALSE(engine.RenderFile(test::LongClip(), 0));
    EXPECT_FALSE(engine.isLoaded());
    EXPECT_EQ(engine.Duration(), 0.0);
    // The abandoned load must not come back to life later.
    Settle(500);
    EXPECT_FALSE(engine.isLoaded());
    EXPECT_EQ(engine.state(), State::Empty);
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

TEST(PlaybackEngine, RunPauseStopAndRewind)
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

    // Run goes on from where it paused.
    engine.Run();
    ASSERT_TRUE(WaitUntil([&] { return engine.CurrentPosition() >= paused + 0.4; }));

    engine.Stop();
    EXPECT_EQ(engine.state(), State::Stopped);
    EXPECT_TRUE(engine.isLoaded());
    engine.setCurrentPosition(0.0);
    EXPECT_EQ(engine.CurrentPosition(), 0.0);
    ASSERT_TRUE(SeekDone(engine));
    EXPECT_NEAR(engine.CurrentPosition(), 0.0, 1e-3);
    EXPECT_EQ(engine.state(), State::Stopped);
    Settle(400);
    EXPECT_NEAR(engine.CurrentPosition(), 0.0, 1e-3);

    engine.Run();
    EXPECT_EQ(engine.state(), State::Running);
    EXPECT_TRUE(WaitUntil([&] { return engine.CurrentPosition() >= 0.4; }));
}

class ExactSeek : public ::testing::TestWithParam<double> {};

TEST_P(ExactSeek, LandsOnTheRequestedSecondWhilePaused)
{
    PlaybackEngine engine;
    ASSERT_TRUE(engine.RenderFile(test::LongClip()));
    const double target = GetParam();
    engine.setCurrentPosition(target);
    // Read straight back, as the window does after a seek.
    EXPECT_DOUBLE_EQ(engine.CurrentPosition(), target);
    ASSERT_TRUE(SeekDone(engine));
    EXPECT_NEAR(engine.CurrentPosition(), target, 1e-3);
    EXPECT_EQ(engine.state(), State::Paused);
}

INSTANTIATE_TEST_SUITE_P(Seconds, ExactSeek, ::testing::Values(0.0, 1.0, 37.0, 63.4, 100.0, 125.0));

TEST(PlaybackEngine, SeekWhilePlayingKeepsPlayingFromThere)
{
    PlaybackEngine engine;
    ASSERT_TRUE(engine.RenderFile(test::LongClip()));
    engine.Run();
    engine.setCurrentPosition(80.0);
    ASSERT_TRUE(SeekDone(engine));
    EXPECT_EQ(engine.state(), State::Running);
    EXPECT_TRUE(WaitUntil([&] { return engine.CurrentPosition() >= 80.4; }));
    EXPECT_LT(engine.CurrentPosition(), 90.0);
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
    const double duration = engine.Duration();
    engine.Run();
    ASSERT_TRUE(WaitUntil([&] { return engine.state() == State::AtEnd; }));
    EXPECT_TRUE(WaitUntil([&] { return ends.count() == 1; }));
    EXPECT_TRUE(engine.isLoaded());
    EXPECT_DOUBLE_EQ(engine.CurrentPosition(), duration);
    // It stays there.
    Settle(400);
    EXPECT_EQ(engine.state(), State::AtEnd);
    EXPECT_DOUBLE_EQ(engine.CurrentPosition(), duration);
    EXPECT_EQ(ends.count(), 1);

    // Rewound, it plays again.
    engine.Stop();
    engine.setCurrentPosition(0.0);
    ASSERT_TRUE(SeekDone(engine));
    EXPECT_NEAR(engine.CurrentPosition(), 0.0, 1e-3);
    engine.Run();
    EXPECT_EQ(engine.state(), State::Running);
    EXPECT_TRUE(WaitUntil([&] { return engine.CurrentPosition() >= 0.3; }));
    EXPECT_TRUE(WaitUntil([&] { return engine.state() == State::AtEnd; }));
    EXPECT_TRUE(WaitUntil([&] { return ends.count() == 2; }));
}

// ---- Rate, volume, balance -----------------------------------------------

TEST(PlaybackEngine, VolumeAndBalanceUnits)
{
    struct Row {
        long volume;
        double percent;
    };
    for (const Row& r : {Row{0, 100.0}, Row{-6000, 10.0}, Row{-3000, 31.6228}, Row{-10000, 0.0},
                         Row{-9999, 2.1548}})
        EXPECT_NEAR(PlaybackEngine::VolumeToPercent(r.volume), r.percent, 1e-3) << r.volume;

    struct Gains {
        long balance;
        double left;
        double right;
    };
    for (const Gains& g : {Gains{0, 1.0, 1.0}, Gains{2000, 0.1, 1.0}, Gains{-2000, 1.0, 0.1},
                           Gains{600, 0.50119, 1.0}, Gains{10000, 0.0, 1.0}, Gains{-10000, 1.0, 0.0}}) {
        double left = -1;
        double right = -1;
        PlaybackEngine::BalanceToGains(g.balance, &left, &right);
        EXPECT_NEAR(left, g.left, 1e-4) << g.balance;
        EXPECT_NEAR(right, g.right, 1e-4) << g.balance;
    }
}

TEST(PlaybackEngine, PlaysWithVolumeBalanceAndRateSet)
{
    PlaybackEngine engine;
    ASSERT_TRUE(engine.RenderFile(test::ShortClip()));
    // As the window sets them right after loading, then some off-centre ones.
    EXPECT_TRUE(engine.setRate(1.0));
    EXPECT_TRUE(engine.setVolume(0));
    EXPECT_TRUE(engine.setBalance(0));
    EXPECT_TRUE(engine.setVolume(-1500));
    EXPECT_TRUE(engine.setBalance(3000));
    EXPECT_TRUE(engine.setRate(2.0));
    // Out of range: refused, nothing changes.
    EXPECT_FALSE(engine.setRate(0.0));
    EXPECT_FALSE(engine.setRate(-1.0));
    EXPECT_FALSE(engine.setVolume(1));
    EXPECT_FALSE(engine.setVolume(-10001));
    EXPECT_FALSE(engine.setBalance(10001));
    EXPECT_FALSE(engine.setBalance(-10001));
    engine.Run();
    EXPECT_TRUE(WaitUntil([&] { return engine.state() == State::AtEnd; }));
    EXPECT_DOUBLE_EQ(engine.CurrentPosition(), engine.Duration());
    EXPECT_EQ(engine.Volume(), -1500);
    EXPECT_EQ(engine.Balance(), 3000);
    EXPECT_EQ(engine.Rate(), 2.0);
}

}  // namespace
}  // namespace clip
