// The window shell: the panels' start-up places, their slide and what the
// keyboard can reach, the window buttons, links and output folder, the
// formats panel on the window, and the Start button's place.
#include "controls/MyFrame.h"
#include "mainwindow/WindowTestKit.h"
#include "settings/Settings.h"

#include <QApplication>
#include <QtTest/QTest>

#include <vector>

namespace clip {
namespace {

using test::Fake;

struct Tick {
    int top, interval;  // tmrAnimate's interval after the tick
    bool running;
    bool operator==(const Tick&) const = default;
};

std::vector<Tick> RunSlide(frmMain& w)
{
    std::vector<Tick> ticks;
    for (int i = 0; i < 200 && w.tmrAnimate->isActive(); ++i) {
        w.tmrAnimate_Timer();
        ticks.push_back({w.panelTopTwips(w.AnimatedPanel), w.tmrAnimate->interval(), w.tmrAnimate->isActive()});
    }
    return ticks;
}

class Shell : public test::HiveTest {};

TEST_F(Shell, PanelsWaitHiddenBelowTheWindowCentredByTheAboutPanel)
{
    frmMain w;
    EXPECT_EQ(w.size(), w.frMain->size());
    for (MyFrame* panel : {static_cast<MyFrame*>(w.frFormats), w.frAbout}) {
        EXPECT_EQ(w.panelTopTwips(panel), 8070);
        EXPECT_EQ(panel->y(), w.height());
        EXPECT_FALSE(panel->isVisibleTo(&w));
    }
    EXPECT_DOUBLE_EQ(w.panelLeftTwips(), (10920 - 7245) / 2.0);
    EXPECT_EQ(w.frFormats->x(), w.frAbout->x());
}

TEST_F(Shell, SlideUpTickByTickEndsAtItsRestWhateverTheStart)
{
    frmMain w;
    w.cmdChangeFormat_Click();
    EXPECT_FALSE(w.frMain->isEnabled());
    std::vector<Tick> expected;
    for (int top = 8070 - 300; top >= 2970; top -= 300)
        expected.push_back({top, 10, true});
    // Under 3100 the step halves and the interval doubles, from the next tick on.
    expected.insert(expected.end(), {{2820, 10, true}, {2745, 20, true}, {2670, 40, true}, {2595, 40, true},
                                     {2715, 40, false}});
    EXPECT_EQ(RunSlide(w), expected);
    EXPECT_TRUE(w.frFormats->isVisibleTo(&w));
    for (int start : {5000, 3099, 2651, 2650, 2649, 100}) {
        frmMain other;
        other.setPanelTopTwips(other.frAbout, start);
        other.cmdAbout_Click();
        RunSlide(other);
        EXPECT_EQ(other.panelTopTwips(other.frAbout), 2715) << start;
    }
}

TEST_F(Shell, SlideDownGivesTheMainPanelBackAndASecondOpenWaits)
{
    frmMain w;
    w.cmdAbout_Click();
    w.tmrAnimate_Timer();
    w.cmdChangeFormat_Click();  // ignored while a slide runs
    EXPECT_EQ(w.AnimatedPanel, w.frAbout);
    RunSlide(w);
    w.cmdCloseHelp_Click();
    const std::vector<Tick> down = RunSlide(w);
    ASSERT_EQ(down.size(), 12u);
    EXPECT_EQ(down[0], (Tick{3215, 5, true}));
    EXPECT_EQ(down.back(), (Tick{8070, 5, false}));
    EXPECT_TRUE(w.frMain->isEnabled());
    EXPECT_FALSE(w.frAbout->isVisibleTo(&w));
    EXPECT_FALSE(w.frFormats->isVisibleTo(&w));
}

// The keyboard reaches a panel only while it is up; "Save && Close" with no
// panel up leaves no slide running, so the panels still open afterwards.
TEST_F(Shell, TabNeverReachesAPanelAtRest)
{
    frmMain w;
    w.show();
    QApplication::setActiveWindow(&w);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    auto reached = [&](QWidget* panel) {
        w.cmdAddVideoFile->setFocus();
        for (int i = 0; i < 120 && QApplication::focusWidget(); ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            if (panel->isAncestorOf(QApplication::focusWidget()))
                return true;
        }
        return false;
    };
    EXPECT_FALSE(reached(w.frFormats));
    EXPECT_FALSE(reached(w.frAbout));

    w.frFormats->cmdHide->click();
    EXPECT_TRUE(test::WaitFor([&] { return !w.tmrAnimate->isActive(); }));
    w.cmdChangeFormat_Click();
    RunSlide(w);
    EXPECT_EQ(w.panelTopTwips(w.frFormats), 2715);
}

TEST_F(Shell, CloseIsRefusedWhileConvertingAndSavesOtherwise)
{
    frmMain w;
    w.show();
    w.IsConverting = true;
    QTest::mouseClick(w.cmdClose, Qt::LeftButton);
    EXPECT_FALSE(w.close());
    EXPECT_TRUE(w.isVisible());
    ASSERT_EQ(Fake().messages.size(), 2);
    for (const auto& m : Fake().messages)
        EXPECT_EQ(m.text + QString::number(m.style), "Please Stop the running task first.48");
    w.IsConverting = false;
    QTest::mouseClick(w.cmdClose, Qt::LeftButton);
    EXPECT_FALSE(w.isVisible());
    EXPECT_EQ(w.DebugSteps.count("SaveSettings"), 1);
}

TEST_F(Shell, HelpAndWebLinksOpenThroughTheHost)
{
    ASSERT_TRUE(QFile::exists(QCoreApplication::applicationDirPath() + "/Help.html"));
    frmMain w;
    w.show();
    Fake().folderOverride = "/opt/clip";
    QTest::mouseClick(w.MyButton1, Qt::LeftButton);
    w.lblFFmpeg_Click();
    QTest::mouseClick(w.lblWebSite, Qt::LeftButton);
    EXPECT_EQ(Fake().opened, (QStringList{"/opt/clip/Help.html", "https://ffmpeg.org/", frmMain::kWebSiteUrl}));
}

TEST_F(Shell, BrowseAcceptsOnlyFixedDrivesAndACancelChangesNothing)
{
    const struct { QString answer; DriveKind drive; bool accepted; } cases[] = {
        {"/data/videos", DriveKind::Fixed, true}, {"/media/stick", DriveKind::Removable, false},
        {"/net/share", DriveKind::Remote, false}, {"", DriveKind::Fixed, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.answer.toStdString());
        Fake().reset();
        Fake().dialogAnswers = QStringList{c.answer};
        Fake().drive = c.drive;
        frmMain w;
        w.optSameFolder->click();
        EXPECT_FALSE(w.cmdBrowse->isEnabled());
        w.optOtherFolder->click();
        w.cmdBrowse->click();
        EXPECT_EQ(w.txtOutPath->text(), c.accepted ? c.answer : DefaultOutputFolder());
        const bool refused = !c.accepted && !c.answer.isEmpty();
        EXPECT_EQ(Fake().messages.size(), refused ? 1 : 0);
        EXPECT_EQ(Fake().driveQueries, c.answer.isEmpty() ? QStringList() : QStringList{c.answer});
    }
}

TEST_F(Shell, SaveAndCloseChecksSlidesDownAndDescribes)
{
    frmMain w;
    FormatsPanel& f = *w.frFormats;
    w.cmdChangeFormat_Click();
    RunSlide(w);
    w.lblFormat->setText("before");
    f.txtFrameRate->clear();  // refused: the panel stays up and the summary stays
    f.cmdHide->click();
    ASSERT_EQ(Fake().messages.size(), 1);
    EXPECT_EQ(Fake().messages[0].text, "Frame Rate Field in the custom Format can not be empty.");
    EXPECT_FALSE(w.tmrAnimate->isActive());
    EXPECT_EQ(w.lblFormat->text(), "before");

    f.txtFrameRate->setText("25");
    f.optFormat[1]->click();
    test::Pick(f.cmbCACodec, "<b>bold</b>");  // a text that would read as markup
    f.cmdHide->click();
    EXPECT_EQ(w.lblFormat->text(), "Container:" + f.cmbCustContainer->currentText() + ", Video Codec:\""
                                       + f.cmbCVCodec->currentText() + "\", Audio Codec:\"<b>bold</b>\"");
    EXPECT_EQ(w.lblFormat->textFormat(), Qt::PlainText);
    RunSlide(w);
    EXPECT_EQ(w.panelTopTwips(w.frFormats), w.windowHeightTwips());
}

// Loading a video hides the progress display until the next cut; the Start
// button must not jump or stretch into the freed place meanwhile.
TEST_F(Shell, StartButtonKeepsItsPlaceWhileTheProgressIsHidden)
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
