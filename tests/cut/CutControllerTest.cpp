// The cut with no window: what a request is refused for and why, output
// naming and reservation, real cuts by the encoder on generated clips,
// stopping, a run nested in a stopped one, failures as values, the offered
// re-encode, and what follows from each outcome (files left behind,
// power-off).
#include "cut/CutController.h"
#include "cut/OutputNaming.h"
#include "engine/SmartCutJob.h"
#include "formats/Catalogue.h"
#include "support/FakeHost.h"
#include "support/TestClips.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

#include <sys/mount.h>
#include <unistd.h>

#include <csignal>
#include <iostream>

namespace clip {
namespace {

using test::EncoderChildren;
using test::Fake;

const FormatChoice kH264 = FormatChoice::Preset("General Video", "H.264 (AVC) - Standard", "mp4");
const FormatChoice kSlow = FormatChoice::Preset("Test Jobs", "Slow", "mkv");
const QString kSmart = "Smart Cut (frame-exact, original quality)";

// The custom route, with the first start's values in the other boxes.
FormatChoice Custom(const QString& container, const QString& audioCodec = "MP3 (AVI, FLV, MOV, MP4, MPG)")
{
    return {.custom = true, .category = {}, .label = {}, .extension = {}, .container = container, .videoCodec = "MPEG-4 Part 2, DivX compatible (AVI, MP4, MOV)",
            .videoBitrate = "320", .videoSize = "[As Input]", .aspect = "[As Input]", .frameRate = "25",
            .audioCodec = audioCodec, .audioBitrate = "64", .samplingRate = "44.1 KHz", .channels = "2"};
}

class CutControl : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        test::ClipRecipe recipe;
        recipe.seconds = 8, recipe.baseName = "cutjob", m_source = test::MakeClip(recipe);
        m_input = test::CopyClipTo(m_source, dir.path(), "party.mp4");
        QComboBox category, video, audio;  // the loaders fill lists; the cut reads only the tables
        LoadPresets(cat, &category), LoadCodecs(cat, &video, &audio);
        // A job of the test's own, throttled to real time: it is still running when the test acts.
        cat.Presets.resize(cat.PresetCount), ++cat.PresetCount;
        cat.Presets.append({"Slow", "-vf realtime -c:v mpeg4 -an", "mkv", "Test Jobs", {}});
        QObject::connect(&cut, &CutController::progress, [this](int percent) {
            lastProgress = percent, highest = std::max(highest, percent);
        });
        QObject::connect(&cut, &CutController::finished, [this](const CutResult& r) { endings << r.outcome; });
        ASSERT_TRUE(Fake().messages.isEmpty());
    }
    // `start` .. `end` of the input in `format`, beside the input, power-off wished.
    CutRequest Request(double start = 2, double end = 7, const FormatChoice& format = kH264) const
    {
        return {m_input, start, end, format, {}, true, {}, SegmentExport::Join};
    }
    QStringList FilesInWork() const { return QDir(dir.path()).entryList(QDir::Files | QDir::Hidden); }
    // Runs `request` (a slow job) and `act` once its encoder is under way.
    CutResult WhileSlowJobRuns(CutRequest request, const std::function<void()>& act)
    {
        request.format = kSlow;
        test::Poller poller([&] { return cut.Job() && cut.Job()->IsRunning() && EncoderChildren() && lastProgress > 0 && (act(), true); });
        const CutResult result = cut.Run(request);
        EXPECT_TRUE(poller.done());
        return result;
    }

    QTemporaryDir dir;
    QString m_source, m_input;
    Catalogues cat;
    CutController cut{cat};
    int lastProgress = -1, highest = -1;
    QList<CutOutcome> endings;
};

