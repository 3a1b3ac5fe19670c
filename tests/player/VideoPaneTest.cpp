#include "player/PlaybackEngine.h"
#include "player/PlayerTestSupport.h"
#include "player/VideoPane.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QSignalSpy>
#include <gtest/gtest.h>

#include <memory>

namespace clip {
namespace {

using test::WaitUntil;

bool IsRed(QRgb c) { return qRed(c) > 200 && qGreen(c) < 60 && qBlue(c) < 60; }
bool IsBlack(QRgb c) { return qRed(c) < 20 && qGreen(c) < 20 && qBlue(c) < 20; }

// The window's pane: 4770 x 2835 twips at 96 dpi.
constexpr int kPaneWidth = 318;
constexpr int kPaneHeight = 189;

class VideoPaneTest : public ::testing::Test {
protected:
    VideoPane pane;
    void SetUp() override { pane.resize(kPaneWidth, kPaneHeight); }
    QRgb Centre() { return pane.grab().toImage().pixel(kPaneWidth / 2, kPaneHeight / 2); }
    bool FrameShown() { return WaitUntil([&] { return !pane.currentFrame().isNull(); }); }
};

// A 4:3 red picture in a wide pane has bars left and right (189 high is 252
// wide: 33 on either side), in a tall pane above and below; attached before
// or after the load.
TEST_F(VideoPaneTest, ShowsThePictureLetterboxedAtThePaneSize)
{
    for (const bool attachFirst : {true, false}) {
        SCOPED_TRACE(attachFirst ? "attached before the load" : "attached after the load");
        pane.resize(kPaneWidth, kPaneHeight);
        PlaybackEngine engine;
        pane.setEngine(attachFirst ? &engine : nullptr);
        ASSERT_TRUE(engine.RenderFile(test::RedClip()));
        pane.setEngine(&engine);
        ASSERT_TRUE(FrameShown());

        QImage shot = pane.grab().toImage();
        ASSERT_EQ(shot.size(), QSize(kPaneWidth, kPaneHeight));
        for (const QPoint red : {QPoint(kPaneWidth / 2, kPaneHeight / 2), QPoint(40, 5), QPoint(kPaneWidth - 41, kPaneHeight - 6)})
            EXPECT_TRUE(IsRed(shot.pixel(red))) << red.x() << "," << red.y();
        for (int y : {0, kPaneHeight / 2, kPaneHeight - 1}) {
            EXPECT_TRUE(IsBlack(shot.pixel(5, y))) << y;
            EXPECT_TRUE(IsBlack(shot.pixel(kPaneWidth - 6, y))) << y;
        }

        pane.resize(120, 300);
        shot = pane.grab().toImage();
        ASSERT_EQ(shot.size(), QSize(120, 300));
        EXPECT_TRUE(IsRed(shot.pixel(60, 150)) && IsRed(shot.pixel(5, 150)));
        EXPECT_TRUE(IsBlack(shot.pixel(60, 5)) && IsBlack(shot.pixel(60, 294)));
    }
}

TEST_F(VideoPaneTest, BlackWithoutAnEngineAndAfterItIsGone)
{
    EXPECT_TRUE(IsBlack(Centre()));
    auto engine = std::make_unique<PlaybackEngine>();
    pane.setEngine(engine.get());
    ASSERT_TRUE(engine->RenderFile(test::RedClip()));
    ASSERT_TRUE(FrameShown());
    EXPECT_TRUE(IsRed(Centre()));
    pane.setEngine(nullptr);
    EXPECT_TRUE(IsBlack(Centre()));
    pane.setEngine(engine.get());
    EXPECT_TRUE(IsRed(Centre()));
    engine.reset();  // destroyed while attached
    EXPECT_EQ(pane.engine(), nullptr);
    EXPECT_TRUE(IsBlack(Centre()));
}

TEST_F(VideoPaneTest, ShowsTheNewPositionAfterASeekWhilePaused)
{
    // Red for the first second, then blue.
    const QString path = test::PlayerClip("player-red-blue", 2.0, 5, "c=red",
                                          {"-vf", "drawbox=c=blue:t=fill:enable='gte(t,1)'"});
    PlaybackEngine engine;
    pane.setEngine(&engine);
    ASSERT_TRUE(engine.RenderFile(path));
    const auto centre = [&] { return pane.currentFrame().pixel(kPaneWidth / 2, kPaneHeight / 2); };
    ASSERT_TRUE(WaitUntil([&] { return !pane.currentFrame().isNull() && IsRed(centre()); }));
    engine.setCurrentPosition(1.4);
    EXPECT_TRUE(WaitUntil([&] { return qBlue(centre()) > 200; }));
    EXPECT_EQ(engine.state(), PlaybackEngine::State::Paused);
}

TEST_F(VideoPaneTest, HandsDroppedFilesOnAndRefusesOtherData)
{
    EXPECT_TRUE(pane.acceptDrops());
    QSignalSpy dropped(&pane, &VideoPane::filesDropped);
    QMimeData text, files;
    text.setText(QStringLiteral("just words"));
    const QList<QUrl> urls{QUrl::fromLocalFile("/videos/a.MP4"), QUrl::fromLocalFile("/videos/b.avi")};
    files.setUrls(urls);

    for (QMimeData* data : {&text, &files}) {
        QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&pane, &enter);
        EXPECT_EQ(enter.isAccepted(), data == &files);
        QDropEvent drop(QPointF(10, 10), Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&pane, &drop);
    }
    ASSERT_EQ(dropped.count(), 1);
    EXPECT_EQ(dropped.at(0).at(0).value<QList<QUrl>>(), urls);
}

}  // namespace
}  // namespace clip
