// Jobs run against the real encoder on small generated clips.
#include "engine/CVideoConv.h"

#include "engine/EngineTestUtil.h"
#include "support/FakeHost.h"
#include "support/TestClips.h"

#include <QFile>
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

struct JobLog {
    QStringList statuses;
    QList<int> progress;
    std::function<void(const QString&)> onStatus;

    explicit JobLog(CVideoConv& job)
    {
        QObject::connect(&job, &CVideoConv::CurrentStatus, &job, [this](QString& s) {
            statuses << s;
            if (onStatus)
                onStatus(s);
        });
        QObject::connect(&job, &CVideoConv::Progress, &job, [this](qint16& p) { progress << p; });
    }
};

class EncoderJobTest : public ::testing::Test {
protected:
    QTemporaryDir dir;

    static QString Clip() { return test::MakeClip(test::ClipRecipe{}); }  // 4 s, 160x120

    // Cuts seconds 1..3 of `input` into `output`.
    static void SetUpCut(CVideoConv& job, const QString& input, const QString& output)
    {
        job.setInputFile(input);
        job.setOutputFile(output);
        job.setParametrs("-t 2 -y");
        job.setStartTime(1);
        job.setFileTimeLength(2.0f);
    }

    // A named pipe nobody writes to: the encoder reading it waits until the
    // test ends it. Should a stop not work, a writer that comes and goes after
    // a long while lets the encoder fail, so the test fails instead of hanging.
    QString Fifo()
    {
        const QString path = dir.filePath("never.mp4");
        ::mkfifo(QFile::encodeName(path).constData(), 0600);
        QTimer::singleShot(20000, [path] {
            const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_NONBLOCK);
            if (fd >= 0)
                ::close(fd);
        });
        return path;
    }
};

