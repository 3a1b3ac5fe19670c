// The cut job through the window: what Start refuses and says, output naming
// and reservation, real cuts by the encoder on generated clips, stopping,
// nesting, failures, and what follows from each outcome (bar, label, files
// left behind, power-off).
#include "controls/MyCheck.h"
#include "engine/EngineTestUtil.h"
#include "mainwindow/OutputNaming.h"
#include "mainwindow/WindowTestKit.h"

#include <QDateTime>
#include <QFileInfo>
#include <QUrl>

#include <csignal>

namespace clip {
namespace {

using test::ChooseOwnPreset;
using test::ChoosePreset;
using test::EncoderChildren;
using test::Fake;
using test::Pick;

const QString kEmptySelection = QStringLiteral(
    "No part selected. Please, select a part first using 'Start Selection' and 'End Selection'.");

// The custom route; the other fields keep their first-start defaults.
void ChooseCustom(frmMain& w, const QString& container, const QString& audioCodec = "MP3 (AVI, FLV, MOV, MP4, MPG)")
{
    w.frFormats->optFormat[0]->setChecked(false);
    w.frFormats->optFormat[1]->setChecked(true);
    Pick(w.frFormats->cmbCustContainer, container);
    Pick(w.frFormats->cmbCVCodec, "MPEG-4 Part 2, DivX compatible (AVI, MP4, MOV)");
    Pick(w.frFormats->cmbCACodec, audioCodec);
}

// The flow is over: button back to Start, every locked control enabled.
void ExpectIdle(const frmMain& w)
{
    EXPECT_FALSE(w.IsConverting);
    EXPECT_EQ(w.cmdConvert->text(), "Start");
    for (QWidget* c : w.CutJobLockedControls())
        EXPECT_TRUE(c->isEnabled()) << c->objectName().toStdString();
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
    }

    // A window with the copied clip loaded, `start` .. `end` selected, output
    // beside the input, the power-off box ticked and the bar at 37 %.
    std::unique_ptr<frmMain> LoadedWindow(qint32 start = 2, qint32 end = 7)
    {
        auto w = std::make_unique<frmMain>();
        test::LoadForCutting(*w, m_input);
        test::Select(*w, start, end);
        w->chkShutdown->setChecked(true);
        w->progress->setValue(37);
        Fake().messages.clear();
        return w;
    }
    QStringList FilesInWork() const { return QDir(dir.path()).entryList(QDir::Files); }

