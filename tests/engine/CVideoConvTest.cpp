// How a job reads the encoder's report: only its status lines move the
// progress; how a result's length is read and judged against the selection. (Jobs against the real encoder, their outcomes and failure boxes:
// the window's tests, tests/mainwindow/CutJobTest, and TimeOriginTest.)
#include "engine/CVideoConv.h"
#include "engine/OutputLength.h"
#include "support/TestClips.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace clip {

class CVideoConvTestAccess {
public:
    static void Receive(CVideoConv& job, QString chunk) { job.objDOS_ReceiveOutputs(chunk); }
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

// A result may fall two pictures short (a tenth of a second without pictures);
// the picture time is the video stream's, whatever the streams' order.
TEST(OutputLength, ReadsTheProbeAndAllowsTwoPicturesShort)
{
    const MediaLength ntsc = ParseMediaLength("codec_type=audio\navg_frame_rate=0/0\ncodec_type=video\n"
                                              "avg_frame_rate=30000/1001\nduration=8.008000\n");
    EXPECT_TRUE(ntsc.seconds == 8.008 && ntsc.frameSeconds && std::abs(*ntsc.frameSeconds - 1001.0 / 30000) < 1e-9);
    const MediaLength sound = ParseMediaLength("codec_type=audio\navg_frame_rate=0/0\nduration=N/A\n");
    EXPECT_FALSE(sound.seconds || sound.frameSeconds);

    const struct { double held; std::optional<double> frame; bool shortOne; } cases[] = {
        {7.92, 0.04, false}, {7.95, 0.04, false}, {7.90, 0.04, true}, {3.92, 0.04, true},
        {7.91, std::nullopt, false}, {7.85, std::nullopt, true}, {9.0, 0.04, false}, {0.0, 0.5, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.held);
        const QString problem = ShortOutputProblem("/v/in put.mp4", 8.0, c.held, c.frame);
        EXPECT_EQ(problem.isEmpty(), !c.shortOne);
        if (c.shortOne) {
            EXPECT_TRUE(problem.contains(QString::number(c.held, 'f', 2) + " of the 8.00 seconds")
                        && problem.contains("/v/in put.mp4 ended early or is damaged")) << problem.toStdString();
        }
    }
}

// A cut takes the load's probe of its input only while the file is the one probed: a file put in its place
// since is probed anew (here one whose time starts at 10 s).
TEST(CVideoConv, ProbesAnInputReplacedSinceItsLastProbeAnew)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("in.mp4"), picture = "testsrc2=size=160x120:rate=25:duration=2";
    const QString later = test::MakeFile("later", "mp4", {"-f", "lavfi", "-i", picture, "-output_ts_offset", "10"});
    ASSERT_TRUE(QFile::copy(test::MakeFile("early", "mp4", {"-f", "lavfi", "-i", picture}), path));
    CVideoConv load, cut;
    EXPECT_EQ(load.ProbeTimeOrigin(path).value_or(TimeOrigin()).ContainerStart(), 0.0);
    ASSERT_TRUE(QFile::remove(path) && QFile::copy(later, path));
    EXPECT_NEAR(cut.ProbeTimeOrigin(path).value_or(TimeOrigin()).ContainerStart(), 10.0, 0.1);
}

}  // namespace
}  // namespace clip
