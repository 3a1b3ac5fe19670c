// The cut job through the window: the checks of the Start/Stop button, output
// naming, real cuts by the encoder on generated clips, stopping, nesting, the
// power-off request and failures of the folder, the format and the encoder.
#include "controls/MyCheck.h"
#include "mainwindow/OutputNaming.h"
#include "mainwindow/WindowTestKit.h"

#include <QDateTime>
#include <QFileInfo>
#include <QUrl>

namespace clip {
namespace {

using test::ChooseOwnPreset;
using test::ChoosePreset;
using test::EncoderChildren;
using test::Fake;
using test::Pick;

const QString kEmptySelection = QStringLiteral(
    "No part selected. Please, select a part first using 'Start Selection' and 'End Selection'.");
const QString kStopFirst = QStringLiteral("Please Stop the running task first.");

// The custom route; the other fields keep their first-start defaults.
void ChooseCustom(frmMain& w, const QString& container, const QString& audioCodec = "MP3 (AVI, FLV, MOV, MP4, MPG)")
{
    w.frFormats->optFormat[0]->setChecked(false);
    w.frFormats->optFormat[1]->setChecked(true);
    Pick(w.frFormats->cmbCustContainer, container);
    Pick(w.frFormats->cmbCVCodec, "MPEG-4 Part 2, DivX compatible (AVI, MP4, MOV)");
    Pick(w.frFormats->cmbCACodec, audioCodec);
}

QList<bool> EnabledStates(const frmMain& w)
{
    QList<bool> states;
    for (QWidget* c : w.CutJobLockedControls())
        states << c->isEnabled();
    return states;
}

QList<bool> All(bool value) { return QList<bool>(11, value); }

// The flow is over: button back to Start, every locked control enabled.
void ExpectIdle(const frmMain& w)
{
    EXPECT_FALSE(w.IsConverting);
    EXPECT_EQ(w.cmdConvert->text(), "Start");
    EXPECT_EQ(EnabledStates(w), All(true));
}

class CutJob : public test::HiveTest {
protected:
    void SetUp() override
    {
        HiveTest::SetUp();
        test::ClipRecipe recipe;
        recipe.seconds = 8;
        recipe.baseName = "cutjob";
        m_source = test::MakeClip(recipe);
        ASSERT_FALSE(m_source.isEmpty());
        m_input = test::CopyClipTo(m_source, dir.path(), "party.mp4");
        ASSERT_FALSE(m_input.isEmpty());
    }

    // A window with the copied clip loaded and `start` .. `end` selected, output beside the input.
    std::unique_ptr<frmMain> LoadedWindow(qint32 start = 2, qint32 end = 7)
    {
        auto w = std::make_unique<frmMain>();
        test::LoadForCutting(*w, m_input);
        test::Select(*w, start, end);
        Fake().messages.clear();
        return w;
    }
    QStringList FilesInWork() const { return QDir(dir.path()).entryList(QDir::Files); }

