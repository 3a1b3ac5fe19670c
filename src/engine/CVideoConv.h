#pragma once

#include "engine/OutputLength.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include "common/MediaTime.h"

#include <memory>
#include <optional>

namespace clip {

class DOSOutputs;

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

// One encoder job: cuts `InputFile` into `OutputFile` with the encoder
// arguments `Parametrs`, reporting progress against `FileTimeLength` seconds.
// The cut starts at `StartTime`, a position (TimeOrigin: seconds from the
// input's first shown frame), which the job turns into the encoder's time
// of the input as the probe finds it. Where the encoder's input seek is exact (the
// input starts at 0 and is neither MPEG-TS nor MPEG-PS) the start is an input
// option, so the encoder seeks there instead of decoding everything before
// it; otherwise it is an output option, and the encoder decodes from the
// beginning and drops what lies before the start (docs/PERFORMANCE.md).
// The encoder is "ffmpeg" ("ffmpeg.exe" on Windows) as LocateTool finds it
// (the program's folder, then the installed data folders, then the PATH),
// run through a DOSOutputs runner that the job creates on first use; the
// probe found the same way ("ffprobe") answers questions about the input
// and checks the result.
//
// StartConversion returns when the encoder has ended or the job was stopped;
// while it runs, the window's events (among them a Stop click calling
// StopConversion) are processed nested inside it.
class CVideoConv : public QObject {
    Q_OBJECT

public:
    explicit CVideoConv(QObject* parent = nullptr);
    ~CVideoConv() override;

    QString InputFile() const;
    void setInputFile(const QString& sSet);
    QString OutputFile() const;
    void setOutputFile(const QString& sSet);
    // The name messages give the output where the job writes it under
    // another (a hidden working file); unset, OutputFile.
    void setOutputShownAs(const QString& path) { m_outputShownAs = path; }
    // Length of the result in seconds; zero or less when unknown.
    void setFileTimeLength(float iSet);
    // The encoder options between the input and the output: as a command
    // line's text (split without any shell, as the runner splits one), or
    // as the arguments themselves.
    void setParametrs(const QString& sSet);
    void setOptions(const QStringList& options);
    // Where the cut starts in the input, in seconds, taken to the
    // millisecond below (MediaMilliseconds) and written as a whole number
    // when whole ("-ss 10"), else with three decimals ("-ss 10.040"). Unset
    // (the default), the command line has no "-ss" of its own.
    void setStartTime(double seconds);

    // Runs the job to its end and decides its outcome. A failed run raises
    // the "Error" status and keeps its cause in Failure() (the encoder's last
    // error lines, its whole report as the details) for its owner to show; a
    // stopped run raises "Cancelled" only.
    virtual void StartConversion();
    // Asks a running job to stop; does nothing when no job runs.
    void StopConversion();
    // Asks the encoder whether it can read `sMediaFile`. A missing encoder
    // ("The encoder was not found: <path>", and false) or one that could not
    // be started is kept in Failure() for the caller to show.
    bool IsFileSupported(const QString& sMediaFile);
    // Where positions start in `path`, as the probe finds it; empty when the
    // probe could not tell.
    std::optional<TimeOrigin> ProbeTimeOrigin(const QString& path);
    // How long `path` runs in positions (from its first shown frame to the
    // container's end), by the same probe; empty when the probe cannot tell.
    std::optional<double> ProbePositionLength(const QString& path);

    CutOutcome Outcome() const { return m_outcome; }
    // Why the last run failed or could not start; empty otherwise.
    const JobFailure& Failure() const { return m_failure; }
    bool Succeeded() const { return m_outcome == CutOutcome::Succeeded; }
    bool WasStopped() const { return m_outcome == CutOutcome::Stopped; }
    // True while StartConversion runs.
    bool IsRunning() const { return m_running; }
    // True when the last run put the start after the input (exact seek).
    bool SeeksAfterInput() const { return m_seekAfterInput; }

