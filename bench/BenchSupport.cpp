#include "BenchSupport.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

#include <algorithm>
#include <cstdio>
#include <sys/resource.h>

namespace clip::bench {

QString Encoder()
{
    return QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("ffmpeg"));
}

QString BenchCacheFolder()
{
    QString cache = qEnvironmentVariable("XDG_CACHE_HOME");
    if (cache.isEmpty())
        cache = QDir::homePath() + QStringLiteral("/.cache");
    const QDir folder(cache + QStringLiteral("/clipwright-bench"));
    return folder.mkpath(QStringLiteral(".")) ? folder.path() : QString();
}

QString CachedClip(int width, int height, int seconds, int keyint, int fps)
{
    if (BenchCacheFolder().isEmpty())
        return {};
    const QDir folder(BenchCacheFolder());
    const QString name = QStringLiteral("testsrc2-%1x%2-%5fps-%3s-x264ultrafast-g%4-800k.mp4")
                             .arg(width)
                             .arg(height)
                             .arg(seconds)
                             .arg(keyint)
                             .arg(fps);
    const QString path = folder.filePath(name);
    if (QFileInfo::exists(path))
        return path;

    std::fprintf(stderr, "making %s (once; it is cached)...\n", qPrintable(path));
    const QString partial = path + QStringLiteral(".partial.mp4");
    const QStringList args{
        "-nostdin", "-v", "error", "-f", "lavfi", "-i",
        QStringLiteral("testsrc2=size=%1x%2:rate=%4:duration=%3").arg(width).arg(height).arg(seconds).arg(fps), "-f", "lavfi",
        "-i", QStringLiteral("sine=frequency=440:sample_rate=44100:duration=%1").arg(seconds), "-c:v", "libx264",
        "-preset", "ultrafast", "-g", QString::number(keyint), "-b:v", "800k", "-pix_fmt", "yuv420p", "-c:a", "aac",
        "-b:a", "64k", "-t", QString::number(seconds), "-y", partial};
    if (RunBare(Encoder(), args) < 0 || !QFile::rename(partial, path)) {
        QFile::remove(partial);
        return {};
    }
    return path;
}

void BenchHost::messageBox(const QString& text, int style)
{
    ++m_messages;
    std::fprintf(stderr, "message box (style %d): %s\n", style, qPrintable(text));
}

double RunBare(const QString& program, const QStringList& args, bool anyExitCode)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.setStandardInputFile(QProcess::nullDevice());
    QElapsedTimer clock;
    clock.start();
    process.start(program, args, QIODevice::ReadOnly);
    if (!process.waitForStarted(-1))
        return -1.0;
    process.waitForFinished(-1);
    const double seconds = double(clock.nsecsElapsed()) / 1e9;
    if (process.exitStatus() != QProcess::NormalExit || (process.exitCode() != 0 && !anyExitCode)) {
        std::fprintf(stderr, "%s failed:\n%s\n", qPrintable(program), process.readAll().right(2000).constData());
        return -1.0;
    }
    return seconds;
}

double OwnCpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
        + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

double Median(std::vector<double> values)
{
    if (values.empty())
        return 0.0;
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2.0;
}

bool RunUntil(const std::function<bool()>& done, int ms)
{
    QEventLoop loop;
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, &loop, [&] {
        if (done())
            loop.quit();
    });
    check.start(5);
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    if (!done())
        loop.exec();
    return done();
}

double LongestStallMs(const std::function<void(int step)>& drive, int steps, int stepMs)
{
    QEventLoop loop;
    QElapsedTimer sinceTurn;
    double longest = 0;
    QTimer watch;
    watch.setTimerType(Qt::PreciseTimer);
    QObject::connect(&watch, &QTimer::timeout, &loop, [&] {
        longest = std::max(longest, sinceTurn.nsecsElapsed() / 1e6);
        sinceTurn.restart();
    });
    int step = 0;
    QTimer driver;
    QObject::connect(&driver, &QTimer::timeout, &loop, [&] {
        if (step == steps)
            loop.quit();
        else
            drive(step++);
    });
    sinceTurn.start();
    watch.start(1);
    driver.start(stepMs);
    loop.exec();
    return longest;
}

}  // namespace clip::bench
