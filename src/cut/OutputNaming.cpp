#include "cut/OutputNaming.h"

#include "common/HostServices.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTextBoundaryFinder>

#ifndef Q_OS_WIN
#include <unistd.h>
#endif

namespace clip {

namespace {

const QString kConverted = QStringLiteral("_Converted");

// A name's length as the file system counts it: UTF-16 units on Windows,
// bytes of the encoded name elsewhere.
qsizetype NameLength(const QString& name)
{
#ifdef Q_OS_WIN
    return name.size();
#else
    return QFile::encodeName(name).size();
#endif
}

// `base` cut back, a whole character at a time (a letter and its accents
// stay together), until `base` + `tail` fits `limit`. Unchanged when it
// fits already or when `tail` alone is too long (creating it then fails
// with the system's reason).
QString FitBase(const QString& base, const QString& tail, qsizetype limit)
{
    if (NameLength(base + tail) <= limit)
        return base;
    QTextBoundaryFinder characters(QTextBoundaryFinder::Grapheme, base);
    characters.toEnd();
    while (characters.toPreviousBoundary() > 0) {
        const QString shorter = base.left(characters.position());
        if (NameLength(shorter + tail) <= limit)
            return shorter;
    }
    return base;
}

}  // namespace

qsizetype FileNameLimit(const QString& folder)
{
    constexpr qsizetype kCommonLimit = 255;
#ifdef Q_OS_WIN
    Q_UNUSED(folder);
    return kCommonLimit;
#else
    const long limit = ::pathconf(QFile::encodeName(folder).constData(), _PC_NAME_MAX);
    return limit > 0 ? qsizetype(limit) : kCommonLimit;
#endif
}

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
    // A base as long as the file system allows leaves no room for the
    // suffixes: each name's base is shortened to fit.
    const qsizetype limit = FileNameLimit(folder);
    const auto name = [&](const QString& base, const QString& tail) {
        return dir + FitBase(base, tail, limit) + tail;
    };

    QString path = name(baseName, ext);
    if (!taken(path))
        return path;

    // "_Converted" belongs to the suffix: only the input's own base is cut.
    QString converted;
    if (!baseName.endsWith(kConverted)) {
        converted = kConverted;
        path = name(baseName, converted + ext);
        if (!taken(path))
            return path;
    }

    for (int n = 0; n <= kLastOutputNumber; ++n) {
        path = name(baseName, converted + QLatin1Char('_') + QString::number(n) + ext);
        if (!taken(path)) {
            if (beforeNumbered)
                beforeNumbered();
            return path;
        }
    }
    return {};
}

QString FirstFreePartName(const QString& folder, const QString& baseName, const QString& extension, int part,
                          const std::function<bool(const QString&)>& taken)
{
    QString dir = QDir::toNativeSeparators(folder);
    if (!dir.endsWith(QDir::separator()))
        dir += QDir::separator();
    const qsizetype limit = FileNameLimit(folder);
    const QString stem = (baseName.endsWith(kConverted) ? QString() : kConverted)
        + QStringLiteral("_Part%1").arg(part, 2, 10, QLatin1Char('0'));
    const QString ext = QLatin1Char('.') + extension;
    const auto name = [&](const QString& tail) { return dir + FitBase(baseName, tail, limit) + tail; };
    if (const QString path = name(stem + ext); !taken(path))
        return path;
    for (int n = 0; n <= kLastOutputNumber; ++n) {
        if (const QString path = name(stem + QLatin1Char('_') + QString::number(n) + ext); !taken(path))
            return path;
    }
    return {};
}

bool IsOutputFolderDriveAccepted(const QString& folder)
{
#ifdef Q_OS_WIN
    const QString root = folder.left(3);
#else
    const QString root = folder;
#endif
    return Host().driveType(root) == DriveKind::Fixed;
}

}  // namespace clip
