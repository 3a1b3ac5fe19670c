#pragma once

#include "common/HostServices.h"

namespace clip {

// What the running program asks of the system, with or without a window:
// its folders, the search path and drive types. Boxes, dialogs and the
// power-off are left to the host that has (or has not) a window.
class SystemHostServices : public HostServices {
public:
    void processEvents() override;
    QString programFolder() const override;
    // Off Windows: share/clipwright beside the program's folder (an installed
    // program, wherever its prefix was moved; the window's program lies one
    // folder deeper, in libexec/clipwright), the application's data
    // locations, and share/clipwright of the configured install prefix. On
    // Windows none: everything lies in the program's folder.
    QStringList dataFolders() const override;
    QString findOnSystemPath(const QString& fileName) const override;
    DriveKind driveType(const QString& path) override;
};

}  // namespace clip
