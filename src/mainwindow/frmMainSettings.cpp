// The window's persisted settings: the output-folder choice and the whole
// format choice are restored at start-up and by "Restore Defaults", and saved
// when the window closes, when the application quits and when the session
// ends. The rules live in the settings library; this file shows it the
// window's controls and tells the user what went wrong with the file.
#include "mainwindow/frmMainSettings.h"

#include "mainwindow/frmMain.h"

#include "common/HostServices.h"

#include "controls/MyButton.h"
#include "controls/MyFrame.h"
#include "controls/MyOption.h"
#include "formats/FormatsPanel.h"
#include "settings/Settings.h"

#include <QAbstractButton>
#include <QGuiApplication>
#include <QSessionManager>
#include <QComboBox>
#include <QLineEdit>

namespace clip {

namespace {

// The persisted controls, found by the names the settings give them (each
// control carries its own name).
MyOption* FolderOption(frmMain& w, const QString& name)
{
    return w.findChild<MyOption*>(name == QLatin1String("optSameFolder") ? name : QStringLiteral("optOtherFolder"));
}

QLineEdit* TextBox(frmMain& w, const QString& name)
{
    return w.findChild<QLineEdit*>(name);
}

QComboBox* List(frmMain& w, const QString& name)
{
    return w.findChild<QComboBox*>(name);
}

}  // namespace

bool frmMainSettingsControls::folderOption(const QString& name) const
{
    return FolderOption(w, name)->isChecked();
}

void frmMainSettingsControls::setFolderOption(const QString& name, bool value)
{
    // The pair is exclusive: false for one means the other is chosen.
    MyOption* target = FolderOption(w, name);
    MyOption* other = target == w.optSameFolder ? w.optOtherFolder : w.optSameFolder;
    (value ? target : other)->setChecked(true);
}

void frmMainSettingsControls::setOutputFolderEnabled(bool enabled)
{
    w.txtOutPath->setEnabled(enabled);
    w.cmdBrowse->setEnabled(enabled);
}

QString frmMainSettingsControls::text(const QString& name) const
{
    const QLineEdit* box = TextBox(w, name);
    return box ? box->text() : QString();
}

void frmMainSettingsControls::setText(const QString& name, const QString& text)
{
    if (QLineEdit* box = TextBox(w, name))
        box->setText(text);
}

int frmMainSettingsControls::route() const
{
    return w.frFormats->optFormat[0]->isChecked() ? 0 : 1;
}

int frmMainSettingsControls::routeCount() const
{
    return int(w.frFormats->optFormat.size());
}

void frmMainSettingsControls::setRoute(int index)
{
    w.frFormats->optFormat[size_t(index)]->setChecked(true);
}

void frmMainSettingsControls::showRoutePanel(int index)
{
    w.frFormats->frFormat[size_t(index)]->raise();
}

int frmMainSettingsControls::listPosition(const QString& name) const
{
    const QComboBox* list = List(w, name);
    return list ? list->currentIndex() : -1;
}

int frmMainSettingsControls::listCount(const QString& name) const
{
    const QComboBox* list = List(w, name);
    return list ? list->count() : 0;
}

void frmMainSettingsControls::setListPosition(const QString& name, int position)
{
    // Selecting runs the list's selection handlers (the preset cascade)
    // before the next list is restored.
    if (QComboBox* list = List(w, name))
        list->setCurrentIndex(position);
}

QString frmMainSettingsControls::windowGeometry() const { return w.WindowGeometryText(); }

void frmMainSettingsControls::setWindowGeometry(const QString& text) { w.RestoreWindowGeometry(text); }

void frmMainSettingsControls::refreshDescription()
{
    w.ShowFormatDescription();
}

void frmMain::connectSettingsHandlers()
{
    connect(frFormats->cmdDefaults, &QAbstractButton::clicked, this, &frmMain::cmdDefaults_Click);
    // A logout or shutdown may end the program without closing the window.
    connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, this,
            [this] { SaveSettings(SettingsFailure::LogOnly); });
    if (auto* gui = qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        connect(gui, &QGuiApplication::commitDataRequest, this,
                [this](QSessionManager&) { SaveSettings(SettingsFailure::LogOnly); });
}

void frmMain::LoadSettings()
{
    frmMainSettingsControls controls(*this);
    noteSettingsLoad(clip::LoadSettings(controls));
}

void frmMain::noteSettingsLoad(const StoreReport& report)
{
    m_settingsLocation = QString::fromStdString(report.location);
    m_settingsUnreadable = report.condition == StoreCondition::Unreadable;
    if (report.condition == StoreCondition::Damaged && !m_settingsResetTold) {
        m_settingsResetTold = true;
        Host().messageBox(QStringLiteral("The settings could not be read and were reset to their defaults.\n\n"
                                         "The settings file %1 is damaged. Before the settings are next saved, "
                                         "it is kept as %1.damaged-<date>.")
                              .arg(m_settingsLocation),
                          MsgExclamation);
    }
}

bool frmMain::SaveSettings(SettingsFailure onFailure)
{
    QString reason;
    if (m_settingsUnreadable) {
        reason = QStringLiteral("The settings file could not be read when Clipwright started. It is left as it "
                                "is, so that the settings it holds are not replaced by the defaults.");
    } else {
        frmMainSettingsControls controls(*this);
        const RegStatus status = clip::SaveSettings(controls);
        if (status == reg::kSuccess) {
            m_settingsFailureTold = false;
            return true;
        }
        reason = status == reg::kLockViolation
                     ? QStringLiteral("The settings file is locked by another program.")
                     : QStringLiteral("The settings file or its folder cannot be written.");
    }
    QString text = QStringLiteral("The settings could not be saved.\n\n") + reason;
    if (!m_settingsLocation.isEmpty())
        text += QStringLiteral("\n\nSettings file: ") + m_settingsLocation;
    if (onFailure == SettingsFailure::Tell && !m_settingsFailureTold) {
        m_settingsFailureTold = true;
        Host().messageBox(text, MsgExclamation);
    } else {
        qWarning("%s", qPrintable(text));
    }
    return false;
}

void frmMain::cmdDefaults_Click()
{
    frmMainSettingsControls controls(*this);
    noteSettingsLoad(RestoreDefaultSettings(controls));
}

}  // namespace clip
