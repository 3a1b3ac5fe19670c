// How a job reads the encoder's report: its status lines into progress, the
// probe's verdict, and the cause lines of a failure.
#include "engine/CVideoConv.h"

#include "engine/EngineTestUtil.h"

#include <gtest/gtest.h>

namespace clip {

class CVideoConvTestAccess {
public:
    static void Receive(CVideoConv& job, QString chunk) { job.objDOS_ReceiveOutputs(chunk); }
    static QString ErrorLines(const QString& log) { return CVideoConv::EncoderErrorLines(log); }
    static bool Unreadable(const QString& report, const QString& path) { return CVideoConv::ReportsUnreadableInput(report, path); }
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
        test::JobLog log(job);
        job.setFileTimeLength(c.length);
        for (const QString& chunk : c.chunks)
            Access::Receive(job, chunk);
        EXPECT_EQ(log.events, c.events);
    }
}

TEST(CVideoConvReport, ProbeVerdictIgnoresTheEchoedPath)
{
    struct Case { QString report, path; bool unreadable; };
    const Case cases[] = {
        {"/v/notes.txt: Invalid data found when processing input\n", "/v/notes.txt", true},
        {"x: INVALID DATA FOUND WHEN PROCESSING INPUT", "/v/a.mp4", true},
        {"Input #0, mov, from '/v/Unknown Format/a.mp4':\n  Duration: 00:00:04.00", "/v/Unknown Format/a.mp4", false},
        {"/v/Invalid data found when processing input.mp4: No such file", "/v/Invalid data found when processing input.mp4", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Access::Unreadable(c.report, c.path), c.unreadable) << c.report.toStdString();
}

TEST(CVideoConvReport, FailureCauseIsTheLastErrorLinesWithoutBannerAndListing)
{
    QString log = "ffmpeg version 5.1 Copyright\n  built with gcc 12\n  configuration: --enable-x\n"
                  "Input #0, mov,mp4, from 'a.mp4':\n  Duration: 00:00:08.00\n    Stream #0:0: Video: h264\n"
                  "Stream mapping:\n  Stream #0:0 -> #0:0 (h264 -> mpeg4)\nPress [q] to stop, [?] for help\n";
    for (int i = 0; i < 12; ++i)
        log += QString("frame=%1 time=00:00:0%2.00 bitrate=1\r[mp4 @ 0x5] write %1: No space left on device\n").arg(i).arg(i % 10);
    log += "[libx264 @ 0x6] frame I:1 Avg QP:20.00 size: 1000\nConversion failed!\n";
    const QStringList lines = Access::ErrorLines(log).split('\n');
    ASSERT_EQ(lines.size(), 10);
    EXPECT_EQ(lines.first(), "[mp4 @ 0x5] write 3: No space left on device");
    EXPECT_EQ(lines.last(), "Conversion failed!");
    // Without words of failure, the last lines stand as they are.
    EXPECT_EQ(Access::ErrorLines("banner\nline one\r\nline two\n"), "banner\nline one\nline two");
}

}  // namespace
}  // namespace clip
