#include "player/PlayerTestSupport.h"
#include "player/VideoPane.h"

#include <gtest/gtest.h>

#include <memory>

namespace clip {
namespace {

using test::WaitUntil;

bool IsRed(QRgb c) { return qRed(c) > 200 && qGreen(c) < 60 && qBlue(c) < 60; }
bool IsBlack(QRgb c) { return qRed(c) < 20 && qGreen(c) < 20 && qBlue(c) < 20; }

// The window's pane: 4770 x 2835 twips at 96 dpi.
constexpr int kW = 318;
constexpr int kH = 189;

class VideoPaneTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        pane.resize(kW, kH);
        pane.show();
    }
    // The pane as shown, once a picture of its own size has arrived.
    QImage Shown()
    {
        WaitUntil([&] { return pane.currentFrame().size() == pane.size(); });
        return pane.grab().toImage();
    }
    VideoPane pane;
};

// A 4:3 red picture: bars left and right in a wide pane (189 high is 252
// wide, 33 on either side), above and below in a tall one; attached before
// or after the load.
TEST_F(VideoPaneTest, ShowsThePictureLetterboxedAtThePaneSize)
{
    for (const bool attachFirst : {true, false}) {
        SCOPED_TRACE(attachFirst);
        pane.resize(kW, kH);
        PlaybackEngine engine;
        pane.setEngine(attachFirst ? &engine : nullptr);
        ASSERT_TRUE(test::LoadAndWait(engine, test::RedClip()));
        pane.setEngine(&engine);
        QImage shot = Shown();
        for (const QPoint red : {QPoint(kW / 2, kH / 2), QPoint(40, 5), QPoint(kW - 41, kH - 6)})
            EXPECT_TRUE(IsRed(shot.pixel(red))) << red.x() << "," << red.y();
        for (int y : {0, kH / 2, kH - 1})
            EXPECT_TRUE(IsBlack(shot.pixel(5, y)) && IsBlack(shot.pixel(kW - 6, y))) << y;
        pane.resize(120, 300);
        shot = Shown();
        EXPECT_TRUE(IsRed(shot.pixel(60, 150)) && IsRed(shot.pixel(5, 150)));
        EXPECT_TRUE(IsBlack(shot.pixel(60, 5)) && IsBlack(shot.pixel(60, 294)));
    }
}

TEST_F(VideoPaneTest, BlackWithoutAnEngineAndAfterItIsGone)
{
    auto centre = [&] { return pane.grab().toImage().pixel(kW / 2, kH / 2); };
    EXPECT_TRUE(IsBlack(centre()));
    auto engine = std::make_unique<PlaybackEngine>();
    pane.setEngine(engine.get());
    ASSERT_TRUE(test::LoadAndWait(*engine, test::RedClip()));
    EXPECT_TRUE(IsRed(Shown().pixel(kW / 2, kH / 2)));
    pane.setEngine(nullptr);
    EXPECT_TRUE(IsBlack(centre()));
    engine.reset();
    EXPECT_EQ(pane.engine(), nullptr);
}

TEST_F(VideoPaneTest, ShowsTheNewPositionAfterASeekWhilePaused)
{
    // Red for the first second, then blue.
    const QString path = test::PlayerClip("player-red-blue", 2.0, 5, "c=red",
                                          {"-vf", "drawbox=c=blue:t=fill:enable='gte(t,1)'"});
    PlaybackEngine engine;
    pane.setEngine(&engine);
    ASSERT_TRUE(test::LoadAndWait(engine, path));
    const auto centre = [&] { return pane.currentFrame().pixel(kW / 2, kH / 2); };
    ASSERT_TRUE(WaitUntil([&] { return !pane.currentFrame().isNull() && IsRed(centre()); }));
    engine.setCurrentPosition(1.4);
    EXPECT_TRUE(WaitUntil([&] { return qBlue(centre()) > 200; }));
    EXPECT_EQ(engine.state(), PlaybackEngine::State::Paused);
}

}  // namespace
}  // namespace clip
