// The cut job through the window: what Start refuses and says, output naming
// and reservation, real cuts by the encoder on generated clips, stopping,
// nesting, failures, and what follows from each outcome (bar, label, files
// left behind, power-off).
#include "controls/MyCheck.h"
#include "engine/EngineTestUtil.h"
#include "mainwindow/OutputNaming.h"
#include "mainwindow/WindowTestKit.h"

#include <QFileInfo>
#include <QUrl>

namespace clip {
namespace {

using test::ChoosePreset;
using test::EncoderChildren;
using test::Fake;
using test::Pick;

const QString kEmptySelection = "No part selected. Please, select a part first using 'Start Selection' and 'End Selection'.";

// The custom route; the other fields keep their first-start defaults.
void ChooseCustom(frmMain& w, const QString& container, const QString& audioCodec = "MP3 (AVI, FLV, MOV, MP4, MPG)")
{
    w.frFormats->optFormat[1]->setChecked(true);
    Pick(w.frFormats->cmbCustContainer, container), Pick(w.frFormats->cmbCACodec, audioCodec);
    Pick(w.frFormats->cmbCVCodec, "MPEG-4 Part 2, DivX compatible (AVI, MP4, MOV)");
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
        w->chkShutdown->setChecked(true), w->progress->setValue(37), Fake().messages.clear();
        return w;
    }
    QStringList FilesInWork() const { return QDir(dir.path()).entryList(QDir::Files); }
    // Starts a job throttled to real time and runs `act` once its encoder is under way.
    void WhileSlowJobRuns(frmMain& w, const std::function<void()>& act)
    {
        test::ChooseOwnPreset(w, "Slow", "-vf realtime -c:v mpeg4 -an", "mkv");
        test::Poller poller([&] { return w.cConvert && w.cConvert->IsRunning() && EncoderChildren() && w.progress->Value() > 0 && (act(), true); });
        w.cmdConvert->click();
        EXPECT_TRUE(poller.done());
    }

