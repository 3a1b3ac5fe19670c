// The window as the view of a cut: what the Start/Stop button refuses and
// shows, the controls it locks, the bar, the label, the one box of a failure,
// the settings saved before a power-off, and a smart cut's output in the
// preview. The cut's own rules run against the controller (tests/cut).
#include "controls/MyCheck.h"
#include "engine/SmartCutJob.h"
#include "mainwindow/WindowTestKit.h"

#include <QFileInfo>
#include <QTest>
#include <QUrl>

namespace clip {
namespace {

using test::ChoosePreset;
using test::EncoderChildren;
using test::Fake;

// The flow is over: button back to Start, every locked control enabled.
void ExpectIdle(const frmMain& w)
{
    EXPECT_FALSE(w.IsConverting());
    EXPECT_EQ(test::Ctl<MyButton>(w, "cmdConvert")->text(), "Start");
    for (QWidget* c : w.CutJobLockedControls() + QList<QWidget*>{test::Ctl<QWidget>(w, "frSegments")})
        EXPECT_TRUE(c->isEnabled()) << c->objectName().toStdString();
}

class CutJob : public test::HiveTest {
protected:
    void SetUp() override
    {
        HiveTest::SetUp();
        test::ClipRecipe recipe;
        recipe.seconds = 8, recipe.baseName = "cutjob", m_source = test::MakeClip(recipe);
        m_input = test::CopyClipTo(m_source, dir.path(), "party.mp4");
    }
    // The clip loaded, `start` .. `end` selected, output beside the input, a
    // shipped preset chosen, the power-off box ticked and the bar at 37 %.
    std::unique_ptr<frmMain> LoadedWindow(qint32 start = 2, qint32 end = 7)
    {
        auto w = std::make_unique<frmMain>();
        test::LoadForCutting(*w, m_input);
        test::Select(*w, start, end), ChoosePreset(*w, "General Video", "H.264 (AVC) - Standard", "mp4");
        test::Ctl<MyCheck>(w, "chkShutdown")->setChecked(true), test::Ctl<MyProgressBar>(w, "progress")->setValue(37), Fake().messages.clear();
        return w;
    }
    QStringList FilesInWork() const { return QDir(dir.path()).entryList(QDir::Files | QDir::Hidden); }

