// Jobs run against the real encoder on small generated clips: the outcome of
// each run, what a failure says, and where a cut starts in every container.
#include "engine/CVideoConv.h"

#include "engine/EngineTestUtil.h"
#include "support/FakeHost.h"
#include "support/TestClips.h"

#include <QFileInfo>
#include <QPointer>
#include <QProcess>
#include <QTimer>
#include <gtest/gtest.h>

#include <sys/mount.h>
#include <unistd.h>

namespace clip {
namespace {

using test::Fake;
using test::JobLog;

class EncoderJobTest : public ::testing::Test {
protected:
    QTemporaryDir dir;

    static QString Clip() { return test::MakeClip(test::ClipRecipe{}); }  // 4 s, 160x120

    // Cuts seconds `start` .. `start + 2` of `input` into `output`.
    static void SetUpCut(CVideoConv& job, const QString& input, const QString& output, const QString& params = "-t 2 -y",
                         qint32 start = 1)
    {
        job.setInputFile(input);
        job.setOutputFile(output);
        job.setParametrs(params);
        job.setStartTime(start);
        job.setFileTimeLength(2.0f);
    }

    // A small file system of `options` mounted on a new folder; empty (and
    // the reason in `why`) when this run may not mount.
    QString Mount(const QString& name, const char* options, QString& why)
    {
        const QString point = dir.filePath(name);
        QDir().mkpath(point);
        if (::geteuid() != 0 || ::mount("tmpfs", QFile::encodeName(point).constData(), "tmpfs", 0, options) != 0) {
            why = "mounting a small file system needs root; not tested here";
            return {};
        }
        m_mounts << point;
        return point;
    }
    void TearDown() override
    {
        for (const QString& point : m_mounts)
            ::umount2(QFile::encodeName(point).constData(), MNT_DETACH);
    }
    QStringList m_mounts;
};

// Awkward paths everywhere, an echoed "time=" and a folder named like the
// probe's marker: the probe accepts, the progress stays within 0..100.
TEST_F(EncoderJobTest, CutSucceedsWithProgressUpToTheEnd)
{
    const QString folder = dir.filePath("my programs/Unknown Format");
    ASSERT_TRUE(QDir().mkpath(folder));
    ASSERT_TRUE(QFile::link(QFileInfo(test::FfmpegPath()).canonicalFilePath(), folder + "/ffmpeg"));
    ASSERT_TRUE(QFile::link(QFileInfo(test::FfprobePath()).canonicalFilePath(), folder + "/ffprobe"));
    Fake().folderOverride = folder;
    const QString input = test::CopyClipTo(Clip(), folder, "a b \"q\" $HOME `x`;\u00fc time=90 take.mp4");
    const QString output = dir.filePath("out 'b' \"q\" $(id) `y`;\u00e9\u65e5 time=300.mp4");

    CVideoConv job;
    JobLog log(job);
    EXPECT_TRUE(job.IsFileSupported(input));
    job.StopConversion();  // before any run: no effect
    SetUpCut(job, input, output);
    job.StartConversion();

    EXPECT_EQ(job.Outcome(), CutOutcome::Succeeded);
    EXPECT_TRUE(Fake().messages.isEmpty());
    ASSERT_GE(log.events.size(), 2);
    EXPECT_EQ(log.events.first(), "S:Starting...");
    for (const QString& e : log.events.mid(1)) {
        ASSERT_TRUE(e.startsWith("P:")) << e.toStdString();
        EXPECT_TRUE(e.mid(2).toInt() >= 0 && e.mid(2).toInt() <= 105) << e.toStdString();
    }
    EXPECT_GE(log.events.last().mid(2).toInt(), 95);
    EXPECT_NEAR(test::ProbeDuration(output), 2.0, 0.2);
}

TEST_F(EncoderJobTest, FailedRunsSayWhyFirstAndKeepTheWholeReportBehindTheDetails)
{
    const QString text = dir.filePath("notes.txt");
    QFile file(text);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write("only a few words of text\n") > 0);
    file.close();
    CVideoConv probe;
    EXPECT_FALSE(probe.IsFileSupported(text));
    EXPECT_TRUE(Fake().messages.isEmpty());

