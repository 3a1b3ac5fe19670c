#pragma once

#include <QObject>
#include <QString>

#include <memory>
#include <optional>

namespace clip {

class DOSOutputs;

// One encoder job: cuts `InputFile` into `OutputFile` with the encoder
// arguments `Parametrs`, reporting progress against `FileTimeLength` seconds.
// The cut starts at `StartTime`, which the encoder receives as an input
// option: it seeks there in the input instead of decoding and dropping
// everything before it, so a cut near the end of a long video starts as
// quickly as one at its beginning.
// The encoder is "ffmpeg" ("ffmpeg.exe" on Windows) as LocateTool finds it:
// the program's folder first, then the installed data folder, then the PATH;
// it runs through a DOSOutputs runner that the job creates on first use.
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
    // Length of the result in seconds; zero or less when unknown.
    void setFileTimeLength(float iSet);
    void setParametrs(const QString& sSet);
    // Where the cut starts in the input, in whole seconds: "-ss <seconds>"
    // before "-i" on the command line. Unset (the default), the command
    // line has no "-ss" of its own.
    void setStartTime(qint32 seconds);
    std::optional<qint32> StartTime() const { return m_startTime; }

    // Runs the job to its end. A failed run raises the "Error" status and
    // shows the encoder's report; a stopped run raises "Cancelled" only.
    void StartConversion();
    // Asks a running job to stop; does nothing when no job runs.
    void StopConversion();
    // Asks the encoder whether it can read `sMediaFile`.
    bool IsFileSupported(const QString& sMediaFile);

    // True when the last StartConversion ran the encoder to a normal exit
    // with status 0 and was not stopped.
    bool Succeeded() const { return m_succeeded; }
    // True when the last StartConversion ended because of a stop request.
    bool WasStopped() const { return m_stopped; }
    // True while StartConversion runs.
    bool IsRunning() const { return m_running; }

    // The encoder's path (LocateTool("ffmpeg")); LookedFor("ffmpeg") lists
    // where it was looked for when it is not there.
    static QString EncoderPath();

signals:
    // Percent of FileTimeLength done, or -1 when the encoder cannot read the
    // input. Emitted synchronously.
    void Progress(qint16& iProgress);
    // "Starting...", "Error", "Cancelled", "Unknown format", or a time
    // followed by " Seconds Converted". Emitted synchronously.
    void CurrentStatus(QString& sStatus);

private:
    friend class CVideoConvTestAccess;

    QString BuildCommandLine() const;
    void objDOS_ReceiveOutputs(QString& CommandOutputs);
    static QString TrimEncoderOutput(const QString& text);
    // Seconds of an encoder time text: plain seconds ("12.40") or a clock
    // value ("[-]HH:MM:SS.cc"); empty for anything else ("N/A").
    static std::optional<double> ParseEncoderTime(const QString& text);
    // True when an encoder text says it could not read its input.
    static bool ReportsUnreadableInput(const QString& text);

    DOSOutputs* runner();
    void raiseStatus(const QString& text);
    void raiseProgress(qint16 value);
    void showRunTimeError(const QString& description, const QString& source);

    QString m_inputFile;
    QString m_outputFile;
    float m_fileTimeLength = 0.0f;
    QString m_parametrs;
    std::optional<qint32> m_startTime;
    std::unique_ptr<DOSOutputs> objDOS;
    bool m_running = false;
    bool m_stopRequested = false;
    bool m_succeeded = false;
    bool m_stopped = false;
};

}  // namespace clip
