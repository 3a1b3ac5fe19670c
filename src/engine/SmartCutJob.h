#pragma once

#include "engine/CutJob.h"
#include "engine/EncoderRunner.h"
#include "engine/SmartCutInput.h"

#include <QString>

#include <functional>

class QTemporaryDir;

namespace clip {

struct MadeCounts;
struct SmartCutStep;
struct SmartCutSteps;

// A smart cut: the frames of the selection [start, end) in the output's
// container, the picture copied from the input wherever it can be (from the
// first usable key frame on) and re-encoded at high quality only where it
// cannot (before that key frame, and after the last one where the copied
// packets would need frames past the end), every audio and subtitle stream
// copied from the audio frame that covers the start (SmartCutPlan.h).
//
// The job is made of stages, each a part of its own that hands back how it
// ended (StageEnd), and one runner they share, so that one Stop ends
// whichever runs: the survey of the input and the plan (SmartCutSurvey,
// SmartCutPlan), the steps that make the parts and join them
// (SmartCutSteps), run here, and the check of the output (SmartCutCheck).
// The job turns a stage's end into its outcome in one place. The parts live
// in a private folder beside the output, removed in every outcome. One bar
// runs over all steps, weighted by their expected cost.
//
// Where the video cannot be smart-cut, the job ends as NotRun before any
// part is made, saying why in ReencodeOffer(): its owner may offer the
// frame-exact re-encode instead.
class SmartCutJob : public CutJob {
    Q_OBJECT

public:
    explicit SmartCutJob(QObject* parent = nullptr);
    ~SmartCutJob() override;

    // The length of the selection in seconds, taken to the millisecond below
    // as the re-encoding cut's "-t": the frames shown from the start on for
    // that long are the output, the frame at the end mark is not.
    void setSelectionLength(double seconds);
    // Why the last run could not keep the original quality ("Smart cut
    // cannot keep the original quality of this video (...)."), when it
    // ended for that reason; empty otherwise.
    QString ReencodeOffer() const { return m_reencodeOffer; }

    void StartConversion() override;
    void StopConversion() override;

    // The parts folders a job makes (QDir name filter) and the lock file in
    // each that its living owner holds.
    static constexpr const char* kPartsFolderPattern = ".clipwright-smartcut-*";
    static constexpr const char* kPartsOwnerFile = "owner.lock";
    // Removes the parts folders in `folder` whose owner died before it could
    // remove them.
    static void RemoveAbandonedParts(const QString& folder);

    // The last run's plan (frames of each part), for the tests and the bench.
    const SmartCutPlan& Plan() const { return m_in.plan; }
    // The video codec of the last run's input, as the probe names it ("h264", "hevc", ...).
    const QString& VideoCodec() const { return m_in.video.codec; }
    // How long the last run's picture lasts (its frames' span), in seconds.
    double PlannedSeconds() const { return m_in.Seconds(m_in.plan.endPts - m_in.plan.firstPts); }

private:
    // One attempt at the output: the survey, the parts, the join, the check.
    StageEnd MakeOutput(bool mayAssumeIdr);
    // Runs `steps` (parts in `folder`) up to the join's end; `made` gets
    // what they wrote.
    StageEnd MakeParts(const QTemporaryDir& folder, const SmartCutSteps& steps, MadeCounts* made);
    // Runs `steps` where the copy writes the output and the re-encoded
    // parts are spliced into it afterwards.
    StageEnd MakeSpliced(const SmartCutSteps& steps, MadeCounts* made);
    // The look at the first copied key frame still running, where the plan
    // copies from that key frame (taken from the survey's findings).
    std::shared_ptr<BesideRun> TakePendingLook();
    // Whether that look found an IDR picture with parameter sets of known ids.
    bool LookSaysIdr(const BesideRun& look) const;
    // The failure of a part made beside, with `details` behind it.
    StageEnd FailedRun(const BesideRun& run, const QString& details) const;
    // Runs one step on the runner, its progress over its share of the bar.
    StageEnd RunStep(const SmartCutStep& step, QString* report);
    // The job's outcome, status and message from how its last stage ended.
    void End(const StageEnd& end);
    // Whether a Stop (or the job's end) has come.
    std::function<bool()> Stopped();

    qint64 m_length = 0;        // milliseconds
    double m_stepSeconds = 0.0; // the length the running step's progress counts against
    EncoderRunner m_runner;
    SmartCutInput m_in;         // what the last survey found, and its plan
    QString m_reencodeOffer;
    bool m_stopRequested = false;
    bool m_joinOnly = false;  // the splice failed in this run: the next attempt joins
};

}  // namespace clip