    QString m_source;
    QString m_input;
};

TEST_F(CutJob, ClickChecksComeFirstAndRefuseWithTheirMessages)
{
    struct Case {
        bool noVideo;
        qint32 start, end;
        QString message;
    };
    const Case cases[] = {
        {true, 2, 7, "No video file loaded"},  // even with a selection
        {false, 0, 0, kEmptySelection},
        {false, 10, 10, kEmptySelection},
        {false, 12, 10, "No part selected, 'Start Selection' can not be greater than 'End Selection'."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.start << ".." << c.end);
        frmMain w;
        w.NoVideoLoaded = c.noVideo;
        w.InputFilePath = m_input;
        w.Slider->setMax(8);
        test::Select(w, c.start, c.end);
        w.chkShutdown->setChecked(true);
        for (const QString caption : {"Start", "Stop"}) {
            w.cmdConvert->setText(caption);
            Fake().messages.clear();
            w.cmdConvert->click();
            ASSERT_EQ(Fake().messages.size(), 1);
            EXPECT_EQ(Fake().messages[0].text, c.message);
            EXPECT_EQ(Fake().messages[0].style, 64);
            EXPECT_EQ(w.cmdConvert->text(), caption);  // neither action ran
        }
        EXPECT_EQ(w.cConvert, nullptr);
        EXPECT_TRUE(Fake().powerOffs.isEmpty());
        EXPECT_EQ(EnabledStates(w), All(true));
        EXPECT_EQ(FilesInWork(), QStringList{"party.mp4"});
    }
}

TEST(OutputNaming, PicksTheFirstFreeNameAmongRealFiles)
{
    struct Case {
        QString base;
        QStringList existing;  // files; "dir:" makes a folder, "link:" a dangling link
        QString expected;
        bool yieldsBefore;
    };
    const Case cases[] = {
        {"party", {}, "party.avi", false},
        {"party", {"party.avi"}, "party_Converted.avi", false},
        {"party", {"party.avi", "party_Converted.avi"}, "party_Converted_0.avi", true},
        {"party", {"party.avi", "party_Converted.avi", "party_Converted_0.avi", "party_Converted_1.avi"},
         "party_Converted_2.avi", true},
        // A folder or a dangling link under the name counts as taken.
        {"party", {"party.avi", "dir:party_Converted.avi"}, "party_Converted_0.avi", true},
        {"party", {"party.avi", "link:party_Converted.avi"}, "party_Converted_0.avi", true},
        // "_Converted" is not added twice; the comparison is exact.
        {"party_Converted", {"party_Converted.avi"}, "party_Converted_0.avi", true},
        {"party_converted", {"party_converted.avi"}, "party_converted_Converted.avi", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.expected.toStdString());
        QTemporaryDir dir;
        for (const QString& entry : c.existing) {
            if (entry.startsWith("dir:"))
                ASSERT_TRUE(QDir(dir.path()).mkdir(entry.mid(4)));
            else if (entry.startsWith("link:"))
                ASSERT_TRUE(QFile::link(dir.filePath("nowhere"), dir.filePath(entry.mid(5))));
            else
                ASSERT_TRUE(QFile(dir.filePath(entry)).open(QIODevice::WriteOnly));
        }
        for (const QString& folder : {dir.path(), dir.path() + QDir::separator()}) {
            int yields = 0;
            EXPECT_EQ(FirstFreeOutputName(folder, c.base, "avi", OutputPathTaken, [&] { ++yields; }),
                      QDir::toNativeSeparators(dir.filePath(c.expected)));
            EXPECT_EQ(yields, c.yieldsBefore ? 1 : 0);
        }
    }
}

TEST_F(CutJob, UnusableFolderOrNoFreeNameEndsTheFlowBeforeTheEncoder)
{
    QFile plain(InDir("plain.txt"));
    ASSERT_TRUE(plain.open(QIODevice::WriteOnly) && plain.write("keep") == 4);
    plain.close();
    const QString cases[] = {
        InDir("missing/deeper"),  // only one level is created
        InDir("plain.txt"),       // a file, not a folder
        InDir("plain.txt/sub"),   // below a file
        "C:\\Output Video",       // relative here: it would land in the working folder
        QString(),
    };
    auto w = LoadedWindow();
    w->optOtherFolder->setChecked(true);
    ChooseCustom(*w, "AVI");
    w->chkShutdown->setChecked(true);
    for (const QString& folder : cases) {
        SCOPED_TRACE(folder.toStdString());
        Fake().messages.clear();
        Fake().powerOffs.clear();
        w->progress->setValue(37);
        w->txtOutPath->setText(folder);
        w->cmdConvert->click();
        ASSERT_EQ(Fake().messages.size(), 1);
        EXPECT_EQ(Fake().messages[0].text, "Output Folder is not exist and can not be created.");
        EXPECT_EQ(Fake().messages[0].style, 16);
        EXPECT_EQ(w->cConvert, nullptr);
        EXPECT_EQ(w->progress->Value(), 37);         // not filled: nothing was cut
        EXPECT_EQ(Fake().powerOffs, QList<int>{8});  // whatever the outcome
        ExpectIdle(*w);
    }
    // Every name taken: the flow ends without a message.
    Fake().messages.clear();
    w->optSameFolder->setChecked(true);
    QStringList asked;
    w->OutputNameTaken = [&](const QString& path) {
        asked << path;
        return true;
    };
    w->cmdConvert->click();
    EXPECT_TRUE(Fake().messages.isEmpty());
    EXPECT_EQ(w->cConvert, nullptr);
    ASSERT_EQ(asked.size(), 2 + kLastOutputNumber + 1);
    EXPECT_EQ(asked.last(), InDir("party_Converted_10000.AVI"));

    EXPECT_FALSE(QFileInfo::exists(InDir("missing")));
    EXPECT_FALSE(QFileInfo::exists(QDir::current().filePath("C:\\Output Video")));
    ASSERT_TRUE(plain.open(QIODevice::ReadOnly));
    EXPECT_EQ(plain.readAll(), "keep");
    EXPECT_EQ(FilesInWork(), (QStringList{"party.mp4", "plain.txt"}));
}

TEST_F(CutJob, CutsLandBesideTheInputWithTheNextNumberThenInANewOtherFolder)
{
    auto w = LoadedWindow();
    ChoosePreset(*w, "General Video", "H.264 (AVC) - Standard", "mp4");
    QList<QList<bool>> lockedDuringJob;
    bool keptUsable = true;
    test::Poller watch([&] {
        if (w->IsConverting) {
            lockedDuringJob << EnabledStates(*w);
            keptUsable = keptUsable && w->cmdConvert->isEnabled() && w->cmdConvert->text() != "Start"
                         && w->chkShutdown->isEnabled() && w->txtOutPath->isEnabled()
                         && w->frFormats->cmbOutFormat->isEnabled();
        }
        return false;
    });

    const QString first = InDir("party_Converted.mp4");
    w->cmdConvert->click();
    ASSERT_TRUE(Fake().messages.isEmpty()) << Fake().messages.value(0).text.toStdString();
    EXPECT_NEAR(test::ProbeDuration(first), 5.0, 0.5);
    EXPECT_TRUE(test::DecodesCleanly(first));
    EXPECT_EQ(w->progress->Value(), 100);
    EXPECT_EQ(w->lblProgress->text(), "Task Progress:");
    ExpectIdle(*w);
    EXPECT_TRUE(w->cConvert && w->cConvert->Succeeded());
    EXPECT_TRUE(Fake().powerOffs.isEmpty());  // the box is not ticked
    ASSERT_FALSE(lockedDuringJob.isEmpty());
    EXPECT_EQ(lockedDuringJob.count(All(false)), lockedDuringJob.size());
    EXPECT_TRUE(keptUsable);

    // The second run takes the first number and leaves the first cut alone.
    const QDateTime firstTime = QFileInfo(first).lastModified();
    const qint64 firstSize = QFileInfo(first).size();
    w->cmdConvert->click();
    ASSERT_TRUE(Fake().messages.isEmpty());
    EXPECT_NEAR(test::ProbeDuration(InDir("party_Converted_0.mp4")), 5.0, 0.5);
    EXPECT_EQ(QFileInfo(first).lastModified(), firstTime);
    EXPECT_EQ(QFileInfo(first).size(), firstSize);
    EXPECT_EQ(QFileInfo(m_input).size(), QFileInfo(m_source).size());

    // The custom route into a folder that is created; the input's own name is
    // free there and the container's letter case is kept. Ticked: power-off.
    ChooseCustom(*w, "AVI");
    w->optOtherFolder->setChecked(true);
    w->txtOutPath->setText(InDir("out"));
    w->chkShutdown->setChecked(true);
    w->cmdConvert->click();
    ASSERT_TRUE(Fake().messages.isEmpty()) << Fake().messages.value(0).text.toStdString();
    EXPECT_NEAR(test::ProbeDuration(InDir("out/party.AVI")), 5.0, 0.5);
    EXPECT_EQ(w->progress->Value(), 100);
    EXPECT_EQ(Fake().powerOffs, QList<int>{8});
    EXPECT_EQ(EncoderChildren(), 0);
}

// ------------------------------------------------------------ stopping

TEST_F(CutJob, StopDuringALongJobLeavesTheStoppedStateAndNoEncoder)
{
    auto w = LoadedWindow(0, 7);
    // Throttled to real time: the job lasts as long as the clip.
    ChooseOwnPreset(*w, "Slow", "-vf realtime -c:v mpeg4 -an", "mkv");
    w->chkShutdown->setChecked(true);
    const QString otherClip = test::CopyClipTo(m_source, dir.path(), "other.mp4");

    int shownAtStop = -1;
    int childrenWhileRunning = 0;
    bool closed = true;
    test::Poller stopper([&] {
        if (!w->cConvert || !w->cConvert->IsRunning() || w->progress->Value() <= 0)
            return false;
        childrenWhileRunning = EncoderChildren();
        closed = w->close();
        // A drop is ignored: it would reset the selection under the job.
        w->picVideoWindow_OLEDragDrop({QUrl::fromLocalFile(otherClip)});
        // The checks apply to the Stop click too: an empty selection refuses.
        w->Slider->setSelectEnd(0);
        w->cmdConvert->click();
        w->Slider->setSelectEnd(7);
        shownAtStop = w->progress->Value();
        w->cmdConvert->click();  // Stop
        // The Stop action returns at once, before the job has ended.
        EXPECT_TRUE(w->IsConverting);
        EXPECT_EQ(w->cmdConvert->text(), "Start");
        EXPECT_EQ(EnabledStates(*w), All(true));
        return true;
    });
    w->cmdConvert->click();  // Start

    ASSERT_TRUE(stopper.done());
    EXPECT_EQ(childrenWhileRunning, 1);
    EXPECT_FALSE(closed);
    EXPECT_EQ(w->InputFilePath, m_input);
    EXPECT_EQ(Fake().messages.size(), 2);  // no conversion error after the stop
    EXPECT_EQ(Fake().messages.value(0).text, kStopFirst);
    EXPECT_EQ(Fake().messages.value(1).text, kEmptySelection);
    EXPECT_EQ(w->lblProgress->text(), "Task Progress:[Stopped]");
    EXPECT_EQ(w->progress->Value(), shownAtStop);
    EXPECT_LT(shownAtStop, 100);
    EXPECT_TRUE(w->cConvert->WasStopped());
    ExpectIdle(*w);
    EXPECT_EQ(Fake().powerOffs, QList<int>{8});  // after a stopped job too
    EXPECT_EQ(EncoderChildren(), 0);
    // Progress of the finished flow no longer moves the bar.
    qint16 late = 90;
    w->cConvert_Progress(late);
    EXPECT_EQ(w->progress->Value(), shownAtStop);
}

TEST_F(CutJob, StopWhileTheEncoderIsSilentIsHonoured)
{
    auto w = LoadedWindow(0, 8);
    ChooseOwnPreset(*w, "Silent", "-loglevel quiet -nostats -vf realtime -c:v mpeg4 -an", "mkv");
    int ticksWhileRunning = 0;
    test::Poller stopper([&] {
        if (!w->cConvert || !w->cConvert->IsRunning() || EncoderChildren() == 0 || ++ticksWhileRunning < 20)
            return false;
        w->cmdConvert->click();
        return true;
    });
    w->cmdConvert->click();
    ASSERT_TRUE(stopper.done());
    EXPECT_TRUE(Fake().messages.isEmpty());
    EXPECT_TRUE(w->cConvert->WasStopped());
    EXPECT_FALSE(w->cConvert->Succeeded());
    EXPECT_EQ(w->lblProgress->text(), "Task Progress:[Stopped]");
    EXPECT_EQ(EncoderChildren(), 0);
}

TEST_F(CutJob, StartNestedInAStoppedJobKeepsTheOldJobAliveUntilItUnwinds)
{
    auto w = LoadedWindow(0, 7);
    ChooseOwnPreset(*w, "Slow", "-vf realtime -c:v mpeg4 -an", "mkv");
    std::weak_ptr<CVideoConv> oldJob, newJob;
    bool oldAliveAfterNested = false, convertingAfterNested = false;
    QString labelAfterNested;
    test::Poller restarter([&] {
        if (!w->cConvert || !w->cConvert->IsRunning() || w->progress->Value() <= 0)
            return false;
        oldJob = w->cConvert;
        w->cmdConvert->click();  // Stop
        // A quick format and a second click: a new job, nested in the old.
        ChoosePreset(*w, "General Video", "H.264 (AVC) - Standard", "mp4");
        w->Slider->setSelectStart(2);
        w->cmdConvert->click();  // Start
        newJob = w->cConvert;
        oldAliveAfterNested = !oldJob.expired();
        convertingAfterNested = w->IsConverting;
        labelAfterNested = w->lblProgress->text();
        return true;
    });
    w->cmdConvert->click();

    ASSERT_TRUE(restarter.done());
    EXPECT_TRUE(oldAliveAfterNested);
    EXPECT_TRUE(convertingAfterNested);  // the stopped job was still on its way out
    EXPECT_EQ(labelAfterNested, "Task Progress:");
    EXPECT_TRUE(oldJob.expired());
    ASSERT_FALSE(newJob.expired());
    EXPECT_EQ(w->cConvert, newJob.lock());
    EXPECT_TRUE(w->cConvert->Succeeded());
    EXPECT_TRUE(Fake().messages.isEmpty()) << Fake().messages.value(0).text.toStdString();
    EXPECT_FALSE(w->IsConverting);
    EXPECT_EQ(w->progress->Value(), 100);
    EXPECT_EQ(w->lblProgress->text(), "Task Progress:");
    EXPECT_EQ(EncoderChildren(), 0);
    // Both cuts are beside the input: the stopped one partial, the nested one whole.
    EXPECT_TRUE(QFileInfo::exists(InDir("party.mkv")));
    EXPECT_NEAR(test::ProbeDuration(InDir("party_Converted.mp4")), 5.0, 0.5);
}

// ------------------------------------------------------------ failures

TEST_F(CutJob, EncoderFailuresAreReportedAndTheWindowStaysUsable)
{
    QTemporaryDir emptyFolder;
    struct Case {
        const char* name;
        std::function<void(frmMain&)> arrange;
        QString outputName;  // the new name chosen (empty: not checked)
    };
    const Case cases[] = {
        {"format the encoder refuses", [](frmMain& w) { ChooseCustom(w, "RM", "RealAudio 1.0 (RM; 8 KHz, 1 channel)"); },
         "party.RM"},
        {"encoder missing", [&](frmMain& w) { ChooseCustom(w, "AVI"); Fake().folderOverride = emptyFolder.path(); }, ""},
        {"input removed", [&](frmMain& w) { ChooseCustom(w, "AVI"); QFile::remove(m_input); }, ""},
#ifdef Q_OS_LINUX
        {"folder the encoder cannot write",
         [](frmMain& w) {
             ChooseCustom(w, "AVI");
             w.optOtherFolder->setChecked(true);
             w.txtOutPath->setText("/proc");
         },
         ""},
#endif
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Fake().reset();
        for (const QString& f : QDir(dir.path()).entryList({"party?*"}, QDir::Files))
            QFile::remove(InDir(f));
        m_input = test::CopyClipTo(m_source, dir.path(), "party.mp4");
        // A file that must survive whatever happens.
        QFile keep(InDir("party_Converted_7.avi"));
        ASSERT_TRUE(keep.open(QIODevice::WriteOnly) && keep.write("mine") == 4);
        keep.close();

        auto w = LoadedWindow();
        c.arrange(*w);
        w->cmdConvert->click();
        Fake().folderOverride.clear();

        ASSERT_FALSE(Fake().messages.isEmpty());
        EXPECT_TRUE(Fake().messages.last().text.startsWith("Error converting file: party.mp4\r\n"))
            << Fake().messages.last().text.toStdString();
        EXPECT_EQ(Fake().messages.last().style, 16);
        EXPECT_FALSE(w->cConvert->Succeeded());
        ExpectIdle(*w);
        EXPECT_EQ(w->lblProgress->text(), "Task Progress:");
        EXPECT_EQ(w->progress->Value(), 100);  // a failed job fills the bar as any unstopped one
        EXPECT_EQ(EncoderChildren(), 0);
        ASSERT_TRUE(keep.open(QIODevice::ReadOnly));
        EXPECT_EQ(keep.readAll(), "mine");
        keep.close();
        if (!c.outputName.isEmpty()) {
            EXPECT_EQ(QFileInfo(w->cConvert->OutputFile()).fileName(), c.outputName);
        }

        // The window is still usable: the next cut works.
        if (!QFileInfo::exists(m_input))
            test::CopyClipTo(m_source, dir.path(), "party.mp4");
        ChoosePreset(*w, "General Video", "MPEG-4 (Xvid compatible)", "avi");
        w->optSameFolder->setChecked(true);
        Fake().messages.clear();
        w->cmdConvert->click();
        EXPECT_TRUE(Fake().messages.isEmpty()) << Fake().messages.value(0).text.toStdString();
        EXPECT_TRUE(w->cConvert->Succeeded());
    }
}

TEST_F(CutJob, ProgressMovesTheBarOnlyWhileAFlowRunsAndWithinItsRange)
{
    frmMain w;
    struct Step {
        bool converting;
        qint16 value;
        int shown;
    };
    // No flow: ignored; an unreadable input shows the floor, beyond the length the ceiling.
    for (const Step& s : {Step{false, 40, 0}, Step{true, 40, 40}, Step{true, -1, 0}, Step{true, 150, 100},
                          Step{false, 20, 100}}) {
        w.IsConverting = s.converting;
        qint16 v = s.value;
        w.cConvert_Progress(v);
        EXPECT_EQ(w.progress->Value(), s.shown) << s.value;
    }
}

}  // namespace
}  // namespace clip
