#include "player/PlayerTestSupport.h"
#include "player/VideoPane.h"

#include <QSet>
#include <gtest/gtest.h>

namespace clip {
namespace {

bool IsRed(QRgb c) { return qRed(c) > 200 && qGreen(c) < 60 && qBlue(c) < 60; }
bool IsBlue(QRgb c) { return qBlue(c) > 200 && qRed(c) < 60 && qGreen(c) < 60; }
bool IsBlack(QRgb c) { return qRed(c) < 20 && qGreen(c) < 20 && qBlue(c) < 20; }

// A 4:3 picture (red for a second, then blue) in the window's pane, 4770 x 2835 twips at 96 dpi: bars left
// and right (189 high is 252 wide, 33 on either side); in a tall pane above and below. Attached after the
// load, as the window does; a seek while paused shows the new picture; without an engine the pane is black.
TEST(VideoPane, ShowsThePictureLetterboxedAtThePaneSizeAndAfterASeek)
{
    VideoPane pane;
    pane.resize(318, 189), pane.show();
    auto shown = [&] {  // the pane as shown, once a picture of its own size has arrived
        return test::WaitFor([&] { return pane.currentFrame().size() == pane.size(); }), pane.grab().toImage();
    };
    PlaybackEngine engine;
    ASSERT_TRUE(test::LoadAndWait(engine, test::PlayerClip("player-red-blue", 2.0, 5, "c=red",
                                                           {"-vf", "drawbox=c=blue:t=fill:enable='gte(t,1)'"})));
    pane.setEngine(&engine);
    QImage shot = shown();
    EXPECT_TRUE(IsRed(shot.pixel(159, 94)) && IsRed(shot.pixel(40, 5)) && IsRed(shot.pixel(277, 183)));
    EXPECT_TRUE(IsBlack(shot.pixel(5, 0)) && IsBlack(shot.pixel(312, 188)) && IsBlack(shot.pixel(5, 188)));
    pane.resize(120, 300);
    shot = shown();
    EXPECT_TRUE(IsRed(shot.pixel(60, 150)) && IsRed(shot.pixel(5, 150)));
    EXPECT_TRUE(IsBlack(shot.pixel(60, 5)) && IsBlack(shot.pixel(60, 294)));
    engine.setCurrentPosition(1.4);
    EXPECT_TRUE(test::WaitFor([&] { return IsBlue(pane.currentFrame().pixel(60, 150)); }));
    EXPECT_EQ(engine.state(), PlaybackEngine::State::Paused);
    QSet<qint64> buffers;  // pictures of one size are drawn into reused buffers, not one allocated for each
    for (const double at : {0.2, 0.6, 1.0, 1.6, 0.4, 1.2, 0.0}) {
        const qint64 before = pane.currentFrame().cacheKey();
        engine.setCurrentPosition(at);
        ASSERT_TRUE(test::WaitFor([&] { return pane.currentFrame().cacheKey() != before; }));
        buffers << (pane.currentFrame().cacheKey() >> 32);
    }
    EXPECT_LE(buffers.size(), 3);
    pane.setEngine(nullptr);
    EXPECT_TRUE(IsBlack(pane.grab().toImage().pixel(60, 150)));
}

}  // namespace
}  // namespace clip