TEST_F(CutControl, RefusesWhatItCannotCutSayingWhatToDoAndLeavesEverythingAsItWas)
{
    QFile(dir.filePath("plain.txt")).open(QIODevice::WriteOnly);
    const auto folder = [](const QString& path) { return [path](CutRequest& r, Catalogues&) { r.output = {false, path}; }; };
    const QString kNoFolder = "Output Folder is not exist and can not be created.";
    using Arrange = std::function<void(CutRequest&, Catalogues&)>;
    const struct { Arrange arrange; QString message; int style; } cases[] = {
        // Refused before either action (a Start or a Stop) is taken.
        {[](CutRequest& r, Catalogues&) { r.input.clear(); }, "No video file loaded", MsgInformation},
        {[](CutRequest& r, Catalogues&) { r.end = r.start + 0.0004; }, "No part selected. Please, select a part first using 'Start Selection' and 'End Selection'.", MsgInformation},
        {[](CutRequest& r, Catalogues&) { std::swap(r.start, r.end); }, "No part selected, 'Start Selection' can not be greater", MsgInformation},
        // Refused by the run, before any encoder.
        {[](CutRequest&, Catalogues& c) { c.Presets.clear(), c.PresetCount = 0; }, "No output format can be chosen: the preset catalogue (presets.xml) is missing", MsgExclamation},
        {[](CutRequest& r, Catalogues&) { r.format.label.clear(); }, "No output format is chosen.", MsgExclamation},
        {[](CutRequest&, Catalogues& c) { for (PresetEntry& p : c.Presets) p.Extension += "z"; }, "No preset matches the chosen", MsgExclamation},
        {[](CutRequest& r, Catalogues&) { r.format = Custom(""); }, "No custom format is chosen.", MsgExclamation},
        {[](CutRequest& r, Catalogues&) { r.format = Custom("AVI"), r.format.videoBitrate = "fast"; }, "Error occured while getting paramters\r\nThe video bitrate \"fast\" is not a number.", MsgCritical},
        {folder("/proc"), "The output file could not be created: /proc/party.mp4: ", MsgCritical},
        {folder(dir.filePath("missing/deeper")), kNoFolder, MsgCritical},
        {folder(dir.filePath("plain.txt")), kNoFolder, MsgCritical},
        {folder("C:\\Output Video"), kNoFolder, MsgCritical},  // relative here
        {folder(""), kNoFolder, MsgCritical},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message.toStdString());
        Catalogues tables = cat;
        CutController own(tables);
        CutRequest request = Request();
        c.arrange(request, tables);
        const CutResult refusal = CutController::Refusal(request);
        const CutResult result = refusal.message.isEmpty() ? own.Run(request) : refusal;
        EXPECT_TRUE(result.message.startsWith(c.message) && result.style == c.style) << result.message.toStdString();
        EXPECT_TRUE(result.outcome == CutOutcome::NotRun && result.details.isEmpty() && !own.Job() && !own.IsRunning());
        EXPECT_TRUE(Fake().messages.isEmpty() && Fake().powerOffs.isEmpty());
        EXPECT_EQ(FilesInWork(), (QStringList{"party.mp4", "plain.txt"}));
    }
    // Every name taken (another program's files, say).
    cut.setNameTaken([](const QString&) { return true; });
    EXPECT_TRUE(cut.Run(Request()).message.startsWith("Every output name for \"party.mp4\" is taken in "));
    EXPECT_FALSE(QFileInfo::exists(dir.filePath("missing")) || QFileInfo::exists(QDir::current().filePath("C:\\Output Video")));
}