    QString m_source, m_input;
};

TEST_F(CutJob, StartThatCannotCutSaysWhatToDoAndLeavesEverythingAsItWas)
{
    QFile(InDir("plain.txt")).open(QIODevice::WriteOnly);
    const auto folder = [](const QString& path) { return [path](frmMain& w) { w.optOtherFolder->setChecked(true), w.txtOutPath->setText(path); }; };
    const QString kNoFolder = "Output Folder is not exist and can not be created.";
    const std::pair<std::function<void(frmMain&)>, QString> cases[] = {
        // The click's own checks come first and refuse the Stop action too.
        {[](frmMain& w) { w.NoVideoLoaded = true; }, "No video file loaded"},
        {[](frmMain& w) { test::Select(w, 3, 3); }, kEmptySelection},
        {[](frmMain& w) { test::Select(w, 7, 2); }, "No part selected, 'Start Selection' can not be greater"},
        {[](frmMain& w) { w.Tables.Presets.clear(), w.Tables.PresetCount = 0; }, "No output format can be chosen: the preset catalogue (presets.xml) is missing"},
        {[](frmMain& w) { w.frFormats->cmbOutVCodec->setCurrentIndex(-1); }, "No output format is chosen."},
        {[](frmMain& w) { Pick(w.frFormats->cmbOutFormat, "zzz"); }, "No preset matches the chosen"},
        {[](frmMain& w) { ChooseCustom(w, "AVI"), w.frFormats->cmbCVCodec->clear(); }, "No custom format is chosen."},
        {[](frmMain& w) { w.OutputNameTaken = [](const QString&) { return true; }; }, "Every output name for \"party.mp4\" is taken in "},
        {folder("/proc"), "The output file could not be created: /proc/party.mp4: "},
        {folder(InDir("missing/deeper")), kNoFolder},
        {folder(InDir("plain.txt")), kNoFolder},
        {folder("C:\\Output Video"), kNoFolder},  // relative here
        {folder(""), kNoFolder},
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        const auto& [arrange, message] = cases[i];
        SCOPED_TRACE(message.toStdString());
        auto w = LoadedWindow();
        arrange(*w);
        for (const QString caption : {"Start", "Stop"}) {
            if (caption == "Stop" && i >= 3)
                break;
            w->cmdConvert->setText(caption), Fake().messages.clear(), w->cmdConvert->click();
            ASSERT_EQ(Fake().messages.size(), 1);
            EXPECT_TRUE(Fake().messages[0].text.startsWith(message)) << Fake().messages[0].text.toStdString();
            EXPECT_EQ(w->cmdConvert->text(), caption);
        }
        EXPECT_TRUE(!w->cConvert && w->progress->Value() == 37 && Fake().powerOffs.isEmpty());
        EXPECT_EQ(FilesInWork(), (QStringList{"party.mp4", "plain.txt"}));
    }
    EXPECT_FALSE(QFileInfo::exists(InDir("missing")) || QFileInfo::exists(QDir::current().filePath("C:\\Output Video")));
}

TEST(OutputNaming, ReservesTheFirstFreeNameAmongRealFiles)
{
    struct Case { QString base; QStringList existing; QString expected; bool yieldsBefore; };
    const Case cases[] = {  // existing: files; "dir:" makes a folder, "link:" a dangling link
        {"party", {"party.avi", "party_Converted.avi", "party_Converted_0.avi"}, "party_Converted_1.avi", true},
        {"party", {"party.avi", "dir:party_Converted.avi"}, "party_Converted_0.avi", true},
        {"party", {"party.avi", "link:party_Converted.avi"}, "party_Converted_0.avi", true},
        {"party_Converted", {"party_Converted.avi"}, "party_Converted_0.avi", true},  // not added twice
        {"party_converted", {"party_converted.avi"}, "party_converted_Converted.avi", false},
    };
    for (const Case& c : cases) {
        QTemporaryDir dir;
        for (const QString& e : c.existing)
            ASSERT_TRUE(e.startsWith("dir:") ? QDir(dir.path()).mkdir(e.mid(4))
                        : e.startsWith("link:") ? QFile::link(dir.filePath("nowhere"), dir.filePath(e.mid(5)))
                                                : QFile(dir.filePath(e)).open(QIODevice::WriteOnly));
        int yields = 0;
        const auto taken = [](const QString& path) { return ReserveOutputPath(path, nullptr) != Reservation::Reserved; };
        EXPECT_EQ(FirstFreeOutputName(dir.path(), c.base, "avi", taken, [&] { ++yields; }), dir.filePath(c.expected));
        EXPECT_EQ(yields, c.yieldsBefore ? 1 : 0) << c.expected.toStdString();
        EXPECT_TRUE(QFileInfo(dir.filePath(c.expected)).isFile() && !QFileInfo::exists(dir.filePath("nowhere")));
    }
}

// Shipped presets and a stream copy in turn beside the input, then the custom
// route into a new folder with the power-off after the saved settings. No
// encoder and no file descriptor is left behind, every cut plays.
TEST_F(CutJob, CutsLandBesideTheInputThenInANewFolderAndThePowerOffFollowsSavedSettings)
{
    auto w = LoadedWindow(1, 3);
    w->chkShutdown->setChecked(false);
    bool lockedWhileRunning = true;
    test::Poller watch([&] {
        for (QWidget* c : w->CutJobLockedControls())
            lockedWhileRunning = lockedWhileRunning && !(w->IsConverting && c->isEnabled());
        return false;
    });
    const auto descriptors = [] { return QDir("/proc/self/fd").entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot).size(); };
    const QStringList presets[] = {{"General Video", "H.264 (AVC) - Standard", "mp4", "party_Converted.mp4"},
                                   {"General Video", "H.264 (AVC) - Standard", "mp4", "party_Converted_0.mp4"},
                                   {"Lossless", "Copy Streams (No Re-encoding)", "mkv", "party.mkv"},
                                   {"Audio Only", "MP3 - High Quality", "mp3", "party.mp3"},
                                   {"General Video", "MPEG-4 (Xvid compatible)", "avi", "party.avi"}};
    qsizetype descriptorsAfterFirst = 0;
    for (const QStringList& p : presets) {
        ChoosePreset(*w, p[0], p[1], p[2]);
        w->cmdConvert->click();
        ASSERT_TRUE(Fake().messages.isEmpty()) << Fake().messages.value(0).text.toStdString();
        EXPECT_EQ(w->cConvert->OutputFile(), InDir(p[3]));
        const bool copy = p[1].startsWith("Copy");  // a copy starts at the key frame at or before the mark
        EXPECT_NEAR(test::ProbeDuration(InDir(p[3])), copy ? 2.5 : 2.0, copy ? 0.6 : 0.2);
        EXPECT_TRUE(test::DecodesCleanly(InDir(p[3])));
        EXPECT_TRUE(w->progress->Value() == 100 && w->lblProgress->text() == "Task Progress:");
        descriptorsAfterFirst = descriptorsAfterFirst ? descriptorsAfterFirst : descriptors();
        ExpectIdle(*w);
    }
    EXPECT_LE(descriptors(), descriptorsAfterFirst + 2);
    EXPECT_TRUE(lockedWhileRunning && Fake().powerOffs.isEmpty());  // the box is not ticked

