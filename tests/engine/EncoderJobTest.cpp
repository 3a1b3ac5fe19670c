// Jobs run against the real encoder on small generated clips.
#include "engine/CVideoConv.h"

#include "engine/EngineTestUtil.h"
#include "support/FakeHost.h"
#include "support/TestClips.h"

#include <QFileInfo>
#include <QPointer>
#include <QTimer>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace clip {
namespace {

using test::Fake;
using test::JobLog;

class EncoderJobTest : public ::testing::Test {
protected:
    QTemporaryDir dir;

    static QString Clip() { return test::MakeClip(test::ClipRecipe{}); }  // 4 s, 160x120
    static QString ErrorHead(const QString& input) { return "Error converting file: " + QFileInfo(input).fileName() + "\r\n"; }

    // Cuts seconds 1..3 of `input` into `output`.
    static void SetUpCut(CVideoConv& job, const QString& input, const QString& output, const QString& params = "-t 2 -y")
    {
        job.setInputFile(input);
        job.setOutputFile(output);
        job.setParametrs(params);
        job.setStartTime(1);
        job.setFileTimeLength(2.0f);
    }

    // A named pipe nobody writes to: the encoder reading it waits until the
    // test ends it. Should a stop not work, a writer that comes and goes after
    // a long while lets the encoder fail, so the test fails instead of hanging.
    QString Fifo(const QString& name)
    {
        const QString path = dir.filePath(name);
        ::mkfifo(QFile::encodeName(path).constData(), 0600);
        QTimer::singleShot(20000, [path] {
            const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_NONBLOCK);
            if (fd >= 0)
                ::close(fd);
        });
        return path;
    }
};

// A plain cut, and one whose paths and program folder hold blanks, quotes
// and shell characters.
TEST_F(EncoderJobTest, CutSucceedsWithProgressUpToTheEnd)
{
    const QString awkwardFolder = dir.filePath("my programs");
    ASSERT_TRUE(QDir().mkpath(awkwardFolder));
    ASSERT_TRUE(QFile::link(QFileInfo(test::FfmpegPath()).canonicalFilePath(), awkwardFolder + "/ffmpeg"));

    for (const bool awkward : {false, true}) {
        SCOPED_TRACE(awkward ? "awkward paths" : "plain paths");
        Fake().reset();
        QString input = Clip();
        QString output = dir.filePath("cut.mp4");
        if (awkward) {
            Fake().folderOverride = awkwardFolder;
            input = test::CopyClipTo(Clip(), dir.path(), "a b \"q\" $HOME `x`;\u00fc.mp4");
            output = dir.filePath("out 'b' \"q\" $(id) `y`;\u00e9\u65e5.mp4");
        }
        CVideoConv job;
        JobLog log(job);
        EXPECT_TRUE(job.IsFileSupported(input));
        job.StopConversion();  // before any run: no effect
        SetUpCut(job, input, output);
        job.StartConversion();

        EXPECT_TRUE(job.Succeeded());
        EXPECT_FALSE(job.WasStopped());
        EXPECT_EQ(log.statuses, QStringList{"Starting..."});
        EXPECT_TRUE(Fake().messages.isEmpty());
        ASSERT_FALSE(log.progress.isEmpty());
        EXPECT_GE(log.progress.last(), 95);
        EXPECT_LE(log.progress.last(), 105);
        for (int p : log.progress)
            EXPECT_GE(p, 0);
        EXPECT_NEAR(test::ProbeDuration(output), 2.0, 0.2);
    }
}

