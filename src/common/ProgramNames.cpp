#include "common/ProgramNames.h"

#include <QCoreApplication>

namespace clip {

void SetProgramNames()
{
    QCoreApplication::setApplicationName(QStringLiteral("Clipwright"));
    QCoreApplication::setApplicationVersion(QStringLiteral(CLIP_VERSION_TEXT));
    QCoreApplication::setOrganizationName(QStringLiteral("Norvane"));
}

QString VersionText(int major, int minor, int revision)
{
    return QStringLiteral("%1.%2.0.%3").arg(major).arg(minor).arg(revision);
}

}  // namespace clip
