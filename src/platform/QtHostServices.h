#pragma once

#include "common/HostServices.h"

namespace clip {

// The host services of the running program: real message boxes, dialogs,
// the desktop's URL handler and the platform layer's power-off and drive
// type.
class QtHostServices final : public HostServices {
public:
    void messageBox(const QString& text, int style) override;
    void messageBoxWithDetails(const QString& text, const QString& details, int style) override;
    bool askYesNo(const QString& text) override;
    void processEvents() override;
    QString programFolder() const override;
    // Off Windows: ../share/clipwright beside the program's folder (an
    // installed program, wherever its prefix was moved), the application's
    // data locations, and share/clipwright of the configured install prefix.
    // On Windows none: everything lies in the program's folder.
    QStringList dataFolders() const override;
    QString findOnSystemPath(const QString& fileName) const override;
    QString openFileDialog(QWidget* owner, const QString& title, const QStringList& filters) override;
    QString browseForFolder(QWidget* owner, const QString& title) override;
    bool openExternal(const QString& target) override;
    DriveKind driveType(const QString& path) override;
    bool powerOff(int mode) override;
};

// Turns "Description|*.a;*.b" pairs into a Qt name filter list entry each.
QStringList ToQtNameFilters(const QStringList& filters);

}  // namespace clip
