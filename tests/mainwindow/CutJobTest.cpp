// The cut job through the window: the checks of the Start/Stop button, output
// naming, real cuts by the encoder on generated clips, stopping, nesting, the
// power-off request and failures of the folder, the format and the encoder.
#include "controls/MyButton.h"
#include "controls/MyCheck.h"
#include "controls/MyOption.h"
#include "controls/MyProgressBar.h"
#include "engine/CVideoConv.h"
#include "formats/FormatsPanel.h"
#include "mainwindow/OutputNaming.h"
#include "mainwindow/frmMain.h"
#include "settings/FileHiveRegistry.h"
#include "settings/RegistryBackend.h"
#include "slider/Slider.h"
#include "support/FakeHost.h"
#include "support/TestClips.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrl>
#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace clip {
namespace {

using test::Fake;

const QString kNoVideo = QStringLiteral("No video file loaded");
const QString kEmptySelection = QStringLiteral(
    "No part selected. Please, select a part first using 'Start Selection' and 'End Selection'.");
const QString kReversedSelection =
    QStringLiteral("No part selected, 'Start Selection' can not be greater than 'End Selection'.");
const QString kFolderMessage = QStringLiteral("Output Folder is not exist and can not be created.");

const QString kMpeg4Video = QStringLiteral("MPEG-4 Part 2, DivX compatible (AVI, MP4, MOV)");
const QString kMp3Audio = QStringLiteral("MP3 (AVI, FLV, MOV, MP4, MPG)");

// Encoder processes that are children of this test process (zombies too).
int EncoderChildren()
{
    const QString me = QString::number(QCoreApplication::applicationPid());
    int count = 0;
    for (const QString& pid : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile stat(QStringLiteral("/proc/") + pid + QStringLiteral("/stat"));
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        const QString text = QString::fromLatin1(stat.readAll());
        const qsizetype open = text.indexOf(QLatin1Char('(')), close = text.lastIndexOf(QLatin1Char(')'));
        if (open < 0 || close < open)
            continue;
        const QStringList fields = text.mid(close + 2).split(QLatin1Char(' '));
        if (fields.size() > 1 && fields[1] == me && text.mid(open + 1, close - open - 1).startsWith("ffmpeg"))
            ++count;
    }
    return count;
}

// Selects `text` in a list, adding it when the list does not hold it.
void Pick(QComboBox* list, const QString& text)
{
    int i = list->findText(text);
    if (i < 0) {
        list->addItem(text);
        i = list->count() - 1;
    }
    list->setCurrentIndex(i);
}

void ChoosePreset(frmMain& w, const QString& category, const QString& label, const QString& extension)
{
    FormatsPanel* p = w.frFormats;
    p->optFormat[0]->setChecked(true);
    Pick(p->cmbCategory, category);
    Pick(p->cmbOutVCodec, label);
    Pick(p->cmbOutFormat, extension);
}

// A preset of the test's own, chosen in the lists.
void ChooseOwnPreset(frmMain& w, const QString& label, const QString& params, const QString& extension)
{
    w.Tables.Presets.resize(w.Tables.PresetCount);
    w.Tables.Presets.append({label, params, extension, QStringLiteral("Test Jobs")});
    ++w.Tables.PresetCount;
    ChoosePreset(w, QStringLiteral("Test Jobs"), label, extension);
}

void ChooseCustom(frmMain& w, const QString& container, const QString& audioCodec = kMp3Audio)
{
    FormatsPanel* p = w.frFormats;
    p->optFormat[1]->setChecked(true);
    if (p->optFormat[0]->isChecked())
        p->optFormat[0]->setChecked(false);
    Pick(p->cmbCustContainer, container);
    Pick(p->cmbCVCodec, kMpeg4Video);
    Pick(p->cmbCACodec, audioCodec);
    Pick(p->cmbCVSize, QStringLiteral("[As Input]"));
    Pick(p->cmbCVAspect, QStringLiteral("[As Input]"));
    Pick(p->cmbCASmapleRate, QStringLiteral("22.05 KHz"));
    p->txtCVBitrate->setText(QStringLiteral("320"));
    p->txtCABirate->setText(QStringLiteral("64"));
    p->txtChannels->setText(QStringLiteral("2"));
    p->txtFrameRate->setText(QStringLiteral("25"));
}

// Runs `tick` every few milliseconds while the window processes events (the
// job's yields), until it returns true.
class Poller {
public:
    explicit Poller(std::function<bool()> tick) : m_tick(std::move(tick))
    {
        m_timer.setInterval(5);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            if (!m_done && m_tick())
                m_done = true;
        });
        m_timer.start();
    }
    bool done() const { return m_done; }

