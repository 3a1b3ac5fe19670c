// How a job reads the encoder's report: only its status lines move the
// progress. (Jobs against the real encoder, their outcomes and failure boxes:
// the window's tests, tests/mainwindow/CutJobTest and CutSelectionTest.)
#include "engine/CVideoConv.h"

#include "support/TestClips.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace clip {

class CVideoConvTestAccess {
public:
    static void Receive(CVideoConv& job, QString chunk) { job.objDOS_ReceiveOutputs(chunk); }
    static bool NeedsExactSeek(CVideoConv& job) { return job.InputNeedsExactSeek(); }
};

namespace {

using Access = CVideoConvTestAccess;

TEST(CVideoConvReport, OnlyStatusLinesMoveTheProgress)
{
    struct Case { float length; QStringList chunks; QStringList events; };
    const Case cases[] = {
        {30, {"frame=  10 fps=0 size=1kB time=00:00:12.40 bitrate=1\r"}, {"P:40"}},
        {10, {"size=  1kB time=5.5 x\r", "size=  1kB time=4.5 x\r"}, {"P:60", "P:40"}},  // halves to even
        {10, {"frame=1 time=00:0", "0:04.00 x\r"}, {"P:40"}},  // a line cut by the chunk's end waits for its rest
        {10, {"frame=1 time=3 x", ""}, {"P:30"}},               // the end of the data completes the last line
        {10, {"frame=1 time=N/A x\r", "frame=1 time=-00:00:00.02 x\r"}, {"P:0"}},
        // File names echoed by the encoder are not its status.
        {10, {"Input #0, mov, from '/v/time=90 take.mp4':\n", "  Duration: 00:00:09.00, start: 0\n"}, {}},
        // A damaged frame during a cut is no verdict on the input.
        {10, {"[aac @ 0x1] x: Invalid data found when processing input\nframe=1 time=2 x\r"}, {"P:20"}},
        {0, {"size=1kB time=00:01:02.50 x\r", "frame=2 time=7.20 x\n"}, {"S:62.50 Seconds Converted", "S:7.20 Seconds Converted"}},
        {10, {"Cancelled"}, {"S:Cancelled"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.chunks.join("|").toStdString());
        CVideoConv job;
        QStringList events;
        QObject::connect(&job, &CVideoConv::CurrentStatus, [&](QString& s) { events << "S:" + s; });
        QObject::connect(&job, &CVideoConv::Progress, [&](qint16& p) { events << "P:" + QString::number(p); });
        job.setFileTimeLength(c.length);
        for (const QString& chunk : c.chunks)
            Access::Receive(job, chunk);
        EXPECT_EQ(events, c.events);
    }
}

// What the load's look at a file says about its seek serves the cut, as long as the file is the same.
TEST(CVideoConvSeek, TheLoadsLookServesTheCutOfTheSameFileOnly)
{
    test::ClipRecipe recipe;
    const QString mp4 = test::MakeClip(recipe);
    recipe.container = "ts";
    const QString ts = test::MakeClip(recipe);
    QTemporaryDir dir;
    const QString path = dir.filePath("clip.mp4");
    ASSERT_TRUE(QFile::copy(mp4, path));
    CVideoConv job;
    job.setInputFile(path);
    ASSERT_TRUE(job.IsFileSupported(path));
    EXPECT_FALSE(Access::NeedsExactSeek(job));
    // Replaced under the same name by a transport stream, which has no index to seek by.
    ASSERT_TRUE(QFile::remove(path) && QFile::copy(ts, path));
    EXPECT_TRUE(Access::NeedsExactSeek(job));
    ASSERT_TRUE(job.IsFileSupported(path));
    EXPECT_TRUE(Access::NeedsExactSeek(job));
}

}  // namespace
}  // namespace clip