// Shipped presets and a stream copy in turn beside an input with a hostile name
// in a folder named like the probe's marker (a folder and a dangling link in
// the way of the first names), then the custom route into a new folder with the
// power-off after the view was told. No encoder and no file descriptor is left
// behind, every cut plays, the progress never reaches 100.
TEST_F(CutControl, CutsLandBesideTheInputThenInANewFolderAndThePowerOffFollowsTheirEnd)
{
    const QString folder = dir.filePath("Unknown Format") + "/", name = folder + "a b \"q\" $HOME `x`;\u00fc time=90 take";
    m_input = test::CopyClipTo(m_source, folder, "a b \"q\" $HOME `x`;\u00fc time=90 take.mp4");
    ASSERT_TRUE(QDir().mkpath(name + "_Converted.mp4") && QFile::link(dir.filePath("nowhere"), name + "_Converted_0.mp4"));
    const auto descriptors = [] { return QDir("/proc/self/fd").entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot).size(); };
    const QStringList presets[] = {{"General Video", "H.264 (AVC) - Standard", "mp4", "_Converted_1.mp4"},
                                   {"General Video", "H.264 (AVC) - Standard", "mp4", "_Converted_2.mp4"},
                                   {"Lossless", "Copy Streams (No Re-encoding)", "mkv", ".mkv"},
                                   {"Audio Only", "MP3 - High Quality", "mp3", ".mp3"},
                                   {"General Video", "MPEG-4 (Xvid compatible)", "avi", ".avi"}};
    qsizetype descriptorsAfterFirst = 0;
    for (const QStringList& p : presets) {
        CutRequest request = Request(1, 3, FormatChoice::Preset(p[0], p[1], p[2]));
        request.powerOff = false, highest = -1;
        const CutResult result = cut.Run(request);
        ASSERT_EQ(result.outcome, CutOutcome::Succeeded) << result.message.toStdString();
        EXPECT_TRUE(result.outputFile == name + p[3] && cut.Job()->OutputFile() == name + p[3]);
        const bool copy = p[1].startsWith("Copy");  // a copy starts at the key frame at or before the mark
        EXPECT_NEAR(test::ProbeDuration(name + p[3]), copy ? 2.5 : 2.0, copy ? 0.6 : 0.2);
        EXPECT_TRUE(test::DecodesCleanly(name + p[3]));
        EXPECT_TRUE(highest >= 0 && highest <= 99 && !cut.IsRunning()) << highest;  // only a view fills its bar
        descriptorsAfterFirst = descriptorsAfterFirst ? descriptorsAfterFirst : descriptors();
    }
    EXPECT_LE(descriptors(), descriptorsAfterFirst + 2);
    EXPECT_TRUE(Fake().powerOffs.isEmpty() && Fake().messages.isEmpty() && !QFileInfo::exists(dir.filePath("nowhere")));

    // The container's letter case is kept; without codec lists (no codec catalogue) it takes its own codecs.
    CutRequest request = Request(1, 3, Custom("AVI"));
    request.format.videoCodec.clear(), request.format.audioCodec.clear(), request.output = {false, dir.filePath("out")};
    bool toldFirst = false, told = false;
    QObject::connect(&cut, &CutController::aboutToPowerOff, [&] { told = true; });
    Fake().onPowerOff = [&](int) { toldFirst = told && endings.size() == 6; };
    EXPECT_EQ(cut.Run(request).outcome, CutOutcome::Succeeded);
    EXPECT_NEAR(test::ProbeDuration(dir.filePath("out/a b \"q\" $HOME `x`;\u00fc time=90 take.AVI")), 2.0, 0.2);
    EXPECT_TRUE(Fake().powerOffs == QList<int>{8} && toldFirst && EncoderChildren() == 0);
}

// The next names are numbered, and the naming yields before it returns one,
// with the name reserved but no encoder started: a Stop there ends the run
// before the encoder and frees the name; a second cut started there (another
// window cutting into the same folder) gets a name of its own.
TEST_F(CutControl, NamingYieldsNeitherRunAStoppedCutNorShareAName)
{
    QFile(dir.filePath("party_Converted.mp4")).open(QIODevice::WriteOnly);
    CutController second(cat);
    QTimer::singleShot(0, [&] { cut.Stop(); });
    const CutResult stopped = cut.Run(Request(0, 2));
    EXPECT_TRUE(stopped.outcome == CutOutcome::NotRun && stopped.message.isEmpty() && !cut.Job() && !cut.IsRunning());
    EXPECT_EQ(FilesInWork(), (QStringList{"party.mp4", "party_Converted.mp4"}));

    CutResult inner;
    QTimer::singleShot(0, [&] { inner = second.Run(Request(0, 4)); });
    const CutResult outer = cut.Run(Request(0, 2));
    ASSERT_TRUE(outer.outcome == CutOutcome::Succeeded && inner.outcome == CutOutcome::Succeeded) << inner.message.toStdString() << outer.message.toStdString();
    EXPECT_NE(outer.outputFile, inner.outputFile);
    EXPECT_NEAR(test::ProbeDuration(outer.outputFile), 2.0, 0.3);
    EXPECT_NEAR(test::ProbeDuration(inner.outputFile), 4.0, 0.3);
    EXPECT_TRUE(Fake().messages.isEmpty() && Fake().powerOffs == (QList<int>{8, 8}));
}

