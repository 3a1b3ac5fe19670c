// The cut job through the window: what Start refuses and says, output naming
// and reservation, real cuts by the encoder on generated clips, stopping,
// nesting, failures, and what follows from each outcome (bar, label, files
// left behind, power-off).
#include "controls/MyCheck.h"
#include "cut/CutController.h"
#include "cut/OutputNaming.h"
#include "engine/SmartCutJob.h"
#include "mainwindow/WindowTestKit.h"
#include "player/PlaybackEngine.h"

#include <QFileInfo>
#include <QScopeGuard>
#include <QTest>
#include <QUrl>

#include <sys/mount.h>
#include <unistd.h>

#include <csignal>
#include <iostream>

namespace clip {
namespace {

using test::ChoosePreset;
using test::EncoderChildren;
using test::Fake;
using test::Pick;

// Output into another folder.
void InFolder(frmMain& w, const QString& path) { w.optOtherFolder->setChecked(true), w.txtOutPath->setText(path); }

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
    EXPECT_FALSE(w.IsConverting());
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
    QStringList FilesInWork() const { return QDir(dir.path()).entryList(QDir::Files | QDir::Hidden); }
    // Starts a job throttled to real time and runs `act` once its encoder is under way.
    void WhileSlowJobRuns(frmMain& w, const std::function<void()>& act)
    {
        test::ChooseOwnPreset(w, "Slow", "-vf realtime -c:v mpeg4 -an", "mkv");
        test::Poller poller([&] { return w.Cut().Job() && w.Cut().Job()->IsRunning() && EncoderChildren() && w.progress->Value() > 0 && (act(), true); });
        w.cmdConvert->click();
        EXPECT_TRUE(poller.done());
    }

    QString m_source, m_input;
};

TEST_F(CutJob, StartThatCannotCutSaysWhatToDoAndLeavesEverythingAsItWas)
{
    QFile(InDir("plain.txt")).open(QIODevice::WriteOnly);
    const auto folder = [](const QString& path) { return [path](frmMain& w) { InFolder(w, path); }; };
    const QString kNoFolder = "Output Folder is not exist and can not be created.";
    const std::pair<std::function<void(frmMain&)>, QString> cases[] = {
        // The click's own checks come first and refuse the Stop action too.
        {[](frmMain& w) { w.NoVideoLoaded = true; }, "No video file loaded"},
        {[](frmMain& w) { test::Select(w, 3, 3); }, kEmptySelection},
        {[](frmMain& w) { test::Select(w, 7, 2); }, "No part selected, 'Start Selection' can not be greater"},
        {[](frmMain& w) { w.Tables.Presets.clear(), w.Tables.PresetCount = 0; }, "No output format can be chosen: the preset catalogue (presets.xml) is missing"},
        {[](frmMain& w) { w.frFormats->cmbOutVCodec->setCurrentIndex(-1); }, "No output format is chosen."},
        {[](frmMain& w) { for (PresetEntry& p : w.Tables.Presets) p.Extension += "z"; }, "No preset matches the chosen"},
        {[](frmMain& w) { ChooseCustom(w, "AVI"), w.frFormats->cmbCustContainer->setCurrentIndex(-1); }, "No custom format is chosen."},
        {[](frmMain& w) { w.Cut().setNameTaken([](const QString&) { return true; }); }, "Every output name for \"party.mp4\" is taken in "},
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
            EXPECT_TRUE(Fake().messages.size() == 1 && Fake().messages[0].text.startsWith(message) && w->cmdConvert->text() == caption)
                << Fake().messages.value(0).text.toStdString();
        }
        // The click's own refusals leave the bar; a job that ends before its encoder leaves none of the last one's.
        EXPECT_TRUE(!w->Cut().Job() && w->progress->Value() == (i < 3 ? 37 : 0) && Fake().powerOffs.isEmpty());
        EXPECT_EQ(FilesInWork(), (QStringList{"party.mp4", "plain.txt"}));
    }
    EXPECT_FALSE(QFileInfo::exists(InDir("missing")) || QFileInfo::exists(QDir::current().filePath("C:\\Output Video")));
}