    ChooseCustom(*w, "AVI");  // the container's letter case is kept
    w->optOtherFolder->setChecked(true), w->txtOutPath->setText(InDir("out")), w->chkShutdown->setChecked(true);
    QDir(InDir("hive")).removeRecursively();
    bool savedFirst = false;
    Fake().onPowerOff = [&](int) { savedFirst = !QDir(InDir("hive")).isEmpty(QDir::Files); };
    w->cmdConvert->click();
    ASSERT_TRUE(Fake().messages.isEmpty()) << Fake().messages.value(0).text.toStdString();
    EXPECT_NEAR(test::ProbeDuration(InDir("out/party.AVI")), 2.0, 0.2);
    EXPECT_EQ(Fake().powerOffs, QList<int>{8});
    EXPECT_TRUE(savedFirst && EncoderChildren() == 0);
}

// The next names are numbered, and the naming yields before it returns one,
// with the name reserved but no encoder started: a Stop click there ends the
// flow before the encoder and frees the name; a second job started there
// (another window cutting into the same folder) gets a name of its own.
TEST_F(CutJob, NamingYieldsNeitherRunAStoppedJobNorShareAName)
{
    QFile(InDir("party_Converted.mp4")).open(QIODevice::WriteOnly);
    auto first = LoadedWindow(0, 2), second = LoadedWindow(0, 4);
    QTimer::singleShot(0, [&] { first->cmdConvert->click(); });  // Stop
    first->cmdConvert->click();
    EXPECT_TRUE(!first->cConvert && Fake().messages.isEmpty() && Fake().powerOffs.isEmpty());
    EXPECT_EQ(first->lblProgress->text(), "Task Progress:[Stopped]");
    EXPECT_EQ(FilesInWork(), (QStringList{"party.mp4", "party_Converted.mp4"}));
    ExpectIdle(*first);

    QTimer::singleShot(0, [&] { second->cmdConvert->click(); });
    first->cmdConvert->click();
    ASSERT_TRUE(Fake().messages.isEmpty()) << Fake().messages.value(0).text.toStdString();
    ASSERT_TRUE(first->cConvert && second->cConvert && first->cConvert->Succeeded() && second->cConvert->Succeeded());
    EXPECT_NE(first->cConvert->OutputFile(), second->cConvert->OutputFile());
    EXPECT_NEAR(test::ProbeDuration(first->cConvert->OutputFile()), 2.0, 0.3);
    EXPECT_NEAR(test::ProbeDuration(second->cConvert->OutputFile()), 4.0, 0.3);
}

