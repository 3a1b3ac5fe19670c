#include "cut/PartialOutput.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <filesystem>
#include <system_error>

namespace clip {

namespace {

const QString kLockSuffix = QStringLiteral(".lock");
// Beside the lock: the name of the output the job reserved, so that the
// empty reservation of a job that died goes with its partial file.
const QString kTargetSuffix = QStringLiteral(".target");

QString RandomToken()
{
    static const char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    QString token;
    for (int i = 0; i < 10; ++i)
        token += QLatin1Char(kLetters[QRandomGenerator::global()->bounded(int(sizeof kLetters) - 1)]);
    return token;
}

std::filesystem::path NativePath(const QString& path)
{
#ifdef Q_OS_WIN
    return std::filesystem::path(path.toStdWString());
#else
    // The bytes the system knows the name by.
    return std::filesystem::path(QFile::encodeName(path).toStdString());
#endif
}

// A lock whose staleness only its owner's process decides: a job may run
// for hours without touching it.
std::unique_ptr<QLockFile> OwnerLock(const QString& path)
{
    auto lock = std::make_unique<QLockFile>(path);
    lock->setStaleLockTime(0);
    return lock;
}

}  // namespace

PartialOutput::PartialOutput(const QString& stem, const QString& path, const QString& finalPath,
                             std::unique_ptr<QLockFile> owner)
    : m_stem(stem), m_path(path), m_finalPath(finalPath), m_owner(std::move(owner))
{
}

PartialOutput::~PartialOutput() { Discard(); }

void PartialOutput::Discard()
{
    if (!m_committed)
        QFile::remove(m_path);
    m_committed = true;  // nothing left to remove
    QFile::remove(m_stem + kTargetSuffix);
    m_owner->unlock();
}

std::unique_ptr<PartialOutput> PartialOutput::Create(const QString& finalPath, QString* error)
{
    const QFileInfo target(finalPath);
    const QDir folder = target.absoluteDir();
    const QString suffix = target.suffix().isEmpty() ? QString() : QLatin1Char('.') + target.suffix();
    for (int attempt = 0; attempt < 20; ++attempt) {
        const QString stem = folder.filePath(QLatin1String(kPrefix) + RandomToken());
        auto owner = OwnerLock(stem + kLockSuffix);
        if (!owner->tryLock(0)) {
            if (owner->error() == QLockFile::LockFailedError)
                continue;  // the token is in use: draw another
            if (error)
                *error = QDir::toNativeSeparators(stem + kLockSuffix) + QStringLiteral(": the folder refuses new files");
            return nullptr;
        }
        QFile target(stem + kTargetSuffix);
        if (target.open(QIODevice::WriteOnly | QIODevice::Truncate))
            target.write(target.encodeName(QFileInfo(finalPath).fileName())), target.close();
        QFile file(stem + suffix);
        if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
            return std::unique_ptr<PartialOutput>(new PartialOutput(stem, file.fileName(), finalPath, std::move(owner)));
        QFile::remove(target.fileName());
        if (QFileInfo::exists(file.fileName()) || QFileInfo(file.fileName()).isSymLink())
            continue;
        if (error)
            *error = QDir::toNativeSeparators(file.fileName()) + QStringLiteral(": ") + file.errorString();
        return nullptr;
    }
    if (error)
        *error = QDir::toNativeSeparators(folder.path()) + QStringLiteral(": no free name for a working file");
    return nullptr;
}

bool PartialOutput::Commit(QString* error)
{
    // One step that replaces the reserving empty file, so the real name is
    // never free for another job in between.
    std::error_code failure;
    std::filesystem::rename(NativePath(m_path), NativePath(m_finalPath), failure);
    if (failure) {
        if (error)
            *error = QStringLiteral("%1 could not be renamed to %2: %3")
                         .arg(QDir::toNativeSeparators(m_path), QDir::toNativeSeparators(m_finalPath),
                              QString::fromLocal8Bit(failure.message()));
        return false;
    }
    m_committed = true;
    return true;
}

void PartialOutput::RemoveAbandoned(const QString& folder)
{
    QDir dir(folder);
    const QStringList locks = dir.entryList({QLatin1String(kPrefix) + QLatin1Char('*') + kLockSuffix},
                                            QDir::Files | QDir::Hidden | QDir::System);
    for (const QString& lockName : locks) {
        auto lock = OwnerLock(dir.filePath(lockName));
        if (!lock->tryLock(0))
            continue;  // its owner lives, or it belongs to another machine
        const QString stem = lockName.chopped(kLockSuffix.size());
        QFile target(dir.filePath(stem + kTargetSuffix));
        const QString reserved = target.open(QIODevice::ReadOnly) ? QFile::decodeName(target.readAll()) : QString();
        target.close();
        for (const QString& name : dir.entryList({stem + QStringLiteral(".*")}, QDir::Files | QDir::Hidden | QDir::System))
            if (name != lockName)
                dir.remove(name);
        // The reservation is removed only while it is still the empty file
        // the job made: a result moved onto it is the user's.
        const QFileInfo reservation(dir.filePath(reserved));
        if (!reserved.isEmpty() && !reserved.contains(QLatin1Char('/')) && reservation.isFile()
            && !reservation.isSymLink() && reservation.size() == 0)
            dir.remove(reserved);
        lock->unlock();
    }
}

}  // namespace clip