private:
    QTimer m_timer;
    std::function<bool()> m_tick;
    bool m_done = false;
};

QList<bool> EnabledStates(const frmMain& w)
{
    QList<bool> states;
    for (QWidget* c : w.CutJobLockedControls())
        states << c->isEnabled();
    return states;
}

QList<bool> All(bool value) { return QList<bool>(11, value); }

class CutJob : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_hive.isValid() && m_work.isValid());
        SetDefaultRegistryBackend(std::make_shared<FileHiveRegistry>(m_hive.path()));
        test::ClipRecipe source;
        source.seconds = 8;
        source.baseName = QStringLiteral("cutjob");
        m_source = test::MakeClip(source);
        ASSERT_FALSE(m_source.isEmpty());
        m_input = test::CopyClipTo(m_source, m_work.path(), QStringLiteral("party.mp4"));
        ASSERT_FALSE(m_input.isEmpty());
    }
    void TearDown() override { SetDefaultRegistryBackend(nullptr); }

    // A window with the copied clip loaded and 2 .. 7 s selected, output
    // beside the input.
    std::unique_ptr<frmMain> LoadedWindow()
    {
        auto w = std::make_unique<frmMain>();
        w->OpenVideoFile(m_input);
        EXPECT_FALSE(w->NoVideoLoaded);
        EXPECT_EQ(w->InputFilePath, m_input);
        w->cmdStop_Click();
        w->Slider->setSelectStart(2);
        w->Slider->setSelectEnd(7);
        w->optSameFolder->setChecked(true);
        Fake().messages.clear();
        return w;
    }

    QString InWork(const QString& name) const { return QDir(m_work.path()).filePath(name); }

    QTemporaryDir m_hive;
    QTemporaryDir m_work;
    QString m_source;
    QString m_input;
};

// ------------------------------------------------------------ checks

TEST_F(CutJob, ClickChecksComeFirstAndRefuseWithTheirMessages)
{
    struct Case {
        bool noVideo;
        qint32 start, end;
        QString message;
    };
    const Case cases[] = {
        {true, 2, 7, kNoVideo},          // no video, even with a selection
        {false, 0, 0, kEmptySelection},  // nothing selected
        {false, 10, 10, kEmptySelection},
        {false, 12, 10, kReversedSelection},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message.toStdString() + " " + std::to_string(c.start) + ".." + std::to_string(c.end));
        Fake().reset();
        frmMain w;
        w.NoVideoLoaded = c.noVideo;
        w.InputFilePath = m_input;
        w.Slider->setMax(8);
        w.Slider->setSelectStart(c.start);
        w.Slider->setSelectEnd(c.end);
        w.chkShutdown->setChecked(true);
        for (const QString& caption : {QStringLiteral("Start"), QStringLiteral("Stop")}) {
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
        EXPECT_EQ(QDir(m_work.path()).entryList(QDir::Files), QStringList{"party.mp4"});
    }
}

// ------------------------------------------------------------ naming

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
        {"party",
         {"party.avi", "party_Converted.avi", "party_Converted_0.avi", "party_Converted_1.avi",
          "party_Converted_2.avi"},
         "party_Converted_3.avi",
         true},
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
            if (entry.startsWith("dir:")) {
                ASSERT_TRUE(QDir(dir.path()).mkdir(entry.mid(4)));
            } else if (entry.startsWith("link:")) {
                ASSERT_TRUE(QFile::link(dir.filePath("nowhere"), dir.filePath(entry.mid(5))));
            } else {
                QFile f(dir.filePath(entry));
                ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            }
        }
        int yields = 0;
        // With and without the trailing separator.
        for (const QString& folder : {dir.path(), dir.path() + QDir::separator()}) {
            yields = 0;
            const QString got = FirstFreeOutputName(folder, c.base, "avi", OutputPathTaken, [&] { ++yields; });
            EXPECT_EQ(got, QDir::toNativeSeparators(dir.filePath(c.expected)));
            EXPECT_EQ(yields, c.yieldsBefore ? 1 : 0);
        }
    }
}

