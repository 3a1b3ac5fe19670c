#include "engine/DOSOutputs.h"

#include "common/HostServices.h"
#include "platform/ChildLifetime.h"

#include <QPointer>
#include <QProcess>

#ifndef Q_OS_WIN
#include <unistd.h>
#endif

namespace clip {

namespace {

constexpr int kYieldsPerChunk = 6;
// How long clean-up waits for a killed child to be reaped.
constexpr int kReapTimeoutMs = 10000;

// Number of bytes at the end of `bytes` that start a UTF-8 sequence the
// bytes do not complete (0 to 3). Such a tail is held back so that no
// character is cut in two by a chunk boundary.
int incompleteUtf8Tail(const QByteArray& bytes)
{
    const int size = int(bytes.size());
    for (int back = 1; back <= qMin(3, size); ++back) {
        const auto c = static_cast<unsigned char>(bytes.at(size - back));
        if ((c & 0xC0) == 0x80)
            continue;  // continuation byte: look further back for the lead byte
        int length = 1;
        if ((c & 0xE0) == 0xC0)
            length = 2;
        else if ((c & 0xF0) == 0xE0)
            length = 3;
        else if ((c & 0xF8) == 0xF0)
            length = 4;
        return length > back ? back : 0;
    }
    return 0;
}

}  // namespace

DOSOutputs::DOSOutputs(QObject* parent)
    : QObject(parent)
{
}

DOSOutputs::~DOSOutputs()
{
    CleanUp();
}

QString DOSOutputs::CommandLine() const
{
    return m_commandLine;
}

void DOSOutputs::setCommandLine(const QString& DOSCommand)
{
    m_commandLine = DOSCommand;
    m_arguments = QProcess::splitCommand(DOSCommand);
    m_program = m_arguments.isEmpty() ? QString() : m_arguments.takeFirst();
}

void DOSOutputs::setCommand(const QString& program, const QStringList& arguments)
{
    m_program = program;
    m_arguments = arguments;
    m_commandLine = program.isEmpty() ? QString() : QuoteArgument(program);
    for (const QString& argument : arguments)
        m_commandLine += QLatin1Char(' ') + QuoteArgument(argument);
}

QString DOSOutputs::Outputs() const
{
    return m_outputs;
}

void DOSOutputs::setStopConvert(bool bSet)
{
    m_stopConvert = bSet;
    // The child is ended at once rather than at the run's next check: the
    // run may be waiting under a nested handler (a new job started after a
    // Stop click), and a stopped encoder must not go on writing meanwhile.
    // The run still ends as stopped, with its "Cancelled" notice.
    if (bSet && m_process && m_process->state() != QProcess::NotRunning)
        m_process->kill();
}

QString DOSOutputs::QuoteArgument(const QString& text)
{
    QString quoted = text;
    quoted.replace(QLatin1Char('"'), QStringLiteral("\"\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

QString DOSOutputs::Fail(const QString& message)
{
    m_failureMessage = message;
    if (m_showsFailures)
        Host().messageBox(message, MsgCritical);
    return {};
}

QString DOSOutputs::ExecuteCommand(const QString& CommandLine)
{
    if (!CommandLine.isEmpty())
        setCommandLine(CommandLine);
    return run();
}

QString DOSOutputs::ExecuteCommand(const QString& program, const QStringList& arguments)
{
    setCommand(program, arguments);
    return run();
}

QString DOSOutputs::run()
{
    m_stopConvert = false;
    m_failureMessage.clear();
    if (m_commandLine.isEmpty())
        return Fail(QStringLiteral("Command Line is empty"));

    // Whatever an earlier run still holds is released before a new child.
    CleanUp();
    m_wasStarted = false;
    m_wasStopped = false;
    m_exitedNormally = false;
    m_exitCode = -1;
    ++m_runSerial;
    const quint64 run = m_runSerial;

    if (m_program.isEmpty())
        return Fail(QStringLiteral("File or command not found"));
    m_process = std::make_unique<QProcess>();
    m_process->setProcessChannelMode(QProcess::MergedChannels);
    m_process->setStandardInputFile(QProcess::nullDevice());
    m_process->setProgram(m_program);
    m_process->setArguments(m_arguments);
#ifndef Q_OS_WIN
    // The child ends with this program, even when the program is killed.
    const int parent = int(::getpid());
    m_process->setChildProcessModifier([parent] { platform::DieWithParent(parent); });
#endif
    m_process->start(QIODevice::ReadOnly);
    if (!m_process->waitForStarted(-1)) {
        m_process.reset();
        return Fail(QStringLiteral("File or command not found"));
    }
#ifdef Q_OS_WIN
    platform::EndWithThisProgram(static_cast<unsigned long>(m_process->processId()));
#endif
    m_wasStarted = true;
    m_outputs.clear();
    m_pendingBytes.clear();

    const QPointer<DOSOutputs> self(this);
    bool stopped = false;
    for (;;) {
        QString chunk;
        const ReadResult result = readChunk(chunk, run);
        if (result == ReadResult::Gone)
            return {};  // destroyed from a handler run while waiting
        if (result == ReadResult::Stopped) {
            stopped = true;
            break;
        }
        m_outputs += chunk;
        for (int i = 0; i < kYieldsPerChunk; ++i) {
            Host().processEvents();
            if (!self)
                return {};
        }
        emit ReceiveOutputs(chunk);
        if (!self)
            return {};
        if (m_stopConvert) {
            stopped = true;
            break;
        }
        if (result == ReadResult::EndOfData)
            break;
        if (run != m_runSerial || !m_process)
            break;  // cleaned up (or replaced) by a handler meanwhile
    }

    if (stopped) {
        CleanUp();
        m_wasStopped = true;
        m_exitedNormally = false;
        m_exitCode = -1;
        QString cancelled = QStringLiteral("Cancelled");
        emit ReceiveOutputs(cancelled);
        return {};
    }
    if (run == m_runSerial)
        CleanUp();
    return m_outputs;
}

DOSOutputs::ReadResult DOSOutputs::readChunk(QString& chunk, quint64 run)
{
    const QPointer<DOSOutputs> self(this);
    for (;;) {
        if (run != m_runSerial || !m_process) {
            // Clean-up ran meanwhile: the read fails.
            chunk.clear();
            return ReadResult::EndOfData;
        }
        if (m_process->bytesAvailable() > 0) {
            QByteArray bytes = m_pendingBytes;
            bytes += m_process->read(kChunkBytes - m_pendingBytes.size());
            const int tail = incompleteUtf8Tail(bytes);
            m_pendingBytes = bytes.right(tail);
            bytes.chop(tail);
            if (bytes.isEmpty())
                continue;  // only part of a character so far
            chunk = QString::fromUtf8(bytes);
            return ReadResult::Data;
        }
        if (m_process->state() == QProcess::NotRunning) {
            if (!m_pendingBytes.isEmpty()) {
                // The child ended inside a character: hand out what is left.
                chunk = QString::fromUtf8(m_pendingBytes);
                m_pendingBytes.clear();
                return ReadResult::Data;
            }
            chunk.clear();
            return ReadResult::EndOfData;
        }
        if (m_process->waitForReadyRead(kIdleYieldMs) || m_process->state() == QProcess::NotRunning)
            continue;
        // Nothing to read yet: keep the window alive and look at the stop
        // request, so a silent child can still be stopped.
        Host().processEvents();
        if (!self)
            return ReadResult::Gone;
        if (m_stopConvert)
            return ReadResult::Stopped;
    }
}

void DOSOutputs::recordExit()
{
    if (!m_process || m_process->state() != QProcess::NotRunning)
        return;
    m_exitedNormally = m_process->exitStatus() == QProcess::NormalExit;
    m_exitCode = m_exitedNormally ? m_process->exitCode() : -1;
}

void DOSOutputs::CleanUp()
{
    if (!m_process)
        return;
    if (m_process->state() != QProcess::NotRunning) {
        m_process->kill();
        m_process->waitForFinished(kReapTimeoutMs);
        m_exitedNormally = false;
        m_exitCode = -1;
    } else {
        recordExit();
    }
    // Destroying the process object reaps the child if the wait above was
    // cut short; nothing is left behind.
    m_process.reset();
}

}  // namespace clip
