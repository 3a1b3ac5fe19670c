#include "cut/CutController.h"

#include "common/HostServices.h"
#include "common/SecondsToTime.h"
#include "cut/OutputNaming.h"
#include "cut/PartialOutput.h"
#include "engine/SegmentsJob.h"
#include "engine/SmartCutJob.h"
#include "formats/Catalogue.h"
#include "formats/GetParamaters.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QPointer>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>

#include <algorithm>
#include <exception>
#include <optional>

namespace clip {

// One Run() on the stack.
struct CutController::Flow {
    const CutRequest& request;
    quint64 stopsBefore;      // Stop() calls before it began: a later one stops it
    QStringList reserved;     // the names it reserved, removed unless it succeeds
    std::optional<bool> reencode;  // the answer to a smart cut's offer: asked once per flow
    bool encoding = false;    // progress(0) and aboutToEncode() sent
    bool Stopped(quint64 stops) const { return stops != stopsBefore; }
};

namespace {

// True when the encoder options copy a stream as it is (no filter can run on it).
bool CopiesAStream(const QStringList& options)
{
    static const QStringList codecOptions{"-c", "-c:v", "-c:a", "-codec", "-codec:v", "-codec:a", "-vcodec", "-acodec"};
    for (qsizetype i = 0; i + 1 < options.size(); ++i) {
        if (codecOptions.contains(options[i]) && options[i + 1] == QLatin1String("copy"))
            return true;
    }
    return false;
}

// Puts which of `parts` failed in front of the message that says why.
void NamePartThatFailed(const std::vector<Segment>& parts, std::size_t failed, CutResult& result)
{
    if (result.message.isEmpty() || parts.size() < 2)
        return;
    result.message.prepend(QStringLiteral("Segment %1 of %2 (%3 - %4) could not be made.\r\n")
                               .arg(failed + 1)
                               .arg(parts.size())
                               .arg(MillisecondsToTime(MediaMilliseconds(parts[failed].start)),
                                    MillisecondsToTime(MediaMilliseconds(parts[failed].end))));
}

double TotalLength(const std::vector<Segment>& parts)
{
    double total = 0.0;
    for (const Segment& part : parts)
        total += part.length();
    return total;
}

}  // namespace

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
    // An export of segments writes its parts; the two marks do not count.
    if (!request.parts.empty())
        return {};
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
    Flow flow{request, m_stops, {}, {}, false};
    CutResult result;
    QStringList outputs;
    setBarRange(0, 100);
    m_barFloor = 0, m_barMonotone = !request.parts.empty();
    try {
        if (const QString problem = FormatChoiceProblem(request.format, m_catalogues); !problem.isEmpty()) {
            result = CutResult::Refused(problem, MsgExclamation);
        } else if (!request.parts.empty() && request.exportAs == SegmentExport::OneFilePerSegment) {
            result.outcome = RunOnePerSegment(flow, outputs, result);
        } else {
            const QString outFile = GetOutputFileName(flow, 0, result);
            outputs << outFile;
            const bool join = !request.parts.empty();
            const std::vector<Segment> parts = join ? request.parts : std::vector<Segment>{{request.start, request.end, {}}};
            std::vector<std::unique_ptr<PartialOutput>> made;
            const auto forget = qScopeGuard([&] {
                for (const auto& partial : made)
                    std::erase(m_runningPartials, partial.get());
            });
            // The naming yields; a Stop in them means no job at all.
            if (!outFile.isEmpty() && !flow.Stopped(m_stops))
                result.outcome = RunIntoPartialFile(flow, parts, join, outFile, made, result);
            if (self && result.outcome == CutOutcome::Succeeded) {
                QString error;
                if (!made.front()->Commit(&error)) {
                    result = CutResult::Refused(QStringLiteral("The cut could not be saved under its name: ") + error, MsgCritical);
                    result.outcome = CutOutcome::Failed;
                } else if (m_job && m_job->OutputFile() == made.front()->path()) {
                    // A job that succeeded was not stopped, so no nested Run
                    // has replaced it: it names where its result now lies.
                    m_job->setOutputFile(outFile);
                }
            }
        }
    } catch (const std::exception&) {
        // The flow simply ends; what went wrong before is in the result.
    }
    if (!self)
        return result;
    // A run that did not succeed leaves nothing under the names it reserved;
    // no other file is touched.
    for (const QString& name : std::as_const(flow.reserved)) {
        if (result.outcome != CutOutcome::Succeeded)
            QFile::remove(name);
        m_reservedOutputs.removeOne(name);
    }
    outputs.removeAll(QString());
    result.outputFile = outputs.value(0);
    if (result.outcome == CutOutcome::Succeeded)
        result.outputFiles = outputs;
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

QString CutController::GetOutputFileName(Flow& flow, int part, CutResult& result)
{
    const CutRequest& request = flow.request;
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
    const QString name = part > 0 ? FirstFreePartName(folder, input.completeBaseName(), extension, part, taken)
                                  : FirstFreeOutputName(folder, input.completeBaseName(), extension, taken, [] {
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
    if (!m_nameTaken) {
        flow.reserved << name;
        m_reservedOutputs << name;
    }
    return name;
}

CutOutcome CutController::RunIntoPartialFile(Flow& flow, const std::vector<Segment>& parts, bool join,
                                             const QString& outFile,
                                             std::vector<std::unique_ptr<PartialOutput>>& kept, CutResult& result)
{
    // The encoder writes under a hidden name; the real name, reserved
    // meanwhile, gets the file only once the result has been checked.
    QString error;
    std::unique_ptr<PartialOutput> partial = PartialOutput::Create(outFile, &error);
    if (!partial) {
        result = CutResult::Refused(QStringLiteral("The output file could not be created: ") + error, MsgCritical);
        return CutOutcome::NotRun;
    }
    m_runningPartials.push_back(partial.get());
    const QPointer<CutController> self(this);
    const CutOutcome outcome = ConvertVideo(flow, parts, join, partial->path(), outFile, result);
    if (!self)
        return outcome;
    // Kept, it stays listed as unfinished until its owner commits or drops it.
    if (outcome == CutOutcome::Succeeded)
        kept.push_back(std::move(partial));
    else
        std::erase(m_runningPartials, partial.get());
    return outcome;
}

CutOutcome CutController::RunOnePerSegment(Flow& flow, QStringList& outputs, CutResult& result)
{
    const std::vector<Segment>& parts = flow.request.parts;
    const double total = TotalLength(parts);
    std::vector<std::unique_ptr<PartialOutput>> made;
    const auto forget = qScopeGuard([&] {
        for (const auto& partial : made)
            std::erase(m_runningPartials, partial.get());
    });
    const QPointer<CutController> self(this);
    CutOutcome outcome = CutOutcome::NotRun;
    double done = 0.0;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        const QString outFile = GetOutputFileName(flow, int(i) + 1, result);
        if (outFile.isEmpty())
            return CutOutcome::NotRun;
        outputs << outFile;
        if (flow.Stopped(m_stops))
            return flow.encoding ? CutOutcome::Stopped : CutOutcome::NotRun;
        setBarRange(100.0 * done / total, 100.0 * parts[i].length() / total);
        outcome = RunIntoPartialFile(flow, {parts[i]}, false, outFile, made, result);
        if (!self)
            return outcome;
        if (outcome != CutOutcome::Succeeded) {
            // Which part failed leads the message; what made it fail follows.
            NamePartThatFailed(parts, i, result);
            return outcome;
        }
        done += parts[i].length();
    }
    // Every part is made and checked: now each gets its name.
    for (const auto& partial : made) {
        QString error;
        if (!partial->Commit(&error)) {
            result = CutResult::Refused(QStringLiteral("The cut could not be saved under its name: ") + error, MsgCritical);
            return CutOutcome::Failed;
        }
    }
    return outcome;
}

CutOutcome CutController::RunAsCurrent(const std::shared_ptr<CutJob>& job, CutResult& result)
{
    // Only the current job moves the bar, and not once it was stopped.
    CutJob* raw = job.get();
    connect(raw, &CutJob::Progress, this, [this, raw](qint16& percent) { onJobProgress(raw, percent); },
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

QString CutController::TakenFallback(Flow& flow, const QString& offer, const QString& extension,
                                    CutResult& result, CutOutcome* outcome)
{
    const QString fallback = FrameExactFallback(m_catalogues, extension);
    *outcome = CutOutcome::NotRun;
    if (fallback.isEmpty()) {
        result = CutResult::Refused(offer + QStringLiteral(" Choose a preset that re-encodes."), MsgExclamation);
        return {};
    }
    if (!flow.reencode) {
        const QPointer<CutController> self(this);
        const bool reencode = Host().askYesNo(offer + QStringLiteral(" Cut it frame-exact by re-encoding instead?"));
        if (!self)
            return {};
        flow.reencode = reencode;
    }
    if (!*flow.reencode)
        return {};
    if (flow.Stopped(m_stops)) {
        *outcome = CutOutcome::Stopped;
        return {};
    }
    return fallback;
}

CutOutcome CutController::ConvertVideo(Flow& flow, const std::vector<Segment>& parts, bool join,
                                       const QString& partialPath, const QString& outFile, CutResult& result)
{
    const CutRequest& request = flow.request;
    if (!flow.encoding) {
        flow.encoding = true;
        emit progress(0);
        emit aboutToEncode();
    }
    const double start = parts.front().start;
    const double length = join ? TotalLength(parts) : parts.front().length();
    const ParamatersResult options = BuildParamaters(request.format, m_catalogues, start, start + length);
    // Empty options would convert the whole input with the encoder's
    // defaults; a Stop meanwhile means no job at all.
    if (!options.error.isEmpty()) {
        result = CutResult::Refused(options.error, MsgCritical);
        return CutOutcome::NotRun;
    }
    if (options.options.isEmpty() || flow.Stopped(m_stops))
        return CutOutcome::NotRun;

    const auto aim = [&](CutJob& job, const QStringList& encoderOptions) {
        job.setInputFile(request.input);
        job.setOutputFile(partialPath);
        job.setOutputShownAs(outFile);
        job.setOptions(encoderOptions);
        job.setFileTimeLength(float(length));
        if (!join)
            job.setStartTime(start);
    };
    // The joined parts of a plain job: one encoder run over all of them.
    const auto joined = [&](const QStringList& encoderOptions) {
        const auto job = std::make_shared<SegmentsJob>();
        aim(*job, encoderOptions);
        job->setRoute(CopiesAStream(encoderOptions) ? SegmentsJob::Route::CopyInput : SegmentsJob::Route::Reencode);
        std::vector<JoinSpan> spans;
        for (const Segment& part : parts)
            spans.push_back({part.start, part.end, part.label});
        job->setSpans(std::move(spans));
        return RunAsCurrent(job, result);
    };
    // "-y": the encoder writes into the working file made for it.
    const QStringList yes{QStringLiteral("-y")};
    const QStringList chosen = QProcess::splitCommand(options.options) + yes;
    const PresetEntry* preset = ChosenPreset(m_catalogues, request.format);
    const bool smart = preset && preset->CutMode == QLatin1String(kSmartCutMode);
    if (!smart)
        return join ? joined(chosen) : RunAsCurrent([&] {
            const auto job = std::make_shared<CVideoConv>();
            aim(*job, chosen);
            return job;
        }(), result);
    if (join)
        return RunSmartJoin(flow, parts, chosen, partialPath, outFile, result);

    CutOutcome outcome = CutOutcome::NotRun;
    if (flow.reencode != true) {
        const auto job = std::make_shared<SmartCutJob>();
        aim(*job, chosen);
        job->setSelectionLength(length);
        outcome = RunAsCurrent(job, result);
        if (job->ReencodeOffer().isEmpty())
            return outcome;
        const QString offer = job->ReencodeOffer();
        const QString fallback = TakenFallback(flow, offer, preset->Extension, result, &outcome);
        if (fallback.isEmpty())
            return outcome;
    }
    // The re-encode's bar runs over the whole selection, as a plain cut's does.
    const auto job = std::make_shared<CVideoConv>();
    aim(*job, QProcess::splitCommand(FrameExactFallback(m_catalogues, preset->Extension))
                  + QStringList{QStringLiteral("-t"), CommandLineSeconds(MediaMilliseconds(length))} + yes);
    return RunAsCurrent(job, result);
}

CutOutcome CutController::RunSmartJoin(Flow& flow, const std::vector<Segment>& parts, const QStringList& options,
                                       const QString& partialPath, const QString& outFile, CutResult& result)
{
    const CutRequest& request = flow.request;
    const double total = TotalLength(parts);
    // The parts are made in a private folder beside the output, as a smart
    // cut's own parts are (the same owner's lock: a folder left by a killed
    // program is removed by the next smart cut there).
    std::optional<QTemporaryDir> folder;
    folder.emplace(QFileInfo(outFile).absolutePath() + QLatin1Char('/') + QString::fromLatin1(SmartCutJob::kPartsFolderPattern).replace('*', "XXXXXX"));
    if (!folder->isValid())
        folder.emplace(QDir::tempPath() + QLatin1Char('/') + QString::fromLatin1(SmartCutJob::kPartsFolderPattern).replace('*', "XXXXXX"));
    if (!folder->isValid()) {
        result = CutResult::Refused(QStringLiteral("The smart cut could not create its working folder: ") + folder->errorString(), MsgCritical);
        return CutOutcome::NotRun;
    }
    QLockFile owner(folder->filePath(QString::fromLatin1(SmartCutJob::kPartsOwnerFile)));
    owner.setStaleLockTime(0);
    owner.tryLock(0);
    // The parts are MP4 files (MOV for a MOV output): their packets carry
    // decode times, which Matroska leaves out and the join needs.
    const QString extension = QFileInfo(outFile).suffix().toLower();
    const QString partExtension = extension == QLatin1String("mov") ? extension : QStringLiteral("mp4");
    // Each part's share of the bar by its length; the join takes the last few percent.
    constexpr double kJoinShare = 4.0;
    const QPointer<CutController> self(this);
    QStringList files;
    std::vector<JoinSpan> spans;
    int pictures = 0;
    QString codec;
    double done = 0.0;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (flow.Stopped(m_stops))
            return CutOutcome::Stopped;
        const QString file = folder->filePath(QStringLiteral("part%1.%2").arg(i + 1, 3, 10, QLatin1Char('0')).arg(partExtension));
        const auto job = std::make_shared<SmartCutJob>();
        job->setInputFile(request.input);
        job->setOutputFile(file);
        job->setOutputShownAs(outFile);
        job->setOptions({QStringLiteral("-c"), QStringLiteral("copy"), QStringLiteral("-y")});
        job->setStartTime(parts[i].start);
        job->setSelectionLength(parts[i].length());
        job->setFileTimeLength(float(parts[i].length()));
        setBarRange((100.0 - kJoinShare) * done / total, (100.0 - kJoinShare) * parts[i].length() / total);
        const CutOutcome outcome = RunAsCurrent(job, result);
        if (!self)
            return outcome;
        if (!job->ReencodeOffer().isEmpty()) {
            // Not this video: the whole export is re-encoded frame-exact instead, in one run.
            CutOutcome refused = CutOutcome::NotRun;
            const QString fallback = TakenFallback(flow, job->ReencodeOffer(), QFileInfo(outFile).suffix(), result, &refused);
            if (fallback.isEmpty())
                return refused;
            setBarRange(0, 100);
            const auto reencode = std::make_shared<SegmentsJob>();
            reencode->setInputFile(request.input);
            reencode->setOutputFile(partialPath);
            reencode->setOutputShownAs(outFile);
            reencode->setOptions(QProcess::splitCommand(fallback) + QStringList{QStringLiteral("-y")});
            reencode->setFileTimeLength(float(total));
            std::vector<JoinSpan> all;
            for (const Segment& part : parts)
                all.push_back({part.start, part.end, part.label});
            reencode->setSpans(std::move(all));
            return RunAsCurrent(reencode, result);
        }
        if (outcome != CutOutcome::Succeeded) {
            NamePartThatFailed(parts, i, result);
            return outcome;
        }
        files << file;
        spans.push_back({0.0, job->PlannedSeconds(), parts[i].label});
        pictures += job->Plan().frames;
        codec = job->VideoCodec();
        done += parts[i].length();
    }
    double planned = 0.0;
    for (const JoinSpan& span : spans)
        planned += span.end;
    // The join. A Matroska track takes its picture rate from the first
    // part's header, which an MP4 part states as its frames over its
    // track's length (off by the B-frames' delay): a Matroska output is
    // joined into an MPEG transport stream first, whose rate is read from
    // its timestamps, and then copied into place (a second copy, of the
    // output alone; subtitles, which that stream cannot carry, are left out).
    // Not for H.265: on its way into a transport stream each key frame gets
    // the first part's parameter sets put in front of it, which share their
    // ids with the copied pictures' own and would replace them.
    const bool viaStream = extension == QLatin1String("mkv") && codec != QLatin1String("hevc");
    const auto join = [&](const QStringList& from, const QString& into, const QStringList& joinOptions, double bar) {
        setBarRange(bar, 100.0 - bar);
        const auto job = std::make_shared<SegmentsJob>();
        job->setInputFile(request.input);
        job->setOutputFile(into);
        job->setOutputShownAs(outFile);
        job->setOptions(joinOptions);
        job->setFileTimeLength(float(planned));
        job->setRoute(SegmentsJob::Route::JoinFiles);
        job->setSpans(spans);
        job->setFiles(from);
        job->setChapters(into == partialPath);
        job->setExpectedPictures(pictures);
        return RunAsCurrent(job, result);
    };
    if (!viaStream)
        return join(files, partialPath, options, 100.0 - kJoinShare);
    const QString joined = folder->filePath(QStringLiteral("joined.ts"));
    const CutOutcome outcome = join(files, joined, {QStringLiteral("-c"), QStringLiteral("copy"), QStringLiteral("-sn"), QStringLiteral("-y")}, 100.0 - kJoinShare);
    if (!self || outcome != CutOutcome::Succeeded || flow.Stopped(m_stops))
        return outcome == CutOutcome::Succeeded ? CutOutcome::Stopped : outcome;
    return join({joined}, partialPath, options, 100.0 - kJoinShare / 2);
}

void CutController::onJobProgress(CutJob* job, qint16 percent)
{
    if (!IsRunning() || job != m_job.get() || job == m_stoppedJob.lock().get())
        return;
    // A full bar means a checked, finished cut: while the encoder runs, and
    // until its result has been checked, the bar stops one short of it. A
    // job of an export of several moves over its own stretch of the bar.
    int value = std::clamp<int>(int(m_barFrom + double(std::clamp<int>(percent, 0, 100)) * m_barSpan / 100.0), 0, 99);
    // An export of several parts runs one bar: it never moves back.
    if (m_barMonotone)
        value = m_barFloor = std::max(value, m_barFloor);
    emit progress(value);
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
