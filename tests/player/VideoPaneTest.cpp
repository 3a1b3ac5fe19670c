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

bool IsRed(QRgb c)
{
    return qRed(c) > 200 && qGreen(c) < 60 && qBlue(c) < 60;
}

bool IsBlack(QRgb c)
{
    return qRed(c) < 20 && qGreen(c) < 20 && qBlue(c) < 20;
}

QImage Grab(VideoPane& pane)
{
    return pane.grab().toImage();
}

// The window's pane: 4770 x 2835 twips at 96 dpi.
constexpr int kPaneWidth = 318;
constexpr int kPaneHeight = 189;

class PaneAttach : public ::testing::TestWithParam<bool> {};

TEST_P(PaneAttach, ShowsThePictureLetterboxedAtThePaneSize)
{
    const bool attachFirst = GetParam();
    VideoPane pane;
    pane.resize(kPaneWidth, kPaneHeight);
    PlaybackEngine engine;
    if (attachFirst)
        pane.setEngine(&engine);
    ASSERT_TRUE(engine.RenderFile(test::RedClip()));
    if (!attachFirst)
        pane.setEngine(&engine);
    ASSERT_TRUE(WaitUntil([&] { return !pane.currentFrame().isNull(); }));

    const QImage shot = Grab(pane);
    ASSERT_EQ(shot.size(), QSize(kPaneWidth, kPaneHeight));
    // A 4:3 picture 189 high is 252 wide: bars of 33 on either side.
    EXPECT_TRUE(IsRed(shot.pixel(kPaneWidth / 2, kPaneHeight / 2)));
    EXPECT_TRUE(IsRed(shot.pixel(40, 5)));
    EXPECT_TRUE(IsRed(shot.pixel(kPaneWidth - 41, kPaneHeight - 6)));
    for (int y : {0, kPaneHeight / 2, kPaneHeight - 1}) {
        EXPECT_TRUE(IsBlack(shot.pixel(5, y))) << y;
        EXPECT_TRUE(IsBlack(shot.pixel(kPaneWidth - 6, y))) << y;
    }
}

INSTANTIATE_TEST_SUITE_P(Order, PaneAttach, ::testing::Values(true, false),
                         [](const auto& info) { return info.param ? "BeforeLoad" : "AfterLoad"; });

TEST(VideoPane, ResizingRedrawsWithBarsWhereTheShapeNeedsThem)
{
    VideoPane pane;
    pane.resize(kPaneWidth, kPaneHeight);
    PlaybackEngine engine;
    pane.setEngine(&engine);
    ASSERT_TRUE(engine.RenderFile(test::RedClip()));
    ASSERT_TRUE(WaitUntil([&] { return !pane.currentFrame().isNull(); }));

    // Tall pane: the bars move to the top and bottom.
    pane.resize(120, 300);
    const QImage shot = Grab(pane);
    ASSERT_EQ(shot.size(), QSize(120, 300));
    EXPECT_TRUE(IsRed(shot.pixel(60, 150)));
    EXPECT_TRUE(IsRed(shot.pixel(5, 150)));
    EXPECT_TRUE(IsBlack(shot.pixel(60, 5)));
    EXPECT_TRUE(IsBlack(shot.pixel(60, 294)));
}

TEST(VideoPane, BlackWithoutAnEngineAndAfterItIsGone)
{
    VideoPane pane;
    pane.resize(kPaneWidth, kPaneHeight);
    const QImage empty = Grab(pane);
    EXPECT_TRUE(IsBlack(empty.pixel(kPaneWidth / 2, kPaneHeight / 2)));

    auto engine = std::make_unique<PlaybackEngine>();
    pane.setEngine(engine.get());
    ASSERT_TRUE(engine->RenderFile(test::RedClip()));
    ASSERT_TRUE(WaitUntil([&] { return !pane.currentFrame().isNull(); }));
    EXPECT_TRUE(IsRed(Grab(pane).pixel(kPaneWidth / 2, kPaneHeight / 2)));

    pane.setEngine(nullptr);
    EXPECT_TRUE(IsBlack(Grab(pane).pixel(kPaneWidth / 2, kPaneHeight / 2)));

    pane.setEngine(engine.get());
    EXPECT_TRUE(IsRed(Grab(pane).pixel(kPaneWidth / 2, kPaneHeight / 2)));
    engine.reset();  // destroyed while attached
    EXPECT_EQ(pane.engine(), nullptr);
    EXPECT_TRUE(IsBlack(Grab(pane).pixel(kPaneWidth / 2, kPaneHeight / 2)));
}

TEST(VideoPane, ShowsTheNewPositionAfterASeekWhilePaused)
{
    // Red for the first second, then blue.
    test::ClipRecipe wanted;
    wanted.seconds = 2.0;
    wanted.fps = 5;
    wanted.audioCodec.clear();
    wanted.videoSource = QStringLiteral("color");
    wanted.videoSourceOptions = QStringLiteral("c=red");
    wanted.extraOutputArgs = {QStringLiteral("-vf"),
                            QStringLiteral("drawbox=c=blue:t=fill:enable='gte(t,1)'")};
    wanted.baseName = QStringLiteral("player-red-blue");
    const QString path = test::MakeClip(wanted);
    ASSERT_FALSE(path.isEmpty());

    VideoPane pane;
    pane.resize(kPaneWidth, kPaneHeight);
    PlaybackEngine engine;
    pane.setEngine(&engine);
    ASSERT_TRUE(engine.RenderFile(path));
    ASSERT_TRUE(WaitUntil([&] { return IsRed(pane.currentFrame().pixel(kPaneWidth / 2, kPaneHeight / 2)); }));

    engine.setCurrentPosition(1.4);
    EXPECT_TRUE(WaitUntil([&] {
        const QImage f = pane.currentFrame();
        return !f.isNull() && qBlue(f.pixel(kPaneWidth / 2, kPaneHeight / 2)) > 200;
    }));
    EXPECT_EQ(engine.state(), PlaybackEngine::State::Paused);
}

TEST(VideoPane, HandsDroppedFilesOnAndRefusesOtherData)
{
    VideoPane pane;
    pane.resize(kPaneWidth, kPaneHeight);
    EXPECT_TRUE(pane.acceptDrops());
    QSignalSpy dropped(&pane, &VideoPane::filesDropped);

    QMimeData text;
    text.setText(QStringLiteral("just words"));
    QDragEnterEvent enterText(QPoint(10, 10), Qt::CopyAction, &text, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&pane, &enterText);
    EXPECT_FALSE(enterText.isAccepted());

    QMimeData files;
    const QList<QUrl> urls{QUrl::fromLocalFile(QStringLiteral("/videos/a.MP4")),
                           QUrl::fromLocalFile(QStringLiteral("/videos/b.avi"))};
    files.setUrls(urls);
    QDragEnterEvent enterFiles(QPoint(10, 10), Qt::CopyAction, &files, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&pane, &enterFiles);
    EXPECT_TRUE(enterFiles.isAccepted());

    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &files, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&pane, &drop);
    ASSERT_EQ(dropped.count(), 1);
    EXPECT_EQ(dropped.at(0).at(0).value<QList<QUrl>>(), urls);

    QDropEvent dropText(QPointF(10, 10), Qt::CopyAction, &text, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&pane, &dropText);
    EXPECT_EQ(dropped.count(), 1);
}

}  // namespace
}  // namespace clip
