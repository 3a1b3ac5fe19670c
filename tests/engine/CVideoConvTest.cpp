#include "engine/CVideoConv.h"

#include "engine/EngineTestUtil.h"
#include "support/FakeHost.h"

#include <QProcess>
#include <gtest/gtest.h>

#include <optional>

namespace clip {

class CVideoConvTestAccess {
public:
    static QString BuildCommandLine(const CVideoConv& job) { return job.BuildCommandLine(); }
    static void Receive(CVideoConv& job, QString chunk) { job.objDOS_ReceiveOutputs(chunk); }
    static QString Trim(const QString& text) { return CVideoConv::TrimEncoderOutput(text); }
};

namespace {

using test::Fake;
using Access = CVideoConvTestAccess;

TEST(CVideoConvCommandLine, HoldsTheEncoderThenTheStartThenQuotedPathsAroundTheArguments)
{
    struct Case { QString folder, input, params, output; std::optional<qint32> start; QString expected; };
    const Case cases[] = {
        {"/opt/app", "/in/a.mp4", "-vcodec x -y", "/out/b.mp4", {}, R"(/opt/app/ffmpeg -i "/in/a.mp4" -vcodec x -y "/out/b.mp4")"},
        // The start stands before the input, the options keep their order after it.
        {"/opt/app", "/in/a.mp4", "-vcodec x -t 5 -y", "/out/b.mp4", 540,
         R"(/opt/app/ffmpeg -ss 540 -i "/in/a.mp4" -vcodec x -t 5 -y "/out/b.mp4")"},
        {"/opt/app", "/in/a.mp4", "-t 5 -y", "/out/b.mp4", 0, R"(/opt/app/ffmpeg -ss 0 -i "/in/a.mp4" -t 5 -y "/out/b.mp4")"},
        {"/opt/app", "/in/a.mp4", "-t 1 -y", "/out/b.mp4", 2147483646,
         R"(/opt/app/ffmpeg -ss 2147483646 -i "/in/a.mp4" -t 1 -y "/out/b.mp4")"},
        // No arguments: the two separating blanks stay.
        {"/opt/app", "/in/a.mp4", "", "/out/b.mp4", {}, R"(/opt/app/ffmpeg -i "/in/a.mp4"  "/out/b.mp4")"},
        // A quote inside a path is written as three.
        {"/opt/app", R"(/in/say "hi".mp4)", "-y", "/o.mp4", {}, R"(/opt/app/ffmpeg -i "/in/say """hi""".mp4" -y "/o.mp4")"},
        // A program folder with a blank is quoted, or it would split.
        {"/opt/my app", "/i.mp4", "-y", "/o.mp4", 3, R"("/opt/my app/ffmpeg" -ss 3 -i "/i.mp4" -y "/o.mp4")"},
    };
    for (const Case& c : cases) {
        Fake().folderOverride = c.folder;
        CVideoConv job;
        job.setInputFile(c.input);
        job.setOutputFile(c.output);
        job.setParametrs(c.params);
        if (c.start)
            job.setStartTime(*c.start);
        EXPECT_EQ(Access::BuildCommandLine(job), c.expected);
    }
}

TEST(CVideoConvCommandLine, SplitsBackIntoTheExactPaths)
{
    const QStringList awkward = {
        "/tmp/a b \"q\" $HOME `x`;\u00fc.mp4", "/tmp/\"\"\"", "/tmp/\"start", "/tmp/end\"", "/t/new\nline", "/t/\u65e5\u672c.mkv",
    };
    Fake().folderOverride = "/opt/my \"odd\" app";
    for (const QString& path : awkward) {
        CVideoConv job;
        job.setInputFile(path);
        job.setOutputFile(path + ".out");
        job.setParametrs("-t 2 -y");
        job.setStartTime(1);
        const QStringList expected = {"/opt/my \"odd\" app/ffmpeg", "-ss", "1", "-i", path, "-t", "2", "-y", path + ".out"};
        EXPECT_EQ(QProcess::splitCommand(Access::BuildCommandLine(job)), expected) << path.toStdString();
    }
}

TEST(CVideoConvChunks, TurnTimesIntoProgressAndStatus)
{
    struct Case { float length; QString chunk; QStringList events; };
    const Case cases[] = {
        {30, "frame=  10 size=1kB time=12.40 bitrate=1", {"P:40"}},
        {10, "time=5.5 x", {"P:60"}},  // 5.5 s becomes 6 s (halves to even)
        {10, "time=4.5 x", {"P:40"}},  // 4.5 s becomes 4 s
        {10, "time=00:00:05.50 bitrate", {"P:60"}},
        {10, "TIME=3 x", {"P:30"}},
        {10, "time=20 x", {"P:200"}},  // beyond the length: passed on
        {10, "time=-00:00:00.02 x", {"P:0"}},
        {10, "time=1 later time=9 x", {"P:10"}},  // only the first counts
        {8, "time=1 x", {"P:12"}},  // 12.5 goes to the even neighbour
        {10, "time=5.5", {}},  // cut by the chunk's end
        {10, "time=N/A bitrate", {}},
        {10, "time=abc x", {}},
        {0.001f, "time=100 x", {}},  // does not fit the progress value
        {10, "no time here", {}},
        {10, "", {}},
        {0, "time=7.20 x", {"S:7.20 Seconds Converted"}},
        {0, "time=00:01:02.50 x", {"S:62.50 Seconds Converted"}},
        {-1, "time=5.5", {"S: Seconds Converted"}},
        {0, "time=N/A x", {}},
        {10, "Unknown format time=5 x", {"S:Unknown format", "P:-1"}},
        {0, "x: invalid data found when processing input", {"S:Unknown format", "P:-1"}},
        {10, "Cancelled", {"S:Cancelled"}},
        {10, "cancelled", {}},
        {10, "Cancelled.", {}},
    };
    for (const Case& c : cases) {
        CVideoConv job;
        test::JobLog log(job);
        job.setFileTimeLength(c.length);
        Access::Receive(job, c.chunk);
        EXPECT_EQ(log.events, c.events) << c.length << " / " << c.chunk.toStdString();
    }
}

TEST(CVideoConvChunks, JobDeletedByItsStatusHandlerRaisesNothingMore)
{
    auto* job = new CVideoConv;
    int progressEvents = 0;
    QObject::connect(job, &CVideoConv::CurrentStatus, [&](QString&) { delete job; });
    QObject::connect(job, &CVideoConv::Progress, [&](qint16&) { ++progressEvents; });
    Access::Receive(*job, "Unknown format");
    EXPECT_EQ(progressEvents, 0);
}

TEST(CVideoConvReport, KeepsWhatFollowsTheMarkersLines)
{
    struct Case { QString text, expected; };
    const Case cases[] = {
        {"", ""},
        {"  \r\n ", ""},
        {"nothing known\r\nhere\r\n", ""},
        // "Input #": its line and three more are dropped.
        {"head\r\nInput #0, x\r\nl1\r\nl2\r\nl3\r\nrest\r\nend", "\nrest\r\nend"},
        {"built on gcc\r\nlast", "\nlast"},
        {"  built with gcc 12\nlast line\n", "\nlast line\n"},
        {"Input #0\nStream mapping:\n a\n b\n c\nerror", "\n c\nerror"},  // mapping wins
        {"x\r\nSTREAM MAPPING:\r\n a\r\n b\r\n c", "\n c"},
        // Too few line breaks: the search starts over from the top.
        {"built on gcc", "built on gcc"},
        {"Input #0 a\r\nb", "Input #0 a\r\nb"},
        {"z\nInput #0 a\nb", "\nb"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Access::Trim(c.text), c.expected) << c.text.toStdString();
}

}  // namespace
}  // namespace clip