// Shipped presets and a stream copy in turn beside an input with a hostile name
// in a folder named like the probe's marker (a folder and a dangling link in
// the way of the first names), then the custom route into a new folder with the
// power-off after the saved settings. No encoder and no file descriptor is left
// behind, every cut plays, the bar never passes 100.
TEST_F(CutJob, CutsLandBesideTheInputThenInANewFolderAndThePowerOffFollowsSavedSettings)
{
    const QString folder = InDir("Unknown Format") + "/", name = folder + "a b \"q\" $HOME `x`;\u00fc time=90 take";
    m_input = test::CopyClipTo(m_source, folder, "a b \"q\" $HOME `x`;\u00fc time=90 take.mp4");
    ASSERT_TRUE(QDir().mkpath(name + "_Converted.mp4") && QFile::link(InDir("nowhere"), name + "_Converted_0.mp4"));
    auto w = LoadedWindow(1, 3);
    w->chkShutdown->setChecked(false);
    bool lockedWhileRunning = true, atMost100 = true;
    test::Poller watch([&] {
        for (QWidget* c : w->CutJobLockedControls())
            lockedWhileRunning = lockedWhileRunning && !(w->IsConverting() && c->isEnabled());
        atMost100 = atMost100 && w->progress->Value() <= 100;
        return false;
    });
    const auto descriptors = [] { return QDir("/proc/self/fd").entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot).size(); };
    const QStringList presets[] = {{"General Video", "H.264 (AVC) - Standard", "mp4", "_Converted_1.mp4"},
                                   {"General Video", "H.264 (AVC) - Standard", "mp4", "_Converted_2.mp4"},
                                   {"Lossless", "Copy Streams (No Re-encoding)", "mkv", ".mkv"},
                                   {"Audio Only", "MP3 - High Quality", "mp3", ".mp3"},
                                   {"General Video", "MPEG-4 (Xvid compatible)", "avi", ".avi"}};
    qsizetype descriptorsAfterFirst = 0;
    for (const QStringList& p : presets) {
        ChoosePreset(*w, p[0], p[1], p[2]);
        w->cmdConvert->click();
        ASSERT_TRUE(Fake().messages.isEmpty()) << Fake().messages.value(0).text.toStdString();
        EXPECT_EQ(w->Cut().Job()->OutputFile(), name + p[3]);
        const bool copy = p[1].startsWith("Copy");  // a copy starts at the key frame at or before the mark
        EXPECT_NEAR(test::ProbeDuration(name + p[3]), copy ? 2.5 : 2.0, copy ? 0.6 : 0.2);
        EXPECT_TRUE(test::DecodesCleanly(name + p[3]));
        EXPECT_TRUE(w->progress->Value() == 100 && w->lblProgress->text() == "Task Progress:");
        descriptorsAfterFirst = descriptorsAfterFirst ? descriptorsAfterFirst : descriptors();
        ExpectIdle(*w);
    }
    EXPECT_LE(descriptors(), descriptorsAfterFirst + 2);
    EXPECT_TRUE(lockedWhileRunning && atMost100 && Fake().powerOffs.isEmpty() && !QFileInfo::exists(InDir("nowhere")));

    // The container's letter case is kept; without codec lists (no codec catalogue) it takes its own codecs.
    ChooseCustom(*w, "AVI"), w->frFormats->cmbCVCodec->clear(), w->frFormats->cmbCACodec->clear();
    InFolder(*w, InDir("out")), w->chkShutdown->setChecked(true);
    QDir(InDir("hive")).removeRecursively();
    bool savedFirst = false;
    Fake().onPowerOff = [&](int) { savedFirst = !QDir(InDir("hive")).isEmpty(QDir::Files); };
    w->cmdConvert->click();
    ASSERT_TRUE(Fake().messages.isEmpty()) << Fake().messages.value(0).text.toStdString();
    EXPECT_NEAR(test::ProbeDuration(InDir("out/a b \"q\" $HOME `x`;\u00fc time=90 take.AVI")), 2.0, 0.2);
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
    EXPECT_TRUE(!first->Cut().Job() && Fake().messages.isEmpty() && Fake().powerOffs.isEmpty()
                && first->lblProgress->text() == "Task Progress:[Stopped]");
    EXPECT_EQ(FilesInWork(), (QStringList{"party.mp4", "party_Converted.mp4"}));
    ExpectIdle(*first);

    QTimer::singleShot(0, [&] { second->cmdConvert->click(); });
    first->cmdConvert->click();
    ASSERT_TRUE(Fake().messages.isEmpty()) << Fake().messages.value(0).text.toStdString();
    ASSERT_TRUE(first->Cut().Job() && second->Cut().Job() && first->Cut().Job()->Succeeded() && second->Cut().Job()->Succeeded());
    EXPECT_NE(first->Cut().Job()->OutputFile(), second->Cut().Job()->OutputFile());
    EXPECT_NEAR(test::ProbeDuration(first->Cut().Job()->OutputFile()), 2.0, 0.3);
    EXPECT_NEAR(test::ProbeDuration(second->Cut().Job()->OutputFile()), 4.0, 0.3);
}

