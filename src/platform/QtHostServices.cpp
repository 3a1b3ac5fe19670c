#include "platform/QtHostServices.h"

#include "platform/PowerOff.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QUrl>

namespace clip {

void QtHostServices::messageBox(const QString& text, int style)
{
    messageBoxWithDetails(text, QString(), style);
}

void QtHostServices::messageBoxWithDetails(const QString& text, const QString& details, int style)
{
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    switch (style) {
    case MsgCritical: icon = QMessageBox::Critical; break;
    case MsgExclamation: icon = QMessageBox::Warning; break;
    case MsgInformation: icon = QMessageBox::Information; break;
    default: break;
    }
    QMessageBox box(icon, QString::fromLatin1(kProductName), text, QMessageBox::Ok,
                    QApplication::activeWindow());
    // A file name such as "<h1>Big<!--.mp4" is shown as it is written.
    box.setTextFormat(Qt::PlainText);
    if (!details.isEmpty())
        box.setDetailedText(details);
    box.exec();
}

bool QtHostServices::askYesNo(const QString& text)
{
    QMessageBox box(QMessageBox::Question, QString::fromLatin1(kProductName), text,
                    QMessageBox::Yes | QMessageBox::No, QApplication::activeWindow());
    box.setTextFormat(Qt::PlainText);
    box.setDefaultButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}


QStringList ToQtNameFilters(const QStringList& filters)
{
    QStringList out;
    for (const QString& pair : filters) {
        const int bar = pair.indexOf(QLatin1Char('|'));
        if (bar < 0) {
            out << pair;
            continue;
        }
        QString patterns = pair.mid(bar + 1);
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        out << QStringLiteral("%1 (%2)").arg(pair.left(bar), patterns);
    }
    return out;
}

QString QtHostServices::openFileDialog(QWidget* owner, const QString& title, const QStringList& filters)
{
    QFileDialog dialog(owner, title);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilters(ToQtNameFilters(filters));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return QDir::toNativeSeparators(dialog.selectedFiles().constFirst());
}

QString QtHostServices::saveFileDialog(QWidget* owner, const QString& title, const QStringList& filters,
                                      const QString& suggested)
{
    QFileDialog dialog(owner, title);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setNameFilters(ToQtNameFilters(filters));
    dialog.selectFile(suggested);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return QDir::toNativeSeparators(dialog.selectedFiles().constFirst());
}

QString QtHostServices::browseForFolder(QWidget* owner, const QString& title)
{
    const QString folder = QFileDialog::getExistingDirectory(owner, title);
    return folder.isEmpty() ? QString() : QDir::toNativeSeparators(folder);
}

bool QtHostServices::openExternal(const QString& target)
{
    const QUrl url = QFileInfo::exists(target) ? QUrl::fromLocalFile(target) : QUrl(target);
    return QDesktopServices::openUrl(url);
}

bool QtHostServices::powerOff(int mode) { return platform::ShutdownComputer(mode); }

}  // namespace clip
