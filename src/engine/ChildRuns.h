#pragma once

#include "common/HostServices.h"

#include <QByteArray>
#include <QJsonObject>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <chrono>
#include <functional>
#include <future>
#include <vector>

namespace clip {

// A run of the encoder or the probe beside others (a copy beside the
// encodes, the probes of one question beside each other): the same child
// handling as the runner's (no shell, input closed, ended with the
// program), its output kept for its answer or a failure's message.
class BesideRun {
public:
    BesideRun(const QString& program, const QStringList& arguments);
    ~BesideRun()
    {
        QObject::disconnect(&m_process, nullptr, nullptr, nullptr);
        Kill();
    }
    bool Running() { return m_started && m_process.state() != QProcess::NotRunning; }
    // Waits up to `ms` for the end, collecting the output.
    void Wait(int ms)
    {
        if (Running())
            m_process.waitForFinished(ms);
        m_output += m_process.readAll();
    }
    bool Succeeded() const
    {
        return m_started && m_process.exitStatus() == QProcess::NormalExit && m_process.exitCode() == 0;
    }
    bool Started() const { return m_started; }
    // Calls `ended` when the run ends, from the event loop.
    void WhenEnded(const std::function<void()>& ended)
    {
        QObject::connect(&m_process, &QProcess::finished, [ended] { ended(); });
        if (m_started && m_process.state() == QProcess::NotRunning)
            ended();
    }
    QString Output() const { return QString::fromUtf8(m_output); }
    // What it has written so far.
    const QByteArray& OutputSoFar() const { return m_output; }
    // The output of a run that succeeded; empty otherwise.
    QString Answer() const { return Succeeded() ? Output() : QString(); }
    void Kill()
    {
        if (Running()) {
            m_process.kill();
            m_process.waitForFinished(-1);
        }
    }

private:
    QProcess m_process;
    QByteArray m_output;
    bool m_started = false;
};

// Waits for every run of `runs` (null ones are passed over) in short slices
// with the window's events between them, and `meanwhile` after each slice.
// False, with every run ended, when `stop` says so or, given `limitMs`, when
// that time has passed.
bool WaitForAll(const std::vector<BesideRun*>& runs, const std::function<bool()>& stop, int limitMs = -1,
                const std::function<void()>& meanwhile = {});

// Runs `work` (which shares nothing with the caller) on a worker thread and
// waits for it in short slices with the window's events between them: a
// selection of hours lists hundreds of thousands of packets, and reading and
// planning them must not hold the window up.
template <typename Work>
auto OffTheWindow(Work work)
{
    std::future<decltype(work())> result = std::async(std::launch::async, std::move(work));
    while (result.wait_for(std::chrono::milliseconds(20)) != std::future_status::ready)
        Host().processEvents();
    return result.get();
}

// The picture count of an encoder report's last status line; -1 without one.
int LastCount(const QString& report);
// The JSON object a probe report holds (from its first brace on).
QJsonObject ParseJson(const QString& report);

// As many MPEG transport stream null packets as the probe needs to tell a
// stream by its packets; every reader passes over them.
QByteArray PaddingPackets();
// Appends them to a transport stream shorter than that.
void PadShortTransportStream(const QString& path);
// Makes a named pipe at `path` (none on Windows: false).
bool MakePipe(const QString& path);

// The job's own end of a named pipe that one run writes into and another
// reads: while it is open, the reader does not meet the pipe's end when the
// writer has finished. Opened for reading and writing, so that opening
// waits for no one (it never reads).
class HeldPipe {
public:
    HeldPipe() = default;
    HeldPipe(const HeldPipe&) = delete;
    HeldPipe& operator=(const HeldPipe&) = delete;
    ~HeldPipe() { Close(); }
    bool Open(const QString& path);
    // Writes `tail` after what the writer wrote and lets go once the reader
    // has taken it all; false when it has not within `limitMs` (the window's
    // events go on).
    bool Release(const QByteArray& tail, int limitMs);
    void Close();

private:
    int m_fd = -1;
};


}  // namespace clip
