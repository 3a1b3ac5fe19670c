#include "engine/KeyFrameScan.h"

#include "common/ResourceLocator.h"

#include <QProcess>

#include <algorithm>
#include <cmath>

namespace clip {

KeyFrameScan::KeyFrameScan(QObject* parent)
    : QObject(parent)
{
}

KeyFrameScan::~KeyFrameScan() { cancel(); }

QStringList KeyFrameScan::Arguments(const QString& path)
{
    // Only the key frames are decoded and listed: on a two-hour film this is
    // faster than listing every packet with its flags and keeping the key
    // ones (docs/PERFORMANCE.md), and the output stays small.
    return {QStringLiteral("-v"),           QStringLiteral("error"),
            QStringLiteral("-select_streams"), QStringLiteral("v:0"),
            QStringLiteral("-skip_frame"),  QStringLiteral("nokey"),
            QStringLiteral("-show_entries"), QStringLiteral("frame=pts_time"),
            QStringLiteral("-of"),          QStringLiteral("csv=p=0"),
            path};
}

QList<double> KeyFrameScan::ParseKeyFrames(const QByteArray& output)
{
    QList<double> times;
    for (const QByteArray& line : output.split('\n')) {
        const QList<QByteArray> fields = line.trimmed().split(',');
        bool ok = false;
        const double t = fields[0].toDouble(&ok);
        if (ok && std::isfinite(t))
            times << t;
    }
    std::sort(times.begin(), times.end());
    times.erase(std::unique(times.begin(), times.end()), times.end());
    return times;
}

bool KeyFrameScan::start(const QString& path)
{
    cancel();
    const QString probe = LocateTool(QStringLiteral("ffprobe"));
    if (!ToolFound(QStringLiteral("ffprobe")))
        return false;
    m_path = path;
    m_output.clear();
    m_process = new QProcess(this);
    m_process->setProcessChannelMode(QProcess::SeparateChannels);
    m_process->setStandardErrorFile(QProcess::nullDevice());
    QProcess* process = m_process;
    // Read as it comes, so that the pipe never fills on a long file.
    connect(process, &QProcess::readyReadStandardOutput, this,
            [this, process] { m_output += process->readAllStandardOutput(); });
    connect(process, &QProcess::finished, this, [this, process](int code, QProcess::ExitStatus status) {
        if (process != m_process)
            return;
        m_output += process->readAllStandardOutput();
        const bool ok = status == QProcess::NormalExit && code == 0;
        const QList<double> times = ok ? ParseKeyFrames(m_output) : QList<double>();
        m_output.clear();
        m_process = nullptr;
        process->deleteLater();
        emit finished(m_path, times);
    });
    process->start(probe, Arguments(path));
    if (!process->waitForStarted(5000)) {
        m_process = nullptr;
        delete process;
        return false;
    }
    return true;
}

void KeyFrameScan::cancel()
{
    QProcess* process = m_process;
    if (!process)
        return;
    m_process = nullptr;
    m_output.clear();
    process->disconnect(this);
    process->kill();
    process->waitForFinished(2000);
    delete process;
}

bool KeyFrameScan::isRunning() const { return m_process != nullptr; }

}  // namespace clip
