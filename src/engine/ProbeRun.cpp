#include "engine/ProbeRun.h"

#include "common/HostServices.h"
#include "common/MediaTime.h"
#include "common/ResourceLocator.h"
#include "platform/ChildLifetime.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>

#ifndef Q_OS_WIN
#include <unistd.h>
#endif

namespace clip {

namespace {

// Longest wait for a probe of a file's header.
constexpr int kProbeWaitMs = 60000;
// How long a probe is waited for between two looks at the window's events.
constexpr int kProbeSliceMs = 20;

// The input probe's last report and the file it was read from, as the file
// stood just before: a cut of the file the window has just loaded takes the
// load's report instead of probing again, but only while the file is the
// same (a file replaced or written to since changes its times).
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

QString EncoderProgram()
{
    return LocateTool(QStringLiteral("ffmpeg"));
}

QString ProbeProgram()
{
    return LocateTool(QStringLiteral("ffprobe"));
}

QString RunProbeUntil(const QStringList& arguments, const std::function<bool()>& stop)
{
    const QString program = ProbeProgram();
    const QFileInfo probe(program);
    if (!probe.isFile() || !probe.isExecutable())
        return {};
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.setStandardInputFile(QProcess::nullDevice());
#ifndef Q_OS_WIN
    const int parent = int(::getpid());
    process.setChildProcessModifier([parent] { platform::DieWithParent(parent); });
#endif
    QElapsedTimer clock;
    clock.start();
    process.start(program, arguments, QIODevice::ReadOnly);
    while (!process.waitForFinished(kProbeSliceMs) && process.state() != QProcess::NotRunning) {
        Host().processEvents();
        if (stop() || clock.elapsed() > kProbeWaitMs) {
            process.kill();
            process.waitForFinished(-1);
            return {};
        }
    }
    const QString report = QString::fromUtf8(process.readAll());
    return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0 ? report : QString();
}

QString InputProbeReport(const QString& path, const std::function<bool()>& stop)
{
    InputReport now = Stat(path);
    const InputReport& last = LastInputReport();
    if (SameFile(now, last) && !last.report.isEmpty())
        return last.report;
    now.report = RunProbeUntil(TimeOrigin::ProbeArguments(path), stop);
    if (!now.report.isEmpty())
        LastInputReport() = now;
    return now.report;
}

QString MissingEncoderMessage()
{
    const QFileInfo encoder(EncoderProgram());
    if (encoder.isFile() && encoder.isExecutable())
        return {};
    return QStringLiteral("The encoder was not found: ") + LookedFor(QStringLiteral("ffmpeg")).join(QStringLiteral(", "));
}

QString ConversionError(const QString& input, const QString& cause)
{
    return QStringLiteral("Error converting file: ") + QFileInfo(input).fileName() + QStringLiteral("\r\n") + cause;
}

}  // namespace clip
