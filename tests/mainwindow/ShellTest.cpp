// The window shell: the panels' start-up places, their slide and what the keyboard can reach, and the output
// folder. (Closing during a cut: the cut job's tests; saving at close: the settings tests.)
#include "controls/MyFrame.h"
#include "mainwindow/WindowTestKit.h"
#include "settings/Settings.h"

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
    for (int i = 0; i < 200 && test::Ctl<QTimer>(w, "tmrAnimate")->isActive(); ++i) {
        w.tmrAnimate_Timer();
        ticks.push_back({w.panelTopTwips(w.SlidingPanel()), test::Ctl<QTimer>(w, "tmrAnimate")->interval(), test::Ctl<QTimer>(w, "tmrAnimate")->isActive()});
    }
    return ticks;
}

class Shell : public test::HiveTest {};

// Tick by tick: up in steps that halve under 3100 (the interval doubling from the next tick on) to rest at
// exactly 2715 whatever the start; down in steps of 500, giving the main panel back. A second open waits.
TEST_F(Shell, PanelSlidesUpAndDownTickByTick)
{
    frmMain w;
    w.cmdChangeFormat_Click();
    w.cmdAbout_Click();  // ignored while a slide runs
    EXPECT_TRUE(w.SlidingPanel() == test::Ctl<FormatsPanel>(w, "frFormats") && !test::Ctl<MyFrame>(w, "frMain")->isEnabled());
    std::vector<Tick> expected;
    for (int top = 8070 - 300; top >= 2970; top -= 300)
        expected.push_back({top, 10, true});
    expected.insert(expected.end(), {{2820, 10, true}, {2745, 20, true}, {2670, 40, true}, {2595, 40, true},
                                     {2715, 40, false}});
    EXPECT_EQ(RunSlide(w), expected);
    w.cmdCloseHelp_Click();
    const std::vector<Tick> down = RunSlide(w);
    ASSERT_EQ(down.size(), 12u);
    EXPECT_TRUE(down[0] == (Tick{3215, 5, true}) && down.back() == (Tick{8070, 5, false}));
    EXPECT_TRUE(test::Ctl<MyFrame>(w, "frMain")->isEnabled());
    for (int start : {5000, 3099, 2651, 2650, 2649, 100}) {
        w.setPanelTopTwips(test::Ctl<MyFrame>(w, "frAbout"), start);
        w.cmdAbout_Click();
        RunSlide(w);
        EXPECT_EQ(w.panelTopTwips(test::Ctl<MyFrame>(w, "frAbout")), 2715) << start;
    }
}

// Panels at rest wait hidden below the window, centred by the about panel's width, so the keyboard never
// reaches them (the Tab cycle: AccessibilityTest). "Save && Close" with no panel up leaves no slide running, so
// the panels still open afterwards.
TEST_F(Shell, PanelsRestHiddenAndASlideWithoutAPanelStops)
{
    frmMain w;
    for (MyFrame* panel : {static_cast<MyFrame*>(test::Ctl<FormatsPanel>(w, "frFormats")), test::Ctl<MyFrame>(w, "frAbout")})
        EXPECT_TRUE(w.panelTopTwips(panel) == 8070 && panel->y() == w.height() && !panel->isVisibleTo(&w));
    EXPECT_TRUE(w.panelLeftTwips() == (10920 - 7245) / 2.0 && test::Ctl<FormatsPanel>(w, "frFormats")->x() == test::Ctl<MyFrame>(w, "frAbout")->x());
    test::Ctl<FormatsPanel>(w, "frFormats")->cmdHide->click();
    EXPECT_TRUE(test::WaitFor([&] { return !test::Ctl<QTimer>(w, "tmrAnimate")->isActive(); }));
    w.cmdChangeFormat_Click(), RunSlide(w);
    EXPECT_TRUE(w.panelTopTwips(test::Ctl<FormatsPanel>(w, "frFormats")) == 2715 && test::Ctl<FormatsPanel>(w, "frFormats")->isVisibleTo(&w));
}

TEST_F(Shell, BrowseAcceptsOnlyFixedDrivesAndACancelChangesNothing)
{
    const struct { QString answer; DriveKind drive; bool accepted; } cases[] = {
        {"/data/videos", DriveKind::Fixed, true}, {"/media/stick", DriveKind::Removable, false},
        {"/net/share", DriveKind::Remote, false}, {"", DriveKind::Fixed, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.answer.toStdString());
        Fake().reset();
        Fake().dialogAnswers = QStringList{c.answer}, Fake().drive = c.drive;
        frmMain w;
        test::Ctl<MyOption>(w, "optSameFolder")->click();
        EXPECT_FALSE(test::Ctl<MyButton>(w, "cmdBrowse")->isEnabled());  // "Other folder" frees it again
        test::Ctl<MyOption>(w, "optOtherFolder")->click(), test::Ctl<MyButton>(w, "cmdBrowse")->click();
        EXPECT_EQ(test::Ctl<QLineEdit>(w, "txtOutPath")->text(), c.accepted ? c.answer : DefaultOutputFolder());
        EXPECT_EQ(Fake().messages.size(), !c.accepted && !c.answer.isEmpty() ? 1 : 0);
    }
}

}  // namespace
}  // namespace clip