    QString why;
    struct Case { const char* name; QString input, output, params; qint32 start; QString head, cause; std::function<void(CVideoConv&)> during; };
    QList<Case> cases = {
        {"unknown codec", Clip(), dir.filePath("a.mp4"), "-vcodec nosuchcodec -y", 1, "Error converting file: ", "nosuchcodec", {}},
        {"text input", text, dir.filePath("b.mp4"), "-t 2 -y", 1, "Error converting file: notes.txt\r\n", "Invalid data found", {}},
        {"selection beyond the end", Clip(), dir.filePath("c.mp4"), "-t 2 -y", 30, "The cut produced no video: ", "no picture and no sound", {}},
        {"encoder killed", Clip(), dir.filePath("d.mkv"), "-vf realtime -t 2 -y", 1, "Error converting file: ", "ended abnormally",
         [](CVideoConv& job) { for (const QString& id : test::ProcessesMentioning(job.OutputFile())) ::kill(id.toInt(), SIGKILL); }},
        {"output folder removed", Clip(), dir.filePath("gone/e.mkv"), "-vf realtime -t 2 -y", 1, "The cut produced no video: ", "does not exist",
         [](CVideoConv& job) { QDir(QFileInfo(job.OutputFile()).path()).removeRecursively(); }},
    };
    QDir().mkpath(dir.filePath("gone"));
    if (const QString full = Mount("full", "size=256k", why); !full.isEmpty())
        cases.append({"disk full", Clip(), full + "/f.mkv", "-c:v rawvideo -t 2 -y", 1, "Error converting file: ", "No space left on device", {}});
    if (const QString ro = Mount("ro", "ro,size=64k", why); !ro.isEmpty())
        cases.append({"read-only disk", Clip(), ro + "/g.mp4", "-t 2 -y", 1, "Error converting file: ", "Read-only file system", {}});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Fake().reset();
        CVideoConv job;
        JobLog log(job);
        SetUpCut(job, c.input, c.output, c.params, c.start);
        QTimer trigger;  // acts once the encoder has shown progress
        QObject::connect(&trigger, &QTimer::timeout, [&] {
            if (log.events.contains("P:0") || log.events.size() > 2) { trigger.stop(); c.during(job); }
        });
        if (c.during)
            trigger.start(5);
        job.StartConversion();

        EXPECT_EQ(job.Outcome(), CutOutcome::Failed);
        EXPECT_EQ(log.events.last(), "S:Error");
        ASSERT_EQ(Fake().messages.size(), 1);
        const auto& box = Fake().messages[0];
        EXPECT_EQ(box.style, 16);
        EXPECT_TRUE(box.text.startsWith(c.head)) << box.text.toStdString();
        EXPECT_TRUE(box.text.contains(c.cause)) << box.text.toStdString();
        EXPECT_LE(box.text.count('\n'), 12) << box.text.toStdString();
        EXPECT_FALSE(box.text.contains("Stream mapping")) << box.text.toStdString();
        EXPECT_FALSE(box.details.isEmpty());
    }
    if (!why.isEmpty())
        std::cout << "[ NOTE ] full and read-only disks: " << why.toStdString() << std::endl;
}

TEST_F(EncoderJobTest, MissingEncoderIsNamedOnceAndNothingRuns)
{
    Fake().folderOverride = dir.path();  // holds no encoder
    const QString expected = "The encoder was not found: " + dir.path() + "/ffmpeg";
    CVideoConv job;
    EXPECT_FALSE(job.IsFileSupported(Clip()));
    EXPECT_TRUE(job.ProbeFailureShown());
    SetUpCut(job, Clip(), dir.filePath("out.mp4"));
    job.StartConversion();
    EXPECT_EQ(job.Outcome(), CutOutcome::NotRun);
    ASSERT_EQ(Fake().messages.size(), 2);
    EXPECT_EQ(Fake().messages[0].text, expected);
    EXPECT_EQ(Fake().messages[1].text, expected);
}