// An input whose name is as long as the file system allows still gets its outputs beside it: each name's base
// is shortened, by whole characters (a letter keeps its accent, a surrogate pair stays whole), to fit.
TEST_F(CutControl, NamesAtTheFileSystemsLimitAreShortenedByWholeCharacters)
{
    const qsizetype limit = FileNameLimit(dir.path());
    for (const QString unit : {"a", "\u00fc", "e\u0301", "\U0001F3A5"}) {
        SCOPED_TRACE(unit.toStdString());
        QString base;
        while (QFile::encodeName(base + unit + ".mp4").size() <= limit)
            base += unit;
        ASSERT_EQ(ReserveOutputPath(dir.filePath(base + ".mp4"), nullptr), Reservation::Reserved);  // the input
        const auto taken = [](const QString& path) { return ReserveOutputPath(path, nullptr) != Reservation::Reserved; };
        for (const QString suffix : {"_Converted.mp4", "_Converted_0.mp4"}) {
            const QString name = QFileInfo(FirstFreeOutputName(dir.path(), base, "mp4", taken)).fileName();
            const QString stem = name.chopped(suffix.size());
            EXPECT_TRUE(name.endsWith(suffix) && QFileInfo::exists(dir.filePath(name))) << name.toStdString();
            EXPECT_LE(QFile::encodeName(name).size(), limit);
            EXPECT_TRUE(stem.size() % unit.size() == 0 && stem == unit.repeated(stem.size() / unit.size()) && !stem.isEmpty());
        }
    }
}

// Stop, then a run nested in the stopped one: the stopped job stays alive
// until it unwinds, moves the progress no more, leaves no file and no
// power-off; the nested one finishes.
TEST_F(CutControl, StopThenANestedRunLeavesOnlyTheFinishedCut)
{
    std::weak_ptr<CutJob> stopped;
    int stops = 0, shownAtStop = -1;
    QObject::connect(&cut, &CutController::stopped, [&] { ++stops; });
    CutResult nested;
    const CutResult outer = WhileSlowJobRuns(Request(0, 7), [&] {
        EXPECT_EQ(EncoderChildren(), 1);
        stopped = cut.Job(), shownAtStop = lastProgress;
        cut.Stop();  // returns before the job has ended
        EXPECT_TRUE(cut.IsRunning() && stops == 1 && endings.isEmpty());
        test::WaitFor([] { return false; }, 300);
        EXPECT_EQ(lastProgress, shownAtStop);  // a stopped job moves the progress no more
        nested = cut.Run(Request());  // nested in the stopped one
        EXPECT_TRUE(!stopped.expired() && cut.IsRunning());  // the stopped job is still on its way out
    });
    EXPECT_TRUE(stopped.expired() && !cut.IsRunning() && outer.outcome == CutOutcome::Stopped && outer.message.isEmpty());
    EXPECT_TRUE(nested.outcome == CutOutcome::Succeeded && cut.Job()->Succeeded()) << nested.message.toStdString();
    EXPECT_EQ(endings, (QList<CutOutcome>{CutOutcome::Succeeded, CutOutcome::Stopped}));
    EXPECT_TRUE(Fake().messages.isEmpty() && Fake().powerOffs == QList<int>{8} && EncoderChildren() == 0);  // after the nested run only
    EXPECT_EQ(FilesInWork(), (QStringList{"party.mp4", "party_Converted.mp4"}));
}

