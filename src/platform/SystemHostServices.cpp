#include "platform/SystemHostServices.h"

#include "platform/DriveType.h"

#include <QCoreApplication>
#include <QDir>
#include <QStandardPaths>

namespace clip {

void SystemHostServices::processEvents() { QCoreApplication::processEvents(); }

QString SystemHostServices::programFolder() const
{
    return QDir::toNativeSeparators(QCoreApplication::applicationDirPath());
}

QStringList SystemHostServices::dataFolders() const
{
#ifdef Q_OS_WIN
    return {};
#else
    const QString own = QCoreApplication::applicationDirPath();
    QStringList folders{own + QStringLiteral("/../share/clipwright"), own + QStringLiteral("/../../share/clipwright")};
    folders << QStandardPaths::standardLocations(QStandardPaths::AppDataLocation);
    folders << QStringLiteral(CLIP_INSTALL_DATA_DIR);
    return folders;
#endif
}

QString SystemHostServices::findOnSystemPath(const QString& fileName) const
{
    return QStandardPaths::findExecutable(fileName);
}

DriveKind SystemHostServices::driveType(const QString& path)
{
    return static_cast<DriveKind>(platform::DriveTypeOf(path.toStdString()));
}

}  // namespace clip
