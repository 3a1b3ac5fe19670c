// The window's persisted settings: the output-folder choice and the whole
// format choice are restored at start-up and by "Restore Defaults", and saved
// when the window closes. The rules live in the settings library; this file
// only shows it the window's controls.
#include "mainwindow/frmMainSettings.h"

#include "mainwindow/frmMain.h"

#include "controls/MyButton.h"
#include "controls/MyFrame.h"
#include "controls/MyOption.h"
#include "formats/FormatsPanel.h"
#include "settings/Settings.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLineEdit>

namespace clip {

namespace {

MyOption* FolderOption(frmMain& w, const QString& name)
{
    return name == QLatin1String("optSameFolder") ? w.optSameFolder : w.optOtherFolder;
}

QLineEdit* TextBox(frmMain& w, const QString& name)
{
    FormatsPanel* f = w.frFormats;
    for (QLineEdit* box : {w.txtOutPath, f->txtCABirate, f->txtChannels, f->txtCVBitrate, f->txtFrameRate})
        if (box->objectName() == name)
            return box;
    return nullptr;
}

QComboBox* List(frmMain& w, const QString& name)
{
    FormatsPanel* f = w.frFormats;
    for (QComboBox* list : {f->cmbCategory, f->cmbOutVCodec, f->cmbOutFormat, f->cmbCustContainer, f->cmbCACodec,
                            f->cmbCASmapleRate, f->cmbCVCodec, f->cmbCVSize, f->cmbCVAspect})
        if (list->objectName() == name)
            return list;
    return nullptr;
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

void frmMainSettingsControls::refreshDescription()
{
    w.ShowFormatDescription();
}

void frmMain::connectSettingsHandlers()
{
    connect(frFormats->cmdDefaults, &QAbstractButton::clicked, this, &frmMain::cmdDefaults_Click);
}

void frmMain::LoadSettings()
{
    frmMainSettingsControls controls(*this);
    clip::LoadSettings(controls);
}

void frmMain::SaveSettings()
{
    frmMainSettingsControls controls(*this);
    clip::SaveSettings(controls);
}

void frmMain::cmdDefaults_Click()
{
    frmMainSettingsControls controls(*this);
    RestoreDefaultSettings(controls);
}

}  // namespace clip
