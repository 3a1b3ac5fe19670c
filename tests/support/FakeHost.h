#pragma once

#include "common/HostServices.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

namespace clip::test {

// Host services for tests: message boxes and power-off requests are recorded
// instead of shown or done, dialogs answered from a script, links never
// opened; yielding really processes events, so re-entrant flows run as they
// do in the program.
class FakeHost final : public HostServices {
public:
    struct Message {
        QString text;
        int style;
        QString details;  // behind "Show Details..."
    };

    void messageBox(const QString& text, int style) override;
    void messageBoxWithDetails(const QString& text, const QString& details, int style) override;
    // Recorded as a message of style MsgQuestion; answered from questionAnswers.
    bool askYesNo(const QString& text) override;
    void processEvents() override;
    QString programFolder() const override;
    QString openFileDialog(QWidget* owner, const QString& title, const QStringList& filters) override;
    QString saveFileDialog(QWidget* owner, const QString& title, const QStringList& filters,
                           const QString& suggested) override;
    QString browseForFolder(QWidget* owner, const QString& title) override;
    bool openExternal(const QString& target) override;
    DriveKind driveType(const QString& path) override;
    bool powerOff(int mode) override;

    // Forget everything recorded and every scripted answer.
    void reset();

    // Recorded calls.
    QList<Message> messages;
    QList<int> powerOffs;
    int yields = 0;
    QStringList lastFilters;  // of the last open-file dialog

    // Scripted answers: dialogs pop from the front (empty = cancelled).
    QStringList dialogAnswers;
    QList<bool> questionAnswers;  // Yes/No questions pop from the front (empty = No)
    DriveKind drive = DriveKind::Fixed;
    QString folderOverride;  // programFolder(); the test binary's folder when empty

    // Called from inside powerOff, after recording.
    std::function<void(int)> onPowerOff;
};

// The fake installed by the test main for the whole run.
FakeHost& Fake();

}  // namespace clip::test
