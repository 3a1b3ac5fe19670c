// The window shell: start-up order, the colour theme, the panel slide, the
// window buttons, the links, the output-folder choice and the formats panel
// on the window (cascades from start-up on, "Save && Close"), and its look.
#include "controls/BgrColor.h"
#include "controls/MyFrame.h"
#include "mainwindow/WindowTestKit.h"
#include "settings/Settings.h"

#include <QApplication>
#include <QImage>
#include <QtTest/QTest>

#include <vector>

namespace clip {
namespace {

using test::Fake;

constexpr quint32 c0 = 0xFFC0C0, c1 = 0xFF8080, c2 = 0x800000, c3 = 0x400000;

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

TEST_F(Shell, StartUpRunsItsStepsInOrderAndLaysOutThePanels)
{
    frmMain w;
    EXPECT_EQ(w.DebugSteps, (QStringList{"NoVideoLoaded", "CreateNamedMutex", "LayOutPanels", "ShowVersion",
                                         "ApplyTheme", "LoadPresets", "LoadCodecs", "LoadSettings"}));
    EXPECT_TRUE(Fake().messages.isEmpty());
    EXPECT_GT(w.Tables.PresetCount, 0);
    EXPECT_GT(w.Tables.CodecCount, 0);
    EXPECT_EQ(w.frFormats->cmbCategory->currentIndex(), 1);  // the settings restore ran after the catalogues
    EXPECT_GT(w.frFormats->cmbCVCodec->count(), 0);
    EXPECT_FALSE(w.Slider->Enabled());
    EXPECT_TRUE(w.NoVideoLoaded);
    EXPECT_EQ(w.lblVer->text(), "1.0.0.0");
    EXPECT_EQ(frmMain::VersionText(2, 13, 7), "2.13.0.7");

    // Both panels wait at the window's bottom edge, centred by the about panel's width.
    EXPECT_EQ(w.size(), w.frMain->size());
    EXPECT_EQ(w.windowHeightTwips(), 8070);
    EXPECT_EQ(w.panelTopTwips(w.frFormats), 8070);
    EXPECT_EQ(w.panelTopTwips(w.frAbout), 8070);
    EXPECT_DOUBLE_EQ(w.panelLeftTwips(), (10920 - 7245) / 2.0);
    EXPECT_EQ(w.frFormats->x(), w.frAbout->x());
    EXPECT_EQ(w.frFormats->y(), w.height());
}

TEST_F(Shell, ThemeGoesByKindExceptMyFrame1AndTheTwoLinks)
{
    frmMain w;
    for (MyFrame* f : {w.frMain, w.MyFrame3, static_cast<MyFrame*>(w.frFormats), w.frAbout,
                       w.frFormats->frFormat[0], w.frFormats->frFormat[1]}) {
        SCOPED_TRACE(f->objectName().toStdString());
        EXPECT_EQ(QList<quint32>({f->BodyColorBottomLeft(), f->BodyColorBottomRight(), f->BodyColorTopLeft(),
                                  f->BorderColor(), f->ForeColor(), f->HeaderColorBottomLeft(),
                                  f->HeaderColorTopLeft()}),
                  QList<quint32>({c0, c1, c0, c2, c3, c2, c1}));
    }
    const MyFrame untouched;
    EXPECT_EQ(w.MyFrame1->BodyColorTopLeft(), untouched.BodyColorTopLeft());
    EXPECT_EQ(w.MyFrame1->HeaderColorTopLeft(), untouched.HeaderColorTopLeft());
    EXPECT_EQ(w.MyFrame1->BorderColor(), untouched.BorderColor());

    for (MyButton* b : w.findChildren<MyButton*>())
        EXPECT_EQ(QList<quint32>({b->BackColor(), b->BackColorDisabled(), b->BackColorFocus(), b->BorderColor(),
                                  b->ToolTipBackColor()}),
                  QList<quint32>(5, c0))
            << b->objectName().toStdString();
    for (QWidget* box : std::initializer_list<QWidget*>{w.txtOutPath, w.frFormats->cmbCategory,
                                                        w.frFormats->txtChannels, w.frFormats->cmbCASmapleRate})
        EXPECT_EQ(BgrFromColor(box->palette().color(QPalette::Base)), c0) << box->objectName().toStdString();
    for (QLabel* l : w.findChildren<QLabel*>()) {
        const bool link = l == w.lblWebSite || l == w.lblFFmpeg;
        EXPECT_EQ(BgrFromColor(l->palette().color(QPalette::WindowText)) == c3, !link) << l->objectName().toStdString();
    }
    EXPECT_EQ(BgrFromColor(w.frAbout->findChild<QFrame*>("lineAbout")->palette().color(QPalette::WindowText)), c3);
}

TEST_F(Shell, SlideUpTickByTick)
{
    frmMain w;
    w.cmdChangeFormat_Click();
    EXPECT_EQ(w.AnimatedPanel, w.frFormats);
    EXPECT_FALSE(w.frMain->isEnabled());
    EXPECT_EQ(w.AnimMode, "Edit Frame 2 Up");
    std::vector<Tick> expected;
    for (int top = 8070 - 300; top >= 2970; top -= 300)
        expected.push_back({top, 10, true});
    // Under 3100 the step halves and the interval doubles, from the next tick on.
    expected.insert(expected.end(), {{2820, 10, true}, {2745, 20, true}, {2670, 40, true}, {2595, 40, true},
                                     {2715, 40, false}});
    EXPECT_EQ(RunSlide(w), expected);
    EXPECT_EQ(w.frFormats->y(), qRound(2715 / (8070.0 / w.height())));
    EXPECT_FALSE(w.frMain->isEnabled());

    // Whatever the start, above or below the rest, the panel ends at exactly 2715.
    for (int start : {5000, 3099, 2700, 2651, 2650, 2649, 100}) {
        frmMain other;
        other.setPanelTopTwips(other.frAbout, start);
        other.cmdAbout_Click();
        RunSlide(other);
        EXPECT_EQ(other.panelTopTwips(other.frAbout), 2715) << start;
    }
}

TEST_F(Shell, SlideDownTickByTickGivesTheMainPanelBack)
{
    frmMain w;
    w.cmdAbout_Click();
    RunSlide(w);
    w.cmdCloseHelp_Click();
    EXPECT_EQ(w.AnimMode, "Edit Frame 2 Down");
    std::vector<Tick> expected;
    for (int i = 1; i <= 11; ++i)
        expected.push_back({2715 + 500 * i, 5, true});
    expected.push_back({8070, 5, false});
    EXPECT_EQ(RunSlide(w), expected);
    EXPECT_TRUE(w.frMain->isEnabled());
    EXPECT_EQ(w.frAbout->y(), w.height());
}

TEST_F(Shell, SecondOpenDuringASlideIsIgnored)
{
    frmMain w;
    w.cmdChangeFormat_Click();
    w.tmrAnimate_Timer();
    const int top = w.panelTopTwips(w.frFormats);
    w.cmdAbout_Click();
    EXPECT_EQ(w.AnimatedPanel, w.frFormats);
    EXPECT_EQ(w.panelTopTwips(w.frAbout), 8070);
    w.cmdChangeFormat_Click();
    EXPECT_EQ(w.panelTopTwips(w.frFormats), top);
    EXPECT_EQ(RunSlide(w).back().top, 2715);
}

TEST_F(Shell, CloseIsRefusedWhileConvertingByButtonAndByTheWindowManager)
{
    frmMain w;
    w.show();
    w.IsConverting = true;
    QTest::mouseClick(w.cmdClose, Qt::LeftButton);
    EXPECT_FALSE(w.close());
    EXPECT_TRUE(w.isVisible());
    ASSERT_EQ(Fake().messages.size(), 2);
    for (const auto& m : Fake().messages) {
        EXPECT_EQ(m.text, "Please Stop the running task first.");
        EXPECT_EQ(m.style, 48);
    }
    EXPECT_FALSE(w.DebugSteps.contains("SaveSettings"));

    w.IsConverting = false;
    QTest::mouseClick(w.cmdClose, Qt::LeftButton);
    EXPECT_FALSE(w.isVisible());
    EXPECT_EQ(w.DebugSteps.count("SaveSettings"), 1);
    EXPECT_EQ(Fake().messages.size(), 2);
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
#ifdef Q_OS_WIN
    const QString help = "/opt/clip\\Help.chm";
#else
    const QString help = "/opt/clip/Help.html";
#endif
    EXPECT_EQ(Fake().opened, (QStringList{help, "https://ffmpeg.org/", frmMain::kWebSiteUrl}));
    EXPECT_TRUE(Fake().messages.isEmpty());
}

TEST_F(Shell, BrowseAcceptsOnlyFixedDrivesAndACancelChangesNothing)
{
    struct Case {
        QString answer;
        DriveKind drive;
        bool accepted;
    };
    for (const Case& c : {Case{"/data/videos", DriveKind::Fixed, true}, Case{"/media/stick", DriveKind::Removable, false},
                          Case{"/net/share", DriveKind::Remote, false}, Case{"", DriveKind::Fixed, false}}) {
        SCOPED_TRACE(c.answer.toStdString());
        Fake().reset();
        Fake().dialogAnswers = QStringList{c.answer};
        Fake().drive = c.drive;
        frmMain w;
        w.show();
        QTest::mouseClick(w.optSameFolder, Qt::LeftButton);
        EXPECT_FALSE(w.cmdBrowse->isEnabled());
        QTest::mouseClick(w.optOtherFolder, Qt::LeftButton);
        QTest::mouseClick(w.cmdBrowse, Qt::LeftButton);
        ASSERT_EQ(Fake().dialogs.size(), 1);
        EXPECT_EQ(Fake().dialogs[0].kind, "folder");
        EXPECT_EQ(w.txtOutPath->text(), c.accepted ? c.answer : DefaultOutputFolder());
        const bool refused = !c.accepted && !c.answer.isEmpty();
        ASSERT_EQ(Fake().messages.size(), refused ? 1 : 0);
        if (refused) {
            EXPECT_EQ(Fake().messages[0].text, "You can't choose this drive!");
            EXPECT_EQ(Fake().messages[0].style, 48);
        }
#ifdef Q_OS_WIN
        EXPECT_EQ(Fake().driveQueries, c.answer.isEmpty() ? QStringList() : QStringList{c.answer.left(3)});
#else
        EXPECT_EQ(Fake().driveQueries, c.answer.isEmpty() ? QStringList() : QStringList{c.answer});
#endif
    }
}

// ---------------------------------------------------------------- formats panel

class FormatsWiring : public test::HiveTest {};

QStringList Items(const QComboBox* list)
{
    QStringList items;
    for (int k = 0; k < list->count(); ++k)
        items << list->itemText(k);
    return items;
}

TEST_F(FormatsWiring, StartUpSelectionsAlreadyRanTheCascade)
{
    frmMain w;
    const FormatsPanel& f = *w.frFormats;
    QStringList labels, containers;
    for (const PresetEntry& p : w.Tables.Presets.mid(0, w.Tables.PresetCount)) {
        if (p.Category != f.cmbCategory->currentText())
            continue;
        if (!labels.contains(p.Label))
            labels << p.Label;
        if (p.Label == f.cmbOutVCodec->currentText() && !containers.contains(p.Extension))
            containers << p.Extension;
    }
    ASSERT_FALSE(containers.isEmpty());
    EXPECT_EQ(Items(f.cmbOutVCodec), labels);
    EXPECT_EQ(Items(f.cmbOutFormat), containers);
}

TEST_F(FormatsWiring, SaveAndCloseChecksSlidesDownAndDescribes)
{
    frmMain w;
    FormatsPanel& f = *w.frFormats;
    w.cmdChangeFormat_Click();
    RunSlide(w);
    ASSERT_EQ(w.panelTopTwips(w.frFormats), frmMain::kPanelRestTopTwips);
    w.lblFormat->setText("before");

    // Refused: the panel stays up and the summary stays.
    f.txtFrameRate->clear();
    f.cmdHide->click();
    ASSERT_EQ(Fake().messages.size(), 1);
    EXPECT_EQ(Fake().messages.at(0).text, "Frame Rate Field in the custom Format can not be empty.");
    EXPECT_EQ(Fake().messages.at(0).style, 48);
    EXPECT_FALSE(w.tmrAnimate->isActive());
    EXPECT_EQ(w.lblFormat->text(), "before");

    // Accepted with the presets route.
    f.txtFrameRate->setText("25");
    f.optFormat[0]->click();
    f.cmdHide->click();
    EXPECT_EQ(Fake().messages.size(), 1);
    EXPECT_EQ(w.AnimMode, "Edit Frame 2 Down");
    EXPECT_EQ(w.lblFormat->text(), "Category:" + f.cmbCategory->currentText() + ", Codec:\""
                                       + f.cmbOutVCodec->currentText() + "\", Container:\""
                                       + f.cmbOutFormat->currentText() + "\"");
    RunSlide(w);
    EXPECT_EQ(w.panelTopTwips(w.frFormats), w.windowHeightTwips());

    // The custom route, with a text that would read as markup.
    f.optFormat[1]->click();
    test::Pick(f.cmbCACodec, "<b>bold</b>");
    f.cmdHide->click();
    EXPECT_EQ(w.lblFormat->text(), "Container:" + f.cmbCustContainer->currentText() + ", Video Codec:\""
                                       + f.cmbCVCodec->currentText() + "\", Audio Codec:\"<b>bold</b>\"");
    EXPECT_EQ(w.lblFormat->textFormat(), Qt::PlainText);
}

// ---------------------------------------------------------------- look

// Renders the window and both raised panels to PNG files in <build>/screens
// for review.
void RaisePanel(frmMain& w, MyFrame* panel)
{
    w.AnimatedPanel = panel;
    w.frMain->setEnabled(false);
    panel->raise();
    w.StartPanelSlide("EDIT_FRAME_UP");
    RunSlide(w);
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
