#include "engine/EncoderRunner.h"

#include "common/Rounding.h"
#include "engine/DOSOutputs.h"

#include <QRegularExpression>

namespace clip {

namespace {

// At most this many of the encoder's last error lines lead a failure box.
constexpr int kErrorLinesShown = 10;

}  // namespace

EncoderRunner::EncoderRunner(Sinks sinks)
    : m_sinks(std::move(sinks))
    , m_dos(std::make_unique<DOSOutputs>())
{
    m_dos->setShowsFailures(false);  // the job's own box says it
    QObject::connect(m_dos.get(), &DOSOutputs::ReceiveOutputs, m_dos.get(),
                     [this](QString& chunk) { Receive(chunk); }, Qt::DirectConnection);
}

EncoderRunner::~EncoderRunner() = default;

void EncoderRunner::setRange(double from, double span)
{
    m_from = from;
    m_span = span;
}

RunEnd EncoderRunner::Run(const QString& program, const QStringList& arguments)
{
    const std::weak_ptr<bool> alive = m_alive;
    m_pendingLine.clear();
    RunEnd end;
    end.report = m_dos->ExecuteCommand(program, arguments);
    if (alive.expired() || m_dos->WasStopped()) {
        end.kind = RunEnd::Kind::Stopped;
    } else if (!m_dos->WasStarted()) {
        end.kind = RunEnd::Kind::NotStarted;
        end.cause = m_dos->FailureMessage();
    } else if (!m_dos->ExitedNormally() || m_dos->ExitCode() != 0) {
        end.kind = RunEnd::Kind::Failed;
        end.cause = ErrorLines(end.report);
        if (!m_dos->ExitedNormally())
            end.cause.prepend(QStringLiteral("The encoder ended abnormally (it was killed or it crashed).\n"));
    }
    return end;
}

void EncoderRunner::Receive(const QString& chunk)
{
    if (chunk == QLatin1String("Cancelled")) {
        m_sinks.status(QStringLiteral("Cancelled"));
        return;
    }
    // The report is read line by line (a status line ends in CR, the others
    // in LF). A handler may end the runner's owner, and the runner with it.
    const std::weak_ptr<bool> alive = m_alive;
    m_pendingLine += chunk;
    qsizetype from = 0;
    for (qsizetype i = 0; i < m_pendingLine.size() && !alive.expired(); ++i) {
        const QChar c = m_pendingLine.at(i);
        if (c == QLatin1Char('\r') || c == QLatin1Char('\n')) {
            const QString line = m_pendingLine.mid(from, i - from);
            from = i + 1;
            HandleLine(line);
        }
    }
    if (alive.expired())
        return;
    m_pendingLine.remove(0, from);
    if (chunk.isEmpty() && !m_pendingLine.isEmpty()) {
        const QString last = m_pendingLine;
        m_pendingLine.clear();
        HandleLine(last);
    }
}

void EncoderRunner::HandleLine(const QString& line)
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
    const std::optional<double> time = ParseTime(timeText);
    if (!time)
        return;  // "N/A" and the like

    if (const double length = m_sinks.length(); length > 0) {
        const std::optional<qint32> wholeSeconds = RoundToInt32(*time);
        if (!wholeSeconds)
            return;
        const std::optional<qint16> percent = RoundToInt16(m_from + double(*wholeSeconds) / length * m_span);
        if (percent)
            m_sinks.progress(*percent);
        return;
    }

    // No length known: report the time itself, in seconds.
    QString shown = timeText;
    if (timeText.contains(QLatin1Char(':'))) {
        const qsizetype point = timeText.lastIndexOf(QLatin1Char('.'));
        const int decimals = point < 0 ? 0 : int(timeText.size() - point - 1);
        shown = QString::number(*time, 'f', decimals);
    }
    m_sinks.status(shown + QStringLiteral(" Seconds Converted"));
}

bool EncoderRunner::IsStatusLine(const QString& line)
{
    const QString t = line.trimmed();
    return t.startsWith(QLatin1String("frame=")) || t.startsWith(QLatin1String("size="));
}

std::optional<double> EncoderRunner::ParseTime(const QString& text)
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

QString EncoderRunner::ErrorLines(const QString& log)
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

}  // namespace clip
