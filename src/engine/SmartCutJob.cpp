#include "engine/SmartCutJob.h"

#include "engine/ChildRuns.h"
#include "engine/DOSOutputs.h"
#include "engine/ParameterSets.h"
#include "engine/ProbeRun.h"
#include "engine/SmartCutCheck.h"
#include "engine/SmartCutSteps.h"
#include "engine/SmartCutSurvey.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLockFile>
#include <QPointer>
#include <QTemporaryDir>

#include <memory>
#include <optional>
#include <vector>

namespace clip {

Q_LOGGING_CATEGORY(lcSmartCutSteps, "clipwright.smartcut.steps", QtWarningMsg)

namespace {

// How long the join may leave the head's pipe unread before the job gives up.
constexpr int kPipeWriteMs = 10000;

QElapsedTimer& StepClock()
{
    static QElapsedTimer clock;
    return clock;
}

QString CommandText(const QString& program, const QStringList& args)
{
    QString line = DOSOutputs::QuoteArgument(program);
    for (const QString& arg : args)
        line += QLatin1Char(' ') + DOSOutputs::QuoteArgument(arg);
    return line;
}

}  // namespace

void StartStepClock()
{
    StepClock().start();
}

void StepDone(const char* step)
{
    qCDebug(lcSmartCutSteps, "%s: %.3f s", step, double(StepClock().nsecsElapsed()) / 1e9);
}

SmartCutJob::SmartCutJob(QObject* parent)
    : CutJob(parent)
    , m_runner({[this](qint16 percent) { raiseProgress(percent); }, [this](const QString& status) { raiseStatus(status); },
                [this] { return m_stepSeconds; }})
{
}

SmartCutJob::~SmartCutJob() = default;

void SmartCutJob::setSelectionLength(double seconds) { m_length = MediaMilliseconds(seconds); }

std::function<bool()> SmartCutJob::Stopped()
{
    return [self = QPointer<SmartCutJob>(this)] { return !self || self->m_stopRequested; };
}

void SmartCutJob::StopConversion()
{
    m_stopRequested = true;
    m_runner.Dos().setStopConvert(true);
}

void SmartCutJob::StartConversion()
{
    const QPointer<SmartCutJob> self(this);
    m_outcome = CutOutcome::NotRun;
    m_failure = {};
    m_reencodeOffer.clear();
    m_stopRequested = false;
    m_runner.setRange(0, 100);
    m_stepSeconds = m_fileTimeLength;
    m_running = true;
    StartStepClock();
    if (const QString missing = MissingEncoderMessage(); !missing.isEmpty()) {
        // Nothing ran: not run, with the failure to show.
        m_running = false;
        setFailure(ConversionError(m_inputFile, missing), {});
        raiseStatus(QStringLiteral("Error"));
        return;
    }
    raiseStatus(QStringLiteral("Starting..."));
    StageEnd end;
    m_joinOnly = false;
    for (bool mayAssumeIdr = true; self; mayAssumeIdr = false) {
        end = MakeOutput(mayAssumeIdr);
        if (end.kind != StageEnd::Kind::Replan)
            break;
    }
    if (self)
        End(end);
}

void SmartCutJob::End(const StageEnd& end)
{
    m_running = false;
    switch (end.kind) {
    case StageEnd::Kind::Done:
        m_outcome = CutOutcome::Succeeded;
        return;
    case StageEnd::Kind::Refused:
        // Nothing has been made; the owner decides about the re-encode.
        m_reencodeOffer = QStringLiteral("Smart cut cannot keep the original quality of this video (%1).").arg(end.message);
        return;
    case StageEnd::Kind::Stopped:
    case StageEnd::Kind::Replan:
        m_outcome = CutOutcome::Stopped;
        raiseStatus(QStringLiteral("Cancelled"));
        return;
    case StageEnd::Kind::Failed:
        m_outcome = CutOutcome::Failed;
        setFailure(end.message, end.details);
        raiseStatus(QStringLiteral("Error"));
        return;
    }
}

StageEnd SmartCutJob::MakeOutput(bool mayAssumeIdr)
{
    const QPointer<SmartCutJob> self(this);
    const std::function<bool()> stop = Stopped();
    // Where the input's times start: most often the window's load has just
    // read it (the same file, unchanged since).
    const QString report = InputProbeReport(m_inputFile, stop);
    if (stop())
        return StageEnd::Stop();
    const TimeOrigin origin =
        report.isEmpty() ? TimeOrigin() : TimeOrigin::FromProbeReport(report).value_or(TimeOrigin());
    const qint64 startMs = m_startTime.value_or(0);
    SmartCutSurvey survey({m_inputFile, m_outputFile, origin, origin.FileTimeOfPosition(double(startMs) / 1000.0),
                           origin.FileTimeOfPosition(double(startMs + m_length) / 1000.0), mayAssumeIdr},
                          m_runner, stop);
    const StageEnd surveyed = survey.Run();
    if (!self)
        return StageEnd::Stop();
    m_in = std::move(survey.Found());
    m_in.joinOnly = m_joinOnly;
    if (stop())
        return StageEnd::Stop();
    if (!surveyed.IsDone())
        return surveyed;
    raiseProgress(1);

    // The parts go into a private folder beside the output (the same disk,
    // whatever their size), or into the system's when that one refuses.
    std::optional<QTemporaryDir> parts;
    parts.emplace(QFileInfo(m_outputFile).absolutePath() + QStringLiteral("/.clipwright-smartcut-XXXXXX"));
    if (!parts->isValid())
        parts.emplace(QDir::tempPath() + QStringLiteral("/.clipwright-smartcut-XXXXXX"));
    const QTemporaryDir& folder = *parts;
    if (!folder.isValid())
        return StageEnd::Fail(QStringLiteral("The smart cut could not create its working folder: ") + folder.errorString());
    // The lock says the folder is in use while this process lives; a folder
    // whose owner died (killed, crashed, powered off) is removed by the next
    // smart cut into the same place.
    // It never goes stale by age: a long job keeps it, and only its owner's
    // death frees it.
    QLockFile owner(folder.filePath(QString::fromLatin1(kPartsOwnerFile)));
    owner.setStaleLockTime(0);
    owner.tryLock(0);
    RemoveAbandonedParts(QFileInfo(folder.path()).absolutePath());
    const std::optional<SmartCutSteps> steps = MakeSmartCutSteps(m_in, QDir(folder.path()));
    if (!steps) {
        return StageEnd::Fail(QStringLiteral("The smart cut could not write its list of parts in %1.")
                                  .arg(QDir::toNativeSeparators(folder.path())));
    }
    MadeCounts made;
    made.videoDelay = steps->videoDelay;
    const StageEnd madeParts = steps->splice ? MakeSpliced(*steps, &made) : MakeParts(folder, *steps, &made);
    if (!self || !madeParts.IsDone())
        return madeParts;
    StepDone("join");
    m_runner.setRange(99, 0);
    const StageEnd checked = CheckSmartCut(m_in, made, stop);
    StepDone("check");
    return checked;
}

StageEnd SmartCutJob::RunStep(const SmartCutStep& step, QString* report)
{
    if (m_stopRequested)
        return StageEnd::Stop();
    m_stepSeconds = step.seconds;
    const RunEnd run = m_runner.Run(step.program, step.args);
    *report = run.report;
    switch (run.kind) {
    case RunEnd::Kind::Done:
        return StageEnd::Done();
    case RunEnd::Kind::Stopped:
        return StageEnd::Stop();
    case RunEnd::Kind::NotStarted:
        return StageEnd::Fail(ConversionError(m_inputFile, run.cause));
    case RunEnd::Kind::Failed:
        break;
    }
    return StageEnd::Fail(ConversionError(m_inputFile, run.cause), run.report);
}

StageEnd SmartCutJob::MakeParts(const QTemporaryDir& folder, const SmartCutSteps& made, MadeCounts* counts)
{
    const QPointer<SmartCutJob> self(this);
    const QList<SmartCutStep>& steps = made.steps;
    // The copies and the tail's encode run beside the head's encode (the
    // copies read, the encodes compute); the join waits for all of them.
    // A streamed copy writes into a pipe that the join reads when it comes
    // to it: it ends with the join, not before it.
    bool streamFailed = false, joining = false;
    std::vector<std::unique_ptr<BesideRun>> beside;
    std::vector<BesideRun*> besideRuns, streamedRuns;
    BesideRun *bodyRun = nullptr, *heldHead = nullptr;
    // The job's own hold on the head's pipe, opened before anything writes
    // into it or reads it: the join meets the head's end only once the job
    // lets go too.
    HeldPipe hold;
    for (const SmartCutStep& step : steps) {
        if (step.holdsJoin && !hold.Open(step.pipe)) {
            return StageEnd::Fail(QStringLiteral("The smart cut could not open its pipe in %1.")
                                      .arg(QDir::toNativeSeparators(folder.path())));
        }
    }
    for (const SmartCutStep& step : steps) {
        qCDebug(lcSmartCutSteps, "%s", qPrintable(CommandText(step.program, step.args)));
        if (step.beside) {
            beside.push_back(std::make_unique<BesideRun>(step.program, step.args));
            if (step.body)
                bodyRun = beside.back().get();
            if (step.holdsJoin)
                heldHead = beside.back().get();
            (step.streamed ? streamedRuns : besideRuns).push_back(beside.back().get());
        }
    }
    StepDone("parts started");
    // A streamed copy that fails while the join runs ends the join, which
    // would otherwise wait for its pipe for ever (a copy that never opens
    // it); one that fails before is told before the join starts.
    for (BesideRun* run : streamedRuns) {
        run->WhenEnded([&streamFailed, &joining, run, self] {
            if (self && joining && !run->Succeeded()) {
                streamFailed = true;
                self->m_runner.Dos().setStopConvert(true);
            }
        });
    }
    // The first of the parts beside that failed, as the user is told.
    const auto besideFailure = [&]() -> std::optional<StageEnd> {
        for (const auto& run : beside) {
            if (run->Started() && run->Running())
                continue;  // a streamed copy, before the join
            if (run->Succeeded())
                continue;
            QString details;
            for (const auto& each : beside)
                details += each->Output();
            return FailedRun(*run, details);
        }
        return std::nullopt;
    };
    // What the join needs before it reads past the head, once the runs it
    // waits for have ended: the first key frame taken for an IDR picture
    // before its look answered is one, with no parameter sets of ids the
    // plan did not know (the head's own may share one; otherwise the parts
    // are made again from a plan that waits for the answer), the parts beside
    // are made, short ones padded, an H.265 body prepared.
    const std::shared_ptr<BesideRun> look = TakePendingLook();
    const auto prepareJoin = [&]() -> StageEnd {
        if (look && !LookSaysIdr(*look))
            return StageEnd::Again();
        if (const std::optional<StageEnd> failed = besideFailure())
            return *failed;
        // A part of a frame or two of a still picture may be too short for
        // the join to recognise it as a transport stream (it wants a dozen
        // packets); null packets, which every reader passes over, make up
        // the length, in a file or after the head in its pipe.
        for (const QFileInfo& part : QDir(folder.path()).entryInfoList({QStringLiteral("*.ts")}, QDir::Files)) {
            if (part.isFile())
                PadShortTransportStream(part.absoluteFilePath());
        }
        StepDone("beside");
        // An H.265 copy after a re-encoded head starts a new coded sequence,
        // so that its own parameter sets, sent in front of it, replace the
        // head's of the same ids where a decoder may take new ones.
        QString error;
        if (m_in.video.codec == QLatin1String("hevc") && m_in.plan.headFrames > 0 && m_in.plan.bodyFrames > 0
            && !StartTransportStreamWithNewSequence(folder.filePath(QStringLiteral("body.ts")), &error)) {
            return StageEnd::Fail(
                ConversionError(m_inputFile, QStringLiteral("The copied part could not be prepared for the join: ") + error));
        }
        return StageEnd::Done();
    };
    // With the head in a pipe the join starts at once; the job lets go of
    // the pipe when the head's encode, the parts beside and the look have
    // ended and all is ready, and stops the join where it is not.
    std::optional<StageEnd> held;
    const auto release = [&] {
        if (!self || !heldHead || held || heldHead->Running())
            return;
        // A head that failed gives the join its pipe's end at once: the join
        // is stopped, and the head's failure told.
        if (heldHead->Succeeded()) {
            if (look && look->Running())
                return;
            for (BesideRun* run : besideRuns) {
                if (run->Running())
                    return;
            }
        }
        StepDone("encode");
        held = heldHead->Succeeded() ? prepareJoin() : besideFailure().value_or(StageEnd::Fail({}));
        if (!held->IsDone() || !hold.Release(PaddingPackets(), kPipeWriteMs)) {
            if (held->IsDone())
                held = StageEnd::Fail(ConversionError(m_inputFile, QStringLiteral("The re-encoded start could not be handed to the join.")));
            hold.Close();
            m_runner.Dos().setStopConvert(true);
        }
    };
    if (heldHead) {
        for (BesideRun* run : besideRuns)
            run->WhenEnded(release);
        if (look)
            look->WhenEnded(release);
        heldHead->WhenEnded(release);
    }
    double total = 0, done = 0;
    for (const SmartCutStep& step : steps)
        total += step.beside ? 0.0 : step.cost;
    const std::function<bool()> stop = Stopped();
    for (qsizetype i = 0; i < steps.size(); ++i) {
        const SmartCutStep& step = steps[i];
        if (step.beside)
            continue;
        const bool last = i + 1 == steps.size();
        if (last && !heldHead) {
            StepDone("encode");
            if (look && !WaitForAll({look.get()}, stop, kProbeWaitMs) && stop())
                return StageEnd::Stop();
            if (!WaitForAll(besideRuns, stop))
                return StageEnd::Stop();
            if (const StageEnd ready = prepareJoin(); !ready.IsDone())
                return ready;
        }
        m_runner.setRange(1.0 + 98.0 * done / total, 98.0 * step.cost / total);
        joining = last;
        QString report;
        // The head's hand-over may have failed before the join started.
        StageEnd result = joining && held && !held->IsDone() ? StageEnd::Stop() : RunStep(step, &report);
        if (!self)
            return StageEnd::Stop();
        if (last && !streamedRuns.empty()) {
            // The join has read the streamed parts to their end, or has
            // ended without them: they end with it. A part that failed first
            // says why the join ended.
            const bool copyFailedFirst = streamFailed && !m_stopRequested;
            for (BesideRun* run : streamedRuns) {
                if (result.IsDone())
                    run->Wait(kProbeWaitMs);
                run->Kill();
            }
            hold.Close();
            m_runner.Dos().setStopConvert(false);
            if (held && !held->IsDone() && !m_stopRequested)
                return *held;
            if (copyFailedFirst || result.IsDone()) {
                if (std::optional<StageEnd> failed = besideFailure())
                    return *failed;
            }
        }
        if (!result.IsDone())
            return result;
        done += step.cost;
        if (last)
            counts->joined = LastCount(report);
    }
    counts->copied = bodyRun ? LastCount(bodyRun->Output()) : -1;
    return StageEnd::Done();
}

StageEnd SmartCutJob::MakeSpliced(const SmartCutSteps& made, MadeCounts* counts)
{
    const QPointer<SmartCutJob> self(this);
    // The encode runs beside the copy, which writes the output with the bar.
    std::vector<std::unique_ptr<BesideRun>> beside;
    std::vector<BesideRun*> runs;
    for (const SmartCutStep& step : made.steps) {
        qCDebug(lcSmartCutSteps, "%s", qPrintable(CommandText(step.program, step.args)));
        if (step.beside) {
            beside.push_back(std::make_unique<BesideRun>(step.program, step.args));
            runs.push_back(beside.back().get());
        }
    }
    StepDone("parts started");
    const std::shared_ptr<BesideRun> look = TakePendingLook();
    m_runner.setRange(1.0, 97.0);
    QString report;
    const StageEnd copied = RunStep(made.steps.last(), &report);
    if (!self)
        return StageEnd::Stop();
    if (!copied.IsDone())
        return copied;
    // Where the splice cannot be made, the output is made again by a join:
    // an index that outgrew the copy's room (the encoder then writes it over
    // the copied data and still ends well, saying so in its report), or one
    // the splice cannot read or write.
    const auto joinInstead = [this](const QString& why) {
        qCDebug(lcSmartCutSteps, "no splice (%s): joining instead", qPrintable(why));
        m_joinOnly = true;
        return StageEnd::Again();
    };
    if (report.contains(QLatin1String("Error writing trailer")))
        return joinInstead(EncoderRunner::ErrorLines(report));
    const std::function<bool()> stop = Stopped();
    if (!WaitForAll(runs, stop) || (look && !WaitForAll({look.get()}, stop, kProbeWaitMs) && stop()))
        return StageEnd::Stop();
    StepDone("encode");
    for (BesideRun* run : runs) {
        if (!run->Succeeded())
            return FailedRun(*run, run->Output());
    }
    // The first key frame was taken for an IDR picture before its look had
    // answered: the answer must agree, or the output is made again.
    if (look && !LookSaysIdr(*look))
        return StageEnd::Again();
    const Mp4SpliceResult spliced = OffTheWindow([request = *made.splice] { return SpliceMp4(request); });
    if (!self)
        return StageEnd::Stop();
    if (spliced.pictures < 0)
        return joinInstead(spliced.error);
    counts->copied = LastCount(report);
    counts->joined = spliced.pictures;
    return StageEnd::Done();
}

std::shared_ptr<BesideRun> SmartCutJob::TakePendingLook()
{
    std::shared_ptr<BesideRun> look;
    if (m_in.pendingLook && m_in.plan.bodyFrames > 0 && m_in.plan.bodyPts == m_in.pendingLookPts)
        look = m_in.pendingLook;
    m_in.pendingLook.reset();
    return look;
}

bool SmartCutJob::LookSaysIdr(const BesideRun& look) const
{
    QSet<int> ids;
    if (StartsSequence(look, m_in.pendingLookPts, &ids) && m_in.inputSetIds.contains(ids))
        return true;
    qCDebug(lcSmartCutSteps, "the key frame at %lld is no IDR picture or brings new parameter sets: planning again",
            m_in.pendingLookPts);
    return false;
}

StageEnd SmartCutJob::FailedRun(const BesideRun& run, const QString& details) const
{
    return StageEnd::Fail(ConversionError(m_inputFile, run.Started() ? EncoderRunner::ErrorLines(run.Output())
                                                                     : QStringLiteral("The encoder could not be started: ")
                                                                           + EncoderProgram()),
                          details);
}

void SmartCutJob::RemoveAbandonedParts(const QString& folder)
{
    const QDir dir(folder);
    const QStringList found = dir.entryList({QString::fromLatin1(kPartsFolderPattern)},
                                            QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot);
    for (const QString& name : found) {
        // Only a folder with an owner's lock that no living process holds;
        // one without a lock may be another job's, just being made.
        const QString lockPath = dir.filePath(name + QLatin1Char('/') + QString::fromLatin1(kPartsOwnerFile));
        if (!QFileInfo::exists(lockPath))
            continue;
        QLockFile lock(lockPath);
        lock.setStaleLockTime(0);
        if (!lock.tryLock(0))
            continue;
        lock.unlock();
        QDir(dir.filePath(name)).removeRecursively();
    }
}

}  // namespace clip
