#include "support/FakeHost.h"

#include <QCoreApplication>
#include <QDir>

namespace clip::test {

void FakeHost::messageBox(const QString& text, int style) { messageBoxWithDetails(text, QString(), style); }

void FakeHost::messageBoxWithDetails(const QString& text, const QString& details, int style)
{
    messages.append({text, style, details});  // never shown
}

bool FakeHost::askYesNo(const QString& text)
{
    messages.append({text, MsgQuestion, {}});
    return !questionAnswers.isEmpty() && questionAnswers.takeFirst();
}

void FakeHost::processEvents() { ++yields, QCoreApplication::processEvents(); }

QString FakeHost::programFolder() const
{
    return folderOverride.isEmpty() ? QDir::toNativeSeparators(QCoreApplication::applicationDirPath()) : folderOverride;
}

QString FakeHost::openFileDialog(QWidget*, const QString&, const QStringList& filters)
{
    lastFilters = filters;
    return dialogAnswers.isEmpty() ? QString() : dialogAnswers.takeFirst();
}

QString FakeHost::saveFileDialog(QWidget* owner, const QString& title, const QStringList& filters, const QString&)
{
    return openFileDialog(owner, title, filters);
}
QString FakeHost::browseForFolder(QWidget* owner, const QString& title) { return openFileDialog(owner, title, {}); }
bool FakeHost::openExternal(const QString&) { return true; }
DriveKind FakeHost::driveType(const QString&) { return drive; }

bool FakeHost::powerOff(int mode)
{
    powerOffs << mode;
    if (onPowerOff)
        onPowerOff(mode);
    return true;
}

void FakeHost::reset() { *this = FakeHost(); }

FakeHost& Fake()
{
    static FakeHost host;
    return host;
}

}  // namespace clip::test
