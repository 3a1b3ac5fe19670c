#include "support/TestClips.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <gtest/gtest.h>

namespace clip::test {

namespace {

QString cacheFolder()
{
    const QString env = qEnvironmentVariable("CLIPWRIGHT_TEST_CLIPS");
    const QString folder = env.isEmpty() ? QStringLiteral(CLIP_TEST_CLIP_CACHE) : env;
    QDir().mkpath(folder);
    return folder;
}

QString recipeKey(const ClipRecipe& s)
{
    const QString text = QStringList{QString::number(s.width), QString::number(s.height),
                                     QString::number(s.seconds, 'g', 10), QString::number(s.fps),
                                     s.container, s.videoCodec, s.audioCodec, s.videoSource,
                                     s.videoSourceOptions, s.extraOutputArgs.join(QLatin1Char(' '))}
                             .join(QLatin1Char('|'));
    return QString::fromLatin1(
        QCryptographicHash::hash(text.toUtf8(), QCryptographicHash::Sha1).toHex().left(12));
}

}  // namespace

QString FfmpegPath() { return QCoreApplication::applicationDirPath() + QStringLiteral("/ffmpeg"); }
QString FfprobePath() { return QCoreApplication::applicationDirPath() + QStringLiteral("/ffprobe"); }

int RunProgram(const QString& program, const QStringList& args, QString* output, int timeoutMs)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.setStandardInputFile(QProcess::nullDevice());
    process.start(program, args);
    if (!process.waitForStarted(10000))
        return -1;
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished();
        return -1;
    }
    if (output)
        *output = QString::fromUtf8(process.readAll());
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

QString MakeClip(const ClipRecipe& recipe)
{
    const QString folder = cacheFolder();
    const QString path = QStringLiteral("%1/%2-%3.%4").arg(folder, recipe.baseName, recipeKey(recipe), recipe.container);
    if (QFileInfo::exists(path))
        return path;

    const QString seconds = QString::number(recipe.seconds, 'g', 10);
    QStringList args{QStringLiteral("-hide_banner"), QStringLiteral("-v"), QStringLiteral("error")};
    if (!recipe.videoCodec.isEmpty()) {
        QString source = QStringLiteral("%1=size=%2x%3:rate=%4:duration=%5")
                             .arg(recipe.videoSource).arg(recipe.width).arg(recipe.height).arg(recipe.fps).arg(seconds);
        if (!recipe.videoSourceOptions.isEmpty())
            source += QLatin1Char(':') + recipe.videoSourceOptions;
        args << QStringLiteral("-f") << QStringLiteral("lavfi") << QStringLiteral("-i") << source;
    }
    if (!recipe.audioCodec.isEmpty())
        args << QStringLiteral("-f") << QStringLiteral("lavfi") << QStringLiteral("-i")
             << QStringLiteral("sine=frequency=440:sample_rate=44100:duration=%1").arg(seconds);
    if (!recipe.videoCodec.isEmpty()) {
        args << QStringLiteral("-c:v") << recipe.videoCodec;
        if (recipe.videoCodec == QLatin1String("libx264"))
            args << QStringLiteral("-preset") << QStringLiteral("ultrafast") << QStringLiteral("-pix_fmt")
                 << QStringLiteral("yuv420p");
    }
    if (!recipe.audioCodec.isEmpty())
        args << QStringLiteral("-c:a") << recipe.audioCodec;
    args << recipe.extraOutputArgs;
    args << QStringLiteral("-t") << seconds;

    // Made under a temporary name and renamed, so parallel test processes
    // never see half a clip.
    const QString partial = path + QStringLiteral(".part-%1.%2").arg(QCoreApplication::applicationPid()).arg(recipe.container);
    args << QStringLiteral("-y") << partial;
    QString output;
    const int code = RunProgram(FfmpegPath(), args, &output);
    if (code != 0) {
        QFile::remove(partial);
        ADD_FAILURE() << "could not make test clip " << path.toStdString() << ": " << output.toStdString();
        return {};
    }
    if (!QFile::rename(partial, path)) {
        QFile::remove(partial);
        if (!QFileInfo::exists(path)) {
            ADD_FAILURE() << "could not store test clip " << path.toStdString();
            return {};
        }
    }
    return path;
}

QString CopyClipTo(const QString& clipPath, const QString& folder, const QString& fileName)
{
    QDir().mkpath(folder);
    const QString target = QDir(folder).filePath(fileName);
    QFile::remove(target);
    if (!QFile::copy(clipPath, target)) {
        ADD_FAILURE() << "could not copy " << clipPath.toStdString() << " to " << target.toStdString();
        return {};
    }
    return target;
}

double ProbeDuration(const QString& path)
{
    QString output;
    const int code = RunProgram(FfprobePath(),
                                {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-show_entries"),
                                 QStringLiteral("format=duration"), QStringLiteral("-of"),
                                 QStringLiteral("default=noprint_wrappers=1:nokey=1"), path},
                                &output);
    if (code != 0)
        return -1;
    bool ok = false;
    const double value = output.trimmed().toDouble(&ok);
    return ok ? value : -1;
}

bool DecodesCleanly(const QString& path, QString* errors)
{
    QString output;
    const int code = RunProgram(FfmpegPath(),
                                {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-i"), path,
                                 QStringLiteral("-f"), QStringLiteral("null"), QStringLiteral("-")},
                                &output);
    if (errors)
        *errors = output;
    return code == 0 && output.trimmed().isEmpty();
}

}  // namespace clip::test
