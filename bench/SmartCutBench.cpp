#include "SmartCutBench.h"

#include "BenchSupport.h"

#include "cut/CutController.h"
#include "engine/SmartCutJob.h"
#include "formats/Catalogue.h"

#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cstdio>
#include <vector>

namespace clip::bench {

namespace {

constexpr double kStart = 270.52;  // the middle of ten minutes, between key frames (every 10 s)
constexpr double kLength = 60.0;

// Seconds the job took, negative when it did not succeed.
double Timed(CutJob& job, const QString& input, const QString& output, double start = kStart,
             double length = kLength)
{
    QFile::remove(output);
    job.setInputFile(input);
    job.setOutputFile(output);
    job.setStartTime(start);
    job.setFileTimeLength(float(length));
    QElapsedTimer clock;
    clock.start();
    job.StartConversion();
    const double seconds = double(clock.nsecsElapsed()) / 1e9;
    return job.Succeeded() ? seconds : -1.0;
}

// The 20-minute 720p clip of the length sweep: B-frames, a key frame every
// 2 s, AAC. Made once, cached beside the other bench clips.
QString SweepClip()
{
    if (BenchCacheFolder().isEmpty())
        return {};
    const QDir folder(BenchCacheFolder());
    const QString path = folder.filePath(QStringLiteral("testsrc2-1280x720-25fps-1200s-x264veryfast-bf3-g50-800k.mp4"));
    if (QFileInfo::exists(path))
        return path;
    std::fprintf(stderr, "making %s (once; it is cached)...\n", qPrintable(path));
    const QString partial = path + QStringLiteral(".partial.mp4");
    const QStringList args{"-nostdin", "-v", "error", "-f", "lavfi", "-i",
                           "testsrc2=size=1280x720:rate=25:duration=1200", "-f", "lavfi", "-i",
                           "sine=frequency=440:sample_rate=44100:duration=1200", "-c:v", "libx264", "-preset",
                           "veryfast", "-bf", "3", "-g", "50", "-keyint_min", "50", "-sc_threshold", "0", "-b:v",
                           "800k", "-pix_fmt", "yuv420p", "-c:a", "aac", "-b:a", "64k", "-t", "1200", "-y", partial};
    if (RunBare(Encoder(), args) < 0 || !QFile::rename(partial, path)) {
        QFile::remove(partial);
        return {};
    }
    return path;
}

// The catalogue's presets loaded into `cat`, and its MP4 stream copy among them.
const PresetEntry* CopyPreset(Catalogues& cat)
{
    QComboBox categories;
    LoadPresets(cat, &categories);
    return FindPreset(cat, QStringLiteral("Lossless"), QStringLiteral("Copy Streams (No Re-encoding)"),
                      QStringLiteral("mp4"));
}

}  // namespace

bool SmartCutLengthSweep(int reps)
{
    const QString clip = SweepClip();
    Catalogues cat;
    const PresetEntry* copy = CopyPreset(cat);
    QTemporaryDir out;
    if (clip.isEmpty() || !copy || !out.isValid())
        return false;
    constexpr double kSweepStart = 100.52;
    // The window's load of the file probes where its times start; the jobs
    // take that report, as they do after a load.
    CVideoConv().ProbeTimeOrigin(clip);
    double smart60 = 0;
    bool met = true;
    for (const double length : {60.0, 300.0, 1000.0}) {
        std::vector<double> smart, copied, encoded;
        SmartCutPlan plan;
        for (int r = 0; r < reps; ++r) {
            SmartCutJob smartJob;
            smartJob.setSelectionLength(length);
            CVideoConv copyJob;
            copyJob.setParametrs(copy->Params + QStringLiteral(" -t %1 -y").arg(length));
            smart.push_back(Timed(smartJob, clip, out.filePath(QStringLiteral("smart.mp4")), kSweepStart, length));
            copied.push_back(Timed(copyJob, clip, out.filePath(QStringLiteral("copy.mp4")), kSweepStart, length));
            if (smart.back() < 0 || copied.back() < 0)
                return false;
            plan = smartJob.Plan();
            // What the head and the tail cost alone: as many frames encoded
            // the same way by the bare encoder.
            encoded.push_back(RunBare(Encoder(), {"-nostdin", "-v", "error", "-ss", QString::number(kSweepStart), "-i",
                                                  clip, "-map", "0:v:0", "-c:v", "libx264", "-preset", "fast", "-crf",
                                                  QString::number(kSmartCutCrf), "-bf", "0", "-frames:v",
                                                  QString::number(plan.headFrames + plan.tailFrames), "-f", "mpegts",
                                                  "-y", out.filePath(QStringLiteral("parts.ts"))}));
        }
        const double s = Median(smart), c = Median(copied), e = Median(encoded);
        if (length == 60.0)
            smart60 = s;
        const bool speed = s <= 3.0 * c + e;
        met = met && speed;
        std::printf("12b. smart cut of %.0f s from %.2f s of the 20-minute 720p clip (B-frames, key frame every 2 s):"
                    " %.2f s / stream copy %.2f s = ratio %.1f; head and tail encoded alone %.2f s; target <= 3 x copy"
                    " + encode = %.2f s: %s; / the 60 s cut = ratio %.2f%s; frames re-encoded %d + %d, copied %d\n",
                    length, kSweepStart, s, c, s / c, e, 3.0 * c + e, speed ? "met" : "NOT MET", s / smart60,
                    length == 1000.0 ? (s <= 1.5 * smart60 ? " (target <= 1.5: met)" : " (target <= 1.5: NOT MET)")
                                     : "",
                    plan.headFrames, plan.tailFrames, plan.bodyFrames);
        std::fflush(stdout);
    }
    return true;
}

bool SegmentsJoinFigure(int reps)
{
    const QString clip = SweepClip();
    Catalogues cat;
    const PresetEntry* copy = CopyPreset(cat);
    QTemporaryDir out;
    if (clip.isEmpty() || !copy || !out.isValid())
        return false;
    // Five minutes apart, each starting and ending between key frames (every 2 s).
    CutRequest request;
    request.input = clip;
    request.format = FormatChoice::Preset(QStringLiteral("Lossless"), QStringLiteral("Smart Cut (frame-exact, original quality)"),
                                          QStringLiteral("mp4"));
    request.output = {false, out.path()};
    request.exportAs = SegmentExport::Join;
    for (int i = 0; i < 5; ++i)
        request.parts.push_back({100.52 + 220.0 * i, 160.52 + 220.0 * i, QStringLiteral("Part %1").arg(i + 1)});
    std::vector<double> joined, copied;
    for (int r = 0; r < reps; ++r) {
        CutController controller(cat);
        QElapsedTimer clock;
        clock.start();
        const CutResult result = controller.Run(request);
        joined.push_back(double(clock.nsecsElapsed()) / 1e9);
        if (result.outcome != CutOutcome::Succeeded) {
            std::fprintf(stderr, "the joined smart cut failed: %s\n", qPrintable(result.message));
            return false;
        }
        QFile::remove(result.outputFile);
        CVideoConv copyJob;
        copyJob.setParametrs(copy->Params + QStringLiteral(" -t 300 -y"));
        copied.push_back(Timed(copyJob, clip, out.filePath(QStringLiteral("copy.mp4")), 100.52, 300.0));
        if (copied.back() < 0)
            return false;
    }
    const double j = Median(joined), c = Median(copied);
    std::printf("15. joined smart cut of 5 segments of 60 s of the 20-minute 720p clip (through the cut controller):"
                " %.2f s / one stream copy of 300 s %.2f s = ratio %.1f\n",
                j, c, j / c);
    std::fflush(stdout);
    return true;
}

bool SmartCutFigure(const QString& clip, int reps)
{
    Catalogues cat;
    QComboBox categories;
    LoadPresets(cat, &categories);
    const PresetEntry* reencode = FindPreset(cat, QStringLiteral("General Video"),
                                             QStringLiteral("H.264 (AVC) - High Quality"), QStringLiteral("mp4"));
    const PresetEntry* copy = FindPreset(cat, QStringLiteral("Lossless"),
                                         QStringLiteral("Copy Streams (No Re-encoding)"), QStringLiteral("mp4"));
    QTemporaryDir out;
    if (!reencode || !copy || !out.isValid())
        return false;
    const QString length = QStringLiteral(" -t 60 -y");
    std::vector<double> smart, full, copied;
    qint64 smartSize = 0, fullSize = 0;
    SmartCutPlan plan;
    for (int r = 0; r < reps; ++r) {
        SmartCutJob smartJob;
        smartJob.setSelectionLength(kLength);
        CVideoConv fullJob, copyJob;
        fullJob.setParametrs(reencode->Params + length);
        copyJob.setParametrs(copy->Params + length);
        smart.push_back(Timed(smartJob, clip, out.filePath(QStringLiteral("smart.mp4"))));
        full.push_back(Timed(fullJob, clip, out.filePath(QStringLiteral("full.mp4"))));
        copied.push_back(Timed(copyJob, clip, out.filePath(QStringLiteral("copy.mp4"))));
        if (smart.back() < 0 || full.back() < 0 || copied.back() < 0)
            return false;
        smartSize = QFileInfo(out.filePath(QStringLiteral("smart.mp4"))).size();
        fullSize = QFileInfo(out.filePath(QStringLiteral("full.mp4"))).size();
        plan = smartJob.Plan();
    }
    const double s = Median(smart), f = Median(full), c = Median(copied);
    std::printf("12. smart cut, 60 s from the middle of the 10-minute 720p clip: %.2f s / frame-exact re-encode (%s)"
                " %.2f s = ratio %.3f (target < 0.2: %s); size %.1f MB / %.1f MB = ratio %.2f; / plain stream copy"
                " %.2f s = ratio %.1f; frames re-encoded %d + %d, copied %d\n",
                s, qPrintable(reencode->Label), f, s / f, s / f < 0.2 ? "met" : "NOT MET", smartSize / 1e6,
                fullSize / 1e6, double(smartSize) / double(fullSize), c, s / c, plan.headFrames, plan.tailFrames,
                plan.bodyFrames);
    std::fflush(stdout);
    return true;
}

}  // namespace clip::bench