// An input whose name is as long as the file system allows still gets its outputs beside it: each name's base
// is shortened, by whole characters (a letter keeps its accent, a surrogate pair stays whole), to fit.
TEST_F(CutJob, NamesAtTheFileSystemsLimitAreShortenedByWholeCharacters)
{
    const qsizetype limit = FileNameLimit(dir.path());
    for (const QString unit : {"a", "\u00fc", "e\u0301", "\U0001F3A5"}) {
        SCOPED_TRACE(unit.toStdString());
        QString base;
        while (QFile::encodeName(base + unit + ".mp4").size() <= limit)
            base += unit;
        ASSERT_EQ(ReserveOutputPath(InDir(base + ".mp4"), nullptr), Reservation::Reserved);  // the input
        const auto taken = [](const QString& path) { return ReserveOutputPath(path, nullptr) != Reservation::Reserved; };
        for (const QString suffix : {"_Converted.mp4", "_Converted_0.mp4"}) {
            const QString name = QFileInfo(FirstFreeOutputName(dir.path(), base, "mp4", taken)).fileName();
            const QString stem = name.chopped(suffix.size());
            EXPECT_TRUE(name.endsWith(suffix) && QFileInfo::exists(InDir(name))) << name.toStdString();
            EXPECT_LE(QFile::encodeName(name).size(), limit);
            EXPECT_TRUE(stem.size() % unit.size() == 0 && stem == unit.repeated(stem.size() / unit.size()) && !stem.isEmpty());
        }
    }
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
        QTest::keyClick(w->lblTime, Qt::Key_Space);  // the window's keys rest while a cut runs
        EXPECT_EQ(w->cmdPlay->text(), "Play");
        w->picVideoWindow_OLEDragDrop({QUrl::fromLocalFile(otherClip)});  // ignored while a job runs
        stopped = w->Cut().Job();
        shownAtStop = w->progress->Value();
        w->cmdConvert->click();  // Stop: returns before the job has ended
        EXPECT_TRUE(w->IsConverting() && w->cmdConvert->text() == "Start" && w->lblProgress->text() == "Task Progress:[Stopped]");
        EXPECT_TRUE(w->progress->Value() == shownAtStop && shownAtStop < 100);
        ChoosePreset(*w, "General Video", "H.264 (AVC) - Standard", "mp4");
        w->cmdConvert->click();  // Start, nested in the stopped job
        EXPECT_TRUE(!stopped.expired() && w->IsConverting());  // the stopped job is still on its way out
    });
    EXPECT_TRUE(stopped.expired() && w->InputFilePath == m_input);
    ASSERT_EQ(Fake().messages.size(), 1);  // no conversion error after the stop
    EXPECT_EQ(Fake().messages[0].text, "Please Stop the running task first.");
    EXPECT_TRUE(w->Cut().Job()->Succeeded() && w->progress->Value() == 100 && w->lblProgress->text() == "Task Progress:");
    EXPECT_TRUE(Fake().powerOffs == QList<int>{8} && EncoderChildren() == 0);  // a power-off after the nested run only
    EXPECT_EQ(FilesInWork(), (QStringList{"other.mp4", "party.mp4", "party_Converted.mp4"}));
    ExpectIdle(*w);
}

