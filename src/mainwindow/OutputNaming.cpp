#include "mainwindow/OutputNaming.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace clip {

namespace {
const QString kConverted = QStringLiteral("_Converted");
}  // namespace

bool OutputPathTaken(const QString& path)
{
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}

Reservation ReserveOutputPath(const QString& path, QString* error)
{
    if (OutputPathTaken(path))
        return Reservation::Taken;
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        return Reservation::Reserved;
    if (OutputPathTaken(path))
        return Reservation::Taken;  // another job was quicker
    if (error)
        *error = QDir::toNativeSeparators(path) + QStringLiteral(": ") + file.errorString();
    return Reservation::Failed;
}

bool EnsureOutputFolder(const QString& folder)
{
    if (folder.trimmed().isEmpty() || QDir::isRelativePath(QDir::fromNativeSeparators(folder)))
        return false;  // a relative folder would depend on the working folder
    const QFileInfo info(folder);
    if (info.isDir())
        return true;
    if (info.exists() || info.isSymLink())
        return false;  // a file (or a dangling link) stands there
    // One level only: QDir::mkdir fails when the parent is missing.
    return QDir().mkdir(folder) && QFileInfo(folder).isDir();
}

QString FirstFreeOutputName(const QString& folder, const QString& baseName, const QString& extension,
                            const std::function<bool(const QString&)>& taken,
                            const std::function<void()>& beforeNumbered)
{
    QString dir = QDir::toNativeSeparators(folder);
    if (!dir.endsWith(QDir::separator()))
        dir += QDir::separator();
    const QString ext = QLatin1Char('.') + extension;

    QString base = baseName;
    QString path = dir + base + ext;
    if (!taken(path))
        return path;

    if (!base.endsWith(kConverted)) {
        base += kConverted;
        path = dir + base + ext;
        if (!taken(path))
            return path;
    }

    for (int n = 0; n <= kLastOutputNumber; ++n) {
        path = dir + base + QLatin1Char('_') + QString::number(n) + ext;
        if (!taken(path)) {
            if (beforeNumbered)
                beforeNumbered();
            return path;
        }
    }
    return {};
}

}  // namespace clip
