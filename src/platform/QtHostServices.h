#pragma once

#include "platform/SystemHostServices.h"

namespace clip {

// The host services of the window's program: real message boxes, dialogs
// the desktop's URL handler and the power-off, over the system's services.
class QtHostServices final : public SystemHostServices {
public:
    void messageBox(const QString& text, int style) override;
    void messageBoxWithDetails(const QString& text, const QString& details, int style) override;
    bool askYesNo(const QString& text) override;
    QString openFileDialog(QWidget* owner, const QString& title, const QStringList& filters) override;
    QString saveFileDialog(QWidget* owner, const QString& title, const QStringList& filters,
                           const QString& suggested) override;
    QString browseForFolder(QWidget* owner, const QString& title) override;
    bool openExternal(const QString& target) override;
    bool powerOff(int mode) override;
};

// Turns "Description|*.a;*.b" pairs into a Qt name filter list entry each.
QStringList ToQtNameFilters(const QStringList& filters);

}  // namespace clip
