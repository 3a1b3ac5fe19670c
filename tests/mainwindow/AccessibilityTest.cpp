// What a screen reader and the keyboard get from the window: every control's
// name, role and description, the progress bar's value, and the Tab order.
#include "controls/AccessibleText.h"
#include "controls/MyCheck.h"
#include "mainwindow/WindowTestKit.h"
#include "player/PlaybackEngine.h"
#include "player/VideoPane.h"

#include <QAccessible>
#include <QAccessibleValueInterface>
#include <QApplication>
#include <QtTest/QTest>

namespace clip {
namespace {

class Accessibility : public test::HiveTest {};

QString Read(QWidget* w, QAccessible::Text t) { return QAccessible::queryAccessibleInterface(w)->text(t); }

TEST_F(Accessibility, EveryControlHasItsOwnNameAndRole)
{
    frmMain w;
    FormatsPanel* f = test::Ctl<FormatsPanel>(w, "frFormats");
    // Lists read their current item as their name (the toolkit's rule off
    // Windows) and are named by the caption they are labelled by.
    struct Row { QWidget* control; QString name; QAccessible::Role role; };
    const Row rows[] = {
        {test::Ctl<MyButton>(w, "MyButton1"), "Help", QAccessible::Button}, {test::Ctl<MyButton>(w, "cmdClose"), "Close", QAccessible::Button},
        {test::Ctl<MyButton>(w, "cmdDeleteSelect"), "Reset Selection", QAccessible::Button}, {f->cmdHide, "Save & Close", QAccessible::Button},
        {test::Ctl<QLineEdit>(w, "txtOutPath"), "Output folder", QAccessible::EditableText}, {test::Ctl<MyProgressBar>(w, "progress"), "Task Progress", QAccessible::ProgressBar},
        {test::Ctl<MyOption>(w, "optOtherFolder"), "Other folder", QAccessible::RadioButton}, {test::Ctl<MyCheck>(w, "chkShutdown"), "Shutdown after task complete", QAccessible::CheckBox},
        {test::Ctl<VideoPane>(w, "picVideoWindow"), "Video preview", QAccessible::Client}, {test::Ctl<Slider>(w, "Slider"), "Timeline", QAccessible::Client},
        {f->cmbCategory, "Output Category", QAccessible::ComboBox}, {f->cmbCASmapleRate, "Sampling Rate", QAccessible::ComboBox},
        {f->txtCVBitrate, "Bitrate", QAccessible::EditableText}, {f->txtCABirate, "Bitrate", QAccessible::EditableText},
        {test::Ctl<QWidget>(w, "tblSegments"), "Segments", QAccessible::Table}, {test::Ctl<MyButton>(w, "cmdAddSegment"), "Add Segment", QAccessible::Button},
        {test::Ctl<MyOption>(w, "optCutSegments"), "Cut the segments out", QAccessible::RadioButton}, {test::Ctl<MyButton>(w, "cmdImportList"), "Import List...", QAccessible::Button},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.control->objectName().toStdString());
        QAccessibleInterface* a = QAccessible::queryAccessibleInterface(r.control);
        ASSERT_NE(a, nullptr);
        QStringList names{a->text(QAccessible::Name)};
        if (r.role == QAccessible::ComboBox) {
            names.clear();
            for (const auto& label : a->relations(QAccessible::Label))
                names << AccessibleCaption(label.first->text(QAccessible::Name));
        }
        EXPECT_TRUE(names.contains(r.name)) << names.join('|').toStdString();
        EXPECT_EQ(a->role(), r.role);
        EXPECT_FALSE(a->text(QAccessible::Description).isEmpty());
    }
    // Captions alike tell their group apart; the captions lead to their box.
    EXPECT_EQ(Read(f->txtCVBitrate, QAccessible::Description).toStdString(), "Output Video Options, in kbps");
    EXPECT_EQ(Read(f->txtCABirate, QAccessible::Description).toStdString(), "Output Audio Options, in kbps");
    EXPECT_EQ(f->findChild<QLabel*>("lblChannels")->buddy(), f->txtChannels);
    // A caption that changes is read as it stands.
    test::Ctl<MyButton>(w, "cmdPlay")->setText("Pause");
    EXPECT_EQ(Read(test::Ctl<MyButton>(w, "cmdPlay"), QAccessible::Name).toStdString(), "Pause");
}

TEST_F(Accessibility, ProgressBarExposesItsValue)
{
    frmMain w;
    QAccessibleValueInterface* value = QAccessible::queryAccessibleInterface(test::Ctl<MyProgressBar>(w, "progress"))->valueInterface();
    ASSERT_TRUE(value && value->maximumValue().toInt() == 100);
    for (auto [set, shown] : {std::pair{42, "42"}, {150, "100"}, {-3, "0"}}) {
        test::Ctl<MyProgressBar>(w, "progress")->setValue(set);
        EXPECT_EQ(value->currentValue().toString() + "|" + Read(test::Ctl<MyProgressBar>(w, "progress"), QAccessible::Value), QString(shown) + "|" + shown + "%");
    }
}

TEST_F(Accessibility, TabVisitsTheControlsInSightInReadingOrder)
{
    frmMain w;
    w.show();
    QApplication::setActiveWindow(&w);
    const auto tabs = [](QWidget* from, int count) {
        from->setFocus();
        QStringList visited;
        for (int i = 0; i < count; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            visited << QApplication::focusWidget()->objectName();
        }
        return visited.join(' ').toStdString();
    };
    // The checked option is the group's one stop; the resting panels get none.
    EXPECT_EQ(tabs(test::Ctl<Slider>(w, "Slider"), 21), "cmdAddVideoFile cmdPlay cmdStop cmdStartSelect cmdEndSelect cmdDeleteSelect "
                                  "cmdChangeFormat optSameFolder txtOutPath cmdBrowse chkShutdown tblSegments cmdAddSegment cmdRemoveSegment "
                                  "cmdPlaySegments optKeepSegments optJoinSegments cmdImportList cmdExportList cmdConvert Slider");
    w.setPanelTopTwips(test::Ctl<FormatsPanel>(w, "frFormats"), frmMain::kPanelRestTopTwips);
    EXPECT_EQ(tabs(test::Ctl<MyButton>(w, "cmdConvert"), 2), "optFormat cmbCategory");
}

}  // namespace
}  // namespace clip