TEST_F(CutJob, UnusableFolderOrNoFreeNameEndsTheFlowBeforeTheEncoder)
{
    QFile plain(InWork("plain.txt"));
    ASSERT_TRUE(plain.open(QIODevice::WriteOnly) && plain.write("keep") == 4);
    plain.close();
    const QString cases[] = {
        InWork("missing/deeper"),  // only one level is created
        InWork("plain.txt"),       // a file, not a folder
        InWork("plain.txt/sub"),   // below a file
        QStringLiteral("C:\\Output Video"),  // relative here: it would land in the working folder
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
        EXPECT_EQ(Fake().messages[0].text, kFolderMessage);
        EXPECT_EQ(Fake().messages[0].style, 16);
        EXPECT_EQ(w->cConvert, nullptr);
        EXPECT_EQ(w->progress->Value(), 37);  // not filled: nothing was cut
        EXPECT_EQ(Fake().powerOffs, QList<int>{8});  // whatever the outcome
        EXPECT_EQ(w->cmdConvert->text(), "Start");
        EXPECT_FALSE(w->IsConverting);
        EXPECT_EQ(EnabledStates(*w), All(true));
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
    EXPECT_EQ(asked.last(), InWork("party_Converted_10000.AVI"));

    EXPECT_FALSE(QFileInfo::exists(InWork("missing")));
    EXPECT_FALSE(QFileInfo::exists(QDir::current().filePath("C:\\Output Video")));
    ASSERT_TRUE(plain.open(QIODevice::ReadOnly));
    EXPECT_EQ(plain.readAll(), "keep");
    EXPECT_EQ(QDir(m_work.path()).entryList(QDir::Files), (QStringList{"party.mp4", "plain.txt"}));
}

// ------------------------------------------------------------ real cuts

TEST_F(CutJob, PresetCutLandsBesideTheInputThenTakesTheNextNumber)
{
    auto w = LoadedWindow();
    ChoosePreset(*w, "General Video", "H.264 (AVC) - Standard", "mp4");

    QList<QList<bool>> lockedDuringJob;
    QList<bool> keptUsable;
    QStringList captions;
    Poller watch([&] {
        if (w->IsConverting) {
            lockedDuringJob << EnabledStates(*w);
            keptUsable << (w->cmdConvert->isEnabled() && w->chkShutdown->isEnabled() && w->txtOutPath->isEnabled()
                           && w->frFormats->cmbOutFormat->isEnabled());
            captions << w->cmdConvert->text();
        }
        return false;
    });

    const QString first = InWork("party_Converted.mp4");
    const QString second = InWork("party_Converted_0.mp4");
    w->cmdConvert->click();
    ASSERT_TRUE(Fake().messages.isEmpty()) << Fake().messages.value(0).text.toStdString();
    ASSERT_TRUE(QFileInfo::exists(first));
    EXPECT_NEAR(test::ProbeDuration(first), 5.0, 0.5);
    EXPECT_TRUE(test::DecodesCleanly(first));
    EXPECT_EQ(w->progress->Value(), 100);
    EXPECT_TRUE(w->progress->isVisible() || !w->isVisible());
    EXPECT_EQ(w->lblProgress->text(), "Task Progress:");
    EXPECT_EQ(w->cmdConvert->text(), "Start");
    EXPECT_FALSE(w->IsConverting);
    EXPECT_EQ(EnabledStates(*w), All(true));
    EXPECT_TRUE(w->cConvert && w->cConvert->Succeeded());
    EXPECT_TRUE(Fake().powerOffs.isEmpty());  // the box is not ticked

    ASSERT_FALSE(lockedDuringJob.isEmpty());
    for (const QList<bool>& states : lockedDuringJob)
        EXPECT_EQ(states, All(false));
    EXPECT_FALSE(keptUsable.contains(false));
    EXPECT_FALSE(captions.contains("Start"));

    // The second run takes the first number and leaves the first cut alone.
    const QDateTime firstTime = QFileInfo(first).lastModified();
    const qint64 firstSize = QFileInfo(first).size();
    w->cmdConvert->click();
    ASSERT_TRUE(Fake().messages.isEmpty());
    ASSERT_TRUE(QFileInfo::exists(second));
    EXPECT_NEAR(test::ProbeDuration(second), 5.0, 0.5);
    EXPECT_EQ(QFileInfo(first).lastModified(), firstTime);
    EXPECT_EQ(QFileInfo(first).size(), firstSize);
    EXPECT_EQ(QFileInfo(m_input).size(), QFileInfo(m_source).size());
    EXPECT_EQ(EncoderChildren(), 0);
}

TEST_F(CutJob, CustomRouteCutsIntoANewOtherFolderAndPowersOff)
{
    auto w = LoadedWindow();
    ChooseCustom(*w, "AVI");
    const QString outFolder = InWork("out");
    w->optOtherFolder->setChecked(true);
    w->txtOutPath->setText(outFolder);
    w->chkShutdown->setChecked(true);

    w->cmdConvert->click();
    ASSERT_TRUE(Fake().messages.isEmpty()) << Fake().messages.value(0).text.toStdString();
    // The input's own name is free there; the container's letter case is
    // kept in the extension.
    const QString out = QDir(outFolder).filePath("party.AVI");
    ASSERT_TRUE(QFileInfo::exists(out));
    EXPECT_NEAR(test::ProbeDuration(out), 5.0, 0.5);
    EXPECT_EQ(w->progress->Value(), 100);
    EXPECT_EQ(Fake().powerOffs, QList<int>{8});
    // After a job every control of the list is enabled, the folder button too.
    w->cmdConvert->click();
    EXPECT_TRUE(QFileInfo::exists(QDir(outFolder).filePath("party_Converted.AVI")));
    w->optSameFolder->setChecked(true);
    w->cmdConvert->click();
    EXPECT_TRUE(QFileInfo::exists(InWork("party.AVI")));
    EXPECT_TRUE(w->cmdBrowse->isEnabled());
    EXPECT_EQ(Fake().powerOffs, (QList<int>{8, 8, 8}));
}

// ------------------------------------------------------------ stopping

TEST_F(CutJob, StopDuringALongJobLeavesTheStoppedStateAndNoEncoder)
{
    auto w = LoadedWindow();
    // Throttled to real time: the job lasts as long as the clip.
    ChooseOwnPreset(*w, "Slow", "-vf realtime -c:v mpeg4 -an", "mkv");
    w->Slider->setSelectStart(0);
    w->Slider->setSelectEnd(7);
    w->chkShutdown->setChecked(true);
    const QString otherClip = test::CopyClipTo(m_source, m_work.path(), "other.mp4");

    int shownAtStop = -1;
    int childrenWhileRunning = 0;
    bool closed = true;
    Poller stopper([&] {
        if (!w->cConvert || !w->cConvert->IsRunning() || w->progress->Value() <= 0)
            return false;
        childrenWhileRunning = EncoderChildren();
        // Closing is refused while the job runs.
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
    ASSERT_EQ(Fake().messages.size(), 2);  // no conversion error after the stop
    EXPECT_EQ(Fake().messages[0].text, "Please Stop the running task first.");
    EXPECT_EQ(Fake().messages[1].text, kEmptySelection);
    EXPECT_EQ(w->lblProgress->text(), "Task Progress:[Stopped]");
    EXPECT_EQ(w->progress->Value(), shownAtStop);
    EXPECT_LT(shownAtStop, 100);
    EXPECT_TRUE(w->cConvert->WasStopped());
    EXPECT_FALSE(w->IsConverting);
    EXPECT_EQ(w->cmdConvert->text(), "Start");
    EXPECT_EQ(EnabledStates(*w), All(true));
    EXPECT_EQ(Fake().powerOffs, QList<int>{8});  // after a stopped job too
    EXPECT_EQ(EncoderChildren(), 0);
    // Progress of the finished flow no longer moves the bar.
    qint16 late = 90;
    w->cConvert_Progress(late);
    EXPECT_EQ(w->progress->Value(), shownAtStop);
}

TEST_F(CutJob, StopWhileTheEncoderIsSilentIsHonoured)
{
    auto w = LoadedWindow();
    ChooseOwnPreset(*w, "Silent", "-loglevel quiet -nostats -vf realtime -c:v mpeg4 -an", "mkv");
    w->Slider->setSelectStart(0);
    w->Slider->setSelectEnd(8);
    int ticksWhileRunning = 0;
    Poller stopper([&] {
        if (!w->cConvert || !w->cConvert->IsRunning() || EncoderChildren() == 0)
            return false;
        if (++ticksWhileRunning < 20)
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
    auto w = LoadedWindow();
    ChooseOwnPreset(*w, "Slow", "-vf realtime -c:v mpeg4 -an", "mkv");
    w->Slider->setSelectStart(0);
    w->Slider->setSelectEnd(7);

    std::weak_ptr<CVideoConv> oldJob;
    std::weak_ptr<CVideoConv> newJob;
    bool oldAliveAfterNested = false;
    bool convertingAfterNested = false;
    QString labelAfterNested;
    Poller restarter([&] {
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
    EXPECT_TRUE(QFileInfo::exists(InWork("party.mkv")));
    EXPECT_NEAR(test::ProbeDuration(InWork("party_Converted.mp4")), 5.0, 0.5);
}

// ------------------------------------------------------------ failures

TEST_F(CutJob, EncoderFailuresAreReportedAndTheWindowStaysUsable)
{
    QTemporaryDir emptyFolder;
    struct Case {
        const char* name;
        std::function<void(frmMain&)> arrange;
        QString errorStart;  // the conversion error box begins so
        QString outputName;  // the new name chosen (empty: none)
    };
    const Case cases[] = {
        {"format the encoder refuses",
         [](frmMain& w) { ChooseCustom(w, "RM", "RealAudio 1.0 (RM; 8 KHz, 1 channel)"); },
         "Error converting file: party.mp4\r\n", "party.RM"},
        {"encoder missing",
         [&](frmMain& w) {
             ChooseCustom(w, "AVI");
             Fake().folderOverride = emptyFolder.path();
         },
         "Error converting file: party.mp4\r\n", QString()},
        {"input removed", [&](frmMain& w) { ChooseCustom(w, "AVI"); QFile::remove(m_input); },
         "Error converting file: party.mp4\r\n", QString()},
#ifdef Q_OS_LINUX
        {"folder the encoder cannot write",
         [](frmMain& w) {
             ChooseCustom(w, "AVI");
             w.optOtherFolder->setChecked(true);
             w.txtOutPath->setText("/proc");
         },
         "Error converting file: party.mp4\r\n", QString()},
#endif
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Fake().reset();
        m_input = test::CopyClipTo(m_source, m_work.path(), "party.mp4");
        for (const QString& f : QDir(m_work.path()).entryList({"party?*"}, QDir::Files)) {
            if (f != "party.mp4")
                QFile::remove(InWork(f));
        }
        // A file that must survive whatever happens.
        QFile keep(InWork("party_Converted_7.avi"));
        ASSERT_TRUE(keep.open(QIODevice::WriteOnly) && keep.write("mine") == 4);
        keep.close();

        auto w = LoadedWindow();
        c.arrange(*w);
        w->cmdConvert->click();
        Fake().folderOverride.clear();

        ASSERT_FALSE(Fake().messages.isEmpty());
        const auto& box = Fake().messages.last();
        EXPECT_TRUE(box.text.startsWith(c.errorStart)) << box.text.toStdString();
        EXPECT_EQ(box.style, 16);
        EXPECT_FALSE(w->cConvert->Succeeded());
        EXPECT_FALSE(w->IsConverting);
        EXPECT_EQ(w->cmdConvert->text(), "Start");
        EXPECT_EQ(EnabledStates(*w), All(true));
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
            test::CopyClipTo(m_source, m_work.path(), "party.mp4");
        ChoosePreset(*w, "General Video", "MPEG-4 (Xvid compatible)", "avi");
        w->optSameFolder->setChecked(true);
        Fake().messages.clear();
        w->cmdConvert->click();
        EXPECT_TRUE(Fake().messages.isEmpty()) << Fake().messages.value(0).text.toStdString();
        EXPECT_TRUE(w->cConvert->Succeeded());
    }
}

TEST_F(CutJob, ProgressMovesTheBarOnlyWhileAFlowRuns)
{
    frmMain w;
    struct Step {
        bool converting;
        qint16 value;
        int shown;
    };
    const Step steps[] = {
        {false, 40, 0},   // no flow: ignored
        {true, 40, 40},
        {true, -1, 0},    // unreadable input: the bar shows its floor
        {true, 150, 100}, // beyond the expected length: the bar's ceiling
        {false, 20, 100},
    };
    for (const Step& s : steps) {
        w.IsConverting = s.converting;
        qint16 v = s.value;
        w.cConvert_Progress(v);
        EXPECT_EQ(w.progress->Value(), s.shown) << s.value;
    }
    w.IsConverting = false;
    QString status = "Starting...";
    w.cConvert_CurrentStatus(status);
    EXPECT_EQ(w.lblProgress->text(), "Task Progress:");
}

}  // namespace
}  // namespace clip