// Each failure comes back as a value that leads with its cause (at most about
// ten lines; no stream listing), the whole report behind it, and shows no box.
// The full disk is a small file system mounted here when the test runs as root.
TEST_F(CutControl, FailuresComeBackWithTheirCauseAndLeaveTheUserFiles)
{
    QTemporaryDir emptyFolder, brokenFolder;  // no encoder; one whose interpreter is missing
    test::WriteFile(brokenFolder.filePath("ffmpeg"), "#!/nonexistent/sh\n", true);
    const QString full = dir.filePath("full");
    const bool root = ::geteuid() == 0 && QDir().mkpath(full) && ::mount("tmpfs", qPrintable(full), "tmpfs", 0, "size=256k") == 0;
    const auto unmount = qScopeGuard([&] {
        if (root)
            ::umount2(qPrintable(full), MNT_DETACH);
    });
    if (!root)
        std::cout << "[ SKIPPED ] the full disk: mounting a small one needs root" << std::endl;
    const QString kFailed = "Error converting file: party.mp4\r\n", kNoVideo = "The cut produced no video: ";
    struct Case { std::function<void(CutRequest&)> arrange; QString message, cause; bool encoderRan; std::function<void()> whileRunning = {}; };
    const Case cases[] = {
        {[](CutRequest& r) { r.format = Custom("RM", "RealAudio 1.0 (RM; 8 KHz, 1 channel)"); }, kFailed, "Error while opening encoder", true},
        {[&](CutRequest&) { Fake().folderOverride = emptyFolder.path(); }, kFailed + "The encoder was not found: ", emptyFolder.path(), false},
        {[&](CutRequest&) { Fake().folderOverride = brokenFolder.path(); }, kFailed + "File or command not found", "", false},
        {[this](CutRequest& r) {  // the selection lies beyond the new end
             QFile::remove(m_input), test::CopyClipTo(test::MakeClip(test::ClipRecipe{}), dir.path(), "party.mp4");
             r.start = 5, r.end = 7; }, kNoVideo, "party_Converted.mp4 holds no picture and no sound", true},
        {[this](CutRequest&) {  // the input ends early, its header still promising every second
             QFile::remove(m_input), test::RunProgram(test::FfmpegPath(), {"-v", "error", "-i", m_source, "-c", "copy", "-movflags", "+faststart", m_input});
             QFile::resize(m_input, QFileInfo(m_input).size() / 2); }, "The cut is shorter than the selection: ", "party.mp4 ended early or is damaged", true},
        {[this](CutRequest& r) { r.output = {false, dir.filePath("gone")}, r.end = 3; }, kNoVideo, "party.mkv does not exist", true,
         [this] { QDir(dir.filePath("gone")).removeRecursively(); }},
        {[&](CutRequest& r) {
             r.format = FormatChoice::Preset("Test Jobs", "Raw", "mkv"), r.output = {false, full};
             cat.Presets.append({"Raw", "-c:v rawvideo -an", "mkv", "Test Jobs", {}}), ++cat.PresetCount; }, kFailed, "No space left on device", true},
        {[](CutRequest&) {}, kFailed + "The encoder ended abnormally", "", true, [] { ::kill(test::EncoderPids().value(0).toInt(), SIGKILL); }},
    };
    QFile keep(dir.filePath("party_Converted_7.avi"));  // a file that must survive whatever happens
    test::WriteFile(keep.fileName(), "mine");
    const QStringList kFiles{"party.mp4", "party_Converted_7.avi"};
    for (const Case& c : cases) {
        if (c.cause.startsWith("No space") && !root)
            continue;
        SCOPED_TRACE(c.message.toStdString());
        Fake().reset();
        QFile::remove(m_input);
        m_input = test::CopyClipTo(m_source, dir.path(), "party.mp4");
        CutRequest request = Request();
        c.arrange(request);
        const CutResult result = c.whileRunning ? WhileSlowJobRuns(request, c.whileRunning) : cut.Run(request);
        Fake().folderOverride.clear();

        EXPECT_EQ(result.outcome, c.encoderRan ? CutOutcome::Failed : CutOutcome::NotRun);
        EXPECT_TRUE(result.message.startsWith(c.message) && result.message.contains(c.cause)) << result.message.toStdString();
        EXPECT_TRUE(result.style == MsgCritical && result.message.count('\n') <= 11 && !result.message.contains("Stream mapping"));
        EXPECT_EQ(result.details.isEmpty(), !c.encoderRan);
        EXPECT_TRUE(Fake().messages.isEmpty() && !cut.IsRunning());
        EXPECT_EQ(Fake().powerOffs, c.encoderRan ? QList<int>{8} : QList<int>{});
        EXPECT_EQ(EncoderChildren(), 0);
        EXPECT_TRUE(FilesInWork() == kFiles && keep.size() == 4);

        const CutResult next = cut.Run(Request(0, 2));  // the next cut works
        EXPECT_EQ(next.outcome, CutOutcome::Succeeded) << next.message.toStdString();
        QFile::remove(next.outputFile);
    }
}

