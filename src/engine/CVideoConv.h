#pragma once

#include "engine/CutJob.h"
#include "engine/EncoderRunner.h"
#include "engine/OutputLength.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include "common/MediaTime.h"

#include <functional>
#include <memory>
#include <optional>

namespace clip {

class DOSOutputs;

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
class CVideoConv : public CutJob {
    Q_OBJECT

public:
    explicit CVideoConv(QObject* parent = nullptr);
    ~CVideoConv() override;

    // A failed run keeps the encoder's last error lines in Failure(), its
    // whole report as the details. The start is written as a whole number
    // when whole ("-ss 10"), else with three decimals ("-ss 10.040"); unset,
    // the command line has no "-ss" of its own.
    void StartConversion() override;
    void StopConversion() override;
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

    // True when the last run put the start after the input (exact seek).
    bool SeeksAfterInput() const { return m_seekAfterInput; }

    // The encoder's and the probe's paths (LocateTool); LookedFor lists
    // where a missing one was looked for.
    static QString EncoderPath();
    static QString ProbePath();

protected:
    friend class CVideoConvTestAccess;

    // The share of the bar one encoder run covers: its time is counted
    // against FileTimeLength and shown from `from` percent over `span`
    // percent (the whole bar by default). A job of several runs sets it
    // before each.
    void setProgressRange(double from, double span) { m_encoder.setRange(from, span); }
    // The encoder's arguments: the start, the input, the options, the output.
    // A job that reads its input otherwise (several stretches, a listing)
    // builds its own.
    virtual QStringList BuildArguments() const;
    void objDOS_ReceiveOutputs(QString& CommandOutputs) { m_encoder.Receive(CommandOutputs); }
    static QString EncoderErrorLines(const QString& log) { return EncoderRunner::ErrorLines(log); }
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
    // Runs the probe with `arguments` and returns its report; empty when it
    // could not run or a Stop ended it.
    QString RunProbe(const QStringList& arguments);
    // Whether a Stop (or the job's end) has ended the job's probes.
    std::function<bool()> ProbesStopped();
    // A cut's failure box: "Error converting file: ", the input's name and
    // a line break, then `cause`.
    QString ConversionError(const QString& cause) const;

    DOSOutputs* runner() { return &m_encoder.Dos(); }
    void showRunTimeError(const QString& description, const QString& source);

    TimeOrigin m_origin;                // of the input, read when the job starts
    EncoderRunner m_encoder;
    QString m_lastReport;   // the encoder's whole report of the last run
    bool m_stopRequested = false;
    bool m_probesStopped = false;  // a Stop ends the probe under way and any after it
    bool m_seekAfterInput = false;
    bool m_inputNeedsExactSeek = true;
    std::optional<double> m_inputSeconds;  // the input's length before the run
    MediaLength m_outputLength;            // the output's, read by OutputProblem
};

}  // namespace clip
