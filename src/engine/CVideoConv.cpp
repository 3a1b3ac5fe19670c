#include "engine/CVideoConv.h"

#include "common/HostServices.h"
#include "common/SecondsToTime.h"
#include "engine/DOSOutputs.h"
#include "engine/ProbeRun.h"
#include "engine/OutputLength.h"
#include "platform/ChildLifetime.h"

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QPointer>
#include <QRegularExpression>

#include <algorithm>
#include <exception>

#ifndef Q_OS_WIN
#include <unistd.h>
#endif

namespace clip {

namespace {

const QString kCrLf = QStringLiteral("\r\n");
// A start time above this many seconds makes the input seek inexact.
constexpr double kStartOffsetLimit = 0.001;
// How far the selection's end may lie past the input's end without the
// result counting as short: the timeline rounds the length to whole seconds.
constexpr double kSelectionPastEndSlack = 1.0;

}  // namespace

CVideoConv::CVideoConv(QObject* parent)
    : CutJob(parent)
    , m_encoder({[this](qint16 percent) { raiseProgress(percent); }, [this](const QString& status) { raiseStatus(status); },
                 [this] { return double(m_fileTimeLength); }})
{
}

CVideoConv::~CVideoConv() = default;

QString CVideoConv::EncoderPath()
{
    return EncoderProgram();
}

QString CVideoConv::ProbePath()
{
    return ProbeProgram();
}

QStringList CVideoConv::BuildArguments() const
{
    // Before the input the encoder seeks to the start (to the key frame at or
    // before it, then decoding exactly from the start on). After the input it
    // decodes from the beginning and drops every frame before the start:
    // slower, but exact where the input seek is not. Either way the
    // encoder's "time=" counts from the start, as the progress needs.
    QStringList seek;
    if (m_startTime)
        seek << QStringLiteral("-ss") << CommandLineSeconds(m_origin.EncoderMilliseconds(*m_startTime));
    const QStringList input{QStringLiteral("-i"), m_inputFile};
    return (m_seekAfterInput ? input + seek : seek + input) + m_options + QStringList{m_outputFile};
}

QString CVideoConv::ConversionError(const QString& cause) const
{
    return clip::ConversionError(m_inputFile, cause);
}

QString CVideoConv::RunProbe(const QStringList& arguments)
{
    return RunProbeUntil(arguments, ProbesStopped());
}

std::function<bool()> CVideoConv::ProbesStopped()
{
    return [self = QPointer<CVideoConv>(this)] { return !self || self->m_probesStopped; };
}

std::optional<TimeOrigin> CVideoConv::ProbeTimeOrigin(const QString& path)
{
    const QString report = InputProbeReport(path, ProbesStopped());
    return report.isEmpty() ? std::nullopt : TimeOrigin::FromProbeReport(report);
}

std::optional<double> CVideoConv::ProbePositionLength(const QString& path)
{
    const QString report = InputProbeReport(path, ProbesStopped());
    const std::optional<TimeOrigin> origin = report.isEmpty() ? std::nullopt : TimeOrigin::FromProbeReport(report);
    const double seconds = QJsonDocument::fromJson(report.toUtf8())
                               .object()
                               .value(QLatin1String("format"))
                               .toObject()
                               .value(QLatin1String("duration"))
                               .toString()
                               .toDouble();
    if (!origin || seconds <= 0.0)
        return std::nullopt;
    return seconds - (origin->FirstFrame() - origin->ContainerStart());
}

void CVideoConv::ProbeInput()
{
    m_origin = TimeOrigin();
    m_inputSeconds.reset();
    m_inputNeedsExactSeek = true;  // unknown: exact first
    const QString report = InputProbeReport(m_inputFile, ProbesStopped());
    if (report.isEmpty())
        return;
    m_origin = TimeOrigin::FromProbeReport(report).value_or(TimeOrigin());
    const QJsonObject format = QJsonDocument::fromJson(report.toUtf8()).object().value(QLatin1String("format")).toObject();
    if (const double seconds = format.value(QLatin1String("duration")).toString().toDouble(); seconds > 0.0)
        m_inputSeconds = seconds;
    const QStringList formats = format.value(QLatin1String("format_name")).toString().split(QLatin1Char(','));
    // MPEG transport and program streams have no index to seek exactly by.
    if (formats.contains(QLatin1String("mpegts")) || formats.contains(QLatin1String("mpeg")))
        return;
    m_inputNeedsExactSeek = m_origin.ContainerStart() > kStartOffsetLimit;
}

QString CVideoConv::ShortOutput()
{
    if (m_fileTimeLength <= 0.0f)
        return {};  // nothing to compare with
    const MediaLength& held = m_outputLength;
    if (!held.seconds)
        return {};  // the probe cannot tell: OutputProblem has judged the file
    // What the input held at the start, from the start on: a selection
    // ending a little past the input's end asks for no more than that. The
    // container's length counts from its own start.
    double expected = m_fileTimeLength;
    if (m_inputSeconds) {
        const double start = m_origin.FileTimeOfPosition(double(m_startTime.value_or(0)) / 1000.0);
        const double available = *m_inputSeconds - (start - m_origin.ContainerStart());
        expected -= std::clamp(expected - available, 0.0, kSelectionPastEndSlack);
    }
    return ShortOutputProblem(m_inputFile, expected, *held.seconds, held.frameSeconds);
}

QString CVideoConv::OutputProblem()
{
    m_outputLength = {};
    const QString name = QDir::toNativeSeparators(m_outputShownAs.isEmpty() ? m_outputFile : m_outputShownAs);
    if (!QFileInfo(m_outputFile).isFile())
        return QStringLiteral("the output file %1 does not exist (was its folder moved or removed?)").arg(name);
    if (!QFileInfo(ProbePath()).isExecutable()) {
        // Without the probe, only an empty file can be told apart.
        return QFileInfo(m_outputFile).size() > 0 ? QString()
                                                   : QStringLiteral("the output file %1 is empty").arg(name);
    }
    // One probe run for this check and the length check after it.
    const QString report = RunProbe({QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-show_entries"),
                                     QStringLiteral("format=nb_streams,duration:stream=codec_type,avg_frame_rate"),
                                     QStringLiteral("-of"), QStringLiteral("default=noprint_wrappers=1"),
                                     m_outputFile});
    m_outputLength = ParseMediaLength(report);
    static const QRegularExpression streams(QStringLiteral("^nb_streams=(\\d+)"), QRegularExpression::MultilineOption);
    if (streams.match(report).captured(1).toInt() > 0 && m_outputLength.seconds)
        return {};
    return QStringLiteral("the output file %1 holds no picture and no sound. The selection may lie beyond the end "
                          "of the input, or the input may have changed since it was opened.")
        .arg(name);
}

void CVideoConv::StartConversion()
{
    const QPointer<CVideoConv> self(this);
    m_outcome = CutOutcome::NotRun;
    m_failure = {};
    m_stopRequested = false;
    m_probesStopped = false;
    m_lastReport.clear();
    m_running = true;
    try {
        if (const QString missing = MissingEncoderMessage(); !missing.isEmpty()) {
            m_running = false;
            setFailure(ConversionError(missing), {});
            raiseStatus(QStringLiteral("Error"));
            return;
        }
        ProbeInput();
        m_seekAfterInput = m_startTime && m_inputNeedsExactSeek;
        if (!self)
            return;
        const QStringList arguments = BuildArguments();
        Host().processEvents();
        if (!self)
            return;
        raiseStatus(QStringLiteral("Starting..."));
        if (!self)
            return;
        if (m_stopRequested) {
            // Stopped before the encoder started: do not start it at all.
            m_running = false;
            m_outcome = CutOutcome::Stopped;
            raiseStatus(QStringLiteral("Cancelled"));
            return;
        }
        const RunEnd run = m_encoder.Run(EncoderPath(), arguments);
        if (!self)
            return;  // the job was deleted by a handler while the encoder ran
        m_lastReport = run.report;
        QString message;
        switch (run.kind) {
        case RunEnd::Kind::Stopped:
            // The runner has raised "Cancelled"; the owner shows the stop.
            m_running = false;
            m_outcome = CutOutcome::Stopped;
            return;
        case RunEnd::Kind::NotStarted:
            m_running = false;
            setFailure(ConversionError(run.cause), {});
            raiseStatus(QStringLiteral("Error"));
            return;
        case RunEnd::Kind::Failed:
            message = ConversionError(run.cause);
            break;
        case RunEnd::Kind::Done: {
            const QString problem = OutputProblem();
            if (!self)
                return;
            m_running = false;
            message = problem.isEmpty() ? ShortOutput() : QStringLiteral("The cut produced no video: ") + problem;
            if (message.isEmpty()) {
                m_outcome = CutOutcome::Succeeded;
                return;
            }
            if (const QString complaints = EncoderErrorLines(run.report); !complaints.isEmpty())
                message += QLatin1Char('\n') + complaints;  // what the encoder met on its way (damaged data)
            break;
        }
        }
        m_running = false;
        m_outcome = CutOutcome::Failed;
        setFailure(message, run.report);
        raiseStatus(QStringLiteral("Error"));
    } catch (const std::exception& error) {
        if (!self)
            return;
        m_running = false;
        showRunTimeError(QString::fromLocal8Bit(error.what()), QStringLiteral("CVideoConv.StartConversion"));
    }
}

void CVideoConv::StopConversion()
{
    m_probesStopped = true;
    m_encoder.Dos().setStopConvert(true);
    if (m_running)
        m_stopRequested = true;
}

bool CVideoConv::IsFileSupported(const QString& sMediaFile)
{
    const QPointer<CVideoConv> self(this);
    m_failure = {};
    try {
        if (const QString missing = MissingEncoderMessage(); !missing.isEmpty()) {
            setFailure(missing, {});
            return false;
        }
        DOSOutputs* dos = runner();
        dos->setCommand(EncoderPath(), {QStringLiteral("-i"), sMediaFile});
        Host().processEvents();
        if (!self)
            return false;
        const QString result = dos->ExecuteCommand();
        if (!self)
            return false;
        if (!dos->WasStarted() && !dos->WasStopped())
            setFailure(dos->FailureMessage(), {});
        return !ReportsUnreadableInput(result, sMediaFile);
    } catch (const std::exception& error) {
        if (self)
            showRunTimeError(QString::fromLocal8Bit(error.what()), QStringLiteral("CVideoConv.IsFileSupported"));
        return false;
    }
}

bool CVideoConv::ReportsUnreadableInput(const QString& report, const QString& path)
{
    // The encoder names the file in its report ("<path>: Invalid data ...",
    // "from '<path>'"): a folder called "Unknown Format" is no verdict.
    QString own = report;
    own.remove(path);
    return own.contains(QLatin1String("Unknown format"), Qt::CaseInsensitive)
        || own.contains(QLatin1String("Invalid data found when processing input"), Qt::CaseInsensitive);
}

void CVideoConv::showRunTimeError(const QString& description, const QString& source)
{
    // C++ errors carry no number; 0 stands in its place.
    Host().messageBox(QStringLiteral("Error Occured:") + kCrLf + description + QStringLiteral(" - ") + source
                          + QStringLiteral(" - ") + QString::number(0),
                      MsgNoIcon);
}

}  // namespace clip
