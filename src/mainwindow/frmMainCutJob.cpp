// Cut job control: the Start/Stop button, the job flow that picks the output
// name and runs the encoder job, its progress, and the power-off after it.
#include "mainwindow/frmMain.h"

#include "common/HostServices.h"
#include "controls/MyButton.h"
#include "controls/MyCheck.h"
#include "controls/MyOption.h"
#include "controls/MyProgressBar.h"
#include "engine/CVideoConv.h"
#include "formats/FormatsPanel.h"
#include "formats/GetParamaters.h"
#include "mainwindow/OutputNaming.h"
#include "slider/Slider.h"

#include <QComboBox>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>

#include <exception>

namespace clip {

namespace {

const QString kTaskProgress = QStringLiteral("Task Progress:");
const QString kTaskStopped = QStringLiteral("Task Progress:[Stopped]");
const QString kCaptionStart = QStringLiteral("Start");
const QString kCaptionStop = QStringLiteral("Stop");

}  // namespace

void frmMain::connectCutJobHandlers()
{
    connect(cmdConvert, &QAbstractButton::clicked, this, &frmMain::cmdConvert_Click);
}

void frmMain::cmdConvert_Click()
{
    if (NoVideoLoaded) {
        Host().messageBox(QStringLiteral("No video file loaded"), MsgInformation);
        return;
    }
    // 64-bit, so that no pair of stored marks can overflow the difference.
    const qint64 span = qint64(Slider->SelectEnd()) - qint64(Slider->SelectStart());
    if (span == 0) {
        Host().messageBox(QStringLiteral("No part selected. Please, select a part first using 'Start Selection' "
                                         "and 'End Selection'."),
                          MsgInformation);
        return;
    }
    if (span < 0) {
        Host().messageBox(
            QStringLiteral("No part selected, 'Start Selection' can not be greater than 'End Selection'."),
            MsgInformation);
        return;
    }
    if (cmdConvert->text() == kCaptionStop)
        stopCutJob();
    else
        startCutJob();
}

void frmMain::startCutJob()
{
    lblProgress->setText(kTaskProgress);
    cmdConvert->setText(kCaptionStop);
    SetControlsEnabled(false);

    const bool started = RunCutJob();

    // After every flow, whatever its outcome.
    if (chkShutdown->checkState() == Qt::Checked)
        ShutdownComputer(8);
    cmdConvert->setText(kCaptionStart);
    SetControlsEnabled(true);
    // A flow that ended before the encoder ran leaves the bar as it was: a
    // full bar would read as a finished cut.
    if (started && lblProgress->text() == kTaskProgress)
        progress->setValue(100);
}

void frmMain::stopCutJob()
{
    ++m_cutJobStops;
    m_stoppedJob = cConvert;
    if (cConvert)
        cConvert->StopConversion();
    cmdConvert->setText(kCaptionStart);
    SetControlsEnabled(true);
    lblProgress->setText(kTaskStopped);
}

bool frmMain::RunCutJob()
{
    // A depth rather than a plain flag: a Start nested in a stopped job ends
    // before the stopped one has unwound, and the window must still count
    // as converting until that one is gone too.
    ++m_cutJobDepth;
    IsConverting = true;
    const quint64 stopsBefore = m_cutJobStops;
    bool started = false;
    try {
        const QString extension = frFormats->optFormat[0]->isChecked() ? frFormats->cmbOutFormat->currentText()
                                                                       : frFormats->cmbCustContainer->currentText();
        const QString outFile = GetOutputFileName(InputFilePath, extension);
        // The naming yields; a Stop click in them means no job at all.
        if (!outFile.isEmpty() && m_cutJobStops == stopsBefore)
            started = ConvertVideo(InputFilePath, outFile);
    } catch (const std::exception&) {
        // The flow simply ends; the job reports its own failures.
    }
    --m_cutJobDepth;
    IsConverting = m_cutJobDepth > 0;
    return started;
}

bool frmMain::ConvertVideo(const QString& origfile, const QString& outFile)
{
    // Without an output name the encoder would be run on an empty path.
    if (outFile.isEmpty())
        return false;
    const quint64 stopsBefore = m_cutJobStops;
    bool started = false;
    try {
        lblProgress->setVisible(true);
        progress->setValue(0);
        progress->setVisible(true);

        cmdStop_Click();

        const qint32 selectStart = Slider->SelectStart();
        const qint32 selectEnd = Slider->SelectEnd();
        const QString options = GetParamaters(*frFormats, Tables, selectStart, selectEnd);
        // Empty options would convert the whole input with the encoder's
        // defaults; the builder has reported its own failures. A message box
        // it showed may also have let a Stop click through.
        if (options.isEmpty() || m_cutJobStops != stopsBefore)
            return false;

        // The local reference keeps this job alive through StartConversion
        // even when a nested Start replaces cConvert meanwhile.
        const auto job = std::make_shared<CVideoConv>();
        connect(job.get(), &CVideoConv::Progress, this, &frmMain::cConvert_Progress, Qt::DirectConnection);
        connect(job.get(), &CVideoConv::CurrentStatus, this, &frmMain::cConvert_CurrentStatus,
                Qt::DirectConnection);
        cConvert = job;
        job->setInputFile(origfile);
        job->setOutputFile(outFile);
        job->setParametrs(options + QStringLiteral(" -y"));
        job->setStartTime(selectStart);
        job->setFileTimeLength(float(qint64(selectEnd) - qint64(selectStart)));
        started = true;
        job->StartConversion();
    } catch (const std::exception&) {
        lblProgress->setVisible(false);
        progress->setVisible(false);
    }
    return started;
}

QString frmMain::GetOutputFileName(const QString& inputPath, const QString& extension)
{
    const QFileInfo input(inputPath);
    const QString folder = optSameFolder->isChecked() ? input.absolutePath() : txtOutPath->text();
    if (!EnsureOutputFolder(folder)) {
        Host().messageBox(QStringLiteral("Output Folder is not exist and can not be created."), MsgCritical);
        return {};
    }
    const std::function<bool(const QString&)> taken = OutputNameTaken ? OutputNameTaken : OutputPathTaken;
    return FirstFreeOutputName(folder, input.completeBaseName(), extension, taken, [] {
        Host().processEvents();
        Host().processEvents();
    });
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
}

void frmMain::cConvert_Progress(qint16& iProgress)
{
    if (!IsConverting)
        return;
    // Only the current job moves the bar, and not after it was stopped: a
    // stopped job keeps the last percent shown.
    if (QObject* job = sender()) {
        if (job != cConvert.get() || job == m_stoppedJob.lock().get())
            return;
    }
    progress->setValue(iProgress);  // the bar clamps -1 and values above 100
}

void frmMain::cConvert_CurrentStatus(QString& sStatus)
{
    // The job's status texts are not shown.
    Q_UNUSED(sStatus);
}

void frmMain::ShutdownComputer(int mode)
{
    // The platform layer enables the privilege it needs and ignores modes it
    // does not know; a refusal is not reported.
    Host().powerOff(mode);
}

}  // namespace clip
