#pragma once

#include "platform/SystemHostServices.h"

#include <utility>

namespace clip {

// The host of the command line: what a window would show in a box goes to
// standard error as "clipwright: <text>"; there is nobody to answer a
// question (No), no dialog, no link to open, no power-off. The last text is
// kept for the report of the input it concerns.
class ConsoleHost final : public SystemHostServices {
public:
    void messageBox(const QString& text, int style) override;
    void messageBoxWithDetails(const QString& text, const QString& details, int style) override;
    QString openFileDialog(QWidget*, const QString&, const QStringList&) override { return {}; }
    QString browseForFolder(QWidget*, const QString&) override { return {}; }
    bool openExternal(const QString&) override { return false; }
    bool powerOff(int) override { return false; }

    // The text of the last box, taken (empty afterwards).
    QString takeLastMessage() { return std::exchange(m_lastMessage, QString()); }

private:
    QString m_lastMessage;
};

}  // namespace clip
