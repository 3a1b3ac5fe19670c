#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

namespace clip {

class DOSOutputs;

// How one run of the encoder ended.
struct RunEnd {
    enum class Kind {
        Done,        // exited by itself with status 0
        Stopped,     // a stop request ended it
        NotStarted,  // the program could not be started (`cause`: the runner's message)
        Failed,      // exited otherwise (`cause`: its report's error lines, an abnormal end said first)
    };
    Kind kind = Kind::Done;
    QString report;  // what it wrote, whole
    QString cause;
};

// The runner the encoder runs of one job share: one process at a time
// (DOSOutputs: no shell, the window's events between its chunks, one Stop
// for whichever runs), its report read line by line into the job's
// progress (the time of its status lines against the job's length, over
// the job's stretch of the bar) or, without a length, its status.
class EncoderRunner {
public:
    struct Sinks {
        std::function<void(qint16)> progress;
        std::function<void(const QString&)> status;
        std::function<double()> length;  // seconds the run's time counts against; 0 or less: unknown
    };
    explicit EncoderRunner(Sinks sinks);
    ~EncoderRunner();
    EncoderRunner(const EncoderRunner&) = delete;
    EncoderRunner& operator=(const EncoderRunner&) = delete;

    DOSOutputs& Dos() { return *m_dos; }
    // The share of the bar the next runs cover: their time is shown from
    // `from` percent over `span` percent (the whole bar by default).
    void setRange(double from, double span);
    // Runs `program` with `arguments` to its end.
    RunEnd Run(const QString& program, const QStringList& arguments);
    // One chunk of a report as the runner hands it out: complete lines move
    // the bar; a line cut by the chunk's end waits for its rest, and the
    // empty chunk at the end of the data completes the last one.
    void Receive(const QString& chunk);

    // The lines of an encoder report that say why it failed: its last error
    // lines (at most ten), without the banner, the stream listing and the
    // status lines.
    static QString ErrorLines(const QString& report);
    // Seconds of an encoder time text: plain seconds ("12.40") or a clock
    // value ("[-]HH:MM:SS.cc"); empty for anything else ("N/A").
    static std::optional<double> ParseTime(const QString& text);
    // Whether `line` is the encoder's status line ("frame= ... time=..." or,
    // without pictures, "size= ... time=...") rather than one that may echo
    // a file name.
    static bool IsStatusLine(const QString& line);

private:
    void HandleLine(const QString& line);

    Sinks m_sinks;
    std::unique_ptr<DOSOutputs> m_dos;
    QString m_pendingLine;  // the report's last line, not yet complete
    double m_from = 0.0;
    double m_span = 100.0;
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);  // gone with the runner (a handler may end its owner)
};

}  // namespace clip
