#pragma once

#include "cut/CutRequest.h"
#include "engine/CVideoConv.h"

#include <QObject>
#include <QStringList>

#include <functional>
#include <memory>
#include <vector>

namespace clip {

struct Catalogues;
class PartialOutput;

// One cut from request to result, without any widget: the output's name and
// its reservation, the choice of job (re-encode, stream copy, smart cut), the
// re-encode a smart cut offers (asked through the host), the run into a
// hidden working file, the outcome, the clean-up and the power-off the
// request wished for. A request with parts is an export of several segments
// (one file each, or joined into one) with one bar, one outcome and one
// clean-up for the whole export. A window and a command line are two views of it: they
// build the request, show the progress and tell the user what the result
// says.
//
// Run() returns when the cut has ended. While it runs, the event loop keeps
// turning inside it (the encoder's runner yields), so a Stop() and even a
// new Run() may come nested in it; the re-entry rules live here:
// - Stop() ends the running job; the flow that ran it unwinds as Stopped.
// - A Run() nested in a stopped one is a cut of its own; the stopped job
//   stays alive until its own flow has unwound, and only the newest job that
//   was not stopped moves the progress.
// - IsRunning() holds until every flow on the stack has ended.
class CutController : public QObject {
    Q_OBJECT

public:
    explicit CutController(const Catalogues& catalogues, QObject* parent = nullptr);
    ~CutController() override;

    // Why a request cannot be started or stopped at all (no video, an empty
    // or reversed selection where no parts are given), as the message that
    // says so; empty when it can. The Start/Stop button checks this before
    // either action.
    static CutResult Refusal(const CutRequest& request);

    // Runs the cut to its end. The result carries what the user is to be
    // told (empty for a success and a stop); finished() reports it as well.
    CutResult Run(const CutRequest& request);
    // Asks the running cut to stop; nothing when none runs.
    void Stop();
    // True while a flow is on the stack (nested ones included).
    bool IsRunning() const { return m_depth > 0; }

    // The current encoder job, replaced by every cut that gets as far as
    // one; empty before the first.
    std::shared_ptr<CutJob> Job() const { return m_job; }

    // Decides whether an output path is in use; unset, a name is taken
    // unless its file can be created exclusively (ReserveOutputPath).
    void setNameTaken(std::function<bool(const QString&)> taken) { m_nameTaken = std::move(taken); }
    // False: no power-off follows any cut from now on (the program is ending).
    void setPowerOffAllowed(bool allowed) { m_powerOffAllowed = allowed; }
    // The program is about to end without unwinding: removes the running
    // cuts' working files and reserved names now.
    void DiscardUnfinished();

    // The options of the frame-exact re-encode a smart cut offers where it
    // cannot keep the original: the best shipped H.264 preset, for
    // `extension` where there is one. Empty without such a preset.
    static QString FrameExactFallback(const Catalogues& catalogues, const QString& extension);

signals:
    // The encoder is about to run for the cut (a view stops its preview).
    void aboutToEncode();
    // Percent of the running cut, 0 to 99 (only a checked success is full).
    void progress(int percent);
    // Stop() has ended the running job.
    void stopped();
    // A flow has ended with `result` (after its clean-up, before a power-off).
    void finished(const clip::CutResult& result);
    // A power-off follows now (a view saves what it must first).
    void aboutToPowerOff();

private:
    struct Flow;
    // A free name, reserved (for the numbered part `part` of an export of
    // one file per segment where `part` > 0); empty with the message in
    // `result` otherwise. Reserved names are noted in the flow.
    QString GetOutputFileName(Flow& flow, int part, CutResult& result);
    // Writes `parts` (joined when `join`, else the one part) under a hidden
    // name beside `outFile`; the working file is handed to `kept` on a
    // success, for its owner to commit.
    CutOutcome RunIntoPartialFile(Flow& flow, const std::vector<Segment>& parts, bool join, const QString& outFile,
                                  std::vector<std::unique_ptr<PartialOutput>>& kept, CutResult& result);
    // One file per segment: every part is made before any gets its name, so
    // a stop or a failure at any point leaves none of them.
    CutOutcome RunOnePerSegment(Flow& flow, QStringList& outputs, CutResult& result);
    CutOutcome ConvertVideo(Flow& flow, const std::vector<Segment>& parts, bool join, const QString& partialPath,
                            const QString& outFile, CutResult& result);
    // The joined smart cut: each part smart-cut on its own, then the parts
    // joined as they are.
    CutOutcome RunSmartJoin(Flow& flow, const std::vector<Segment>& parts, const QStringList& options,
                            const QString& partialPath, const QString& outFile, CutResult& result);
    // The options of the frame-exact re-encode a smart cut offers, once the
    // user has taken it (asked once per flow); empty with `outcome` set when
    // not.
    QString TakenFallback(Flow& flow, const QString& offer, const QString& extension, CutResult& result,
                          CutOutcome* outcome);
    // The bar's stretch the next job moves over, in percent.
    void setBarRange(double from, double span) { m_barFrom = from, m_barSpan = span; }
    // Runs `job` as the current one and takes its outcome and failure.
    CutOutcome RunAsCurrent(const std::shared_ptr<CutJob>& job, CutResult& result);
    void onJobProgress(CutJob* job, qint16 percent);
    // 0 log off, 1 shut down, 2 restart, 8 power off; anything else nothing.
    // Failures are ignored.
    void ShutdownComputer(int mode);

    const Catalogues& m_catalogues;
    std::shared_ptr<CutJob> m_job;
    std::weak_ptr<CutJob> m_stoppedJob;  // the job the last Stop ended
    int m_depth = 0;                         // flows on the stack (nested after a Stop)
    quint64 m_stops = 0;                     // counts Stop() calls
    QStringList m_reservedOutputs;           // names reserved by the flows on the stack
    std::vector<PartialOutput*> m_runningPartials;  // their working files, owned by the flows
    std::function<bool(const QString&)> m_nameTaken;
    bool m_powerOffAllowed = true;
    double m_barFrom = 0.0, m_barSpan = 100.0;
    int m_barFloor = 0;          // the bar's last value in an export
    bool m_barMonotone = false;  // an export of several parts is running
};

}  // namespace clip