    QString m_source;
    QString m_input;
};

TEST_F(CutJob, StartThatCannotCutSaysWhatToDoAndLeavesEverythingAsItWas)
{
    QFile(InDir("plain.txt")).open(QIODevice::WriteOnly);
    const auto folder = [](const QString& path) {
        return [path](frmMain& w) { w.optOtherFolder->setChecked(true), w.txtOutPath->setText(path); };
    };
    const QString kNoFolder = "Output Folder is not exist and can not be created.";
    struct Case { const char* name; std::function<void(frmMain&)> arrange; QString message; };
    const Case cases[] = {
        {"no video", [](frmMain& w) { w.NoVideoLoaded = true; }, "No video file loaded"},
        {"empty selection", [](frmMain& w) { test::Select(w, 3, 3); }, kEmptySelection},
        {"reversed selection", [](frmMain& w) { test::Select(w, 7, 2); }, "No part selected, 'Start Selection' can not be greater"},
        {"preset catalogue empty", [](frmMain& w) { w.Tables.Presets.clear(), w.Tables.PresetCount = 0; }, "No output format can be chosen: the preset catalogue (presets.xml) is missing"},
        {"list without a selection", [](frmMain& w) { w.frFormats->cmbOutVCodec->setCurrentIndex(-1); }, "No output format is chosen."},
        {"no preset matches", [](frmMain& w) { Pick(w.frFormats->cmbOutFormat, "zzz"); }, "No preset matches the chosen"},
        {"codec lists empty", [](frmMain& w) { ChooseCustom(w, "AVI"), w.frFormats->cmbCVCodec->clear(); }, "No custom format is chosen."},
        {"every name taken", [](frmMain& w) { w.OutputNameTaken = [](const QString&) { return true; }; }, "Every output name for \"party."},
        {"folder refuses new files", folder("/proc"), "The output file could not be created: /proc/party."},
        {"folder two levels deep", folder(InDir("missing/deeper")), kNoFolder},
        {"a file, not a folder", folder(InDir("plain.txt")), kNoFolder},
        {"relative folder", folder("C:\\Output Video"), kNoFolder},
        {"no folder", folder(""), kNoFolder},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto w = LoadedWindow();
        c.arrange(*w);
        for (const QString caption : {"Start", "Stop"}) {  // the three first checks hold for Stop too
            if (caption == "Stop" && &c - cases >= 3)
                continue;
            w->cmdConvert->setText(caption);
            Fake().messages.clear();
            w->cmdConvert->click();
            ASSERT_EQ(Fake().messages.size(), 1);
            EXPECT_TRUE(Fake().messages[0].text.startsWith(c.message)) << Fake().messages[0].text.toStdString();
            EXPECT_EQ(w->cmdConvert->text(), caption);
        }
        EXPECT_EQ(w->cConvert, nullptr);
        EXPECT_EQ(w->progress->Value(), 37);
        EXPECT_TRUE(Fake().powerOffs.isEmpty());
        EXPECT_EQ(FilesInWork(), (QStringList{"party.mp4", "plain.txt"}));
    }
    EXPECT_FALSE(QFileInfo::exists(InDir("missing")));
    EXPECT_FALSE(QFileInfo::exists(QDir::current().filePath("C:\\Output Video")));
}

TEST(OutputNaming, PicksTheFirstFreeNameAmongRealFiles)
{
    struct Case { QString base; QStringList existing; QString expected; bool yieldsBefore; };
    const Case cases[] = {  // existing: files; "dir:" makes a folder, "link:" a dangling link
        {"party", {}, "party.avi", false},
        {"party", {"party.avi"}, "party_Converted.avi", false},
        {"party", {"party.avi", "party_Converted.avi", "party_Converted_0.avi"}, "party_Converted_1.avi", true},
        {"party", {"party.avi", "dir:party_Converted.avi"}, "party_Converted_0.avi", true},
        {"party", {"party.avi", "link:party_Converted.avi"}, "party_Converted_0.avi", true},
        {"party_Converted", {"party_Converted.avi"}, "party_Converted_0.avi", true},  // not added twice
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
        int yields = 0;
        const auto reserve = [](const QString& path) { return ReserveOutputPath(path, nullptr) != Reservation::Reserved; };
        EXPECT_EQ(FirstFreeOutputName(dir.path(), c.base, "avi", reserve, [&] { ++yields; }),
                  QDir::toNativeSeparators(dir.filePath(c.expected)));
        EXPECT_EQ(yields, c.yieldsBefore ? 1 : 0);
        EXPECT_EQ(QFileInfo(dir.filePath(c.expected)).size(), 0);  // reserved
        EXPECT_FALSE(QFileInfo::exists(dir.filePath("nowhere")));
    }
}

TEST_F(CutJob, CutsLandBesideTheInputThenInANewFolderAndPowerOffFollowsSavedSettings)
{
    auto w = LoadedWindow();
    w->chkShutdown->setChecked(false);
    ChoosePreset(*w, "General Video", "H.264 (AVC) - Standard", "mp4");
    bool lockedWhileRunning = true;
    test::Poller watch([&] {
        if (w->IsConverting)
            for (QWidget* c : w->CutJobLockedControls())
                lockedWhileRunning = lockedWhileRunning && !c->isEnabled();
        return false;
    });
    const QString first = InDir("party_Converted.mp4");
    QDateTime firstTime;
    for (const QString& expected : {first, InDir("party_Converted_0.mp4")}) {
        w->cmdConvert->click();
        if (!firstTime.isValid())
            firstTime = QFileInfo(first).lastModified();
        ASSERT_TRUE(Fake().messages.isEmpty()) << Fake().messages.value(0).text.toStdString();
        EXPECT_EQ(w->cConvert->OutputFile(), expected);
        EXPECT_NEAR(test::ProbeDuration(expected), 5.0, 0.5);
        EXPECT_TRUE(test::DecodesCleanly(expected));
        EXPECT_EQ(w->progress->Value(), 100);
        EXPECT_EQ(w->lblProgress->text(), "Task Progress:");
        EXPECT_EQ(QFileInfo(first).lastModified(), firstTime);  // the second cut leaves the first alone
        ExpectIdle(*w);
    }
    EXPECT_TRUE(lockedWhileRunning);
    EXPECT_TRUE(Fake().powerOffs.isEmpty());  // the box is not ticked

    // The custom route into a folder that is created; the container's letter
    // case is kept. Ticked: the settings are saved, then the power-off.
    ChooseCustom(*w, "AVI");
    w->optOtherFolder->setChecked(true);
    w->txtOutPath->setText(InDir("out"));
    w->chkShutdown->setChecked(true);
    QDir(InDir("hive")).removeRecursively();
    bool savedFirst = false;
    Fake().onPowerOff = [&](int) { savedFirst = !QDir(InDir("hive")).isEmpty(QDir::Files | QDir::NoDotAndDotDot); };
    w->cmdConvert->click();
    ASSERT_TRUE(Fake().messages.isEmpty()) << Fake().messages.value(0).text.toStdString();
    EXPECT_NEAR(test::ProbeDuration(InDir("out/party.AVI")), 5.0, 0.5);
    EXPECT_EQ(Fake().powerOffs, QList<int>{8});
    EXPECT_TRUE(savedFirst);
    EXPECT_EQ(EncoderChildren(), 0);
}

// Two jobs into one folder, the second started while the first has chosen its
// name but not yet started its encoder: each writes its own file.
TEST_F(CutJob, TwoJobsIntoOneFolderNeverShareAName)
{
    QFile(InDir("party_Converted.mp4")).open(QIODevice::WriteOnly);  // the next names are numbered
    auto first = LoadedWindow(0, 2), second = LoadedWindow(0, 4);
    for (frmMain* w : {first.get(), second.get()}) {
        ChoosePreset(*w, "General Video", "H.264 (AVC) - Standard", "mp4");
        w->chkShutdown->setChecked(false);
    }
    QTimer::singleShot(0, [&] { second->cmdConvert->click(); });  // runs in the first job's naming yields
    first->cmdConvert->click();
    ASSERT_TRUE(Fake().messages.isEmpty()) << Fake().messages.value(0).text.toStdString();
    ASSERT_TRUE(first->cConvert && second->cConvert && first->cConvert->Succeeded() && second->cConvert->Succeeded());
    EXPECT_NE(first->cConvert->OutputFile(), second->cConvert->OutputFile());
    EXPECT_NEAR(test::ProbeDuration(first->cConvert->OutputFile()), 2.0, 0.3);
    EXPECT_NEAR(test::ProbeDuration(second->cConvert->OutputFile()), 4.0, 0.3);
}

// ------------------------------------------------------------ stopping

TEST_F(CutJob, StopLeavesTheStoppedStateNoEncoderNoFileAndNoPowerOff)
{
    auto w = LoadedWindow(0, 7);
    ChooseOwnPreset(*w, "Slow", "-vf realtime -c:v mpeg4 -an", "mkv");  // lasts as long as the clip
    const QString otherClip = test::CopyClipTo(m_source, dir.path(), "other.mp4");
    int shownAtStop = -1, childrenWhileRunning = 0;
    bool closed = true;
    test::Poller stopper([&] {
        if (!w->cConvert || !w->cConvert->IsRunning() || w->progress->Value() <= 0)
            return false;
        childrenWhileRunning = EncoderChildren();
        closed = w->close();
        w->picVideoWindow_OLEDragDrop({QUrl::fromLocalFile(otherClip)});  // ignored while a job runs
        shownAtStop = w->progress->Value();
        w->cmdConvert->click();  // Stop: returns at once, before the job has ended
        EXPECT_TRUE(w->IsConverting);
        EXPECT_EQ(w->cmdConvert->text(), "Start");
        return true;
    });
    w->cmdConvert->click();

    ASSERT_TRUE(stopper.done());
    EXPECT_EQ(childrenWhileRunning, 1);
    EXPECT_FALSE(closed);
    EXPECT_EQ(w->InputFilePath, m_input);
    ASSERT_EQ(Fake().messages.size(), 1);  // no conversion error after the stop
    EXPECT_EQ(Fake().messages[0].text, "Please Stop the running task first.");
    EXPECT_EQ(w->lblProgress->text(), "Task Progress:[Stopped]");
    EXPECT_EQ(w->progress->Value(), shownAtStop);
    EXPECT_LT(shownAtStop, 100);
    EXPECT_TRUE(w->cConvert->WasStopped());
    ExpectIdle(*w);
    EXPECT_TRUE(Fake().powerOffs.isEmpty());
    EXPECT_EQ(EncoderChildren(), 0);
    EXPECT_EQ(FilesInWork(), (QStringList{"other.mp4", "party.mp4"}));
}

TEST_F(CutJob, StartNestedInAStoppedJobKeepsTheOldJobAliveUntilItUnwinds)
{
    auto w = LoadedWindow(0, 7);
    ChooseOwnPreset(*w, "Slow", "-vf realtime -c:v mpeg4 -an", "mkv");
    std::weak_ptr<CVideoConv> oldJob, newJob;
    bool oldAliveAfterNested = false, convertingAfterNested = false;
    test::Poller restarter([&] {
        if (!w->cConvert || !w->cConvert->IsRunning() || w->progress->Value() <= 0)
            return false;
        oldJob = w->cConvert;
        w->cmdConvert->click();  // Stop
        ChoosePreset(*w, "General Video", "H.264 (AVC) - Standard", "mp4");
        w->Slider->setSelectStart(2);
        w->cmdConvert->click();  // Start, nested in the old job
        newJob = w->cConvert;
        oldAliveAfterNested = !oldJob.expired();
        convertingAfterNested = w->IsConverting;
        return true;
    });
    w->cmdConvert->click();

    ASSERT_TRUE(restarter.done());
    EXPECT_TRUE(oldAliveAfterNested);
    EXPECT_TRUE(convertingAfterNested);  // the stopped job was still on its way out
    EXPECT_TRUE(oldJob.expired());
    ASSERT_FALSE(newJob.expired());
    EXPECT_TRUE(w->cConvert->Succeeded());
    EXPECT_TRUE(Fake().messages.isEmpty()) << Fake().messages.value(0).text.toStdString();
    EXPECT_EQ(w->progress->Value(), 100);
    EXPECT_EQ(w->lblProgress->text(), "Task Progress:");
    EXPECT_EQ(Fake().powerOffs, QList<int>{8});  // after the nested run only
    EXPECT_EQ(EncoderChildren(), 0);
    EXPECT_EQ(FilesInWork(), (QStringList{"party.mp4", "party_Converted.mp4"}));  // the stopped cut is gone
}

// ------------------------------------------------------------ failures

TEST_F(CutJob, FailuresLeaveTheBarTheUserFilesAndAUsableWindow)
{
    QTemporaryDir emptyFolder;
    struct Case { const char* name; std::function<void(frmMain&)> arrange; QString message; bool encoderRan; };
    const Case cases[] = {
        {"format the encoder refuses", [](frmMain& w) { ChooseCustom(w, "RM", "RealAudio 1.0 (RM; 8 KHz, 1 channel)"); }, "Error converting file: party.mp4\r\n", true},
        {"encoder missing", [&](frmMain&) { Fake().folderOverride = emptyFolder.path(); }, "The encoder was not found: ", false},
        {"input removed", [&](frmMain&) { QFile::remove(m_input); }, "Error converting file: party.mp4\r\n", true},
        {"input replaced by a shorter one", [&](frmMain& w) {
             QFile::remove(m_input);
             test::CopyClipTo(test::MakeClip(test::ClipRecipe{}), dir.path(), "party.mp4");  // 4 s
             test::Select(w, 5, 7); }, "The cut produced no video: ", true},
        {"encoder killed", [](frmMain& w) { ChooseOwnPreset(w, "Slow", "-vf realtime -c:v mpeg4 -an", "mkv"); }, "Error converting file: party.mp4\r\nThe encoder ended abnormally", true},
        {"empty encoder options", [](frmMain& w) { ChooseCustom(w, "AVI"), w.frFormats->txtCVBitrate->setText("fast"); }, "Error occured while getting paramters", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Fake().reset();
        for (const QString& f : QDir(dir.path()).entryList({"party?*"}, QDir::Files))
            QFile::remove(InDir(f));
        m_input = test::CopyClipTo(m_source, dir.path(), "party.mp4");
        QFile keep(InDir("party_Converted_7.avi"));  // a file that must survive whatever happens
        ASSERT_TRUE(keep.open(QIODevice::WriteOnly) && keep.write("mine") == 4);
        keep.close();
        auto w = LoadedWindow();
        ChoosePreset(*w, "General Video", "MPEG-4 (Xvid compatible)", "avi");  // not the last case's saved choice
        c.arrange(*w);
        test::Poller killer([&] {
            if (QString(c.name) != "encoder killed" || !w->cConvert || !w->cConvert->IsRunning()
                || EncoderChildren() == 0 || w->progress->Value() <= 0)
                return false;
            for (const QString& id : test::ProcessesMentioning(w->cConvert->OutputFile()))
                ::kill(id.toInt(), SIGKILL);
            return true;
        });
        w->cmdConvert->click();
        Fake().folderOverride.clear();

        ASSERT_EQ(Fake().messages.size(), 1);
        EXPECT_TRUE(Fake().messages[0].text.startsWith(c.message)) << Fake().messages[0].text.toStdString();
        EXPECT_EQ(Fake().messages[0].style, 16);
        ExpectIdle(*w);
        EXPECT_EQ(w->lblProgress->text(), "Task Progress:");
        EXPECT_LT(w->progress->Value(), 100);
        EXPECT_EQ(Fake().powerOffs, c.encoderRan ? QList<int>{8} : QList<int>{});
        EXPECT_EQ(EncoderChildren(), 0);
        QStringList left = FilesInWork();
        left.removeAll("party.mp4");
        EXPECT_EQ(left, QStringList{"party_Converted_7.avi"});
        ASSERT_TRUE(keep.open(QIODevice::ReadOnly));
        EXPECT_EQ(keep.readAll(), "mine");
        keep.close();
    }
    // The window is still usable: the next cut works.
    auto w = LoadedWindow();
    ChoosePreset(*w, "General Video", "MPEG-4 (Xvid compatible)", "avi");
    w->cmdConvert->click();
    EXPECT_TRUE(w->cConvert && w->cConvert->Succeeded()) << Fake().messages.value(0).text.toStdString();
}

// A Stop click while the naming yields: no job runs, and the name it reserved is free again.
TEST_F(CutJob, StopDuringTheNamingEndsTheFlowBeforeTheEncoder)
{
    QFile(InDir("party_Converted.mp4")).open(QIODevice::WriteOnly);  // the next name is numbered
    auto w = LoadedWindow();
    ChoosePreset(*w, "General Video", "H.264 (AVC) - Standard", "mp4");
    QTimer::singleShot(0, [&] { w->cmdConvert->click(); });
    w->cmdConvert->click();
    EXPECT_EQ(w->cConvert, nullptr);
    EXPECT_TRUE(Fake().messages.isEmpty());
    EXPECT_TRUE(Fake().powerOffs.isEmpty());
    EXPECT_EQ(w->lblProgress->text(), "Task Progress:[Stopped]");
    EXPECT_EQ(FilesInWork(), (QStringList{"party.mp4", "party_Converted.mp4"}));
    ExpectIdle(*w);
}

}  // namespace
}  // namespace clip