    // The encoder's and the probe's paths (LocateTool); LookedFor lists
    // where a missing one was looked for.
    static QString EncoderPath();
    static QString ProbePath();

signals:
    // Percent of FileTimeLength done. Emitted synchronously.
    void Progress(qint16& iProgress);
    // "Starting...", "Error", "Cancelled", or a time followed by
    // " Seconds Converted". Emitted synchronously.
    void CurrentStatus(QString& sStatus);

protected:
    friend class CVideoConvTestAccess;

    // The share of the bar one encoder run covers: its time is counted
    // against FileTimeLength and shown from `from` percent over `span`
    // percent (the whole bar by default). A job of several runs sets it
    // before each.
    void setProgressRange(double from, double span);
    void setFailure(const QString& message, const QString& details);
    // The encoder's arguments: the start, the input, the options, the output.
    // A job that reads its input otherwise (several stretches, a listing)
    // builds its own.
    virtual QStringList BuildArguments() const;
    void objDOS_ReceiveOutputs(QString& CommandOutputs);
    void handleReportLine(const QString& line);
    // The lines of an encoder report that say why it failed: its last error
    // lines (at most ten), without the banner, the stream listing and the
    // status lines.
    static QString EncoderErrorLines(const QString& log);
    // Seconds of an encoder time text: plain seconds ("12.40") or a clock
    // value ("[-]HH:MM:SS.cc"); empty for anything else ("N/A").
    static std::optional<double> ParseEncoderTime(const QString& text);
    // True when the encoder's report on `path` says it could not read it;
    // the path itself, echoed in the report, is not looked at.
    static bool ReportsUnreadableInput(const QString& report, const QString& path);
    // Asks the probe about the input before the run: where its time starts
    // (m_origin), whether its input seek can be trusted to land on the
    // start, and its length.
    void ProbeInput();
    // Why the finished run's output is no video; empty when it is one. Reads
    // the output's length for ShortOutput too.
    QString OutputProblem();
    // Why the finished run's output falls short of the selection (an input
    // that ended early or is damaged); empty when it holds it. After
    // OutputProblem.
    QString ShortOutput();
    // The input probe's report on `path` (TimeOrigin::ProbeArguments): the
    // last one taken while the file is unchanged since, else a new run.
    QString ProbeInputReport(const QString& path);
    // Runs the probe with `arguments` and returns its report; empty when it
    // could not run.
    QString RunProbe(const QStringList& arguments);
    // That text; empty when the encoder is there.
    QString MissingEncoderMessage() const;
    // A cut's failure box: "Error converting file: ", the input's name and
    // a line break, then `cause`. One box per failure: a failure of the
    // runner comes in it too, not in a box of the runner's own.
    QString ConversionError(const QString& cause) const;

    DOSOutputs* runner();
    void raiseStatus(const QString& text);
    void raiseProgress(qint16 value);
    void showRunTimeError(const QString& description, const QString& source);

    QString m_inputFile;
    QString m_outputFile;
    QString m_outputShownAs;
    float m_fileTimeLength = 0.0f;
    QStringList m_options;
    std::optional<qint64> m_startTime;  // milliseconds, a position
    TimeOrigin m_origin;                // of the input, read when the job starts
    std::unique_ptr<DOSOutputs> objDOS;
    QString m_pendingLine;  // the report's last line, not yet complete
    QString m_lastReport;   // the encoder's whole report of the last run
    CutOutcome m_outcome = CutOutcome::NotRun;
    JobFailure m_failure;
    bool m_running = false;
    bool m_stopRequested = false;
    bool m_probesStopped = false;  // a Stop ends the probe under way and any after it
    bool m_seekAfterInput = false;
    bool m_inputNeedsExactSeek = true;
    std::optional<double> m_inputSeconds;  // the input's length before the run
    MediaLength m_outputLength;            // the output's, read by OutputProblem
    double m_progressFrom = 0.0;
    double m_progressSpan = 100.0;
};

}  // namespace clip
