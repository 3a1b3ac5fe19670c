#include "common/ResourceLocator.h"

#include "common/HostServices.h"

#include <QDir>
#include <QFileInfo>

namespace clip {

namespace {

QString toolFileName(const QString& name)
{
#ifdef Q_OS_WIN
    return name + QStringLiteral(".exe");
#else
    return name;
#endif
}

// `folder` and `fileName` joined with the platform's separator. The folder is
// kept as it stands (a program folder holding odd characters included).
QString joined(const QString& folder, const QString& fileName)
{
    return folder + QDir::separator() + fileName;
}

// The first search folder holding the file `fileName`, as a full path.
QString inSearchFolders(const QString& fileName)
{
    for (const QString& folder : SearchFolders()) {
        const QString path = joined(folder, fileName);
        if (QFileInfo(path).isFile())
            return path;
    }
    return {};
}

}  // namespace

QStringList SearchFolders()
{
    QStringList folders{Host().programFolder()};
    for (const QString& folder : Host().dataFolders()) {
        const QString native = QDir::toNativeSeparators(QDir::cleanPath(folder));
        if (!native.isEmpty() && !folders.contains(native))
            folders << native;
    }
    return folders;
}

QString LocateDataFile(const QString& fileName)
{
    const QString found = inSearchFolders(fileName);
    return found.isEmpty() ? joined(Host().programFolder(), fileName) : found;
}

QString LocateTool(const QString& name)
{
    const QString fileName = toolFileName(name);
    QString found = inSearchFolders(fileName);
    if (found.isEmpty())
        found = Host().findOnSystemPath(fileName);
    return found.isEmpty() ? joined(Host().programFolder(), fileName) : QDir::toNativeSeparators(found);
}

bool ToolFound(const QString& name)
{
    return QFileInfo(LocateTool(name)).isFile();
}

QStringList LookedFor(const QString& name)
{
    const QString fileName = toolFileName(name);
    QStringList places;
    for (const QString& folder : SearchFolders())
        places << joined(folder, fileName);
    places << QStringLiteral("%1 on the PATH").arg(fileName);
    return places;
}

}  // namespace clip
