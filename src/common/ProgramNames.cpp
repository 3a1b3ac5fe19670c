#include "common/ProgramNames.h"

#include <QCoreApplication>

namespace clip {

void SetProgramNames()
{
    QCoreApplication::setApplicationName(QStringLiteral("Clipwright"));
    QCoreApplication::setApplicationVersion(QStringLiteral(CLIP_VERSION_TEXT));
    QCoreApplication::setOrganizationName(QStringLiteral("Norvane"));
}

}  // namespace clip
