// The window's side of a cut: the Start/Stop button, the request it builds
// from the controls, the controls it locks, the bar and the label, and the
// one place where a cut's messages are shown. The cut itself runs in the
// CutController.
#include "mainwindow/frmMain.h"

#include "common/HostServices.h"
#include "controls/MyButton.h"
#include "controls/MyCheck.h"
#include "controls/MyOption.h"
#include "controls/MyProgressBar.h"
#include "cut/CutController.h"
#include "formats/FormatsPanel.h"
#include "mainwindow/SegmentPanel.h"
#include "player/PlaybackEngine.h"

#include <QLabel>
#include <QLineEdit>

namespace clip {

namespace {

const QString kTaskProgress = QStringLiteral("Task Progress:");
const QString kTaskStopped = QStringLiteral("Task Progress:[Stopped]");
const QString kCaptionStart = QStringLiteral("Start");
const QString kCaptionStop = QStringLiteral("Stop");

}  // namespace

void frmMain::connectCutJobHandlers()
{
    m_cut = new CutController(Tables, this);
    connect(cmdConvert, &QAbstractButton::clicked, this, &frmMain::cmdConvert_Click);
    connect(m_cut, &CutController::progress, this, &frmMain::cConvert_Progress, Qt::DirectConnection);
    connect(m_cut, &CutController::aboutToEncode, this, &frmMain::cmdStop_Click, Qt::DirectConnection);
    connect(m_cut, &CutController::finished, this, &frmMain::CutFinished, Qt::DirectConnection);
    connect(
        m_cut, &CutController::aboutToPowerOff, this,
        // Nobody may be at the machine to answer a box: a failed save is
        // logged, and the power-off goes ahead.
        [this] { SaveSettings(SettingsFailure::LogOnly); }, Qt::DirectConnection);
}

CutRequest frmMain::CurrentCutRequest() const
{
    CutRequest request;
    request.input = IsVideoLoaded() ? InputFile() : QString();
    request.start = SelectionStartSeconds();
    request.end = SelectionEndSeconds();
    request.format = frFormats->Choice();
    request.output = {optSameFolder->isChecked(), txtOutPath->text()};
    request.powerOff = chkShutdown->checkState() == Qt::Checked;
    // With segments, they say what is written; without, the marks do.
    if (IsVideoLoaded() && Player()) {
        request.parts = m_segments->Parts(Player()->Duration());
        request.exportAs = m_segments->ExportAs();
        // The marks are free once segments are added: the span the parts
        // cover stands for the selection in the checks every request meets.
        if (!request.parts.empty())
            request.start = request.parts.front().start, request.end = request.parts.back().end;
    }
    return request;
}

void frmMain::cmdConvert_Click()
{
    if (cmdConvert->text() != kCaptionStop && RefuseEmptyParts())
        return;
    // The click's own checks refuse the Stop action too.
    if (const CutResult refusal = CutController::Refusal(CurrentCutRequest()); !refusal.message.isEmpty()) {
        Host().messageBox(refusal.message, refusal.style);
        return;
    }
    if (cmdConvert->text() == kCaptionStop)
        stopCutJob();
    else
        RunCutJob();
}

bool frmMain::RefuseEmptyParts()
{
    const QString nothing = IsVideoLoaded() && Player() ? m_segments->NothingLeft(Player()->Duration()) : QString();
    if (!nothing.isEmpty())
        Host().messageBox(nothing, MsgInformation);
    return !nothing.isEmpty();
}

CutOutcome frmMain::RunCutJob()
{
    // Without this, empty parts would mean the marks alone.
    if (RefuseEmptyParts())
        return CutOutcome::NotRun;
    m_segments->Keep();
    lblProgress->setText(kTaskProgress);
    // The bar belongs to this cut from its first step: one that ends before
    // the encoder runs must not show the previous cut's result.
    progress->setValue(0);
    cmdConvert->setText(kCaptionStop);
    SetControlsEnabled(false);
    return m_cut->Run(CurrentCutRequest()).outcome;
}

void frmMain::CutFinished(const CutResult& result)
{
    if (!result.details.isEmpty())
        Host().messageBoxWithDetails(result.message, result.details, result.style);
    else if (!result.message.isEmpty())
        Host().messageBox(result.message, result.style);
    cmdConvert->setText(kCaptionStart);
    SetControlsEnabled(true);
    // Only a finished cut fills the bar. A failed one leaves it where the
    // encoder left it (under "Task Progress:"), a stopped one where the Stop
    // found it (under "Task Progress:[Stopped]"), one that never ran at 0.
    if (result.outcome == CutOutcome::Succeeded)
        progress->setValue(100);
    if (m_endRequested && !m_cut->IsRunning())
        QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
}

void frmMain::stopCutJob()
{
    m_cut->Stop();
    cmdConvert->setText(kCaptionStart);
    SetControlsEnabled(true);
    lblProgress->setText(kTaskStopped);
}

bool frmMain::IsConverting() const
{
    return m_cut && m_cut->IsRunning();
}

void frmMain::SaveBeforeAbruptEnd()
{
    SaveSettings(SettingsFailure::LogOnly);
    m_segments->Keep();
    m_cut->DiscardUnfinished();
}

QList<QWidget*> frmMain::CutJobLockedControls() const
{
    return {cmdChangeFormat, cmdPlay,    cmdBrowse,      optSameFolder, optOtherFolder, cmdAddVideoFile,
            cmdAbout,        cmdStartSelect, cmdStop,    cmdEndSelect,  cmdDeleteSelect};
}

void frmMain::SetControlsEnabled(bool enabled)
{
    for (QWidget* control : CutJobLockedControls())
        control->setEnabled(enabled);
    m_segments->setEnabled(enabled);
}

void frmMain::cConvert_Progress(int iProgress)
{
    lblProgress->setVisible(true);
    progress->setVisible(true);
    progress->setValue(iProgress);
}

}  // namespace clip
