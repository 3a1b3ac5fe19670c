#include "support/FakeHost.h"

#include <QCoreApplication>
#include <QDir>

namespace clip::test {

void FakeHost::messageBox(const QString& text, int style)
{
    messageBoxWithDetails(text, QString(), style);
}

void FakeHost::messageBoxWithDetails(const QString& text, const QString& details, int style)
{
    messages.append({text, style, details});
    if (onMessage)
        onMessage(messages.constLast());
}

void FakeHost::processEvents()
{
    ++yields;
    QCoreApplication::processEvents();
}

QString FakeHost::programFolder() const
{
    if (!folderOverride.isEmpty())
        return folderOverride;
    return QDir::toNativeSeparators(QCoreApplication::applicationDirPath());
}

QString FakeHost::openFileDialog(QWidget*, const QString& title, const QStringList& filters)
{
    dialogs.append({QStringLiteral("open"), title, filters});
    return dialogAnswers.isEmpty() ? QString() : dialogAnswers.takeFirst();
}

QString FakeHost::browseForFolder(QWidget*, const QString& title)
{
    dialogs.append({QStringLiteral("folder"), title, {}});
    return dialogAnswers.isEmpty() ? QString() : dialogAnswers.takeFirst();
}

bool FakeHost::openExternal(const QString& target)
{
    opened << target;
    return true;
}

DriveKind FakeHost::driveType(const QString& path)
{
    driveQueries << path;
    return drive;
}

bool FakeHost::powerOff(int mode)
{
    powerOffs << mode;
    if (onPowerOff)
        onPowerOff(mode);
    return true;
}

void FakeHost::reset()
{
    *this = FakeHost();
}

FakeHost& Fake()
{
    static FakeHost host;
    return host;
}

}  // namespace clip::test