TEST_F(EncoderJobTest, CutSucceedsWithProgressUpToTheEnd)
{
    const QString output = dir.filePath("cut.mp4");
    CVideoConv job;
    JobLog log(job);
    job.StopConversion();  // before any run: no effect
    SetUpCut(job, Clip(), output);
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

TEST_F(EncoderJobTest, UnreadableInputIsRefusedByTheProbeAndFailsAJob)
{
    const QString text = dir.filePath("notes.txt");
    QFile file(text);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("this is not a video, only a few words of text\n");
    file.close();

    CVideoConv probe;
    EXPECT_FALSE(probe.IsFileSupported(text));
    EXPECT_TRUE(probe.IsFileSupported(Clip()));
    EXPECT_TRUE(Fake().messages.isEmpty());

    CVideoConv job;
    JobLog log(job);
    SetUpCut(job, text, dir.filePath("out.mp4"));
    job.StartConversion();

    EXPECT_FALSE(job.Succeeded());
    EXPECT_TRUE(log.statuses.contains("Unknown format"));
    EXPECT_TRUE(log.progress.contains(-1));
    EXPECT_EQ(log.statuses.first(), "Starting...");
    EXPECT_EQ(log.statuses.last(), "Error");
    ASSERT_EQ(Fake().messages.size(), 1);
    EXPECT_TRUE(Fake().messages[0].text.startsWith("Error converting file: notes.txt\r\n"));
    EXPECT_EQ(Fake().messages[0].style, 16);
    EXPECT_FALSE(QFileInfo::exists(dir.filePath("out.mp4")));
}

TEST_F(EncoderJobTest, FailedRunShowsTheEncodersComplaint)
{
    CVideoConv job;
    JobLog log(job);
    job.setInputFile(Clip());
    job.setOutputFile(dir.filePath("out.mp4"));
    job.setParametrs("-vcodec nosuchcodec -y");
    job.StartConversion();

    EXPECT_FALSE(job.Succeeded());
    EXPECT_EQ(log.statuses.last(), "Error");
    ASSERT_EQ(Fake().messages.size(), 1);
    const QString text = Fake().messages[0].text;
    const QString head = "Error converting file: " + QFileInfo(Clip()).fileName() + "\r\n";
    EXPECT_TRUE(text.startsWith(head + "\n")) << text.toStdString();
    EXPECT_TRUE(text.contains("nosuchcodec"));
    EXPECT_FALSE(text.contains("Input #"));  // the header is trimmed away
}

TEST_F(EncoderJobTest, AwkwardPathsRoundTripAsInputAndOutput)
{
    const QString input = test::CopyClipTo(Clip(), dir.path(), "a b \"q\" $HOME `x`;\u00fc.mp4");
    ASSERT_TRUE(QFileInfo::exists(input));
    const QString output = dir.filePath("out 'b' \"q\" $(id) `y`;\u00e9\u65e5.mp4");

    CVideoConv job;
    EXPECT_TRUE(job.IsFileSupported(input));
    SetUpCut(job, input, output);
    job.StartConversion();

    EXPECT_TRUE(job.Succeeded());
    EXPECT_TRUE(Fake().messages.isEmpty());
    EXPECT_NEAR(test::ProbeDuration(output), 2.0, 0.2);
}

TEST_F(EncoderJobTest, ProgramFolderWithBlanksStillFindsTheEncoder)
{
    const QString folder = dir.filePath("my programs");
    ASSERT_TRUE(QDir().mkpath(folder));
    ASSERT_TRUE(QFile::link(QFileInfo(test::FfmpegPath()).canonicalFilePath(), folder + "/ffmpeg"));
    Fake().folderOverride = folder;

    CVideoConv job;
    SetUpCut(job, Clip(), dir.filePath("cut.mp4"));
    job.StartConversion();
    EXPECT_TRUE(job.Succeeded());
    EXPECT_TRUE(Fake().messages.isEmpty());
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
    EXPECT_EQ(Fake().messages[0].style, 16);
    EXPECT_EQ(Fake().messages[1].text, "Error converting file: " + QFileInfo(Clip()).fileName() + "\r\n");
    EXPECT_EQ(Fake().messages[1].style, 16);

    // The probe cannot tell and lets the file through.
    Fake().messages.clear();
    EXPECT_TRUE(job.IsFileSupported(Clip()));
    ASSERT_EQ(Fake().messages.size(), 1);
    EXPECT_EQ(Fake().messages[0].text, "File or command not found");
}

TEST_F(EncoderJobTest, StoppedJobEndsTheEncoderAndShowsNoError)
{
    const QString fifo = Fifo();
    CVideoConv job;
    JobLog log(job);
    SetUpCut(job, fifo, dir.filePath("out.mp4"));
    QTimer::singleShot(300, &job, [&] { job.StopConversion(); });
    job.StartConversion();

    EXPECT_TRUE(job.WasStopped());
    EXPECT_FALSE(job.Succeeded());
    EXPECT_EQ(log.statuses, (QStringList{"Starting...", "Cancelled"}));
    EXPECT_TRUE(Fake().messages.isEmpty());
    EXPECT_TRUE(test::ProcessesMentioning(fifo).isEmpty());
}

TEST_F(EncoderJobTest, StopWhileStartingNeverStartsTheEncoder)
{
    const QString output = dir.filePath("out.mp4");
    CVideoConv job;
    JobLog log(job);
    log.onStatus = [&](const QString& s) {
        if (s == "Starting...")
            job.StopConversion();
    };
    SetUpCut(job, Clip(), output);
    job.StartConversion();

    EXPECT_TRUE(job.WasStopped());
    EXPECT_EQ(log.statuses, (QStringList{"Starting...", "Cancelled"}));
    EXPECT_FALSE(QFileInfo::exists(output));
    EXPECT_TRUE(Fake().messages.isEmpty());
}

TEST_F(EncoderJobTest, JobDeletedWhileTheEncoderRunsLeavesNothingRunning)
{
    const QString fifo = Fifo();
    QPointer<CVideoConv> job = new CVideoConv;
    SetUpCut(*job, fifo, dir.filePath("out.mp4"));
    QTimer::singleShot(300, [&] { delete job.data(); });
    job->StartConversion();

    EXPECT_TRUE(job.isNull());
    EXPECT_TRUE(test::ProcessesMentioning(fifo).isEmpty());
    EXPECT_TRUE(Fake().messages.isEmpty());
}

}  // namespace
}  // namespace clip
