// Renders the window and both raised panels to PNG files beside the build's
// bin folder (<build>/screens), so the look can be reviewed.
#include "controls/MyFrame.h"
#include "formats/FormatsPanel.h"
#include "mainwindow/frmMain.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QImage>
#include <QLabel>
#include <QPixmap>
#include <QTimer>
#include <gtest/gtest.h>

namespace clip {
namespace {

QString ScreensFolder()
{
    QDir dir(QCoreApplication::applicationDirPath());
    dir.cdUp();
    dir.mkpath(QStringLiteral("screens"));
    return dir.filePath(QStringLiteral("screens"));
}

void RaisePanel(frmMain& w, MyFrame* panel)
{
    w.AnimatedPanel = panel;
    w.frMain->setEnabled(false);
    panel->raise();
    w.StartPanelSlide(QStringLiteral("EDIT_FRAME_UP"));
    for (int i = 0; i < 100 && w.tmrAnimate->isActive(); ++i)
        w.tmrAnimate_Timer();
}

// A picture that is not a single flat colour: something was drawn.
bool HasContent(const QImage& img)
{
    const QRgb first = img.pixel(0, 0);
    for (int y = 0; y < img.height(); y += 7)
        for (int x = 0; x < img.width(); x += 7)
            if (img.pixel(x, y) != first)
                return true;
    return false;
}

TEST(RenderTest, WindowAndPanelsRenderToPng)
{
    frmMain w;
    w.lblFormat->setText(QStringLiteral("Category:Video, Codec:\"MPEG-4 (DivX)\", Container:\"AVI\""));
    w.show();
    QApplication::processEvents();
    const QString folder = ScreensFolder();

    const QImage main = w.grab().toImage();
    EXPECT_EQ(main.size(), w.size());
    EXPECT_TRUE(HasContent(main));
    EXPECT_TRUE(main.save(folder + QStringLiteral("/main.png")));

    RaisePanel(w, w.frFormats);
    const QImage formats = w.grab().toImage();
    EXPECT_TRUE(formats.save(folder + QStringLiteral("/formats.png")));
    w.frFormats->frFormat[1]->raise();
    EXPECT_TRUE(w.grab().save(folder + QStringLiteral("/formats-custom.png")));
    EXPECT_NE(formats, w.grab().toImage());

    w.setPanelTopTwips(w.frFormats, w.windowHeightTwips());
    w.frMain->setEnabled(true);
    RaisePanel(w, w.frAbout);
    EXPECT_TRUE(w.grab().save(folder + QStringLiteral("/about.png")));
}

}  // namespace
}  // namespace clip
