// The window shell: start-up order, the colour theme, the panel slide, the
// window buttons, the links and the output-folder choice.
#include "controls/BgrColor.h"
#include "controls/MyButton.h"
#include "controls/MyFrame.h"
#include "controls/MyOption.h"
#include "formats/FormatsPanel.h"
#include "mainwindow/frmMain.h"
#include "player/PlaybackEngine.h"
#include "player/VideoPane.h"
#include "settings/Settings.h"
#include "slider/Slider.h"
#include "support/FakeHost.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFile>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>
#include <QtTest/QTest>
#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace clip {
namespace {

using test::Fake;

constexpr quint32 c0 = 0xFFC0C0, c1 = 0xFF8080, c2 = 0x800000, c3 = 0x400000;

struct Tick {
    int top;
    int interval;  // tmrAnimate's interval after the tick
    bool running;
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

TEST(ShellStartup, RunsItsStepsInOrder)
{
    frmMain w;
    EXPECT_EQ(w.DebugSteps, (QStringList{"NoVideoLoaded", "CreateNamedMutex", "LayOutPanels", "ShowVersion",
                                         "ApplyTheme", "LoadPresets", "LoadCodecs", "LoadSettings"}));
    // The catalogues beside the program filled the tables and the lists.
    EXPECT_TRUE(Fake().messages.isEmpty());
    EXPECT_GT(w.Tables.PresetCount, 0);
    EXPECT_GT(w.Tables.CodecCount, 0);
    EXPECT_GT(w.frFormats->cmbCategory->count(), 0);
    // The settings restore then chooses the second category (the default).
    EXPECT_EQ(w.frFormats->cmbCategory->currentIndex(), 1);
    EXPECT_GT(w.frFormats->cmbCVCodec->count(), 0);
    EXPECT_GT(w.frFormats->cmbCACodec->count(), 0);
    EXPECT_EQ(w.Slider->Value(), 0);
    EXPECT_EQ(w.Slider->Min(), 0);
    EXPECT_EQ(w.Slider->Max(), 1000000);
    EXPECT_FALSE(w.Slider->Enabled());
    EXPECT_TRUE(w.NoVideoLoaded);
    EXPECT_FALSE(w.IsConverting);
    EXPECT_EQ(w.lblVer->text(), "1.0.0.0");
    EXPECT_FALSE(w.tmrAnimate->isActive());
    EXPECT_FALSE(w.tmrVideo->isActive());
    EXPECT_EQ(w.tmrVideo->interval(), 1000);
}

TEST(ShellStartup, LaysOutPanelsInTwips)
{
    frmMain w;
    EXPECT_TRUE(w.windowFlags() & Qt::FramelessWindowHint);
    EXPECT_EQ(w.frMain->pos(), QPoint(0, 0));
    EXPECT_EQ(w.size(), w.frMain->size());
    EXPECT_EQ(w.windowHeightTwips(), 8070);
    // Both panels wait at the window's bottom edge, placed by the about
    // panel's width.
    EXPECT_EQ(w.panelTopTwips(w.frFormats), 8070);
    EXPECT_EQ(w.panelTopTwips(w.frAbout), 8070);
    EXPECT_DOUBLE_EQ(w.panelLeftTwips(), (10920 - 7245) / 2.0);
    EXPECT_EQ(w.frFormats->x(), w.frAbout->x());
    EXPECT_EQ(w.frFormats->y(), w.height());
    EXPECT_GT(w.frFormats->width(), w.frAbout->width());
}

TEST(ShellStartup, VersionTextFormat)
{
    EXPECT_EQ(frmMain::VersionText(1, 0, 0), "1.0.0.0");
    EXPECT_EQ(frmMain::VersionText(2, 13, 7), "2.13.0.7");
}

TEST(ShellStartup, ControlsCarryTheirNamesAndCaptions)
{
    frmMain w;
    struct Named {
        const char* name;
        QString caption;
    };
    const Named buttons[] = {
        {"cmdAddVideoFile", "Load Video File ..."}, {"cmdPlay", "Play"},
        {"cmdStop", "Stop"},                        {"cmdStartSelect", "Start Selection "},
        {"cmdEndSelect", "End Selection"},          {"cmdDeleteSelect", "Reset Selection"},
        {"cmdChangeFormat", "Change..."},           {"cmdBrowse", "Browse..."},
        {"cmdConvert", "Start"},                    {"cmdCloseHelp", "Close"},
        {"cmdHide", "Save && Close"},               {"cmdDefaults", "Restore Defaults"},
    };
    for (const Named& n : buttons) {
        auto* b = w.findChild<MyButton*>(n.name);
        ASSERT_NE(b, nullptr) << n.name;
        EXPECT_EQ(b->text(), n.caption) << n.name;
    }
    const Named tips[] = {{"cmdMinimize", "Minimize"}, {"cmdClose", "Close"}, {"MyButton1", "Help"},
                          {"cmdAbout", "About"},       {"cmdChangeFormat", "Change output format"}};
    for (const Named& n : tips)
        EXPECT_EQ(w.findChild<MyButton*>(n.name)->toolTip(), n.caption) << n.name;
    EXPECT_TRUE(w.cmdMinimize->text().isEmpty());

    const Named labels[] = {{"lblTime", "00:00.00/00:00.00"}, {"lblStartSelect", "00:00:00"},
                            {"lblEndSelect", "00:00:00"},     {"lblProgress", "Task Progress:"},
                            {"lblFFmpeg", "FFmpeg"}};
    for (const Named& n : labels)
        EXPECT_EQ(w.findChild<QLabel*>(n.name)->text(), n.caption) << n.name;

    EXPECT_EQ(w.frMain->caption(), "Clipwright ");
    EXPECT_EQ(w.MyFrame1->caption(), "Three Easy Steps to cut your video files");
    EXPECT_EQ(w.frFormats->caption(), "Output Video Formats");
    EXPECT_EQ(w.frAbout->caption(), "About");
    EXPECT_EQ(w.optSameFolder->text(), "Same folder as input file");
    EXPECT_EQ(w.optOtherFolder->text(), "Other folder");
    // The settings restore replaces the design-time text "C:\\Output Video".
    EXPECT_EQ(w.txtOutPath->text(), DefaultOutputFolder());
    for (const char* name : {"picVideoWindow", "Slider", "MyFrame3", "progress", "chkShutdown", "lblFormat",
                             "lblVer", "lblWebSite", "frFormats", "frAbout", "tmrAnimate", "tmrVideo"})
        EXPECT_NE(w.findChild<QObject*>(name), nullptr) << name;

    // The about panel's texts.
    QStringList aboutTexts;
    for (QLabel* l : w.frAbout->findChildren<QLabel*>())
        aboutTexts << l->text();
    EXPECT_TRUE(aboutTexts.contains(
        "Clipwright is an easy to use tool to extract a part of your video files to various video formats."));
    EXPECT_TRUE(aboutTexts.contains("Clipwright is using "));
}

// ---------------------------------------------------------------- theme

TEST(ShellTheme, FramesExceptMyFrame1TakeTheTheme)
{
    frmMain w;
    for (MyFrame* f : {w.frMain, w.MyFrame3, static_cast<MyFrame*>(w.frFormats), w.frAbout,
                       w.frFormats->frFormat[0], w.frFormats->frFormat[1]}) {
        SCOPED_TRACE(f->objectName().toStdString());
        EXPECT_EQ(f->BodyColorBottomLeft(), c0);
        EXPECT_EQ(f->BodyColorBottomRight(), c1);
        EXPECT_EQ(f->BodyColorTopLeft(), c0);
        EXPECT_EQ(f->BorderColor(), c2);
        EXPECT_EQ(f->ForeColor(), c3);
        EXPECT_EQ(f->HeaderColorBottomLeft(), c2);
        EXPECT_EQ(f->HeaderColorTopLeft(), c1);
    }
    const MyFrame untouched;
    EXPECT_EQ(w.MyFrame1->BodyColorTopLeft(), untouched.BodyColorTopLeft());
    EXPECT_EQ(w.MyFrame1->HeaderColorTopLeft(), untouched.HeaderColorTopLeft());
    EXPECT_EQ(w.MyFrame1->BorderColor(), untouched.BorderColor());
}

TEST(ShellTheme, ButtonsBoxesLabelsAndLines)
{
    frmMain w;
    const QList<MyButton*> buttons = w.findChildren<MyButton*>();
    EXPECT_EQ(buttons.size(), 16);
    for (MyButton* b : buttons) {
        SCOPED_TRACE(b->objectName().toStdString());
        EXPECT_EQ(b->BackColor(), c0);
        EXPECT_EQ(b->BackColorDisabled(), c0);
        EXPECT_EQ(b->BackColorFocus(), c0);
        EXPECT_EQ(b->BorderColor(), c0);
        EXPECT_EQ(b->ToolTipBackColor(), c0);
    }
    for (QWidget* box : {static_cast<QWidget*>(w.txtOutPath), static_cast<QWidget*>(w.frFormats->cmbCategory),
                         static_cast<QWidget*>(w.frFormats->txtChannels),
                         static_cast<QWidget*>(w.frFormats->cmbCASmapleRate)})
        EXPECT_EQ(BgrFromColor(box->palette().color(QPalette::Base)), c0) << box->objectName().toStdString();

    for (QLabel* l : w.findChildren<QLabel*>()) {
        SCOPED_TRACE(l->objectName().toStdString());
        const quint32 fore = BgrFromColor(l->palette().color(QPalette::WindowText));
        if (l == w.lblWebSite || l == w.lblFFmpeg)
            EXPECT_NE(fore, c3);
        else
            EXPECT_EQ(fore, c3);
    }
    auto* line = w.frAbout->findChild<QFrame*>("lineAbout");
    ASSERT_NE(line, nullptr);
    EXPECT_EQ(BgrFromColor(line->palette().color(QPalette::WindowText)), c3);
}

// ---------------------------------------------------------------- slide

TEST(ShellSlide, UpFromTheBottomTickByTick)
{
    frmMain w;
    w.cmdChangeFormat_Click();
    EXPECT_EQ(w.AnimatedPanel, w.frFormats);
    EXPECT_FALSE(w.frMain->isEnabled());
    EXPECT_EQ(w.AnimMode, "Edit Frame 2 Up");
    EXPECT_EQ(w.AnimStep, 300);
    EXPECT_EQ(w.AnimInterval, 10);
    ASSERT_TRUE(w.tmrAnimate->isActive());

    std::vector<Tick> expected;
    for (int top = 8070 - 300; top >= 2970; top -= 300)
        expected.push_back({top, 10, true});
    // Under 3100 the step halves and the interval doubles; each new
    // interval takes effect from the next tick.
    expected.push_back({2820, 10, true});
    expected.push_back({2745, 20, true});
    expected.push_back({2670, 40, true});
    expected.push_back({2595, 40, true});
    expected.push_back({2715, 40, false});

    const std::vector<Tick> ticks = RunSlide(w);
    ASSERT_EQ(ticks.size(), expected.size());
    for (size_t i = 0; i < ticks.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(ticks[i].top, expected[i].top);
        EXPECT_EQ(ticks[i].interval, expected[i].interval);
        EXPECT_EQ(ticks[i].running, expected[i].running);
    }
    EXPECT_EQ(w.AnimStep, 75);
    EXPECT_EQ(w.frFormats->y(), qRound(2715 / (8070.0 / w.height())));
    EXPECT_FALSE(w.frMain->isEnabled());
}

TEST(ShellSlide, UpEndsAtRestFromAnyStartAboveOrBelow)
{
    // Whatever the start, the panel ends at exactly 2715.
    for (int start : {8070, 5000, 3099, 2700, 2651, 2650, 2649, 100}) {
        SCOPED_TRACE(start);
        frmMain w;
        w.setPanelTopTwips(w.frAbout, start);
        w.cmdAbout_Click();
        RunSlide(w);
        EXPECT_FALSE(w.tmrAnimate->isActive());
        EXPECT_EQ(w.panelTopTwips(w.frAbout), 2715);
    }
}

TEST(ShellSlide, DownToTheWindowHeightAndMainPanelBack)
{
    frmMain w;
    w.cmdAbout_Click();
    RunSlide(w);
    ASSERT_EQ(w.panelTopTwips(w.frAbout), 2715);
    w.cmdCloseHelp_Click();
    EXPECT_EQ(w.AnimMode, "Edit Frame 2 Down");
    EXPECT_EQ(w.AnimStep, 500);
    EXPECT_EQ(w.AnimInterval, 5);

    std::vector<Tick> ticks = RunSlide(w);
    ASSERT_EQ(ticks.size(), 12u);
    for (int i = 0; i < 11; ++i) {
        EXPECT_EQ(ticks[i].top, 2715 + 500 * (i + 1));
        EXPECT_EQ(ticks[i].interval, 5);
        EXPECT_TRUE(ticks[i].running);
    }
    EXPECT_EQ(ticks.back().top, 8070);
    EXPECT_FALSE(ticks.back().running);
    EXPECT_TRUE(w.frMain->isEnabled());
    EXPECT_EQ(w.frAbout->y(), w.height());
    EXPECT_TRUE(w.Slider->isVisibleTo(&w));
}

TEST(ShellSlide, SecondOpenDuringASlideIsIgnored)
{
    frmMain w;
    w.cmdChangeFormat_Click();
    w.tmrAnimate_Timer();
    const int top = w.panelTopTwips(w.frFormats);
    w.cmdAbout_Click();
    EXPECT_EQ(w.AnimatedPanel, w.frFormats);
    EXPECT_EQ(w.panelTopTwips(w.frAbout), 8070);
    EXPECT_EQ(w.panelTopTwips(w.frFormats), top);
    w.cmdChangeFormat_Click();
    EXPECT_EQ(w.AnimStep, 300);
    EXPECT_EQ(w.panelTopTwips(w.frFormats), top);
}

TEST(ShellSlide, UnknownModeKeepsValuesButStartsTheTimer)
{
    frmMain w;
    w.AnimatedPanel = w.frAbout;
    w.StartPanelSlide("EDIT_FRAME_UP");
    w.tmrAnimate->stop();
    w.StartPanelSlide("sideways");
    EXPECT_EQ(w.AnimMode, "Edit Frame 2 Up");
    EXPECT_EQ(w.AnimStep, 300);
    EXPECT_EQ(w.AnimInterval, 10);
    EXPECT_TRUE(w.tmrAnimate->isActive());
    // A tick in an unknown mode moves nothing.
    w.AnimMode = "still";
    w.tmrAnimate_Timer();
    EXPECT_EQ(w.panelTopTwips(w.frAbout), 8070);
    w.tmrAnimate->stop();
}

// ---------------------------------------------------------------- closing

TEST(ShellClose, RefusedWhileConvertingEveryWay)
{
    frmMain w;
    w.show();
    w.IsConverting = true;
    QTest::mouseClick(w.cmdClose, Qt::LeftButton);
    ASSERT_EQ(Fake().messages.size(), 1);
    EXPECT_EQ(Fake().messages[0].text, "Please Stop the running task first.");
    EXPECT_EQ(Fake().messages[0].style, 48);
    EXPECT_TRUE(w.isVisible());

    // The window manager's close (Alt+F4 and the like).
    EXPECT_FALSE(w.close());
    EXPECT_TRUE(w.isVisible());
    ASSERT_EQ(Fake().messages.size(), 2);
    EXPECT_EQ(Fake().messages[1].text, "Please Stop the running task first.");
    EXPECT_FALSE(w.DebugSteps.contains("SaveSettings"));
}

TEST(ShellClose, IdleCloseSavesSettingsOnce)
{
    frmMain w;
    w.show();
    QTest::mouseClick(w.cmdClose, Qt::LeftButton);
    EXPECT_FALSE(w.isVisible());
    EXPECT_TRUE(Fake().messages.isEmpty());
    EXPECT_EQ(w.DebugSteps.count("SaveSettings"), 1);
}

TEST(ShellClose, MinimizeButton)
{
    frmMain w;
    w.show();
    w.cmdMinimize_Click();
    EXPECT_TRUE(w.windowState() & Qt::WindowMinimized);
}

// ---------------------------------------------------------------- help and links

TEST(ShellLinks, HelpAndWebLinksOpenThroughTheHost)
{
    frmMain w;
    w.show();
    Fake().folderOverride = "/opt/clip";
    QTest::mouseClick(w.MyButton1, Qt::LeftButton);
    w.lblFFmpeg_Click();
    QTest::mouseClick(w.lblWebSite, Qt::LeftButton);
#ifdef Q_OS_WIN
    const QString help = "/opt/clip\\Help.chm";
#else
    const QString help = "/opt/clip/Help.html";
#endif
    EXPECT_EQ(Fake().opened, (QStringList{help, "https://ffmpeg.org/", frmMain::kWebSiteUrl}));
    EXPECT_TRUE(Fake().messages.isEmpty());
}

TEST(ShellLinks, HelpFileShipsBesideTheProgram)
{
    QFile help(QCoreApplication::applicationDirPath() + "/Help.html");
    ASSERT_TRUE(help.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(help.readAll());
    for (const char* phrase : {"Load Video File ...", "Start Selection", "End Selection", "Change...",
                               "Custom (Advanced)", "Browse...", "Shutdown after task complete"})
        EXPECT_TRUE(text.contains(phrase)) << phrase;
}

// ---------------------------------------------------------------- output folder

TEST(ShellFolder, OptionsSwitchTheBrowseButton)
{
    frmMain w;
    w.show();
    QTest::mouseClick(w.optSameFolder, Qt::LeftButton);
    EXPECT_FALSE(w.cmdBrowse->isEnabled());
    EXPECT_TRUE(w.txtOutPath->isEnabled());
    QTest::mouseClick(w.optOtherFolder, Qt::LeftButton);
    EXPECT_TRUE(w.cmdBrowse->isEnabled());
}

TEST(ShellFolder, BrowseAcceptsOnlyFixedDrives)
{
    struct Case {
        const char* name;
        QStringList answers;
        DriveKind drive;
        QString expectedPath;
        int messages;
    };
    const Case cases[] = {
        {"fixed", {"/data/videos"}, DriveKind::Fixed, "/data/videos", 0},
        {"removable", {"/media/stick"}, DriveKind::Removable, DefaultOutputFolder(), 1},
        {"network", {"/net/share"}, DriveKind::Remote, DefaultOutputFolder(), 1},
        {"cancelled", {""}, DriveKind::Fixed, DefaultOutputFolder(), 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Fake().reset();
        Fake().dialogAnswers = c.answers;
        Fake().drive = c.drive;
        frmMain w;
        w.show();
        QTest::mouseClick(w.cmdBrowse, Qt::LeftButton);
        ASSERT_EQ(Fake().dialogs.size(), 1);
        EXPECT_EQ(Fake().dialogs[0].kind, "folder");
        EXPECT_EQ(Fake().dialogs[0].title, "Select folder to add");
        EXPECT_EQ(w.txtOutPath->text(), c.expectedPath);
        ASSERT_EQ(Fake().messages.size(), c.messages);
        if (c.messages) {
            EXPECT_EQ(Fake().messages[0].text, "You can't choose this drive!");
            EXPECT_EQ(Fake().messages[0].style, 48);
        }
        if (QString(c.name) == "cancelled")
            EXPECT_TRUE(Fake().driveQueries.isEmpty());
        else
#ifdef Q_OS_WIN
            EXPECT_EQ(Fake().driveQueries, QStringList{c.answers[0].left(3)});
#else
            EXPECT_EQ(Fake().driveQueries, c.answers);
#endif
    }
}

}  // namespace
}  // namespace clip
