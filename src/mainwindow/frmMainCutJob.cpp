// Cut job control: the Start/Stop button, the job flow that picks the output
// name and runs the encoder job, its progress, and the power-off after it.
#include "mainwindow/frmMain.h"

#include "common/HostServices.h"
#include "common/SecondsToTime.h"
#include "controls/MyButton.h"
#include "controls/MyCheck.h"
#include "controls/MyOption.h"
#include "controls/MyProgressBar.h"
#include "engine/CVideoConv.h"
#include "engine/SmartCutJob.h"
#include "formats/FormatsPanel.h"
#include "formats/GetParamaters.h"
#include "mainwindow/OutputNaming.h"
#include "mainwindow/PartialOutput.h"
#include "slider/Slider.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>

#include <algorithm>
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
    // In milliseconds of the exact marks (64-bit: no pair of stored marks
    // can overflow the difference).
    const qint64 span = MediaMilliseconds(SelectionEndSeconds()) - MediaMilliseconds(SelectionStartSeconds());
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
    // The bar belongs to this job from its first step: a Start that ends
    // before the encoder runs must not show the previous cut's result.
    progress->setValue(0);
    cmdConvert->setText(kCaptionStop);
    SetControlsEnabled(false);

    const CutOutcome outcome = RunCutJob();

    // Everything below follows from the outcome alone.
    cmdConvert->setText(kCaptionStart);
    SetControlsEnabled(true);
    // Only a finished cut fills the bar. A failed one leaves it where the
    // encoder left it (under "Task Progress:"), a stopped one where the Stop
    // found it (under "Task Progress:[Stopped]"), one that never ran at 0.
    if (outcome == CutOutcome::Succeeded)
        progress->setValue(100);
    // The power-off follows an encoder run that reached its own end, success
    // or failure: never a Stop, never a Start that ran no encoder.
    const bool ranToItsEnd = outcome == CutOutcome::Succeeded || outcome == CutOutcome::Failed;
    if (ranToItsEnd && chkShutdown->checkState() == Qt::Checked && !m_endRequested) {
        // Nobody may be at the machine to answer a box: a failed save is
        // logged, and the power-off goes ahead.
        SaveSettings(SettingsFailure::LogOnly);
        ShutdownComputer(8);
    }
    if (m_endRequested && !IsConverting)
        QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
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

bool frmMain::CutFormatChosen()
{
    const QString problem = FormatChoiceProblem(frFormats->Choice(), Tables);
    if (problem.isEmpty())
        return true;
    Host().messageBox(problem, MsgExclamation);
    return false;
}

CutOutcome frmMain::RunCutJob()
{
    // A depth rather than a plain flag: a Start nested in a stopped job ends
    // before the stopped one has unwound, and the window must still count
    // as converting until that one is gone too.
    ++m_cutJobDepth;
    IsConverting = true;
    const quint64 stopsBefore = m_cutJobStops;
    CutOutcome outcome = CutOutcome::NotRun;
    QString outFile;
    bool reserved = false;
    try {
        if (CutFormatChosen()) {
            const QString extension = frFormats->Choice().OutputExtension();
            outFile = GetOutputFileName(InputFilePath, extension, &reserved);
            if (reserved)
                m_reservedOutputs << outFile;
            // The naming yields; a Stop click in them means no job at all.
            if (!outFile.isEmpty() && m_cutJobStops == stopsBefore)
                outcome = ConvertIntoPartialFile(outFile);
        }
    } catch (const std::exception&) {
        // The flow simply ends; the job reports its own failures.
    }
    // A run that did not succeed leaves nothing under the name it reserved;
    // no other file is touched.
    if (reserved && outcome != CutOutcome::Succeeded)
        QFile::remove(outFile);
    if (reserved)
        m_reservedOutputs.removeOne(outFile);
    --m_cutJobDepth;
    IsConverting = m_cutJobDepth > 0;
    return outcome;
}

CutOutcome frmMain::ConvertIntoPartialFile(const QString& outFile)
{
    // The encoder writes under a hidden name; the real name, reserved
    // meanwhile, gets the file only once the result has been checked.
    QString error;
    const std::unique_ptr<PartialOutput> partial = PartialOutput::Create(outFile, &error);
    if (!partial) {
        Host().messageBox(QStringLiteral("The output file could not be created: ") + error, MsgCritical);
        return CutOutcome::NotRun;
    }
    m_runningPartials.push_back(partial.get());
    CutOutcome outcome = ConvertVideo(InputFilePath, partial->path(), outFile);
    std::erase(m_runningPartials, partial.get());
    if (outcome != CutOutcome::Succeeded)
        return outcome;
    if (!partial->Commit(&error)) {
        Host().messageBox(QStringLiteral("The cut could not be saved under its name: ") + error, MsgCritical);
        return CutOutcome::Failed;
    }
    // A job that succeeded was not stopped, so no nested Start has replaced
    // it: it names where its result now lies.
    if (cConvert && cConvert->OutputFile() == partial->path())
        cConvert->setOutputFile(outFile);
    return outcome;
}

void frmMain::SaveBeforeAbruptEnd()
{
    SaveSettings(SettingsFailure::LogOnly);
    // Unlinked now, a file the encoder still writes disappears with it.
    for (PartialOutput* partial : m_runningPartials)
        partial->Discard();
    for (const QString& path : std::as_const(m_reservedOutputs))
        QFile::remove(path);
    m_reservedOutputs.clear();
}

