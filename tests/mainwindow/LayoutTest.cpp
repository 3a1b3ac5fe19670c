#include "controls/MyButton.h"
#include "controls/MyProgressBar.h"
#include "mainwindow/frmMain.h"

#include <QApplication>
#include <QLabel>
#include <gtest/gtest.h>

namespace clip {
namespace {

// Loading a video hides the progress display until the next cut; the Start
// button must not jump or stretch into the freed place meanwhile.
TEST(WindowLayout, StartButtonKeepsItsPlaceWhileTheProgressIsHidden)
{
    frmMain w;
    w.show();
    QApplication::processEvents();
    const QRect shown = w.cmdConvert->geometry();
    w.lblProgress->hide();
    w.progress->hide();
    QApplication::processEvents();
    EXPECT_EQ(w.cmdConvert->geometry(), shown);
}

}  // namespace
}  // namespace clip
