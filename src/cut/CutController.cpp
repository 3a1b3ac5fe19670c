#include "cut/CutController.h"

#include "common/HostServices.h"
#include "common/SecondsToTime.h"
#include "cut/OutputNaming.h"
#include "cut/PartialOutput.h"
#include "engine/SmartCutJob.h"
#include "formats/Catalogue.h"
#include "formats/GetParamaters.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QProcess>

#include <algorithm>
#include <exception>

namespace clip {

// One Run() on the stack.
struct CutController::Flow {
    const CutRequest& request;
    quint64 stopsBefore;  // Stop() calls before it began: a later one stops it
};

CutController::CutController(const Catalogues& catalogues, QObject* parent)
    : QObject(parent)
    , m_catalogues(catalogues)
{
    qRegisterMetaType<CutResult>();
}

CutController::~CutController() = default;

CutResult CutController::Refusal(const CutRequest& request)
{
    if (request.input.isEmpty())
        return CutResult::Refused(QStringLiteral("No video file loaded"), MsgInformation);
    // In milliseconds of the exact marks (64-bit: no pair of stored marks
    // can overflow the difference).
    const qint64 span = MediaMilliseconds(request.end) - MediaMilliseconds(request.start);
    if (span == 0)
        return CutResult::Refused(QStringLiteral("No part selected. Please, select a part first using 'Start "
                                                 "Selection' and 'End Selection'."),
                                  MsgInformation);
    if (span < 0)
        return CutResult::Refused(
            QStringLiteral("No part selected, 'Start Selection' can not be greater than 'End Selection'."),
            MsgInformation);
    return {};
}

void CutController::Stop()
{
    ++m_stops;
    m_stoppedJob = m_job;
    if (m_job)
        m_job->StopConversion();
    emit stopped();
}

CutResult CutController::Run(const CutRequest& request)
{
    // A depth rather than a plain flag: a Run nested in a stopped one ends
    // before the stopped one has unwound, and the controller must still
    // count as running until that one is gone too.
    const QPointer<CutController> self(this);
    ++m_depth;
    Flow flow{request, m_stops};
    CutResult result;
    QString outFile;
    bool reserved = false;
    try {
        if (const QString problem = FormatChoiceProblem(request.format, m_catalogues); !problem.isEmpty()) {
            result = CutResult::Refused(problem, MsgExclamation);
        } else {
            outFile = GetOutputFileName(request, &reserved, result);
            if (reserved)
                m_reservedOutputs << outFile;
            // The naming yields; a Stop in them means no job at all.
            if (!outFile.isEmpty() && m_stops == flow.stopsBefore)
                result.outcome = RunIntoPartialFile(flow, outFile, result);
        }
    } catch (const std::exception&) {
        // The flow simply ends; what went wrong before is in the result.
    }
    if (!self)
        return result;
    // A run that did not succeed leaves nothing under the name it reserved;
    // no other file is touched.
    if (reserved && result.outcome != CutOutcome::Succeeded)
        QFile::remove(outFile);
    if (reserved)
        m_reservedOutputs.removeOne(outFile);
    result.outputFile = outFile;
    --m_depth;
    emit finished(result);
    // The power-off follows a cut that reached its own end, success or
    // failure: never a Stop, never a flow that ran no encoder.
    const bool ranToItsEnd = result.outcome == CutOutcome::Succeeded || result.outcome == CutOutcome::Failed;
    if (self && ranToItsEnd && request.powerOff && m_powerOffAllowed) {
        emit aboutToPowerOff();
        ShutdownComputer(8);
    }
    return result;
}

QString CutController::GetOutputFileName(const CutRequest& request, bool* reserved, CutResult& result)
{
    *reserved = false;
    const QFileInfo input(request.input);
    const QString extension = request.format.OutputExtension();
    const QString folder = request.output.besideInput ? input.absolutePath() : request.output.folder;
    if (!EnsureOutputFolder(folder)) {
        result = CutResult::Refused(QStringLiteral("Output Folder is not exist and can not be created."), MsgCritical);
        return {};
    }
    // What a killed program left in this folder goes first, its reserved
    // name with it.
    PartialOutput::RemoveAbandoned(folder);
    // A name is free when its file could be created here and now, by this
    // cut alone; a folder that refuses new files ends the search at once.
    QString createError;
    const std::function<bool(const QString&)> taken = m_nameTaken ? m_nameTaken : [&](const QString& path) {
        return !createError.isEmpty() || ReserveOutputPath(path, &createError) != Reservation::Reserved;
    };
    const QString name = FirstFreeOutputName(folder, input.completeBaseName(), extension, taken, [] {
        Host().processEvents();
        Host().processEvents();
    });
    if (!createError.isEmpty()) {
        result = CutResult::Refused(QStringLiteral("The output file could not be created: ") + createError,
                                    MsgCritical);
        return {};
    }
    if (name.isEmpty()) {
        result = CutResult::Refused(
            QStringLiteral("Every output name for \"%1\" is taken in %2 (up to \"_%3\"). Move or remove some of "
                           "those files, or choose another output folder.")
                .arg(input.completeBaseName() + QLatin1Char('.') + extension, QDir::toNativeSeparators(folder))
                .arg(kLastOutputNumber),
            MsgExclamation);
        return {};
    }
    *reserved = !m_nameTaken;
    return name;
}

CutOutcome CutController::RunIntoPartialFile(Flow& flow, const QString& outFile, CutResult& result)
{
    // The encoder writes under a hidden name; the real name, reserved
    // meanwhile, gets the file only once the result has been checked.
    QString error;
    const std::unique_ptr<PartialOutput> partial = PartialOutput::Create(outFile, &error);
    if (!partial) {
        result = CutResult::Refused(QStringLiteral("The output file could not be created: ") + error, MsgCritical);
        return CutOutcome::NotRun;
    }
    m_runningPartials.push_back(partial.get());
    const QPointer<CutController> self(this);
    const CutOutcome outcome = ConvertVideo(flow, partial->path(), outFile, result);
    if (!self)
        return outcome;
    std::erase(m_runningPartials, partial.get());
    if (outcome != CutOutcome::Succeeded)
        return outcome;
    if (!partial->Commit(&error)) {
        result = CutResult::Refused(QStringLiteral("The cut could not be saved under its name: ") + error, MsgCritical);
        return CutOutcome::Failed;
    }
    // A job that succeeded was not stopped, so no nested Run has replaced
    // it: it names where its result now lies.
    if (m_job && m_job->OutputFile() == partial->path())
        m_job->setOutputFile(outFile);
    return outcome;
}

CutOutcome CutController::RunAsCurrent(const std::shared_ptr<CVideoConv>& job, CutResult& result)
{
    // Only the current job moves the bar, and not once it was stopped.
    CVideoConv* raw = job.get();
    connect(raw, &CVideoConv::Progress, this, [this, raw](qint16& percent) { onJobProgress(raw, percent); },
            Qt::DirectConnection);
    m_job = job;
    // The local reference (`job`) keeps this job alive through its run even
    // when a nested Run replaces m_job meanwhile.
    job->StartConversion();
    result.message = job->Failure().message;
    result.details = job->Failure().details;
    result.style = MsgCritical;
    return job->Outcome();
}

CutOutcome CutController::ConvertVideo(Flow& flow, const QString& partialPath, const QString& outFile, CutResult& result)
{
    const CutRequest& request = flow.request;
    emit progress(0);
    emit aboutToEncode();
    const double length = request.end - request.start;
    const ParamatersResult options = BuildParamaters(request.format, m_catalogues, request.start, request.end);
    // Empty options would convert the whole input with the encoder's
    // defaults; a Stop meanwhile means no job at all.
    if (!options.error.isEmpty()) {
        result = CutResult::Refused(options.error, MsgCritical);
        return CutOutcome::NotRun;
    }
    if (options.options.isEmpty() || m_stops != flow.stopsBefore)
        return CutOutcome::NotRun;

    const auto aim = [&](CVideoConv& job, const QStringList& encoderOptions) {
        job.setInputFile(request.input);
        job.setOutputFile(partialPath);
        job.setOutputShownAs(outFile);
        job.setOptions(encoderOptions);
        job.setStartTime(request.start);
        job.setFileTimeLength(float(length));
    };
    // "-y": the encoder writes into the working file made for it.
    const QStringList yes{QStringLiteral("-y")};
    const PresetEntry* preset = ChosenPreset(m_catalogues, request.format);
    if (!preset || preset->CutMode != QLatin1String(kSmartCutMode)) {
        const auto job = std::make_shared<CVideoConv>();
        aim(*job, QProcess::splitCommand(options.options) + yes);
        return RunAsCurrent(job, result);
    }

    const auto smart = std::make_shared<SmartCutJob>();
    aim(*smart, QProcess::splitCommand(options.options) + yes);
    smart->setSelectionLength(length);
    const CutOutcome outcome = RunAsCurrent(smart, result);
    const QString offer = smart->ReencodeOffer();
    if (offer.isEmpty())
        return outcome;
    const QString fallback = FrameExactFallback(m_catalogues, preset->Extension);
    if (fallback.isEmpty()) {
        result = CutResult::Refused(offer + QStringLiteral(" Choose a preset that re-encodes."), MsgExclamation);
        return CutOutcome::NotRun;
    }
    const QPointer<CutController> self(this);
    const bool reencode = Host().askYesNo(offer + QStringLiteral(" Cut it frame-exact by re-encoding instead?"));
    if (!self || !reencode)
        return CutOutcome::NotRun;
    if (m_stops != flow.stopsBefore)
        return CutOutcome::Stopped;
    // The re-encode's bar runs over the whole selection, as a plain cut's does.
    const auto job = std::make_shared<CVideoConv>();
    aim(*job, QProcess::splitCommand(fallback)
                  + QStringList{QStringLiteral("-t"), CommandLineSeconds(MediaMilliseconds(length))} + yes);
    return RunAsCurrent(job, result);
}

void CutController::onJobProgress(CVideoConv* job, qint16 percent)
{
    if (!IsRunning() || job != m_job.get() || job == m_stoppedJob.lock().get())
        return;
    // A full bar means a checked, finished cut: while the encoder runs, and
    // until its result has been checked, the bar stops one short of it.
    emit progress(std::clamp<int>(percent, 0, 99));
}

void CutController::ShutdownComputer(int mode)
{
    // The platform layer enables the privilege it needs and ignores modes it
    // does not know; a refusal is not reported.
    Host().powerOff(mode);
}

void CutController::DiscardUnfinished()
{
    // Unlinked now, a file the encoder still writes disappears with it.
    for (PartialOutput* partial : m_runningPartials)
        partial->Discard();
    for (const QString& path : std::as_const(m_reservedOutputs))
        QFile::remove(path);
    m_reservedOutputs.clear();
}

QString CutController::FrameExactFallback(const Catalogues& catalogues, const QString& extension)
{
    // The best shipped H.264 re-encode: for this container where there is one.
    const int count = int(std::min<qsizetype>(catalogues.PresetCount, catalogues.Presets.size()));
    const PresetEntry* best = nullptr;
    for (int i = 0; i < count; ++i) {
        const PresetEntry& p = catalogues.Presets.at(i);
        if (!p.Params.contains(QLatin1String("libx264")) || !p.Label.contains(QLatin1String("High Quality")))
            continue;
        if (p.Extension == extension)
            return p.Params;
        if (!best)
            best = &p;
    }
    return best ? best->Params : QString();
}

}  // namespace clip