// A smart cut offers the re-encode through the host where it cannot keep the
// picture (No: nothing runs; Yes: the frame-exact re-encode, its progress
// running), and a Stop leaves neither the output nor the folder of its parts.
TEST_F(CutControl, SmartCutOffersTheReencodeAndLeavesNothingWhenStopped)
{
    test::ClipRecipe ffv1;
    std::tie(ffv1.container, ffv1.videoCodec, ffv1.baseName) = std::tuple("mkv", "ffv1", "smart-ffv1");
    m_input = test::CopyClipTo(test::MakeClip(ffv1), dir.path(), "lossless.mkv");
    for (const bool yes : {false, true}) {
        Fake().messages.clear(), Fake().questionAnswers = {yes}, highest = -1;
        const CutResult result = cut.Run(Request(1, 3, FormatChoice::Preset("Lossless", kSmart, "mkv")));
        ASSERT_EQ(Fake().messages.size(), 1);
        EXPECT_EQ(Fake().messages[0].text, "Smart cut cannot keep the original quality of this video (its video codec "
                                           "ffv1 has no matching encoder here). Cut it frame-exact by re-encoding instead?");
        EXPECT_EQ(Fake().messages[0].style, MsgQuestion);
        EXPECT_TRUE(result.outcome == (yes ? CutOutcome::Succeeded : CutOutcome::NotRun) && result.message.isEmpty());
        EXPECT_EQ(QFileInfo::exists(dir.filePath("lossless_Converted.mkv")), yes);
        EXPECT_EQ(highest > 50, yes);  // the re-encode's progress runs over the whole selection
    }
    EXPECT_EQ(test::ProbeCsv(dir.filePath("lossless_Converted.mkv"), {"-select_streams", "v:0", "-show_entries",
                                                                      "stream=codec_name"}), "h264");
    EXPECT_NEAR(test::ProbeDuration(dir.filePath("lossless_Converted.mkv")), 2.0, 0.1);
    // Without a re-encoding preset nothing is offered: the user is told to choose one.
    cat.Presets.removeIf([](const PresetEntry& p) { return p.Params.contains("libx264"); });
    cat.PresetCount = int(cat.Presets.size()), Fake().messages.clear();
    const CutResult without = cut.Run(Request(1, 3, FormatChoice::Preset("Lossless", kSmart, "mkv")));
    EXPECT_TRUE(without.message.endsWith("(its video codec ffv1 has no matching encoder here). Choose a preset that re-encodes.")
                && without.style == MsgExclamation && Fake().messages.isEmpty()) << without.message.toStdString();

    m_input = dir.filePath("party.mp4");
    test::Poller poller([&] { return EncoderChildren() > 0 && (cut.Stop(), true); });
    const CutResult stopped = cut.Run(Request(2, 7, FormatChoice::Preset("Lossless", kSmart, "mp4")));
    EXPECT_TRUE(poller.done() && dynamic_cast<SmartCutJob*>(cut.Job().get()));
    EXPECT_TRUE(stopped.outcome == CutOutcome::Stopped && stopped.message.isEmpty() && EncoderChildren() == 0);
    EXPECT_EQ(QDir(dir.path()).entryList({"party*", ".clipwright*"}, QDir::AllEntries | QDir::Hidden), QStringList{"party.mp4"});
}

}  // namespace
}  // namespace clip
