// The window's persisted settings: the output-folder choice and the whole
// format choice are restored at start-up and by "Restore Defaults", and saved
// when the window closes, when the application quits and when the session
// ends. The rules live in the settings library; this file shows it the
// window's controls and tells the user what went wrong with the file.
#include "mainwindow/frmMainSettings.h"

#include "mainwindow/frmMain.h"

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
    m_settings.Load(controls);
}

bool frmMain::SaveSettings(SettingsFailure onFailure)
{
    return m_settings.Save(frmMainSettingsControls(*this), onFailure);
}

void frmMain::cmdDefaults_Click()
{
    frmMainSettingsControls controls(*this);
    m_settings.RestoreDefaults(controls);
}

}  // namespace clip