CutOutcome frmMain::ConvertVideo(const QString& origfile, const QString& outFile, const QString& shownAs)
{
    // Without an output name the encoder would be run on an empty path.
    if (outFile.isEmpty())
        return CutOutcome::NotRun;
    const quint64 stopsBefore = m_cutJobStops;
    try {
        lblProgress->setVisible(true);
        progress->setValue(0);
        progress->setVisible(true);

        cmdStop_Click();

        const double selectStart = SelectionStartSeconds();
        const double selectEnd = SelectionEndSeconds();
        const QString options = GetParamaters(frFormats->Choice(), Tables, selectStart, selectEnd);
        // Empty options would convert the whole input with the encoder's
        // defaults; the builder has reported its own failures. A message box
        // it showed may also have let a Stop click through.
        if (options.isEmpty() || m_cutJobStops != stopsBefore)
            return CutOutcome::NotRun;

        // The local reference keeps this job alive through StartConversion
        // even when a nested Start replaces cConvert meanwhile.
        const PresetEntry* preset = ChosenPreset(Tables, frFormats->Choice());
        std::shared_ptr<CVideoConv> job;
        if (preset && preset->CutMode == QLatin1String(kSmartCutMode)) {
            const auto smart = std::make_shared<SmartCutJob>();
            smart->setSelectionLength(selectEnd - selectStart);
            const QString fallback = FrameExactFallback(preset->Extension);
            if (!fallback.isEmpty())
                smart->setFallbackParametrs(fallback + QStringLiteral(" -t ")
                                            + CommandLineSeconds(MediaMilliseconds(selectEnd - selectStart))
                                            + QStringLiteral(" -y"));
            job = smart;
        } else {
            job = std::make_shared<CVideoConv>();
        }
        connect(job.get(), &CVideoConv::Progress, this, &frmMain::cConvert_Progress, Qt::DirectConnection);
        connect(job.get(), &CVideoConv::CurrentStatus, this, &frmMain::cConvert_CurrentStatus,
                Qt::DirectConnection);
        cConvert = job;
        job->setInputFile(origfile);
        job->setOutputFile(outFile);
        job->setOutputShownAs(shownAs);
        // "-y": the encoder writes into the file reserved for it.
        job->setOptions(QProcess::splitCommand(options) << QStringLiteral("-y"));
        job->setStartTime(selectStart);
        job->setFileTimeLength(float(selectEnd - selectStart));
        job->StartConversion();
        return job->Outcome();
    } catch (const std::exception&) {
        lblProgress->setVisible(false);
        progress->setVisible(false);
    }
    return CutOutcome::NotRun;
}

QString frmMain::FrameExactFallback(const QString& extension) const
{
    // The best shipped H.264 re-encode: for this container where there is one.
    const int count = int(std::min<qsizetype>(Tables.PresetCount, Tables.Presets.size()));
    const PresetEntry* best = nullptr;
    for (int i = 0; i < count; ++i) {
        const PresetEntry& p = Tables.Presets.at(i);
        if (!p.Params.contains(QLatin1String("libx264")) || !p.Label.contains(QLatin1String("High Quality")))
            continue;
        if (p.Extension == extension)
            return p.Params;
        if (!best)
            best = &p;
    }
    return best ? best->Params : QString();
}

QString frmMain::GetOutputFileName(const QString& inputPath, const QString& extension, bool* reserved)
{
    if (reserved)
        *reserved = false;
    const QFileInfo input(inputPath);
    const QString folder = optSameFolder->isChecked() ? input.absolutePath() : txtOutPath->text();
    if (!EnsureOutputFolder(folder)) {
        Host().messageBox(QStringLiteral("Output Folder is not exist and can not be created."), MsgCritical);
        return {};
    }
    // What a killed program left in this folder goes first, its reserved
    // name with it.
    PartialOutput::RemoveAbandoned(folder);
    // A name is free when its file could be created here and now, by this
    // job alone; a folder that refuses new files ends the search at once.
    QString createError;
    const std::function<bool(const QString&)> taken = OutputNameTaken ? OutputNameTaken : [&](const QString& path) {
        return !createError.isEmpty() || ReserveOutputPath(path, &createError) != Reservation::Reserved;
    };
    const QString name = FirstFreeOutputName(folder, input.completeBaseName(), extension, taken, [] {
        Host().processEvents();
        Host().processEvents();
    });
    if (!createError.isEmpty()) {
        Host().messageBox(QStringLiteral("The output file could not be created: ") + createError, MsgCritical);
        return {};
    }
    if (name.isEmpty()) {
        Host().messageBox(QStringLiteral("Every output name for \"%1\" is taken in %2 (up to \"_%3\"). Move or "
                                         "remove some of those files, or choose another output folder.")
                              .arg(input.completeBaseName() + QLatin1Char('.') + extension,
                                   QDir::toNativeSeparators(folder))
                              .arg(kLastOutputNumber),
                          MsgExclamation);
        return {};
    }
    if (reserved)
        *reserved = !OutputNameTaken;
    return name;
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
    // A full bar means a checked, finished cut: while the encoder runs, and
    // until its result has been checked, the bar stops one short of it.
    progress->setValue(std::min<int>(iProgress, 99));  // the bar clamps -1
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
