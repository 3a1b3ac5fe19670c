#include "SmartCutBench.h"

#include "BenchSupport.h"

#include "engine/SmartCutJob.h"
#include "formats/Catalogue.h"

#include <QComboBox>
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
double Timed(CVideoConv& job, const QString& input, const QString& output)
{
    QFile::remove(output);
    job.setInputFile(input);
    job.setOutputFile(output);
    job.setStartTime(kStart);
    job.setFileTimeLength(float(kLength));
    QElapsedTimer clock;
    clock.start();
    job.StartConversion();
    const double seconds = double(clock.nsecsElapsed()) / 1e9;
    return job.Succeeded() ? seconds : -1.0;
}

}  // namespace

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
