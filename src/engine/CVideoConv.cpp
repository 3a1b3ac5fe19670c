#include "engine/CVideoConv.h"

#include "common/HostServices.h"
#include "common/ResourceLocator.h"
#include "common/Rounding.h"
#include "common/SecondsToTime.h"
#include "engine/DOSOutputs.h"
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
// At most this many of the encoder's last error lines lead a failure box.
constexpr int kErrorLinesShown = 10;
// A start time above this many seconds makes the input seek inexact.
constexpr double kStartOffsetLimit = 0.001;
// How far the selection's end may lie past the input's end without the
// result counting as short: the timeline rounds the length to whole seconds.
constexpr double kSelectionPastEndSlack = 1.0;
// Longest wait for a probe of a file's header.
constexpr int kProbeWaitMs = 60000;
// How long a probe is waited for between two looks at the window's events.
constexpr int kProbeSliceMs = 20;

// The encoder's status line ("frame= ... time=..." or, without pictures,
// "size= ... time=...") as opposed to lines that may echo a file name.
bool IsStatusLine(const QString& line)
{
    const QString t = line.trimmed();
    return t.startsWith(QLatin1String("frame=")) || t.startsWith(QLatin1String("size="));
}

}  // namespace

CVideoConv::CVideoConv(QObject* parent)
    : QObject(parent)
{
}

CVideoConv::~CVideoConv() = default;

QString CVideoConv::InputFile() const { return m_inputFile; }
void CVideoConv::setInputFile(const QString& sSet) { m_inputFile = sSet; }
QString CVideoConv::OutputFile() const { return m_outputFile; }
void CVideoConv::setOutputFile(const QString& sSet) { m_outputFile = sSet; }
void CVideoConv::setFileTimeLength(float iSet) { m_fileTimeLength = iSet; }
void CVideoConv::setParametrs(const QString& sSet) { m_options = QProcess::splitCommand(sSet); }
void CVideoConv::setOptions(const QStringList& options) { m_options = options; }
void CVideoConv::setStartTime(double seconds) { m_startTime = MediaMilliseconds(seconds); }

void CVideoConv::setFailure(const QString& message, const QString& details)
{
    m_failure = {message, details};
}

void CVideoConv::setProgressRange(double from, double span)
{
    m_progressFrom = from;
    m_progressSpan = span;
}

QString CVideoConv::EncoderPath()
{
    return LocateTool(QStringLiteral("ffmpeg"));
}

QString CVideoConv::ProbePath()
{
    return LocateTool(QStringLiteral("ffprobe"));
}

