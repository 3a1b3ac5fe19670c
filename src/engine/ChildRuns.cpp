#include "engine/ChildRuns.h"

#include "platform/ChildLifetime.h"

#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QRegularExpression>

#ifndef Q_OS_WIN
#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace clip {

BesideRun::BesideRun(const QString& program, const QStringList& arguments)
{
    m_process.setProcessChannelMode(QProcess::MergedChannels);
    m_process.setStandardInputFile(QProcess::nullDevice());
    // Read as it comes (the waits deliver it), so that a full pipe never
    // holds the child up.
    QObject::connect(&m_process, &QProcess::readyRead,
                     [this] { m_output += m_process.readAll(); });
#ifndef Q_OS_WIN
    const int parent = int(::getpid());
    m_process.setChildProcessModifier([parent] { platform::DieWithParent(parent); });
#endif
    m_process.start(program, arguments, QIODevice::ReadOnly);
    m_started = m_process.waitForStarted(-1);
#ifdef Q_OS_WIN
    if (m_started)
        platform::EndWithThisProgram(static_cast<unsigned long>(m_process.processId()));
#endif
}

bool WaitForAll(const std::vector<BesideRun*>& runs, const std::function<bool()>& stop, int limitMs,
                const std::function<void()>& meanwhile)
{
    QElapsedTimer clock;
    clock.start();
    for (bool waiting = true; waiting;) {
        waiting = false;
        for (BesideRun* run : runs) {
            if (run && run->Running()) {
                run->Wait(waiting ? 1 : 20);
                waiting = waiting || run->Running();
            }
        }
        if (!waiting)
            break;
        if (meanwhile)
            meanwhile();
        Host().processEvents();
        if (stop() || (limitMs >= 0 && clock.elapsed() > limitMs)) {
            for (BesideRun* run : runs) {
                if (run)
                    run->Kill();
            }
            return false;
        }
    }
    return true;
}

// The picture count of an encoder report's last status line; -1 without one.
int LastCount(const QString& report)
{
    static const QRegularExpression counted(QStringLiteral("frame=\\s*(\\d+)"));
    int frames = -1;
    for (auto m = counted.globalMatch(report); m.hasNext();)
        frames = m.next().captured(1).toInt();
    return frames;
}

QJsonObject ParseJson(const QString& report)
{
    const qsizetype brace = report.indexOf(QLatin1Char('{'));
    return brace < 0 ? QJsonObject() : QJsonDocument::fromJson(report.mid(brace).toUtf8()).object();
}

// As many transport stream null packets as the probe needs to tell a
// stream by its packets; every reader passes over them.
QByteArray PaddingPackets()
{
    constexpr qint64 kPacket = 188, kPackets = 16;
    QByteArray null(kPacket * kPackets, char(0xff));
    for (qint64 i = 0; i < kPackets; ++i) {
        char* packet = null.data() + i * kPacket;
        packet[0] = 0x47, packet[1] = 0x1f, packet[2] = char(0xff), packet[3] = 0x10;  // PID 0x1fff, payload only
    }
    return null;
}

// Appends null packets to a transport stream shorter than the probe needs
// to tell it by its packets.
void PadShortTransportStream(const QString& path)
{
    const QByteArray null = PaddingPackets();
    QFile file(path);
    if (file.size() >= null.size() || !file.open(QIODevice::Append))
        return;
    file.write(null);
}

bool MakePipe(const QString& path)
{
#ifdef Q_OS_WIN
    Q_UNUSED(path);
    return false;
#else
    return ::mkfifo(QFile::encodeName(path).constData(), 0600) == 0;
#endif
}

bool HeldPipe::Open(const QString& path)
{
#ifdef Q_OS_WIN
    Q_UNUSED(path);
    return false;
#else
    m_fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    return m_fd >= 0;
#endif
}

bool HeldPipe::Release(const QByteArray& tail, int limitMs)
{
#ifndef Q_OS_WIN
    QElapsedTimer clock;
    clock.start();
    for (qsizetype written = 0; m_fd >= 0 && written < tail.size();) {
        const ssize_t n = ::write(m_fd, tail.constData() + written, size_t(tail.size() - written));
        if (n > 0) {
            written += n;
            continue;
        }
        if ((n < 0 && errno != EAGAIN && errno != EINTR) || clock.elapsed() > limitMs) {
            Close();
            return false;
        }
        pollfd writable{m_fd, POLLOUT, 0};
        ::poll(&writable, 1, 20);
        Host().processEvents();
    }
    // The pipe's end reaches only a reader that has it open: a short part
    // may have gone into the pipe whole before its reader opened it, and
    // would be lost with the last writer's end. The hold is let go once the
    // reader has taken everything.
    for (int queued = 0; m_fd >= 0 && ::ioctl(m_fd, FIONREAD, &queued) == 0 && queued > 0;) {
        if (clock.elapsed() > limitMs) {
            Close();
            return false;
        }
        ::poll(nullptr, 0, 5);
        Host().processEvents();
    }
#else
    Q_UNUSED(tail);
    Q_UNUSED(limitMs);
#endif
    Close();
    return true;
}
void HeldPipe::Close()
{
#ifndef Q_OS_WIN
    if (m_fd >= 0)
        ::close(m_fd);
#endif
    m_fd = -1;
}


}  // namespace clip
