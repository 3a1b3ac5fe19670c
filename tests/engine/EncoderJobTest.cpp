// Jobs run against the real encoder on small generated clips: the outcome of
// each run, what a failure says, and where a cut starts in every container.
#include "engine/CVideoConv.h"

#include "engine/EngineTestUtil.h"
#include "support/FakeHost.h"
#include "support/TestClips.h"

#include <QFileInfo>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

#include <sys/mount.h>
#include <unistd.h>

namespace clip {
namespace {

using test::Fake;

QString Clip() { return test::MakeClip(test::ClipRecipe{}); }  // 4 s, 160x120

void SetUpCut(CVideoConv& job, const QString& input, const QString& output, const QString& params, qint32 start = 1)
{
    job.setInputFile(input), job.setOutputFile(output), job.setParametrs(params);
    job.setStartTime(start), job.setFileTimeLength(2.0f);
}

// Awkward paths everywhere, an echoed "time=" and a folder named like the
// probe's marker: the probe accepts, the progress stays within 0..100.
TEST(EncoderJob, CutSucceedsWithProgressUpToTheEnd)
{
    QTemporaryDir dir;
    const QString folder = dir.filePath("my programs/Unknown Format");
    ASSERT_TRUE(QDir().mkpath(folder));
    for (const QString& program : {test::FfmpegPath(), test::FfprobePath()})
        ASSERT_TRUE(QFile::link(QFileInfo(program).canonicalFilePath(), folder + "/" + QFileInfo(program).fileName()));
    Fake().folderOverride = folder;
    const QString input = test::CopyClipTo(Clip(), folder, "a b \"q\" $HOME `x`;\u00fc time=90 take.mp4");
    const QString output = dir.filePath("out 'b' \"q\" $(id) `y`;\u00e9\u65e5 time=300.mp4");
    CVideoConv job;
    test::JobLog log(job);
    EXPECT_TRUE(job.IsFileSupported(input));
    SetUpCut(job, input, output, "-t 2 -y");
    job.StartConversion();

    EXPECT_TRUE(job.Outcome() == CutOutcome::Succeeded && Fake().messages.isEmpty());
    ASSERT_GE(log.events.size(), 2);
    EXPECT_EQ(log.events.takeFirst(), "S:Starting...");
    for (const QString& e : log.events)
        EXPECT_TRUE(e.startsWith("P:") && e.mid(2).toInt() >= 0 && e.mid(2).toInt() <= 105) << e.toStdString();
    EXPECT_GE(log.events.last().mid(2).toInt(), 95);
    EXPECT_NEAR(test::ProbeDuration(output), 2.0, 0.2);
}

// The box leads with the cause, the whole report sits behind its details. A
// full or read-only disk is a small file system mounted here when the test
// runs as root.
TEST(EncoderJob, FailedRunsSayWhyFirst)
{
    QTemporaryDir dir;
    QFile text(dir.filePath("notes.txt"));
    ASSERT_TRUE(text.open(QIODevice::WriteOnly) && text.write("only a few words of text\n") > 0);
    text.close();
    EXPECT_FALSE(CVideoConv().IsFileSupported(text.fileName()));
    struct Case { QString output, params, input, head, cause; unsigned long mount = ~0ul; };
    const Case cases[] = {
        {"a.mp4", "-vcodec nosuchcodec -y", Clip(), "Error converting file: ", "nosuchcodec"},
        {"b.mp4", "-t 2 -y", text.fileName(), "Error converting file: notes.txt\r\n", "Invalid data found"},
        {"gone/c.mkv", "-vf realtime -t 2 -y", Clip(), "The cut produced no video: ", "does not exist"},  // folder removed
        {"full/d.mkv", "-c:v rawvideo -t 2 -y", Clip(), "Error converting file: ", "No space left on device", 0},
        {"ro/e.mp4", "-t 2 -y", Clip(), "Error converting file: ", "Read-only file system", MS_RDONLY},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.output.toStdString());
        Fake().reset();
        const QString output = dir.filePath(c.output), folder = QFileInfo(output).path();
        QDir().mkpath(folder);
        if (c.mount != ~0ul && (::geteuid() != 0 || ::mount("tmpfs", qPrintable(folder), "tmpfs", c.mount, "size=256k") != 0)) {
            std::cout << "[ SKIPPED ] " << c.cause.toStdString() << ": mounting a small disk needs root" << std::endl;
            continue;
        }
        CVideoConv job;
        test::JobLog log(job);
        SetUpCut(job, c.input, output, c.params);
        QTimer remover;  // the folder goes once the encoder writes
        QObject::connect(&remover, &QTimer::timeout, [&] { if (log.events.size() > 1) QDir(folder).removeRecursively(); });
        if (c.output.startsWith("gone"))
            remover.start(5);
        job.StartConversion();
        if (c.mount != ~0ul)
            ::umount2(qPrintable(folder), MNT_DETACH);

        EXPECT_TRUE(job.Outcome() == CutOutcome::Failed && log.events.last() == "S:Error");
        ASSERT_EQ(Fake().messages.size(), 1);
        const auto& box = Fake().messages[0];
        EXPECT_TRUE(box.text.startsWith(c.head) && box.text.contains(c.cause)) << box.text.toStdString();
        EXPECT_LE(box.text.count('\n'), 11) << box.text.toStdString();
        EXPECT_TRUE(!box.text.contains("Stream mapping") && !box.details.isEmpty()) << box.text.toStdString();
    }
}

TEST(EncoderJob, MissingEncoderIsNamedOnceAndNothingRuns)
{
    QTemporaryDir dir;
    Fake().folderOverride = dir.path();  // holds no encoder
    CVideoConv job;
    EXPECT_TRUE(!job.IsFileSupported(Clip()) && job.ProbeFailureShown());
    SetUpCut(job, Clip(), dir.filePath("out.mp4"), "-t 2 -y");
    job.StartConversion();
    EXPECT_EQ(job.Outcome(), CutOutcome::NotRun);
    EXPECT_EQ(Fake().messages.size(), 2);
    for (const auto& box : Fake().messages)
        EXPECT_EQ(box.text, "The encoder was not found: " + dir.path() + "/ffmpeg, ffmpeg on the PATH");
}

// The hash of the first picture of `path`, decoded from `from` seconds on.
QString FirstPicture(const QString& path, const QString& from = "0")
{
    QString out;
    test::RunProgram(test::FfmpegPath(), {"-nostdin", "-v", "error", "-i", path, "-ss", from, "-an", "-frames:v", "1", "-f", "framemd5", "-"}, &out);
    const QString last = out.split('\n', Qt::SkipEmptyParts).value(out.count('\n') - 1);
    return last.startsWith('#') ? QString() : last.section(',', -1).trimmed();
}

// Decoding from the beginning is the reference; the cut's first picture is
// the source's picture at the mark in every container the file dialog
// offers, also where the input seek is not exact (MPEG-TS whose timestamps
// start at 11.4 s with key frames 10 s apart, MPEG-PS).
TEST(EncoderJob, CutStartsOnThePictureAtTheMarkInEveryContainer)
{
    QTemporaryDir dir;
    const QStringList cases[] = {{"mp4", "libx264", "aac"}, {"mkv", "libx264", "aac"}, {"mov", "libx264", "aac"},
                                 {"avi", "mpeg4", "libmp3lame"}, {"flv", "flv", "libmp3lame"}, {"wmv", "wmv2", "wmav2"},
                                 {"mpg", "mpeg2video", "mp2"}, {"ts", "libx264", "aac", "-output_ts_offset", "10"}};
    for (const QStringList& c : cases) {
        SCOPED_TRACE(c[0].toStdString());
        test::ClipRecipe recipe;
        recipe.seconds = 12, recipe.container = c[0], recipe.videoCodec = c[1], recipe.audioCodec = c[2];
        recipe.extraOutputArgs = c.mid(3), recipe.baseName = "marks";
        const QString clip = test::MakeClip(recipe);
        for (const qint32 mark : {5, 7}) {
            CVideoConv job;
            SetUpCut(job, clip, dir.filePath("cut.mkv"), "-t 2 -an -c:v ffv1 -y", mark);
            job.StartConversion();
            ASSERT_TRUE(job.Succeeded()) << Fake().messages.value(0).text.toStdString();
            const QString expected = FirstPicture(clip, QString::number(mark));
            ASSERT_FALSE(expected.isEmpty());
            EXPECT_EQ(FirstPicture(dir.filePath("cut.mkv")), expected) << "mark " << mark;
        }
    }
}

}  // namespace
}  // namespace clip