// The probe refuses a text file; jobs that fail show the encoder's complaint
// without its header.
TEST_F(EncoderJobTest, FailedRunRaisesErrorAndShowsTheEncodersComplaint)
{
    const QString text = dir.filePath("notes.txt");
    QFile file(text);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("this is not a video, only a few words of text\n");
    file.close();
    CVideoConv probe;
    EXPECT_FALSE(probe.IsFileSupported(text));
    EXPECT_TRUE(Fake().messages.isEmpty());

    struct Case { const char* name; QString input, params; bool unknownFormat; QString reportStart, complaint; };
    const Case cases[] = {
        {"text file", text, "-t 2 -y", true, "", ""},
        {"unknown codec", Clip(), "-vcodec nosuchcodec -y", false, "\n", "nosuchcodec"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Fake().reset();
        const QString output = dir.filePath("out.mp4");
        CVideoConv job;
        JobLog log(job);
        SetUpCut(job, c.input, output, c.params);
        job.StartConversion();

        EXPECT_FALSE(job.Succeeded());
        EXPECT_EQ(log.statuses.contains("Unknown format"), c.unknownFormat);
        EXPECT_EQ(log.progress.contains(-1), c.unknownFormat);
        EXPECT_EQ(log.statuses.first(), "Starting...");
        EXPECT_EQ(log.statuses.last(), "Error");
        ASSERT_EQ(Fake().messages.size(), 1);
        const QString report = Fake().messages[0].text;
        EXPECT_EQ(Fake().messages[0].style, 16);
        EXPECT_TRUE(report.startsWith(ErrorHead(c.input) + c.reportStart)) << report.toStdString();
        EXPECT_TRUE(report.contains(c.complaint));
        EXPECT_FALSE(report.contains("Input #"));
        EXPECT_FALSE(QFileInfo::exists(output));
    }
}

TEST_F(EncoderJobTest, MissingEncoderGivesTheRunnersMessageAndTheError)
{
    Fake().folderOverride = dir.path();  // holds no encoder
    CVideoConv job;
    JobLog log(job);
    SetUpCut(job, Clip(), dir.filePath("out.mp4"));
    job.StartConversion();

    EXPECT_FALSE(job.Succeeded());
    EXPECT_EQ(log.statuses, (QStringList{"Starting...", "Error"}));
    ASSERT_EQ(Fake().messages.size(), 2);
    EXPECT_EQ(Fake().messages[0].text, "File or command not found");
    EXPECT_EQ(Fake().messages[1].text, ErrorHead(Clip()));
    EXPECT_EQ(Fake().messages[1].style, 16);

    // The probe cannot tell and lets the file through.
    Fake().messages.clear();
    EXPECT_TRUE(job.IsFileSupported(Clip()));
    ASSERT_EQ(Fake().messages.size(), 1);
    EXPECT_EQ(Fake().messages[0].text, "File or command not found");
}

// Stopped as it starts, stopped or deleted while the encoder waits for input:
// no encoder lives on, no error is shown, and nothing is written.
TEST_F(EncoderJobTest, StoppedOrDeletedJobLeavesNoEncoderRunning)
{
    enum How { StopWhileStarting, Stop, Delete };
    for (const How how : {StopWhileStarting, Stop, Delete}) {
        SCOPED_TRACE(int(how));
        Fake().reset();
        const QString output = dir.filePath(QStringLiteral("out%1.mp4").arg(int(how)));
        QPointer<CVideoConv> job = new CVideoConv;
        JobLog log(*job);
        SetUpCut(*job, how == StopWhileStarting ? Clip() : Fifo(QStringLiteral("never%1.mp4").arg(int(how))), output);
        if (how == StopWhileStarting)
            log.onStatus = [&](const QString& s) { if (s == "Starting...") job->StopConversion(); };
        else
            QTimer::singleShot(300, [&] { how == Delete ? delete job.data() : job->StopConversion(); });
        job->StartConversion();

        EXPECT_EQ(job.isNull(), how == Delete);
        if (job) {
            EXPECT_TRUE(job->WasStopped());
            EXPECT_FALSE(job->Succeeded());
            EXPECT_EQ(log.statuses, (QStringList{"Starting...", "Cancelled"}));
        }
        EXPECT_TRUE(Fake().messages.isEmpty());
        EXPECT_TRUE(test::ProcessesMentioning(output).isEmpty());
        EXPECT_FALSE(QFileInfo::exists(output));
        delete job.data();
    }
}

}  // namespace
}  // namespace clip
