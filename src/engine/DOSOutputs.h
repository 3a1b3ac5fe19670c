#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>

class QProcess;

namespace clip {

// Runs one console command line as a hidden child process and captures what
// it writes to standard output and standard error (merged, in arrival
// order). The child's standard input is closed, so a child that waits for
// the keyboard reads end-of-file at once. The child ends with the program
// (platform/ChildLifetime.h), also when the program is killed.
//
// A run is a program and its arguments, each handed to the child exactly as
// it stands (no shell ever sees them). The command-line text interface is a
// thin wrapper over that: the text is split into program and arguments
// without any shell (blanks separate arguments, double quotes group, and
// three double quotes in a row stand for one literal double quote;
// QuoteArgument makes such text).
//
// The runner stays on the calling (user-interface) thread. Output is handed
// out in chunks of at most 512 bytes through ReceiveOutputs, each after six
// yields to the window event loop; while the child is silent the runner keeps
// yielding at least every 10 ms, so the window stays alive, a stop request is
// honoured even when no output comes, and the end of a run beside this one
// (a part the child waits for) is acted on without delay.
class DOSOutputs : public QObject {
    Q_OBJECT

public:
    // Size of one read of the child's output, in bytes.
    static constexpr int kChunkBytes = 512;
    // Longest wait for output before the window gets its events again.
    static constexpr int kIdleYieldMs = 10;

    explicit DOSOutputs(QObject* parent = nullptr);
    ~DOSOutputs() override;

    QString CommandLine() const;
    // Stores a command-line text: split into program and arguments here.
    void setCommandLine(const QString& DOSCommand);
    // Stores the program and its arguments of the next run.
    void setCommand(const QString& program, const QStringList& arguments);
    QString Program() const { return m_program; }
    QStringList Arguments() const { return m_arguments; }

    // Everything captured during the current or last run.
    QString Outputs() const;

    // Runs the stored command line (replaced first by `CommandLine` when that
    // is not empty) and returns the whole captured text; an empty text when
    // the run was stopped or the command could not be started (the runner
    // has shown its message then, or left it to its owner).
    QString ExecuteCommand(const QString& CommandLine = {});
    // Runs `program` with `arguments` (stored as the next run's command).
    QString ExecuteCommand(const QString& program, const QStringList& arguments);

    // Ends a child that still runs and releases it. Harmless when idle.
    void CleanUp();

    // Asks the running command to stop; cleared at the start of every run.
    void setStopConvert(bool bSet);

    // Outcome of the last run. ExitedNormally is true only when the child
    // ended by itself (not killed, not crashed, not stopped); ExitCode is its
    // exit status then, and -1 otherwise.
    bool ExitedNormally() const { return m_exitedNormally; }
    int ExitCode() const { return m_exitCode; }
    // True when the last run ended because of a stop request.
    bool WasStopped() const { return m_wasStopped; }
    // True when the last run got as far as starting its child.
    bool WasStarted() const { return m_wasStarted; }

    // The runner's own failures (an empty command line, a program that does
    // not start) are shown in a box by the runner unless its owner shows
    // them in a box of its own; FailureMessage() holds the last one either
    // way, empty after a run that started.
    void setShowsFailures(bool show) { m_showsFailures = show; }
    QString FailureMessage() const { return m_failureMessage; }

    // `text` as one argument of a command line for this runner: enclosed in
    // double quotes, with each double quote inside written as three.
    static QString QuoteArgument(const QString& text);

signals:
    // One chunk of output; also the final empty chunk at end of data and the
    // text "Cancelled" after a stop. Emitted synchronously.
    void ReceiveOutputs(QString& CommandOutputs);

private:
    enum class ReadResult { Data, EndOfData, Stopped, Gone };
    ReadResult readChunk(QString& chunk, quint64 run);
    void recordExit();

    QString m_commandLine;      // the stored command as text (quoted arguments)
    QString m_program;          // the stored command itself
    QStringList m_arguments;
    QString run();
    QString m_outputs;
    std::unique_ptr<QProcess> m_process;
    QByteArray m_pendingBytes;  // an incomplete UTF-8 sequence held back for the next chunk
    bool m_stopConvert = false;
    bool m_showsFailures = true;
    QString m_failureMessage;
    QString Fail(const QString& message);
    bool m_exitedNormally = false;
    int m_exitCode = -1;
    bool m_wasStopped = false;
    bool m_wasStarted = false;
    quint64 m_runSerial = 0;  // counts runs, so a loop notices a clean-up or a newer run
};

}  // namespace clip
