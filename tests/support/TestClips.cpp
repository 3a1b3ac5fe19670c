#include "support/TestClips.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QThread>
#include <gtest/gtest.h>

namespace clip::test {

QString FfmpegPath() { return QCoreApplication::applicationDirPath() + "/ffmpeg"; }
QString FfprobePath() { return QCoreApplication::applicationDirPath() + "/ffprobe"; }

int RunProgram(const QString& program, const QStringList& args, QString* output, int timeoutMs)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.setStandardInputFile(QProcess::nullDevice());
    process.start(program, args);
    if (!process.waitForFinished(timeoutMs))
        process.kill(), process.waitForFinished();
    if (output)
        *output = QString::fromUtf8(process.readAll());
    return process.exitStatus() == QProcess::NormalExit && process.error() == QProcess::UnknownError ? process.exitCode() : -1;
}

QString MakeClip(const ClipRecipe& r)
{
    const QString seconds = QString::number(r.seconds, 'g', 10);
    QStringList args{"-hide_banner", "-v", "error"};
    if (!r.videoCodec.isEmpty())
        args << "-f" << "lavfi" << "-i"
             << QString("%1=size=%2x%3:rate=%4:duration=%5").arg(r.videoSource).arg(r.width).arg(r.height).arg(r.fps).arg(seconds)
                    + (r.videoSourceOptions.isEmpty() ? "" : ":" + r.videoSourceOptions);
    if (!r.audioCodec.isEmpty())
        args << "-f" << "lavfi" << "-i" << "sine=frequency=440:sample_rate=44100:duration=" + seconds;
    if (!r.videoCodec.isEmpty())
        args << "-c:v" << r.videoCodec
             << (r.videoCodec == "libx264" ? QStringList{"-preset", "ultrafast", "-pix_fmt", "yuv420p"} : QStringList());
    if (!r.audioCodec.isEmpty())
        args << "-c:a" << r.audioCodec;
    args << r.extraOutputArgs << "-t" << seconds;
    return MakeFile(r.baseName, r.container, args);
}

QString MakeFile(const QString& baseName, const QString& extension, QStringList args)
{
    // Named after everything that makes the file; made under a name of its own and renamed, so parallel
    // test processes never see half a file.
    const QString env = qEnvironmentVariable("CLIPWRIGHT_TEST_CLIPS"), folder = env.isEmpty() ? CLIP_TEST_CLIP_CACHE : env;
    const QByteArray key = QCryptographicHash::hash(args.join('|').toUtf8(), QCryptographicHash::Sha1).toHex().left(12);
    const QString path = QString("%1/%2-%3.%4").arg(folder, baseName, key, extension);
    const QString partial = path + QString(".part-%1.%2").arg(QCoreApplication::applicationPid()).arg(extension);
    QString output;
    const bool made = QFile::exists(path) || (QDir().mkpath(folder) && RunProgram(FfmpegPath(), args << "-y" << partial, &output) == 0
                                              && (QFile::rename(partial, path) || QFile::exists(path)));
    QFile::remove(partial);
    if (!made)
        ADD_FAILURE() << "could not make test clip " << path.toStdString() << ": " << output.toStdString();
    return made ? path : QString();
}

QString CopyClipTo(const QString& clipPath, const QString& folder, const QString& fileName)
{
    const QString target = QDir(folder).filePath(fileName);
    QFile::remove(target);
    if (QDir().mkpath(folder) && QFile::copy(clipPath, target))
        return target;
    ADD_FAILURE() << "could not copy " << clipPath.toStdString() << " to " << target.toStdString();
    return {};
}

void StartSelf(QProcess& process, const QString& filter, const QList<std::pair<QString, QString>>& environment,
               const QStringList& wrapper)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const auto& [name, value] : environment)
        env.insert(name, value);
    process.setProcessEnvironment(env), process.setProcessChannelMode(QProcess::MergedChannels);
    const QStringList command = wrapper + QStringList{QCoreApplication::applicationFilePath(),
                                                     "--gtest_also_run_disabled_tests", "--gtest_filter=" + filter};
    process.start(command.first(), command.mid(1));
}

QString ProbeCsv(const QString& path, const QStringList& args)
{
    QString output;
    EXPECT_EQ(RunProgram(FfprobePath(), QStringList{"-v", "error", "-of", "csv=p=0"} + args + QStringList{path}, &output), 0)
        << output.toStdString();
    return output.trimmed();
}

std::pair<double, double> StreamStarts(const QString& file)
{
    const QString out = ProbeCsv(file, {"-show_entries", "stream=codec_type,start_time"});
    const auto start = [&](const char* type) {
        const QRegularExpressionMatch m = QRegularExpression(QString(type) + ",([-0-9.]+)").match(out);
        return m.hasMatch() ? m.captured(1).toDouble() : qQNaN();
    };
    return {start("video"), start("audio")};
}

void WriteFile(const QString& path, const QByteArray& bytes, bool executable)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size()
                && (!executable || file.setPermissions(QFileDevice::ReadOwner | QFileDevice::ExeOwner)))
        << path.toStdString();
}

QByteArray ReadFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

double ProbeDuration(const QString& path)
{
    QString output;
    bool ok = false;
    const double value = RunProgram(FfprobePath(), {"-v", "error", "-show_entries", "format=duration", "-of", "csv=p=0", path},
                                    &output) == 0 ? output.trimmed().toDouble(&ok) : -1;
    return ok ? value : -1;
}

bool DecodesCleanly(const QString& path, QString* errors)
{
    QString output;
    const int code = RunProgram(FfmpegPath(), {"-v", "error", "-i", path, "-f", "null", "-"}, &output);
    if (errors)
        *errors = output;
    return code == 0 && output.trimmed().isEmpty();
}

bool WaitFor(const std::function<bool()>& done, int ms)
{
    for (QDeadlineTimer deadline(ms); !done() && !deadline.hasExpired(); QThread::msleep(5))
        QCoreApplication::processEvents();
    return done();
}

QStringList EncoderPids()
{
    QStringList pids;
    for (const QString& task : QDir("/proc/self/task").entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile children("/proc/self/task/" + task + "/children");
        for (const QString& pid : children.open(QIODevice::ReadOnly) ? QString(children.readAll()).split(' ', Qt::SkipEmptyParts) : QStringList()) {
            QFile name("/proc/" + pid + "/comm");
            if (name.open(QIODevice::ReadOnly) && name.readAll().startsWith("ffmpeg"))
                pids << pid;
        }
    }
    return pids;
}

}  // namespace clip::test
