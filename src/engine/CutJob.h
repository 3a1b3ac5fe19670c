#pragma once

#include "common/MediaTime.h"
#include "common/SecondsToTime.h"

#include <QObject>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <optional>

namespace clip {

// How a StartConversion ended. The view's bar, label, clean-up and
// power-off all follow from this one value.
enum class CutOutcome {
    NotRun,     // the encoder never started (its failure, if any, in Failure())
    Stopped,    // a stop request ended the run
    Succeeded,  // the encoder exited with status 0 and left a file with a stream of non-zero duration
    Failed,     // the encoder ran to its own end without a usable result (its cause in Failure())
};

// Why a job failed, as the user is to be told: the message (cause first)
// and the encoder's whole report behind it (empty where none ran).
struct JobFailure {
    QString message;
    QString details;
};

// What the cut's owner asks of any job that makes an output from the input:
// where from and to, with which encoder options, over what length; run it,
// stop it, and read how it ended. The plain encoder run (CVideoConv), the
// export of several stretches (SegmentsJob) and the smart cut
// (SmartCutJob) are such jobs.
class CutJob : public QObject {
    Q_OBJECT

public:
    explicit CutJob(QObject* parent = nullptr) : QObject(parent) {}
    ~CutJob() override = default;

    QString InputFile() const { return m_inputFile; }
    void setInputFile(const QString& sSet) { m_inputFile = sSet; }
    QString OutputFile() const { return m_outputFile; }
    void setOutputFile(const QString& sSet) { m_outputFile = sSet; }
    // The name messages give the output where the job writes it under
    // another (a hidden working file); unset, OutputFile.
    void setOutputShownAs(const QString& path) { m_outputShownAs = path; }
    // Length of the result in seconds; zero or less when unknown.
    void setFileTimeLength(float iSet) { m_fileTimeLength = iSet; }
    // The encoder options between the input and the output: as a command
    // line's text (split without any shell, as the runner splits one), or
    // as the arguments themselves.
    void setParametrs(const QString& sSet) { m_options = QProcess::splitCommand(sSet); }
    void setOptions(const QStringList& options) { m_options = options; }
    // Where the cut starts in the input, in seconds, taken to the
    // millisecond below (MediaMilliseconds). Unset (the default), the job
    // starts at the input's beginning.
    void setStartTime(double seconds) { m_startTime = MediaMilliseconds(seconds); }

    // Runs the job to its end and decides its outcome. A failed run raises
    // the "Error" status and keeps its cause in Failure() for its owner to
    // show; a stopped run raises "Cancelled" only. While it runs, the
    // window's events (among them a Stop calling StopConversion) are
    // processed nested inside it.
    virtual void StartConversion() = 0;
    // Asks a running job to stop; does nothing when no job runs.
    virtual void StopConversion() = 0;

    CutOutcome Outcome() const { return m_outcome; }
    // Why the last run failed or could not start; empty otherwise.
    const JobFailure& Failure() const { return m_failure; }
    bool Succeeded() const { return m_outcome == CutOutcome::Succeeded; }
    bool WasStopped() const { return m_outcome == CutOutcome::Stopped; }
    // True while StartConversion runs.
    bool IsRunning() const { return m_running; }

signals:
    // Percent of FileTimeLength done. Emitted synchronously.
    void Progress(qint16& iProgress);
    // "Starting...", "Error", "Cancelled", or a time followed by
    // " Seconds Converted". Emitted synchronously.
    void CurrentStatus(QString& sStatus);

protected:
    void raiseStatus(const QString& text)
    {
        QString status = text;
        emit CurrentStatus(status);
    }
    void raiseProgress(qint16 value)
    {
        qint16 progress = value;
        emit Progress(progress);
    }
    void setFailure(const QString& message, const QString& details) { m_failure = {message, details}; }

    QString m_inputFile;
    QString m_outputFile;
    QString m_outputShownAs;
    float m_fileTimeLength = 0.0f;
    QStringList m_options;
    std::optional<qint64> m_startTime;  // milliseconds, a position
    CutOutcome m_outcome = CutOutcome::NotRun;
    JobFailure m_failure;
    bool m_running = false;
};

}  // namespace clip