// Stop, then a Start nested in the stopped job: the stopped job stays alive
// until it unwinds, leaves no file and no power-off; the nested one finishes.
TEST_F(CutJob, StopThenANestedStartLeavesOnlyTheFinishedCut)
{
    auto w = LoadedWindow(0, 7);
    const QString otherClip = test::CopyClipTo(m_source, dir.path(), "other.mp4");
    std::weak_ptr<CVideoConv> stopped;
    int shownAtStop = -1;
    WhileSlowJobRuns(*w, [&] {
        EXPECT_EQ(EncoderChildren(), 1);
        EXPECT_FALSE(w->close());
        w->picVideoWindow_OLEDragDrop({QUrl::fromLocalFile(otherClip)});  // ignored while a job runs
        stopped = w->cConvert;
        shownAtStop = w->progress->Value();
        w->cmdConvert->click();  // Stop: returns before the job has ended
        EXPECT_TRUE(w->IsConverting && w->cmdConvert->text() == "Start" && w->lblProgress->text() == "Task Progress:[Stopped]");
        EXPECT_TRUE(w->progress->Value() == shownAtStop && shownAtStop < 100);
        ChoosePreset(*w, "General Video", "H.264 (AVC) - Standard", "mp4");
        w->cmdConvert->click();  // Start, nested in the stopped job
        EXPECT_FALSE(stopped.expired());
        EXPECT_TRUE(w->IsConverting);  // the stopped job is still on its way out
    });
    EXPECT_TRUE(stopped.expired() && w->InputFilePath == m_input);
    ASSERT_EQ(Fake().messages.size(), 1);  // no conversion error after the stop
    EXPECT_EQ(Fake().messages[0].text, "Please Stop the running task first.");
    EXPECT_TRUE(w->cConvert->Succeeded() && w->progress->Value() == 100 && w->lblProgress->text() == "Task Progress:");
    EXPECT_EQ(Fake().powerOffs, QList<int>{8});  // after the nested run only
    EXPECT_EQ(EncoderChildren(), 0);
    EXPECT_EQ(FilesInWork(), (QStringList{"other.mp4", "party.mp4", "party_Converted.mp4"}));
    ExpectIdle(*w);
}

TEST_F(CutJob, FailuresLeaveTheBarTheUserFilesAndAUsableWindow)
{
    QTemporaryDir emptyFolder;
    struct Case { std::function<void(frmMain&)> arrange; QString message; bool encoderRan; };
    const Case cases[] = {
        {[](frmMain& w) { ChooseCustom(w, "RM", "RealAudio 1.0 (RM; 8 KHz, 1 channel)"); }, "Error converting file: party.mp4\r\n", true},
        {[&](frmMain&) { Fake().folderOverride = emptyFolder.path(); }, "The encoder was not found: ", false},
        {[this](frmMain& w) {  // the selection lies beyond the new end
             QFile::remove(m_input), test::CopyClipTo(test::MakeClip(test::ClipRecipe{}), dir.path(), "party.mp4");
             test::Select(w, 5, 7); }, "The cut produced no video: ", true},
        {[](frmMain& w) { ChooseCustom(w, "AVI"), w.frFormats->txtCVBitrate->setText("fast"); }, "Error occured while getting paramters", false},
        {[this](frmMain& w) { WhileSlowJobRuns(w, [&] { ::kill(test::ProcessesMentioning(w.cConvert->OutputFile()).value(0).toInt(), SIGKILL); }); },
         "Error converting file: party.mp4\r\nThe encoder ended abnormally", true},
    };
    QFile keep(InDir("party_Converted_7.avi"));  // a file that must survive whatever happens
    ASSERT_TRUE(keep.open(QIODevice::WriteOnly) && keep.write("mine") == 4);
    keep.close();
    const QStringList kFiles{"party.mp4", "party_Converted_7.avi"};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message.toStdString());
        Fake().reset();
        QFile::remove(m_input);
        m_input = test::CopyClipTo(m_source, dir.path(), "party.mp4");
        auto w = LoadedWindow();
        c.arrange(*w);
        if (w->cmdConvert->text() == "Start" && !w->cConvert)
            w->cmdConvert->click();
        Fake().folderOverride.clear();

        ASSERT_EQ(Fake().messages.size(), 1);
        EXPECT_TRUE(Fake().messages[0].text.startsWith(c.message)) << Fake().messages[0].text.toStdString();
        EXPECT_EQ(Fake().messages[0].style, 16);
        ExpectIdle(*w);
        EXPECT_TRUE(w->lblProgress->text() == "Task Progress:" && w->progress->Value() < 100) << w->progress->Value();
        EXPECT_EQ(Fake().powerOffs, c.encoderRan ? QList<int>{8} : QList<int>{});
        EXPECT_EQ(EncoderChildren(), 0);
        EXPECT_TRUE(FilesInWork() == kFiles && keep.size() == 4);

        test::Select(*w, 0, 2), ChoosePreset(*w, "General Video", "H.264 (AVC) - Standard", "mp4"), Fake().messages.clear();
        w->cmdConvert->click();  // the window is still usable: the next cut works
        EXPECT_TRUE(w->cConvert && w->cConvert->Succeeded()) << Fake().messages.value(0).text.toStdString();
        QFile::remove(w->cConvert->OutputFile());
    }
}

}  // namespace
}  // namespace clip
