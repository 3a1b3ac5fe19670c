#include "engine/CVideoConv.h"

#include "common/HostServices.h"
#include "common/ResourceLocator.h"
#include "common/Rounding.h"
#include "engine/DOSOutputs.h"

#include <QFileInfo>
#include <QPointer>
#include <QRegularExpression>

#include <exception>

namespace clip {

namespace {

const QString kCrLf = QStringLiteral("\r\n");

// The encoder's path as the first word of a command line. It is left bare,
// as usual, unless the program folder holds a blank or a quote that would
// split or garble it.
QString encoderCommand(const QString& path)
{
    static const QRegularExpression needsQuotes(QStringLiteral("[\\s\"]"));
    return path.contains(needsQuotes) ? DOSOutputs::QuoteArgument(path) : path;
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
void CVideoConv::setParametrs(const QString& sSet) { m_parametrs = sSet; }
void CVideoConv::setStartTime(qint32 seconds) { m_startTime = seconds; }

QString CVideoConv::EncoderPath()
{
    return LocateTool(QStringLiteral("ffmpeg"));
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

QString CVideoConv::BuildCommandLine() const
{
    // The start stands before the input, where the encoder seeks to it (to
    // the key frame at or before it, then decoding exactly from the start
    // on); after the input it would decode and drop every frame before it.
    // The encoder's "time=" then counts from the start, as the progress
    // needs.
    const QString seek = m_startTime ? QStringLiteral(" -ss ") + QString::number(*m_startTime) : QString();
    return encoderCommand(EncoderPath()) + seek + QStringLiteral(" -i ") + DOSOutputs::QuoteArgument(m_inputFile)
        + QLatin1Char(' ') + m_parametrs + QLatin1Char(' ') + DOSOutputs::QuoteArgument(m_outputFile);
}

void CVideoConv::StartConversion()
{
    const QPointer<CVideoConv> self(this);
    m_succeeded = false;
    m_stopped = false;
    m_stopRequested = false;
    m_running = true;
    try {
        DOSOutputs* dos = runner();
        dos->setCommandLine(BuildCommandLine());
        Host().processEvents();
        if (!self)
            return;
        raiseStatus(QStringLiteral("Starting..."));
        if (!self)
            return;
        if (m_stopRequested) {
            // Stopped before the encoder started: do not start it at all.
            m_running = false;
            m_stopped = true;
            raiseStatus(QStringLiteral("Cancelled"));
            return;
        }
        const QString result = dos->ExecuteCommand();
        if (!self)
            return;  // the job was deleted by a handler while the encoder ran
        m_running = false;
        if (dos->WasStopped()) {
            // The runner has raised "Cancelled"; the owner shows the stop.
            m_stopped = true;
            return;
        }
        if (dos->WasStarted() && dos->ExitedNormally() && dos->ExitCode() == 0) {
            m_succeeded = true;
            return;
        }
        raiseStatus(QStringLiteral("Error"));
        if (!self)
            return;
        Host().messageBox(QStringLiteral("Error converting file: ") + QFileInfo(m_inputFile).fileName() + kCrLf
                              + TrimEncoderOutput(result),
                          MsgCritical);
    } catch (const std::exception& error) {
        if (!self)
            return;
        m_running = false;
        showRunTimeError(QString::fromLocal8Bit(error.what()), QStringLiteral("CVideoConv.StartConversion"));
    }
}

void CVideoConv::StopConversion()
{
    if (!objDOS)
        return;
    objDOS->setStopConvert(true);
    if (m_running)
        m_stopRequested = true;
}

bool CVideoConv::IsFileSupported(const QString& sMediaFile)
{
    const QPointer<CVideoConv> self(this);
    try {
        DOSOutputs* dos = runner();
        dos->setCommandLine(encoderCommand(EncoderPath()) + QStringLiteral(" -i ")
                            + DOSOutputs::QuoteArgument(sMediaFile));
        Host().processEvents();
        if (!self)
            return false;
        const QString result = dos->ExecuteCommand();
        if (!self)
            return false;
        return !ReportsUnreadableInput(result);
    } catch (const std::exception& error) {
        if (self)
            showRunTimeError(QString::fromLocal8Bit(error.what()), QStringLiteral("CVideoConv.IsFileSupported"));
        return false;
    }
}

bool CVideoConv::ReportsUnreadableInput(const QString& text)
{
    return text.contains(QLatin1String("Unknown format"), Qt::CaseInsensitive)
        || text.contains(QLatin1String("Invalid data found when processing input"), Qt::CaseInsensitive);
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
    const QPointer<CVideoConv> self(this);
    if (ReportsUnreadableInput(CommandOutputs)) {
        raiseStatus(QStringLiteral("Unknown format"));
        if (self)
            raiseProgress(-1);
        return;
    }
    if (CommandOutputs == QLatin1String("Cancelled")) {
        raiseStatus(QStringLiteral("Cancelled"));
        return;
    }
    const qsizetype p = CommandOutputs.indexOf(QLatin1String("time="), 0, Qt::CaseInsensitive);
    if (p < 0)
        return;
    const qsizetype start = p + 5;
    const qsizetype blank = CommandOutputs.indexOf(QLatin1Char(' '), p);
    // Without a blank after it the time is incomplete (cut by the end of
    // the chunk): its text stays empty.
    const QString timeText = blank < 0 ? QString() : CommandOutputs.mid(start, blank - start);

    if (m_fileTimeLength > 0) {
        const std::optional<double> time = ParseEncoderTime(timeText);
        if (!time)
            return;
        const std::optional<qint32> wholeSeconds = RoundToInt32(*time);
        if (!wholeSeconds)
            return;
        const std::optional<qint16> percent =
            RoundToInt16(double(*wholeSeconds) / double(m_fileTimeLength) * 100.0);
        if (percent)
            raiseProgress(*percent);
        return;
    }

    // No length known: report the time itself, in seconds.
    QString shown = timeText;
    if (!timeText.isEmpty()) {
        const std::optional<double> time = ParseEncoderTime(timeText);
        if (!time)
            return;  // "N/A" and the like
        if (timeText.contains(QLatin1Char(':'))) {
            const qsizetype point = timeText.lastIndexOf(QLatin1Char('.'));
            const int decimals = point < 0 ? 0 : int(timeText.size() - point - 1);
            shown = QString::number(*time, 'f', decimals);
        }
    }
    raiseStatus(shown + QStringLiteral(" Seconds Converted"));
}

QString CVideoConv::TrimEncoderOutput(const QString& text)
{
    if (text.trimmed().isEmpty())
        return {};

    struct Marker {
        QLatin1String text;
        int lineBreaks;
    };
    static const Marker markers[] = {
        {QLatin1String("Stream mapping:"), 3},
        {QLatin1String("Input #"), 4},
        {QLatin1String("built on"), 1},
        {QLatin1String("built with"), 1},
    };
    qsizetype markerAt = -1;
    int lineBreaks = 0;
    for (const Marker& marker : markers) {
        markerAt = text.indexOf(marker.text, 0, Qt::CaseInsensitive);
        if (markerAt >= 0) {
            lineBreaks = marker.lineBreaks;
            break;
        }
    }
    if (markerAt < 0)
        return {};

    // A line break is LF, with or without a CR before it. The result starts
    // with the LF of the n-th break after the marker; when the breaks run
    // out, the search starts over from the beginning of the text.
    qsizetype pos = markerAt;
    qsizetype searchFrom = markerAt;
    for (int i = 0; i < lineBreaks; ++i) {
        const qsizetype lf = text.indexOf(QLatin1Char('\n'), searchFrom);
        if (lf < 0) {
            pos = 0;
            searchFrom = 0;
        } else {
            pos = lf;
            searchFrom = lf + 1;
        }
    }
    return text.mid(pos);
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