DOSOutputs* CVideoConv::runner()
{
    if (!objDOS) {
        objDOS = std::make_unique<DOSOutputs>();
        connect(objDOS.get(), &DOSOutputs::ReceiveOutputs, this, &CVideoConv::objDOS_ReceiveOutputs,
                Qt::DirectConnection);
    }
    return objDOS.get();
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

QString CVideoConv::MissingEncoderMessage() const
{
    const QFileInfo encoder(EncoderPath());
    if (encoder.isFile() && encoder.isExecutable())
        return {};
    return QStringLiteral("The encoder was not found: ") + LookedFor(QStringLiteral("ffmpeg")).join(QStringLiteral(", "));
}

QString CVideoConv::ConversionError(const QString& cause) const
{
    return QStringLiteral("Error converting file: ") + QFileInfo(m_inputFile).fileName() + kCrLf + cause;
}

QString CVideoConv::RunProbe(const QStringList& arguments)
{
    const QFileInfo probe(ProbePath());
    if (!probe.isFile() || !probe.isExecutable())
        return {};
    // Waited for in short slices with the window's events handled between
    // them: a header is read within a moment, where the runner's yields
    // after every chunk would cost more than the probe itself. A Stop, the
    // job's end or a file that does not answer in time ends it.
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.setStandardInputFile(QProcess::nullDevice());
#ifndef Q_OS_WIN
    const int parent = int(::getpid());
    process.setChildProcessModifier([parent] { platform::DieWithParent(parent); });
#endif
    const QPointer<CVideoConv> self(this);
    QElapsedTimer clock;
    clock.start();
    process.start(ProbePath(), arguments, QIODevice::ReadOnly);
    while (!process.waitForFinished(kProbeSliceMs) && process.state() != QProcess::NotRunning) {
        Host().processEvents();
        if (!self || m_probesStopped || clock.elapsed() > kProbeWaitMs) {
            process.kill();
            process.waitForFinished(-1);
            return {};
        }
    }
    const QString report = QString::fromUtf8(process.readAll());
    return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0 ? report : QString();
}

namespace {

// The input probe's last report and the file it was read from, as the file
// stood just before: a cut of the file the window has just loaded takes the
// load's report instead of probing again, but only while the file is the
// same (path, size, modification and status-change times all unchanged; a
// file replaced or written to since changes them).
struct InputReport {
    QString path;
    qint64 size = -1;
    QDateTime modified, changed;
    QString report;
};

InputReport& LastInputReport()
{
    static InputReport last;
    return last;
}

InputReport Stat(const QString& path)
{
    const QFileInfo file(path);
    return {file.absoluteFilePath(), file.size(), file.fileTime(QFileDevice::FileModificationTime),
            file.fileTime(QFileDevice::FileMetadataChangeTime), {}};
}

bool SameFile(const InputReport& a, const InputReport& b)
{
    return a.size >= 0 && a.path == b.path && a.size == b.size && a.modified.isValid() && a.modified == b.modified
        && a.changed == b.changed;
}

}  // namespace

QString CVideoConv::ProbeInputReport(const QString& path)
{
    InputReport now = Stat(path);
    const InputReport& last = LastInputReport();
    if (SameFile(now, last) && !last.report.isEmpty())
        return last.report;
    now.report = RunProbe(TimeOrigin::ProbeArguments(path));
    if (!now.report.isEmpty())
        LastInputReport() = now;
    return now.report;
}

std::optional<TimeOrigin> CVideoConv::ProbeTimeOrigin(const QString& path)
{
    const QString report = ProbeInputReport(path);
    return report.isEmpty() ? std::nullopt : TimeOrigin::FromProbeReport(report);
}

std::optional<double> CVideoConv::ProbePositionLength(const QString& path)
{
    const QString report = ProbeInputReport(path);
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
    const QString report = ProbeInputReport(m_inputFile);
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
    m_pendingLine.clear();
    m_lastReport.clear();
    m_running = true;
    try {
        if (const QString missing = MissingEncoderMessage(); !missing.isEmpty()) {
            m_running = false;
            setFailure(ConversionError(missing), {});
            raiseStatus(QStringLiteral("Error"));
            return;
        }
        DOSOutputs* dos = runner();
        dos->setShowsFailures(false);  // this job's box says it
        ProbeInput();
        m_seekAfterInput = m_startTime && m_inputNeedsExactSeek;
        if (!self)
            return;
        dos->setCommand(EncoderPath(), BuildArguments());
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
        const QString result = dos->ExecuteCommand();
        if (!self)
            return;  // the job was deleted by a handler while the encoder ran
        m_lastReport = result;
        if (dos->WasStopped()) {
            // The runner has raised "Cancelled"; the owner shows the stop.
            m_running = false;
            m_outcome = CutOutcome::Stopped;
            return;
        }
        if (!dos->WasStarted()) {
            m_running = false;
            setFailure(ConversionError(dos->FailureMessage()), {});
            raiseStatus(QStringLiteral("Error"));
            return;
        }
        QString message;
        if (dos->ExitedNormally() && dos->ExitCode() == 0) {
            const QString problem = OutputProblem();
            if (!self)
                return;
            message = problem.isEmpty() ? ShortOutput() : QStringLiteral("The cut produced no video: ") + problem;
            if (message.isEmpty())
                m_outcome = CutOutcome::Succeeded;
            else if (const QString complaints = EncoderErrorLines(result); !complaints.isEmpty())
                message += QLatin1Char('\n') + complaints;  // what the encoder met on its way (damaged data)
        } else {
            QString cause = EncoderErrorLines(result);
            if (!dos->ExitedNormally())
                cause.prepend(QStringLiteral("The encoder ended abnormally (it was killed or it crashed).\n"));
            message = ConversionError(cause);
        }
        m_running = false;
        if (m_outcome == CutOutcome::Succeeded)
            return;
        m_outcome = CutOutcome::Failed;
        setFailure(message, result);
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
    if (!objDOS)
        return;
    objDOS->setStopConvert(true);
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
        dos->setShowsFailures(false);  // its failure is this probe's, for the owner to show
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

std::optional<double> CVideoConv::ParseEncoderTime(const QString& text)
{
    static const QRegularExpression seconds(QStringLiteral("^[-+]?(\\d+(\\.\\d*)?|\\.\\d+)$"));
    static const QRegularExpression clock(QStringLiteral("^(-?)(\\d+):(\\d{1,2}):(\\d{1,2}(\\.\\d*)?)$"));
    if (seconds.match(text).hasMatch())
        return text.toDouble();
    const QRegularExpressionMatch m = clock.match(text);
    if (!m.hasMatch())
        return std::nullopt;
    const double value = m.captured(2).toDouble() * 3600.0 + m.captured(3).toDouble() * 60.0
        + m.captured(4).toDouble();
    return m.captured(1).isEmpty() ? value : -value;
}

void CVideoConv::objDOS_ReceiveOutputs(QString& CommandOutputs)
{
    if (CommandOutputs == QLatin1String("Cancelled")) {
        raiseStatus(QStringLiteral("Cancelled"));
        return;
    }
    // The report is read line by line (a status line ends in CR, the others
    // in LF); a line cut by the chunk's end waits for its rest, and the empty
    // chunk at the end of the data completes the last one.
    const QPointer<CVideoConv> self(this);
    m_pendingLine += CommandOutputs;
    qsizetype from = 0;
    for (qsizetype i = 0; i < m_pendingLine.size() && self; ++i) {
        const QChar c = m_pendingLine.at(i);
        if (c == QLatin1Char('\r') || c == QLatin1Char('\n')) {
            const QString line = m_pendingLine.mid(from, i - from);
            from = i + 1;
            handleReportLine(line);
        }
    }
    if (!self)
        return;
    m_pendingLine.remove(0, from);
    if (CommandOutputs.isEmpty() && !m_pendingLine.isEmpty()) {
        const QString last = m_pendingLine;
        m_pendingLine.clear();
        handleReportLine(last);
    }
}

void CVideoConv::handleReportLine(const QString& line)
{
    // Only the encoder's own status lines carry its time; any other line may
    // echo a file name such as "time=90 take.mp4".
    if (!IsStatusLine(line))
        return;
    static const QRegularExpression timeField(QStringLiteral("\\btime=(\\S*)"));
    const QRegularExpressionMatch m = timeField.match(line);
    if (!m.hasMatch())
        return;
    const QString timeText = m.captured(1);
    const std::optional<double> time = ParseEncoderTime(timeText);
    if (!time)
        return;  // "N/A" and the like

    if (m_fileTimeLength > 0) {
        const std::optional<qint32> wholeSeconds = RoundToInt32(*time);
        if (!wholeSeconds)
            return;
        const std::optional<qint16> percent = RoundToInt16(
            m_progressFrom + double(*wholeSeconds) / double(m_fileTimeLength) * m_progressSpan);
        if (percent)
            raiseProgress(*percent);
        return;
    }

    // No length known: report the time itself, in seconds.
    QString shown = timeText;
    if (timeText.contains(QLatin1Char(':'))) {
        const qsizetype point = timeText.lastIndexOf(QLatin1Char('.'));
        const int decimals = point < 0 ? 0 : int(timeText.size() - point - 1);
        shown = QString::number(*time, 'f', decimals);
    }
    raiseStatus(shown + QStringLiteral(" Seconds Converted"));
}

QString CVideoConv::EncoderErrorLines(const QString& log)
{
    // The banner, the stream listing (indented), the status lines and the
    // prompt are no cause.
    static const QRegularExpression noCause(QStringLiteral(
        "^(\\s|ffmpeg version|Input #|Output #|Stream mapping:|Press \\[q\\]|frame=|size=|video:|\\[\\w+ @ [^\\]]*\\] (frame|kb/s|mb |ref |Weighted|using |profile |[A-Za-z0-9]+:\\s*[0-9.]+%?))"));
    static const QRegularExpression errorWords(
        QStringLiteral("error|fail|invalid|denied|no such|no space|unable|cannot|could not|not found|"
                       "unknown|unsupported|does not|incorrect|permission|read-only|killed"),
        QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression lineBreak(QStringLiteral("[\\r\\n]+"));
    QStringList lines, errors;
    for (const QString& line : log.split(lineBreak, Qt::SkipEmptyParts)) {
        if (line.trimmed().isEmpty() || noCause.match(line).hasMatch())
            continue;
        lines << line;
        if (errorWords.match(line).hasMatch())
            errors << line;
    }
    const QStringList& chosen = errors.isEmpty() ? lines : errors;
    return chosen.mid(qMax<qsizetype>(0, chosen.size() - kErrorLinesShown)).join(QLatin1Char('\n'));
}

void CVideoConv::raiseStatus(const QString& text)
{
    QString status = text;
    emit CurrentStatus(status);
}

void CVideoConv::raiseProgress(qint16 value)
{
    qint16 progress = value;
    emit Progress(progress);
}

void CVideoConv::showRunTimeError(const QString& description, const QString& source)
{
    // C++ errors carry no number; 0 stands in its place.
    Host().messageBox(QStringLiteral("Error Occured:") + kCrLf + description + QStringLiteral(" - ") + source
                          + QStringLiteral(" - ") + QString::number(0),
                      MsgNoIcon);
}

}  // namespace clip