    QString m_source, m_input;
};

// The click's own refusals keep the caption (a Stop is refused too) and the
// bar; a cut refused before its encoder empties the bar; a failure shows one
// box with the encoder's report behind it. Each leaves a usable window.
TEST_F(CutJob, RefusalsAndFailuresShowOneBoxAndLeaveAUsableWindow)
{
    const struct { std::function<void(frmMain&)> arrange; QString message; int bar; bool details; } cases[] = {
        {[](frmMain& w) { test::Select(w, 3, 3); }, "No part selected. Please, select a part first", 37, false},
        {[](frmMain& w) { test::Ctl<FormatsPanel>(w, "frFormats")->cmbOutVCodec->setCurrentIndex(-1); }, "No output format is chosen.", 0, false},
        {[](frmMain& w) { test::ChooseOwnPreset(w, "Broken", "-c:v no-such-codec", "mkv"); }, "Error converting file: party.mp4\r\n", 0, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message.toStdString());
        auto w = LoadedWindow();
        c.arrange(*w);
        for (const QString caption : {"Start", "Stop"}) {
            if (caption == "Stop" && c.bar == 0)
                break;
            test::Ctl<MyButton>(w, "cmdConvert")->setText(caption), Fake().messages.clear(), test::Ctl<MyButton>(w, "cmdConvert")->click();
            ASSERT_EQ(Fake().messages.size(), 1);
            EXPECT_TRUE(Fake().messages[0].text.startsWith(c.message) && test::Ctl<MyButton>(w, "cmdConvert")->text() == caption) << Fake().messages[0].text.toStdString();
            EXPECT_EQ(Fake().messages[0].details.isEmpty(), !c.details);
        }
        EXPECT_TRUE(test::Ctl<MyProgressBar>(w, "progress")->Value() == c.bar && test::Ctl<QLabel>(w, "lblProgress")->text() == "Task Progress:" && !w->Cut().IsRunning());
        EXPECT_EQ(Fake().powerOffs, c.details ? QList<int>{8} : QList<int>{});  // after an encoder that ran to its end
        EXPECT_EQ(FilesInWork(), QStringList{"party.mp4"});
        test::Ctl<MyButton>(w, "cmdConvert")->setText("Start"), ExpectIdle(*w);
    }
}

// Stop, then a Start nested in the stopped job: while a cut runs the controls
// are locked, a close is refused, a drop and the window's keys are ignored; the
// Stop shows at once; the nested cut fills the bar, and its power-off follows
// the saved settings.
TEST_F(CutJob, StopThenANestedStartLeavesOnlyTheFinishedCut)
{
    auto w = LoadedWindow(0, 7);
    const QString otherClip = test::CopyClipTo(m_source, dir.path(), "other.mp4");
    QDir(InDir("hive")).removeRecursively();
    bool savedFirst = false;
    Fake().onPowerOff = [&](int) { savedFirst = !QDir(InDir("hive")).isEmpty(QDir::Files); };
    test::ChooseOwnPreset(*w, "Slow", "-vf realtime -c:v mpeg4 -an", "mkv");
    test::Poller poller([&] {
        if (!(w->Cut().Job() && w->Cut().Job()->IsRunning() && EncoderChildren() && test::Ctl<MyProgressBar>(w, "progress")->Value() > 0))
            return false;
        for (QWidget* c : w->CutJobLockedControls() + QList<QWidget*>{test::Ctl<QWidget>(w, "frSegments")})
            EXPECT_FALSE(c->isEnabled()) << c->objectName().toStdString();
        EXPECT_FALSE(w->close());
        QTest::keyClick(test::Ctl<QLabel>(w, "lblTime"), Qt::Key_Space);  // the window's keys rest while a cut runs
        EXPECT_EQ(test::Ctl<MyButton>(w, "cmdPlay")->text(), "Play");
        w->picVideoWindow_OLEDragDrop({QUrl::fromLocalFile(otherClip)});  // ignored while a job runs
        const int shownAtStop = test::Ctl<MyProgressBar>(w, "progress")->Value();
        test::Ctl<MyButton>(w, "cmdConvert")->click();  // Stop: returns before the job has ended
        EXPECT_TRUE(w->IsConverting() && test::Ctl<MyButton>(w, "cmdConvert")->text() == "Start" && test::Ctl<QLabel>(w, "lblProgress")->text() == "Task Progress:[Stopped]");
        EXPECT_TRUE(test::Ctl<MyProgressBar>(w, "progress")->Value() == shownAtStop && shownAtStop < 100);
        ChoosePreset(*w, "General Video", "H.264 (AVC) - Standard", "mp4");
        test::Ctl<MyButton>(w, "cmdConvert")->click();  // Start, nested in the stopped job
        EXPECT_TRUE(w->IsConverting() && test::Ctl<MyProgressBar>(w, "progress")->Value() == 100);  // the stopped one is still on its way out
        return true;
    });
    test::Ctl<MyButton>(w, "cmdConvert")->click();
    EXPECT_TRUE(poller.done() && w->InputFile() == m_input);
    ASSERT_EQ(Fake().messages.size(), 1);  // no conversion error after the stop
    EXPECT_EQ(Fake().messages[0].text, "Please Stop the running task first.");
    EXPECT_TRUE(w->Cut().Job()->Succeeded() && test::Ctl<MyProgressBar>(w, "progress")->Value() == 100 && test::Ctl<QLabel>(w, "lblProgress")->text() == "Task Progress:");
    EXPECT_TRUE(Fake().powerOffs == QList<int>{8} && savedFirst && EncoderChildren() == 0);
    EXPECT_EQ(FilesInWork(), (QStringList{"other.mp4", "party.mp4", "party_Converted.mp4"}));
    ExpectIdle(*w);
}

// A smart cut that copies (key frames every 12 frames, B-frames) plays in the preview's engine.
TEST_F(CutJob, ASmartCutsCopyPlaysInThePreview)
{
    test::ClipRecipe gops;
    gops.extraOutputArgs = {"-g", "12", "-bf", "3"}, gops.baseName = "smart-libx264";
    auto w = std::make_unique<frmMain>();
    test::LoadForCutting(*w, test::CopyClipTo(test::MakeClip(gops), dir.path(), "gops.mp4"));
    test::Select(*w, 1, 3), ChoosePreset(*w, "Lossless", "Smart Cut (frame-exact, original quality)", "mp4");
    test::Ctl<MyButton>(w, "cmdConvert")->click();
    ASSERT_TRUE(w->Cut().Job()->Succeeded() && test::Ctl<MyProgressBar>(w, "progress")->Value() == 100);
    EXPECT_GT(static_cast<SmartCutJob*>(w->Cut().Job().get())->Plan().bodyFrames, 0);
    test::LoadForCutting(*w, InDir("gops_Converted.mp4"));
    EXPECT_NEAR(w->Player()->Duration(), 2.0, 0.05);
}

}  // namespace
}  // namespace clip
