// Renders the window and both raised panels to PNG files in <build>/screens,
// so the look can be reviewed.
#include "controls/MyFrame.h"
#include "mainwindow/WindowTestKit.h"

#include <QApplication>
#include <QImage>

namespace clip {
namespace {

void RaisePanel(frmMain& w, MyFrame* panel)
{
    w.AnimatedPanel = panel;
    w.frMain->setEnabled(false);
    panel->raise();
    w.StartPanelSlide("EDIT_FRAME_UP");
    for (int i = 0; i < 100 && w.tmrAnimate->isActive(); ++i)
        w.tmrAnimate_Timer();
}

class RenderTest : public test::HiveTest {};

TEST_F(RenderTest, WindowAndPanelsRenderToPng)
{
    QDir screens(QCoreApplication::applicationDirPath() + "/..");
    ASSERT_TRUE(screens.mkpath("screens") && screens.cd("screens"));
    frmMain w;
    w.lblFormat->setText("Category:Video, Codec:\"MPEG-4 (DivX)\", Container:\"AVI\"");
    w.show();
    QApplication::processEvents();

    const QImage main = w.grab().toImage();
    EXPECT_EQ(main.size(), w.size());
    QImage flat(main.size(), main.format());
    flat.fill(main.pixelColor(0, 0));
    EXPECT_NE(main, flat);  // something was drawn
    EXPECT_TRUE(main.save(screens.filePath("main.png")));

    RaisePanel(w, w.frFormats);
    const QImage formats = w.grab().toImage();
    EXPECT_TRUE(formats.save(screens.filePath("formats.png")));
    w.frFormats->frFormat[1]->raise();
    EXPECT_TRUE(w.grab().save(screens.filePath("formats-custom.png")));
    EXPECT_NE(formats, w.grab().toImage());

    w.setPanelTopTwips(w.frFormats, w.windowHeightTwips());
    w.frMain->setEnabled(true);
    RaisePanel(w, w.frAbout);
    EXPECT_TRUE(w.grab().save(screens.filePath("about.png")));
}

}  // namespace
}  // namespace clip