// Each failure box leads with its cause (at most about ten lines; no stream
// listing), the whole report behind its details. The full disk is a small file
// system mounted here when the test runs as root.
TEST_F(CutJob, FailuresLeaveTheBarTheUserFilesAndAUsableWindow)
{
    QTemporaryDir emptyFolder, brokenFolder;  // no encoder; one whose interpreter is missing
    test::WriteFile(brokenFolder.filePath("ffmpeg"), "#!/nonexistent/sh\n", true);
    const QString full = InDir("full");
    const bool root = ::geteuid() == 0 && QDir().mkpath(full) && ::mount("tmpfs", qPrintable(full), "tmpfs", 0, "size=256k") == 0;
    const auto unmount = qScopeGuard([&] {
        if (root)
            ::umount2(qPrintable(full), MNT_DETACH);
    });
    if (!root)
        std::cout << "[ SKIPPED ] the full disk: mounting a small one needs root" << std::endl;
    const QString kFailed = "Error converting file: party.mp4\r\n", kNoVideo = "The cut produced no video: ";
    struct Case { std::function<void(frmMain&)> arrange; QString message, cause; bool encoderRan; };
    const Case cases[] = {
        {[](frmMain& w) { ChooseCustom(w, "RM", "RealAudio 1.0 (RM; 8 KHz, 1 channel)"); }, kFailed, "Error while opening encoder", true},
        {[&](frmMain&) { Fake().folderOverride = emptyFolder.path(); }, kFailed + "The encoder was not found: ", emptyFolder.path(), false},
        {[&](frmMain&) { Fake().folderOverride = brokenFolder.path(); }, kFailed + "File or command not found", "", false},
        {[this](frmMain& w) {  // the selection lies beyond the new end
             QFile::remove(m_input), test::CopyClipTo(test::MakeClip(test::ClipRecipe{}), dir.path(), "party.mp4");
             test::Select(w, 5, 7); }, kNoVideo, "party_Converted.mp4 holds no picture and no sound", true},
        {[this](frmMain&) {  // the input ends early, its header still promising every second
             QFile::remove(m_input), test::RunProgram(test::FfmpegPath(), {"-v", "error", "-i", m_source, "-c", "copy", "-movflags", "+faststart", m_input});
             QFile::resize(m_input, QFileInfo(m_input).size() / 2); }, "The cut is shorter than the selection: ", "party.mp4 ended early or is damaged", true},
        {[this](frmMain& w) { InFolder(w, InDir("gone")), test::Select(w, 2, 3);
             WhileSlowJobRuns(w, [&] { QDir(InDir("gone")).removeRecursively(); }); }, kNoVideo, "party.mkv does not exist", true},
        {[&](frmMain& w) { test::ChooseOwnPreset(w, "Raw", "-c:v rawvideo -an", "mkv"), InFolder(w, full); }, kFailed, "No space left on device", true},
        {[](frmMain& w) { ChooseCustom(w, "AVI"), w.frFormats->txtCVBitrate->setText("fast"); }, "Error occured while getting paramters", "", false},
        {[this](frmMain& w) { WhileSlowJobRuns(w, [&] { ::kill(test::EncoderPids().value(0).toInt(), SIGKILL); }); },
         kFailed + "The encoder ended abnormally", "", true},
    };
    QFile keep(InDir("party_Converted_7.avi"));  // a file that must survive whatever happens
    test::WriteFile(keep.fileName(), "mine");
    const QStringList kFiles{"party.mp4", "party_Converted_7.avi"};
    for (const Case& c : cases) {
        if (c.cause.startsWith("No space") && !root)
            continue;
        SCOPED_TRACE(c.message.toStdString());
        Fake().reset();
        QFile::remove(m_input);
        m_input = test::CopyClipTo(m_source, dir.path(), "party.mp4");
        auto w = LoadedWindow();
        c.arrange(*w);
        if (w->cmdConvert->text() == "Start" && !w->Cut().Job())
            w->cmdConvert->click();
        Fake().folderOverride.clear();

        ASSERT_EQ(Fake().messages.size(), 1);
        const auto& box = Fake().messages[0];
        EXPECT_TRUE(box.text.startsWith(c.message) && box.text.contains(c.cause)) << box.text.toStdString();
        EXPECT_TRUE(box.style == 16 && box.text.count('\n') <= 11 && !box.text.contains("Stream mapping")) << box.text.toStdString();
        EXPECT_EQ(box.details.isEmpty(), !c.encoderRan);
        ExpectIdle(*w);
        EXPECT_TRUE(w->lblProgress->text() == "Task Progress:" && w->progress->Value() < 100)
            << w->progress->Value();
        EXPECT_EQ(Fake().powerOffs, c.encoderRan ? QList<int>{8} : QList<int>{});
        EXPECT_EQ(EncoderChildren(), 0);
        EXPECT_TRUE(FilesInWork() == kFiles && keep.size() == 4);

        test::Select(*w, 0, 2), w->optSameFolder->setChecked(true), Fake().messages.clear();
        ChoosePreset(*w, "General Video", "H.264 (AVC) - Standard", "mp4");
        w->cmdConvert->click();  // the window is still usable: the next cut works
        EXPECT_TRUE(w->Cut().Job() && w->Cut().Job()->Succeeded()) << Fake().messages.value(0).text.toStdString();
        QFile::remove(w->Cut().Job()->OutputFile());
    }
}