// Stopped as it starts, stopped or deleted while the encoder waits for input:
// no encoder lives on, no error is shown.
TEST_F(EncoderJobTest, StoppedOrDeletedJobLeavesNoEncoderRunning)
{
    enum How { StopWhileStarting, Stop, Delete };
    for (const How how : {StopWhileStarting, Stop, Delete}) {
        SCOPED_TRACE(int(how));
        Fake().reset();
        const QString output = dir.filePath(QStringLiteral("out%1.mkv").arg(int(how)));
        QPointer<CVideoConv> job = new CVideoConv;
        JobLog log(*job);
        SetUpCut(*job, Clip(), output, "-vf realtime -t 2 -y");
        QTimer trigger;
        QObject::connect(&trigger, &QTimer::timeout, [&] {
            const bool starting = how == StopWhileStarting && log.events == QStringList{"S:Starting..."};
            if (!starting && (how == StopWhileStarting || test::ProcessesMentioning(output).isEmpty()))
                return;
            trigger.stop();
            how == Delete ? delete job.data() : job->StopConversion();
        });
        trigger.start(1);
        job->StartConversion();

        EXPECT_EQ(job.isNull(), how == Delete);
        if (job) {
            EXPECT_EQ(job->Outcome(), CutOutcome::Stopped);
            EXPECT_EQ(log.events.last(), "S:Cancelled");
        }
        EXPECT_TRUE(Fake().messages.isEmpty());
        EXPECT_TRUE(test::ProcessesMentioning(output).isEmpty());
        delete job.data();
    }
}

// The hash of the first picture of `path` (cut from `from` seconds on).
QString FirstPicture(const QString& path, const QString& from = {})
{
    QStringList args{"-nostdin", "-v", "error", "-i", path};
    if (!from.isEmpty())
        args << "-ss" << from;
    QString out;
    test::RunProgram(test::FfmpegPath(), args + QStringList{"-an", "-frames:v", "1", "-f", "framemd5", "-"}, &out);
    const QStringList lines = out.split('\n', Qt::SkipEmptyParts);
    return lines.isEmpty() || lines.last().startsWith('#') ? QString() : lines.last().section(',', -1).trimmed();
}

// Decoding from the beginning is the reference; the cut's first picture is
// the source's picture at the mark in every container, also where the input
// seek is not exact (MPEG-TS starting at 11.4 s, MPEG-PS).
TEST_F(EncoderJobTest, CutStartsOnThePictureAtTheMarkInEveryContainer)
{
    struct Case { QString container, video, audio; QStringList extra; };
    const Case cases[] = {
        {"mp4", "libx264", "aac", {}},     {"mkv", "libx264", "aac", {}},  {"mov", "libx264", "aac", {}},
        {"avi", "mpeg4", "libmp3lame", {}}, {"flv", "flv", "libmp3lame", {}}, {"wmv", "wmv2", "wmav2", {}},
        {"mpg", "mpeg2video", "mp2", {}},  {"ts", "libx264", "aac", {"-output_ts_offset", "10"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.container.toStdString());
        test::ClipRecipe recipe;
        recipe.seconds = 12, recipe.container = c.container, recipe.videoCodec = c.video, recipe.audioCodec = c.audio;
        recipe.extraOutputArgs = c.extra;
        recipe.baseName = "marks";
        const QString clip = test::MakeClip(recipe);
        for (const qint32 mark : {5, 7}) {
            const QString output = dir.filePath(QStringLiteral("cut%1.mkv").arg(mark));
            CVideoConv job;
            SetUpCut(job, clip, output, "-t 2 -an -c:v ffv1 -y", mark);
            job.StartConversion();
            ASSERT_TRUE(job.Succeeded()) << Fake().messages.value(0).text.toStdString();
            const QString expected = FirstPicture(clip, QString::number(mark));
            ASSERT_FALSE(expected.isEmpty());
            EXPECT_EQ(FirstPicture(output), expected) << "mark " << mark;
        }
    }
}

}  // namespace
}  // namespace clip