// A smart cut asks first where it cannot keep the picture (No: nothing runs;
// Yes: the frame-exact re-encode), and a Stop leaves neither the output nor
// the folder of its parts.
TEST_F(CutJob, SmartCutAsksWhereItCannotCopyAndLeavesNothingWhenStopped)
{
    test::ClipRecipe ffv1;
    std::tie(ffv1.container, ffv1.videoCodec, ffv1.baseName) = std::tuple("mkv", "ffv1", "smart-ffv1");
    const QString lossless = test::CopyClipTo(test::MakeClip(ffv1), dir.path(), "lossless.mkv");
    auto w = std::make_unique<frmMain>();
    test::LoadForCutting(*w, lossless);
    test::Select(*w, 1, 3), ChoosePreset(*w, "Lossless", "Smart Cut (frame-exact, original quality)", "mkv");
    for (const bool yes : {false, true}) {
        Fake().messages.clear(), Fake().questionAnswers = {yes};
        w->cmdConvert->click();
        ASSERT_EQ(Fake().messages.size(), 1);
        EXPECT_EQ(Fake().messages[0].text, "Smart cut cannot keep the original quality of this video (its video codec "
                                           "ffv1 has no matching encoder here). Cut it frame-exact by re-encoding instead?");
        EXPECT_EQ(Fake().messages[0].style, MsgQuestion);
        EXPECT_EQ(w->Cut().Job()->Outcome(), yes ? CutOutcome::Succeeded : CutOutcome::NotRun);
        EXPECT_EQ(QFileInfo::exists(InDir("lossless_Converted.mkv")), yes);
    }
    EXPECT_EQ(test::ProbeCsv(InDir("lossless_Converted.mkv"), {"-select_streams", "v:0", "-show_entries",
                                                               "stream=codec_name"}), "h264");
    EXPECT_NEAR(test::ProbeDuration(InDir("lossless_Converted.mkv")), 2.0, 0.1);

    test::LoadForCutting(*w, m_input);
    test::Select(*w, 2, 7), ChoosePreset(*w, "Lossless", "Smart Cut (frame-exact, original quality)", "mp4");
    Fake().messages.clear();
    test::Poller poller([&] { return EncoderChildren() > 0 && (w->cmdConvert->click(), true); });  // Stop
    w->cmdConvert->click();
    EXPECT_TRUE(poller.done() && dynamic_cast<SmartCutJob*>(w->Cut().Job().get()));
    EXPECT_TRUE(w->Cut().Job()->WasStopped() && w->lblProgress->text() == "Task Progress:[Stopped]");
    EXPECT_TRUE(Fake().messages.isEmpty() && EncoderChildren() == 0);
    EXPECT_EQ(QDir(dir.path()).entryList({"party*", ".clipwright*"}, QDir::AllEntries | QDir::Hidden), QStringList{"party.mp4"});
    ExpectIdle(*w);

    // A cut that copies (key frames every 12 frames, B-frames) plays in the preview's engine.
    test::ClipRecipe gops;
    gops.extraOutputArgs = {"-g", "12", "-bf", "3"}, gops.baseName = "smart-libx264";
    test::LoadForCutting(*w, test::CopyClipTo(test::MakeClip(gops), dir.path(), "gops.mp4"));
    test::Select(*w, 1, 3), ChoosePreset(*w, "Lossless", "Smart Cut (frame-exact, original quality)", "mp4");
    w->cmdConvert->click();
    ASSERT_TRUE(w->Cut().Job()->Succeeded() && w->progress->Value() == 100);
    EXPECT_GT(static_cast<SmartCutJob*>(w->Cut().Job().get())->Plan().bodyFrames, 0);
    test::LoadForCutting(*w, InDir("gops_Converted.mp4"));
    EXPECT_NEAR(w->Player()->Duration(), 2.0, 0.05);
}

}  // namespace
}  // namespace clip
