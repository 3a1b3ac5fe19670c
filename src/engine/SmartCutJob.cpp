#include "engine/SmartCutJob.h"

#include "common/HostServices.h"
#include "common/SecondsToTime.h"
#include "engine/DOSOutputs.h"
#include "engine/ParameterSets.h"
#include "platform/ChildLifetime.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLockFile>
#include <QLoggingCategory>
#include <QPointer>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <algorithm>
#include <cmath>
#include <chrono>
#include <functional>
#include <future>
#include <memory>
#include <optional>
#include <tuple>
#include <vector>

#ifndef Q_OS_WIN
#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace clip {

namespace {

// The steps' times, for measuring where a cut's time goes:
// QT_LOGGING_RULES="clipwright.smartcut.steps.debug=true".
Q_LOGGING_CATEGORY(lcSteps, "clipwright.smartcut.steps", QtWarningMsg)

// A time on a command line: seconds with microseconds, never negative.
QString Secs(double seconds)
{
    return QString::number(std::max(0.0, seconds), 'f', 6);
}

// How far before a frame's time a seek to that frame aims, so that rounding
// never puts the frame before the seek point (frames lie much further apart).
constexpr double kSeekLead = 0.0005;
// The same in the 90 kHz units of an MPEG-TS part.
constexpr qint64 kHalfMillisecond = 45;
// How far a time from the probe may lie off a mark and still count as on it.
constexpr double kTolerance = 5e-7;
// How far before the start the subtitles are read, for one shown across it.
constexpr double kSubtitleLookBack = 60.0;
// How far the picture's start in the output may lie off the one the join
// aimed at for the check's decodes to find their stretches: far below the
// half frame they allow either side.
constexpr double kDelayTolerance = 0.002;
// Packets each input of the join may hold ready.
constexpr int kJoinQueuePackets = 1024;
// The length of a copied body from which on it goes through a pipe into the
// join (a shorter one is made beside the head's encode at no cost).
constexpr double kStreamedBodySeconds = 120.0;
// The length of a selection from which on its packets are listed around
// its ends only, and how far past the start and before the end.
constexpr double kWindowedListingFrom = 120.0;
constexpr double kListedAroundMark = 30.0;
// How much longer than its packets last a copy reads (the packets past its
// end that it reads are left out by their times).
constexpr double kCopyReadsPast = 2.0;
// How far past the start the look at the start reads (the sound's packets
// there may lie this much behind the picture's in the file).
constexpr double kStartLookPast = 4.0;
// How far past a re-encoded part's last frame its encoder reads.
constexpr double kEncodeReadsPast = 0.1;
// Key frames asked whether they start a sequence before the copy is given up.
constexpr int kMostKeyFramesAsked = 4;
// How long the join may leave the head's pipe unread before the job gives up.
constexpr int kPipeWriteMs = 10000;
// How long a probe may take to answer.
constexpr int kProbeWaitMs = 60000;
// Weights of the steps on the bar, per second of the selection.
constexpr double kEncodeCost = 1.0, kCopyCost = 0.02, kJoinCost = 0.04;

QJsonObject ParseJson(const QString& report)
{
    const qsizetype brace = report.indexOf(QLatin1Char('{'));
    return brace < 0 ? QJsonObject() : QJsonDocument::fromJson(report.mid(brace).toUtf8()).object();
}

// The bytes of the probe's hex dump ("00000000: 0000 0005 0606  ......").
QByteArray HexDumpBytes(const QString& dump)
{
    QByteArray hex;
    for (const QString& line : dump.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        const qsizetype colon = line.indexOf(QLatin1String(": "));
        if (colon < 0)
            continue;
        const qsizetype text = line.indexOf(QLatin1String("  "), colon + 2);
        hex += line.mid(colon + 2, text < 0 ? -1 : text - colon - 2).remove(QLatin1Char(' ')).toLatin1();
    }
    return QByteArray::fromHex(hex);
}

// The picture count of an encoder report's last status line; -1 without one.
int LastCount(const QString& report)
{
    static const QRegularExpression counted(QStringLiteral("frame=\\s*(\\d+)"));
    int frames = -1;
    for (auto m = counted.globalMatch(report); m.hasNext();)
        frames = m.next().captured(1).toInt();
    return frames;
}

bool IsStatus(const QString& line)
{
    return line.trimmed().startsWith(QLatin1String("frame=")) || line.trimmed().startsWith(QLatin1String("size="));
}

// A path in a concat listing: quoted, with the file protocol named so that
// no part of the name is read as another protocol.
QString ListedFile(const QString& path)
{
    QString quoted = QStringLiteral("file:") + QDir::fromNativeSeparators(path);
    quoted.replace(QLatin1Char('\''), QStringLiteral("'\\''"));
    return QStringLiteral("file '") + quoted + QLatin1Char('\'');
}

}  // namespace

struct SmartCutJob::Step {
    QString program;
    QStringList args;
    double seconds = 0;   // of the selection this step goes through (its progress)
    double cost = 0;      // its share of the bar, relative to the others
    bool beside = false;  // a copy, run beside the encodes (no progress of its own)
    bool streamed = false;  // writes into a pipe the join reads as it comes (beside the join)
    bool body = false;      // the copy of the body
    bool holdsJoin = false; // the head's encode into a pipe the job holds open: the join reads it from its start
    QString pipe;           // that pipe
};

// A run of the encoder or the probe beside others (a copy beside the
// encodes, the probes of one question beside each other): the same child
// handling as the runner's (no shell, input closed, ended with the
// program), its output kept for its answer or a failure's message.
class BesideRun {
public:
    BesideRun(const QString& program, const QStringList& arguments)
    {
        m_process.setProcessChannelMode(QProcess::MergedChannels);
        m_process.setStandardInputFile(QProcess::nullDevice());
        // Read as it comes (the waits deliver it), so that a full pipe never
        // holds the child up.
        QObject::connect(&m_process, &QProcess::readyRead,
                         [this] { m_output += m_process.readAll(); });
#ifndef Q_OS_WIN
        const int parent = int(::getpid());
        m_process.setChildProcessModifier([parent] { platform::DieWithParent(parent); });
#endif
        m_process.start(program, arguments, QIODevice::ReadOnly);
        m_started = m_process.waitForStarted(-1);
#ifdef Q_OS_WIN
        if (m_started)
            platform::EndWithThisProgram(static_cast<unsigned long>(m_process.processId()));
#endif
    }
    ~BesideRun()
    {
        QObject::disconnect(&m_process, nullptr, nullptr, nullptr);
        Kill();
    }
    bool Running() { return m_started && m_process.state() != QProcess::NotRunning; }
    // Waits up to `ms` for the end, collecting the output.
    void Wait(int ms)
    {
        if (Running())
            m_process.waitForFinished(ms);
        m_output += m_process.readAll();
    }
    bool Succeeded() const
    {
        return m_started && m_process.exitStatus() == QProcess::NormalExit && m_process.exitCode() == 0;
    }
    bool Started() const { return m_started; }
    // Calls `ended` when the run ends, from the event loop.
    void WhenEnded(const std::function<void()>& ended)
    {
        QObject::connect(&m_process, &QProcess::finished, [ended] { ended(); });
        if (m_started && m_process.state() == QProcess::NotRunning)
            ended();
    }
    QString Output() const { return QString::fromUtf8(m_output); }
    // What it has written so far.
    const QByteArray& OutputSoFar() const { return m_output; }
    // The output of a run that succeeded; empty otherwise.
    QString Answer() const { return Succeeded() ? Output() : QString(); }
    void Kill()
    {
        if (Running()) {
            m_process.kill();
            m_process.waitForFinished(-1);
        }
    }

private:
    QProcess m_process;
    QByteArray m_output;
    bool m_started = false;
};

namespace {

// Waits for every run of `runs` (null ones are passed over) in short slices
// with the window's events between them, and `meanwhile` after each slice.
// False, with every run ended, when `stop` says so or, given `limitMs`, when
// that time has passed.
bool WaitForAll(const std::vector<BesideRun*>& runs, const std::function<bool()>& stop, int limitMs = -1,
                const std::function<void()>& meanwhile = {})
{
    QElapsedTimer clock;
    clock.start();
    for (bool waiting = true; waiting;) {
        waiting = false;
        for (BesideRun* run : runs) {
            if (run && run->Running()) {
                run->Wait(waiting ? 1 : 20);
                waiting = waiting || run->Running();
            }
        }
        if (!waiting)
            break;
        if (meanwhile)
            meanwhile();
        Host().processEvents();
        if (stop() || (limitMs >= 0 && clock.elapsed() > limitMs)) {
            for (BesideRun* run : runs) {
                if (run)
                    run->Kill();
            }
            return false;
        }
    }
    return true;
}

// The video packets of the probe's listing ("pts,dts,size,pos,flags" lines); empty,
// with `noTimes` set, when a packet has no presentation time.
QVector<VideoPacket> ParseListing(const QString& report, bool* noTimes)
{
    QVector<VideoPacket> packets;
    *noTimes = false;
    for (const QString& line : report.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        const QStringList f = line.trimmed().split(QLatin1Char(','));
        if (f.size() < 5)
            continue;
        bool ok = false;
        VideoPacket p;
        p.pts = f[0].toLongLong(&ok);
        if (!ok) {
            *noTimes = true;
            return {};
        }
        p.dts = f[1] == QLatin1String("N/A") ? p.pts : f[1].toLongLong();
        p.size = f[2].toInt();
        p.pos = f[3].toLongLong(&ok);
        p.pos = ok ? p.pos : -1;
        p.key = f[4].startsWith(QLatin1Char('K'));
        p.discard = f[4].contains(QLatin1Char('D'));
        packets << p;
    }
    return packets;
}

// Whether the look at one H.264 key frame's first packet (`look`, of the key
// frame shown at `pts`) found an IDR picture; the parameter set ids sent
// with it are added to `ids`.
bool StartsSequence(const BesideRun& look, qint64 pts, QSet<int>* ids)
{
    const QJsonArray listed = ParseJson(look.Answer()).value(QLatin1String("packets")).toArray();
    const QJsonObject packet = listed.isEmpty() ? QJsonObject() : listed.first().toObject();
    const QList<QByteArray> units = NalUnits(HexDumpBytes(packet.value(QLatin1String("data")).toString()), false);
    ids->unite(H264ParameterSetIds(units));
    return packet.value(QLatin1String("pts")).toInteger(-1) == pts && StartsWithH264Idr(units);
}

// Runs `work` (which shares nothing with the caller) on a worker thread and
// waits for it in short slices with the window's events between them: a
// selection of hours lists hundreds of thousands of packets, and reading and
// planning them must not hold the window up.
template <typename Work>
auto OffTheWindow(Work work)
{
    std::future<decltype(work())> result = std::async(std::launch::async, std::move(work));
    while (result.wait_for(std::chrono::milliseconds(20)) != std::future_status::ready)
        Host().processEvents();
    return result.get();
}

// As many transport stream null packets as the probe needs to tell a
// stream by its packets; every reader passes over them.
QByteArray PaddingPackets()
{
    constexpr qint64 kPacket = 188, kPackets = 16;
    QByteArray null(kPacket * kPackets, char(0xff));
    for (qint64 i = 0; i < kPackets; ++i) {
        char* packet = null.data() + i * kPacket;
        packet[0] = 0x47, packet[1] = 0x1f, packet[2] = char(0xff), packet[3] = 0x10;  // PID 0x1fff, payload only
    }
    return null;
}

// Appends null packets to a transport stream shorter than the probe needs
// to tell it by its packets.
void PadShortTransportStream(const QString& path)
{
    const QByteArray null = PaddingPackets();
    QFile file(path);
    if (file.size() >= null.size() || !file.open(QIODevice::Append))
        return;
    file.write(null);
}

// The job's own end of a named pipe that one run writes into and another
// reads: while it is open, the reader does not meet the pipe's end when the
// writer has finished. Opened for reading and writing, so that opening
// waits for no one (it never reads).
class HeldPipe {
public:
    HeldPipe() = default;
    HeldPipe(const HeldPipe&) = delete;
    HeldPipe& operator=(const HeldPipe&) = delete;
    ~HeldPipe() { Close(); }
    bool Open(const QString& path)
    {
#ifdef Q_OS_WIN
        Q_UNUSED(path);
        return false;
#else
        m_fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
        return m_fd >= 0;
#endif
    }
    // Writes `tail` after what the writer wrote and lets go; false when the
    // reader took none of it for `limitMs` (the window's events go on).
    bool Release(const QByteArray& tail, int limitMs)
    {
#ifndef Q_OS_WIN
        QElapsedTimer clock;
        clock.start();
        for (qsizetype written = 0; m_fd >= 0 && written < tail.size();) {
            const ssize_t n = ::write(m_fd, tail.constData() + written, size_t(tail.size() - written));
            if (n > 0) {
                written += n;
                continue;
            }
            if ((n < 0 && errno != EAGAIN && errno != EINTR) || clock.elapsed() > limitMs) {
                Close();
                return false;
            }
            pollfd writable{m_fd, POLLOUT, 0};
            ::poll(&writable, 1, 20);
            Host().processEvents();
        }
#else
        Q_UNUSED(tail);
        Q_UNUSED(limitMs);
#endif
        Close();
        return true;
    }
    void Close()
    {
#ifndef Q_OS_WIN
        if (m_fd >= 0)
            ::close(m_fd);
#endif
        m_fd = -1;
    }

private:
    int m_fd = -1;
};

}  // namespace

SmartCutJob::SmartCutJob(QObject* parent)
    : CVideoConv(parent)
{
}

SmartCutJob::~SmartCutJob() = default;

void SmartCutJob::setSelectionLength(double seconds) { m_length = MediaMilliseconds(seconds); }

double SmartCutJob::SelectionStartSeconds() const
{
    return m_origin.FileTimeOfPosition(double(m_startTime.value_or(0)) / 1000.0);
}

double SmartCutJob::EndSeconds() const
{
    return m_origin.FileTimeOfPosition(double(m_startTime.value_or(0) + m_length) / 1000.0);
}

QString SmartCutJob::Command(const QString& program, const QStringList& args) const
{
    QString line = DOSOutputs::QuoteArgument(program);
    for (const QString& arg : args)
        line += QLatin1Char(' ') + DOSOutputs::QuoteArgument(arg);
    return line;
}

SmartCutJob::StepResult SmartCutJob::RunStep(const Step& step, QString* report)
{
    if (m_stopRequested) {
        raiseStatus(QStringLiteral("Cancelled"));
        return StepResult::Stopped;
    }
    m_fileTimeLength = float(step.seconds);
    m_pendingLine.clear();
    DOSOutputs* dos = runner();
    *report = dos->ExecuteCommand(Command(step.program, step.args));
    if (dos->WasStopped())
        return StepResult::Stopped;
    if (!dos->WasStarted()) {
        Fail(ConversionError(dos->FailureMessage()), {});
        return StepResult::Failed;
    }
    if (dos->ExitedNormally() && dos->ExitCode() == 0)
        return StepResult::Done;
    QString cause = EncoderErrorLines(*report);
    if (!dos->ExitedNormally())
        cause.prepend(QStringLiteral("The encoder ended abnormally (it was killed or it crashed).\n"));
    Fail(ConversionError(cause), *report);
    return StepResult::Failed;
}

void SmartCutJob::StepDone(const char* step)
{
    qCDebug(lcSteps, "%s: %.3f s", step, double(m_stepClock.nsecsElapsed()) / 1e9);
}

void SmartCutJob::Fail(const QString& message, const QString& details)
{
    m_running = false;
    m_outcome = CutOutcome::Failed;
    if (!message.isEmpty())
        setFailure(message, details);
    raiseStatus(QStringLiteral("Error"));
}

void SmartCutJob::StartConversion()
{
    const QPointer<SmartCutJob> self(this);
    m_outcome = CutOutcome::NotRun;
    m_failure = {};
    m_reencodeOffer.clear();
    m_stopRequested = false;
    m_probesStopped = false;
    m_pendingLine.clear();
    setProgressRange(0, 100);
    m_running = true;
    m_stepClock.start();
    runner()->setShowsFailures(false);  // this job's box says it
    if (const QString missing = MissingEncoderMessage(); !missing.isEmpty()) {
        m_running = false;
        setFailure(ConversionError(missing), {});
        raiseStatus(QStringLiteral("Error"));
        return;
    }
    raiseStatus(QStringLiteral("Starting..."));
    m_mayAssumeIdr = true;
    while (self && MakeOutput()) {
    }
}

bool SmartCutJob::MakeOutput()
{
    const QPointer<SmartCutJob> self(this);
    bool stopped = false;
    const QString unsupported = Analyse(&stopped);
    if (!self)
        return false;
    if (stopped || m_stopRequested) {
        m_running = false;
        m_outcome = CutOutcome::Stopped;
        return false;
    }
    if (m_outcome == CutOutcome::Failed)
        return false;
    if (!unsupported.isEmpty()) {
        // Nothing has been made; the owner decides about the re-encode.
        m_running = false;
        m_reencodeOffer =
            QStringLiteral("Smart cut cannot keep the original quality of this video (%1).").arg(unsupported);
        return false;
    }

    // The parts go into a private folder beside the output (the same disk,
    // whatever their size), or into the system's when that one refuses.
    std::optional<QTemporaryDir> parts;
    parts.emplace(QFileInfo(m_outputFile).absolutePath() + QStringLiteral("/.clipwright-smartcut-XXXXXX"));
    if (!parts->isValid())
        parts.emplace(QDir::tempPath() + QStringLiteral("/.clipwright-smartcut-XXXXXX"));
    const QTemporaryDir& folder = *parts;
    if (!folder.isValid()) {
        Fail(QStringLiteral("The smart cut could not create its working folder: ") + folder.errorString(), {});
        return false;
    }
    // The lock says the folder is in use while this process lives; a folder
    // whose owner died (killed, crashed, powered off) is removed by the next
    // smart cut into the same place.
    // It never goes stale by age: a long job keeps it, and only its owner's
    // death frees it.
    QLockFile owner(folder.filePath(QString::fromLatin1(kPartsOwnerFile)));
    owner.setStaleLockTime(0);
    owner.tryLock(0);
    RemoveAbandonedParts(QFileInfo(folder.path()).absolutePath());
    const QList<Step> steps = Steps(folder);
    if (steps.isEmpty()) {
        Fail(QStringLiteral("The smart cut could not write its list of parts in %1.")
                 .arg(QDir::toNativeSeparators(folder.path())),
             {});
        return false;
    }
    // The copies and the tail's encode run beside the head's encode (the
    // copies read, the encodes compute); the join waits for all of them.
    // A streamed copy writes into a pipe that the join reads when it comes
    // to it: it ends with the join, not before it.
    bool streamFailed = false, joining = false;
    std::vector<std::unique_ptr<BesideRun>> beside;
    std::vector<BesideRun*> besideRuns, streamedRuns;
    BesideRun *bodyRun = nullptr, *heldHead = nullptr;
    // The job's own hold on the head's pipe, opened before anything writes
    // into it or reads it: the join meets the head's end only once the job
    // lets go too.
    HeldPipe hold;
    for (const Step& step : steps) {
        if (step.holdsJoin && !hold.Open(step.pipe)) {
            Fail(QStringLiteral("The smart cut could not open its pipe in %1.")
                     .arg(QDir::toNativeSeparators(folder.path())),
                 {});
            return false;
        }
    }
    for (const Step& step : steps) {
        qCDebug(lcSteps, "%s", qPrintable(Command(step.program, step.args)));
        if (step.beside) {
            beside.push_back(std::make_unique<BesideRun>(step.program, step.args));
            if (step.body)
                bodyRun = beside.back().get();
            if (step.holdsJoin)
                heldHead = beside.back().get();
            (step.streamed ? streamedRuns : besideRuns).push_back(beside.back().get());
        }
    }
    // A streamed copy that fails while the join runs ends the join, which
    // would otherwise wait for its pipe for ever (a copy that never opens
    // it); one that fails before is told before the join starts.
    for (BesideRun* run : streamedRuns) {
        run->WhenEnded([&streamFailed, &joining, run, self] {
            if (self && joining && !run->Succeeded()) {
                streamFailed = true;
                self->runner()->setStopConvert(true);
            }
        });
    }
    const auto besideFailure = [&]() -> std::optional<QString> {
        for (const auto& run : beside) {
            if (run->Started() && run->Running())
                continue;  // a streamed copy, before the join
            if (!run->Succeeded()) {
                return run->Started() ? EncoderErrorLines(run->Output())
                                      : QStringLiteral("The encoder could not be started: ") + EncoderPath();
            }
        }
        return std::nullopt;
    };
    const auto reportBesideFailure = [&] {
        const std::optional<QString> cause = besideFailure();
        if (!cause)
            return false;
        QString details;
        for (const auto& run : beside)
            details += run->Output();
        Fail(QStringLiteral("Error converting file: ") + QFileInfo(m_inputFile).fileName() + QStringLiteral("\r\n")
                 + *cause,
             details);
        return true;
    };
    // What the join needs before it reads past the head, once the runs it
    // waits for have ended: the first key frame taken for an IDR picture
    // before its look answered is one, with no parameter sets of ids the
    // plan did not know (the head's own may share one; otherwise the parts
    // are made again from a plan that waits for the answer), the parts beside
    // are made, short ones padded, an H.265 body prepared.
    enum class JoinReady { Ready, Replan, Failed };
    const std::unique_ptr<BesideRun> look =
        m_pendingLook && m_plan.bodyFrames > 0 && m_plan.bodyPts == m_pendingLookPts ? std::move(m_pendingLook) : nullptr;
    m_pendingLook.reset();
    const auto prepareJoin = [&]() -> JoinReady {
        if (look) {
            QSet<int> ids;
            if (!StartsSequence(*look, m_pendingLookPts, &ids) || !m_inputSetIds.contains(ids)) {
                qCDebug(lcSteps, "the key frame at %lld is no IDR picture or brings new parameter sets: "
                        "planning again", m_pendingLookPts);
                m_mayAssumeIdr = false;
                return JoinReady::Replan;
            }
        }
        if (reportBesideFailure())
            return JoinReady::Failed;
        // A part of a frame or two of a still picture may be too short for
        // the join to recognise it as a transport stream (it wants a dozen
        // packets); null packets, which every reader passes over, make up
        // the length, in a file or after the head in its pipe.
        for (const QFileInfo& part : QDir(folder.path()).entryInfoList({QStringLiteral("*.ts")}, QDir::Files)) {
            if (part.isFile())
                PadShortTransportStream(part.absoluteFilePath());
        }
        StepDone("beside");
        // An H.265 copy after a re-encoded head starts a new coded sequence,
        // so that its own parameter sets, sent in front of it, replace the
        // head's of the same ids where a decoder may take new ones.
        QString error;
        if (m_video.codec == QLatin1String("hevc") && m_plan.headFrames > 0 && m_plan.bodyFrames > 0
            && !StartTransportStreamWithNewSequence(folder.filePath(QStringLiteral("body.ts")), &error)) {
            Fail(ConversionError(QStringLiteral("The copied part could not be prepared for the join: ") + error), {});
            return JoinReady::Failed;
        }
        return JoinReady::Ready;
    };
    const auto cancelled = [&] {
        if (!self)
            return false;
        raiseStatus(QStringLiteral("Cancelled"));
        m_running = false;
        m_outcome = CutOutcome::Stopped;
        return false;
    };
    // With the head in a pipe the join starts at once; the job lets go of
    // the pipe when the head's encode, the parts beside and the look have
    // ended and all is ready, and stops the join where it is not.
    std::optional<JoinReady> held;
    const auto release = [&] {
        if (!self || !heldHead || held || heldHead->Running())
            return;
        // A head that failed gives the join its pipe's end at once: the join
        // is stopped, and the head's failure told.
        if (heldHead->Succeeded()) {
            if (look && look->Running())
                return;
            for (BesideRun* run : besideRuns) {
                if (run->Running())
                    return;
            }
        }
        StepDone("encode");
        held = heldHead->Succeeded() ? prepareJoin() : JoinReady::Failed;
        if (*held != JoinReady::Ready || !hold.Release(PaddingPackets(), kPipeWriteMs)) {
            held = held == JoinReady::Ready ? JoinReady::Failed : *held;
            hold.Close();
            runner()->setStopConvert(true);
        }
    };
    if (heldHead) {
        for (BesideRun* run : besideRuns)
            run->WhenEnded(release);
        if (look)
            look->WhenEnded(release);
        heldHead->WhenEnded(release);
    }
    double total = 0, done = 0;
    for (const Step& step : steps)
        total += step.beside ? 0.0 : step.cost;
    for (qsizetype i = 0; i < steps.size(); ++i) {
        const Step& step = steps[i];
        if (step.beside)
            continue;
        if (i + 1 == steps.size() && !heldHead) {
            StepDone("encode");
            const auto stop = [&] { return !self || m_stopRequested; };
            if (look && !WaitForAll({look.get()}, stop, kProbeWaitMs) && stop())
                return cancelled();
            if (!WaitForAll(besideRuns, stop))
                return cancelled();
            const JoinReady ready = prepareJoin();
            if (ready != JoinReady::Ready)
                return ready == JoinReady::Replan;
        }
        setProgressRange(1.0 + 98.0 * done / total, 98.0 * step.cost / total);
        joining = i + 1 == steps.size();
        QString report;
        // The head's hand-over may have failed before the join started.
        const StepResult result = joining && held && *held != JoinReady::Ready ? StepResult::Stopped : RunStep(step, &report);
        if (!self)
            return false;
        if (i + 1 == steps.size() && !streamedRuns.empty()) {
            // The join has read the streamed parts to their end, or has
            // ended without them: they end with it. A part that failed first
            // says why the join ended.
            const bool copyFailedFirst = streamFailed && !m_stopRequested;
            for (BesideRun* run : streamedRuns) {
                if (result == StepResult::Done)
                    run->Wait(kProbeWaitMs);
                run->Kill();
            }
            hold.Close();
            runner()->setStopConvert(false);
            if (held && *held != JoinReady::Ready && !m_stopRequested) {
                if (*held == JoinReady::Replan)
                    return true;
                if (m_outcome != CutOutcome::Failed && !reportBesideFailure())
                    Fail(ConversionError(QStringLiteral("The re-encoded start could not be handed to the join.")), {});
                return false;
            }
            if ((copyFailedFirst || result == StepResult::Done) && reportBesideFailure())
                return false;
        }
        if (result == StepResult::Stopped) {
            m_running = false;
            m_outcome = CutOutcome::Stopped;
            return false;
        }
        if (result == StepResult::Failed) {
            if (m_outcome != CutOutcome::Failed)
                Fail({}, {});
            return false;
        }
        done += step.cost;
        if (i + 1 == steps.size())
            m_joinedPictures = LastCount(report);
    }
    m_copiedPictures = bodyRun ? LastCount(bodyRun->Output()) : -1;
    StepDone("join");
    const QString problem = CheckOutput(&stopped);
    if (!self)
        return false;
    StepDone("check");
    if (stopped) {
        m_running = false;
        m_outcome = CutOutcome::Stopped;
        return false;
    }
    if (m_outcome == CutOutcome::Failed)
        return false;  // shown where it failed
    if (!problem.isEmpty()) {
        Fail(QStringLiteral("The cut produced no usable video: ") + problem, {});
        return false;
    }
    m_running = false;
    m_outcome = CutOutcome::Succeeded;
    return false;
}

QString SmartCutJob::Analyse(bool* stopped)
{
    const QPointer<SmartCutJob> self(this);
    const QString probe = ProbePath();
    const auto stop = [&] { return !self || m_probesStopped || m_stopRequested; };
    const auto asked = [](std::optional<BesideRun>& run) { return run ? &*run : nullptr; };
    QString report;
    // Where the input's times start: most often the window's load has just
    // read it (the same file, unchanged since). With it, the questions about
    // the selection's packets need nothing of the full stream look, so all
    // of them run at once, each process beside the others.
    m_pendingLook.reset();
    m_origin = ProbeTimeOrigin(m_inputFile).value_or(TimeOrigin());
    if (stop()) {
        *stopped = true;
        return {};
    }
    const double start = SelectionStartSeconds();
    const double end = EndSeconds();
    // The picture is the first video stream that is no attached picture
    // ("V"), the sound's start is that of the first audio stream.
    std::optional<BesideRun> streams, takes, listing, startLook;
    streams.emplace(probe, QStringList{"-v", "error", "-show_entries",
                                       "format=format_name,start_time:stream=index,codec_type,start_time,codec_name,profile,level,"
                                       "pix_fmt,color_range,color_space,color_transfer,color_primaries,field_order,time_base,"
                                       "has_b_frames,codec_tag_string,extradata:stream_disposition=attached_pic:"
                                       "stream_side_data=rotation",
                                       "-show_data", "-of", "json", m_inputFile});
    // Around the start, every stream's packets and key frames: the sound's
    // packets tell where its frame under the start begins; the key frames
    // tell whether the pictures are interlaced, which the stream's header
    // need not say (a re-encoded part would otherwise come out progressive
    // in front of interlaced copied ones).
    const QStringList soundArguments{"-v", "error", "-select_streams", "a:0", "-show_entries", "packet=pts", "-of",
                                     "csv=p=0", "-read_intervals",
                                     Secs(start - 3.0) + QLatin1Char('%') + Secs(start + 1.0), m_inputFile};
    startLook.emplace(probe, QStringList{"-v", "error", "-skip_frame", "nokey", "-read_intervals",
                                         Secs(start - 3.0) + QLatin1Char('%') + Secs(start + kStartLookPast),
                                         "-show_entries",
                                         "packet=stream_index,pts:frame=stream_index,interlaced_frame,top_field_first",
                                         "-of", "csv", m_inputFile});
    // The video's packets around the selection, from a key frame at or before
    // its start: listed from ever further back until one is found, so that
    // a long GOP costs a longer listing, not the whole file's.
    // A long selection's packets are listed around its two ends only: its
    // middle is copied as it is and counted by the copy (listing a long
    // stretch takes as long as copying it). The middle comes back into the
    // listing where the plan needs it (PlanSpansGap).
    bool windowed = end - start >= kWindowedListingFrom;
    const auto listingArguments = [&](double margin, bool* whole) {
        *whole = margin < 0 || start - margin <= m_origin.ContainerStart();
        QString intervals = (*whole ? QString() : Secs(start - margin)) + QLatin1Char('%');
        if (windowed)
            intervals += Secs(start + kListedAroundMark) + QLatin1Char(',') + Secs(end - kListedAroundMark) + QLatin1Char('%');
        return QStringList{"-v", "error", "-select_streams", "V:0", "-show_entries", "packet=pts,dts,size,pos,flags", "-of",
                           "csv=p=0", "-read_intervals", intervals + Secs(end + 2.0), m_inputFile};
    };
    const double margins[] = {3.0, 30.0, 300.0, 3000.0, -1.0};
    bool whole = false;
    listing.emplace(probe, listingArguments(margins[0], &whole));
    // The streams' answer first, while the others go on.
    if (!WaitForAll({asked(streams)}, stop, kProbeWaitMs)) {
        *stopped = self && stop();
        return *stopped || !self ? QString() : QStringLiteral("the probe could not read it");
    }
    report = streams->Answer();
    if (report.isEmpty())
        return QStringLiteral("the probe could not read it");
    StepDone("stream look");
    const QJsonObject info = ParseJson(report);
    const QJsonObject format = info.value(QLatin1String("format")).toObject();
    const QStringList formats = format.value(QLatin1String("format_name")).toString().split(QLatin1Char(','));
    if (formats.contains(QLatin1String("mpegts")) || formats.contains(QLatin1String("mpeg")))
        return QStringLiteral("its container, an MPEG transport or program stream, has no index to find frames by");
    int videoIndex = -1, audioIndex = -1;
    QString audioTimeBase;
    m_audioStreams.clear();
    m_subtitleStreams.clear();
    m_subtitleTimeBases.clear();
    const bool mp4Family = QFileInfo(m_outputFile).suffix().compare(QLatin1String("mkv"), Qt::CaseInsensitive) != 0;
    static const QStringList textSubtitles{"mov_text", "subrip", "ass", "ssa", "webvtt", "text"};
    for (const QJsonValue& value : info.value(QLatin1String("streams")).toArray()) {
        const QJsonObject s = value.toObject();
        const QString type = s.value(QLatin1String("codec_type")).toString();
        const int index = s.value(QLatin1String("index")).toInt();
        const QString codec = s.value(QLatin1String("codec_name")).toString();
        if (type == QLatin1String("video") && videoIndex < 0
            && s.value(QLatin1String("disposition")).toObject().value(QLatin1String("attached_pic")).toInt() == 0) {
            videoIndex = index;
            m_video.codec = codec;
            m_video.profile = s.value(QLatin1String("profile")).toString();
            m_video.level = s.value(QLatin1String("level")).toInt(-1);
            m_video.pixelFormat = s.value(QLatin1String("pix_fmt")).toString();
            m_video.colorRange = s.value(QLatin1String("color_range")).toString();
            m_video.colorSpace = s.value(QLatin1String("color_space")).toString();
            m_video.colorTransfer = s.value(QLatin1String("color_transfer")).toString();
            m_video.colorPrimaries = s.value(QLatin1String("color_primaries")).toString();
            m_video.fieldOrder = s.value(QLatin1String("field_order")).toString();
            m_video.bFrames = s.value(QLatin1String("has_b_frames")).toInt() > 0;
            m_codecTag = s.value(QLatin1String("codec_tag_string")).toString();
            m_inputSetIds = codec == QLatin1String("h264")
                ? H264ParameterSetIds(NalUnits(HexDumpBytes(s.value(QLatin1String("extradata")).toString()), false))
                : QSet<int>();
            m_rotation = 0;
            for (const QJsonValue& side : s.value(QLatin1String("side_data_list")).toArray())
                m_rotation = m_rotation ? m_rotation : side.toObject().value(QLatin1String("rotation")).toInt();
            const QStringList tb = s.value(QLatin1String("time_base")).toString().split(QLatin1Char('/'));
            m_tbNum = tb.value(0).toLongLong();
            m_tbDen = tb.value(1).toLongLong();
        } else if (type == QLatin1String("audio")) {
            if (audioIndex < 0) {
                audioIndex = index;
                audioTimeBase = s.value(QLatin1String("time_base")).toString();
            }
            m_audioStreams << qMakePair(index, codec);
        } else if (type == QLatin1String("subtitle") && (!mp4Family || textSubtitles.contains(codec))) {
            m_subtitleStreams << qMakePair(index, codec);
            const QStringList tb = s.value(QLatin1String("time_base")).toString().split(QLatin1Char('/'));
            m_subtitleTimeBases[index] = {std::max(1LL, tb.value(0).toLongLong()), std::max(1LL, tb.value(1).toLongLong())};
        }
    }
    if (videoIndex < 0)
        return QStringLiteral("it has no video stream");
    if (m_tbNum <= 0 || m_tbDen <= 0)
        return QStringLiteral("its video stream has no time base");
    // What is left to ask is asked beside the questions already running:
    // whether the output's containers take the sound and subtitles as they
    // are. The answers are taken in order: the interlace flags, the
    // containers, the video's packets, the sound's.
    const QString encoder = EncoderPath();
    // The sound and subtitles are copied as they are: the output's muxer is
    // asked on the output's own name.
    const QList<QPair<int, QString>> kept = m_audioStreams + m_subtitleStreams;
    // Sound that MP4, MOV and Matroska all take as it is needs no trial.
    static const QStringList kTakenEverywhere{"aac", "mp3", "ac3"};
    const QString container = QFileInfo(m_outputFile).suffix().toLower();
    const bool certain = (container == QLatin1String("mp4") || container == QLatin1String("mov")
                          || container == QLatin1String("mkv"))
        && std::all_of(kept.begin(), kept.end(), [](const QPair<int, QString>& s) {
        return kTakenEverywhere.contains(s.second);
    }) && m_subtitleStreams.isEmpty();
    const bool outputExisted = QFile::exists(m_outputFile);
    const bool outputWasEmpty = outputExisted && QFileInfo(m_outputFile).size() == 0;
    if (!certain)
        takes.emplace(encoder, TakesArguments(kept, !mp4Family, m_outputFile));
    const auto ticks = [&](double seconds) {
        return qint64(std::ceil((seconds - kTolerance) * double(m_tbDen) / double(m_tbNum)));
    };
    // One key frame's first packet with its bytes: whether it is an IDR picture.
    const auto keyFrameLook = [&](qint64 pts) {
        return std::make_unique<BesideRun>(
            probe, QStringList{"-v", "error", "-select_streams", QString::number(videoIndex), "-show_entries",
                               "packet=pts,data", "-show_data", "-of", "json", "-read_intervals",
                               Secs(double(pts * m_tbNum) / double(m_tbDen)) + QStringLiteral("%+#1"), m_inputFile});
    };
    // In MP4 and MOV a packet's bytes lie where the listing says (its
    // position and size): a key frame's first units are read there by this
    // process instead of by a probe run. Empty where they cannot be read.
    const bool packetsInPlace = formats.contains(QLatin1String("mov")) || formats.contains(QLatin1String("mp4"));
    const auto readIdr = [&](const VideoPacket& packet) -> std::optional<bool> {
        if (!packetsInPlace || packet.pos < 0 || packet.size <= 0)
            return std::nullopt;
        QFile file(m_inputFile);
        if (!file.open(QIODevice::ReadOnly) || !file.seek(packet.pos))
            return std::nullopt;
        const QList<QByteArray> units = NalUnits(file.read(packet.size), false);
        if (units.isEmpty())
            return std::nullopt;
        m_inputSetIds.unite(H264ParameterSetIds(units));
        return StartsWithH264Idr(units);
    };
    // An H.264 copy starts only at an IDR picture (below): the first key
    // frame from the start on, most often the one the copy starts at, is
    // looked at as soon as the listing names it, beside the other questions
    // (where it cannot be read in place).
    const bool h264 = m_video.codec == QLatin1String("h264");
    std::unique_ptr<BesideRun> firstKeyLook;
    qint64 firstKeyPts = -1;
    qsizetype listed = 0;
    const auto watchListing = [&, from = ticks(start)] {
        const QByteArray& so = listing->OutputSoFar();
        for (qsizetype eol; h264 && !packetsInPlace && !firstKeyLook && (eol = so.indexOf('\n', listed)) >= 0;
             listed = eol + 1) {
            const QList<QByteArray> f = so.mid(listed, eol - listed).trimmed().split(',');
            bool ok = false;
            const qint64 pts = f.value(0).toLongLong(&ok);
            if (ok && f.size() >= 5 && f[4].startsWith('K') && !f[4].contains('D') && pts >= from) {
                firstKeyPts = pts;
                firstKeyLook = keyFrameLook(pts);
            }
        }
    };
    const bool answered = WaitForAll({asked(startLook), asked(takes), asked(listing)},
                                     stop, kProbeWaitMs, watchListing);
    if (!self)
        return {};
    if (answered)
        watchListing();  // the listing's last lines may have come with its end
    StepDone("questions");
    // The output's name is left as it was found: the re-encode offered
    // instead must not meet the muxer's trial file there.
    if (takes && !outputExisted)
        QFile::remove(m_outputFile);
    else if (takes && outputWasEmpty)
        QFile::resize(m_outputFile, 0);
    if (!answered) {
        *stopped = true;
        return {};
    }
    const QString order = m_video.fieldOrder;
    if (order.isEmpty() || order == QLatin1String("progressive") || order == QLatin1String("unknown")) {
        // The picture's first key frame: "frame,index,interlaced,top first".
        const QString picture = QStringLiteral("frame,%1,").arg(videoIndex);
        for (const QString& line : startLook->Answer().split(QLatin1Char('\n'))) {
            if (!line.startsWith(picture))
                continue;
            if (line.mid(picture.size()).startsWith(QLatin1String("1,")))
                m_video.fieldOrder = line.trimmed().endsWith(QLatin1String(",1")) ? QStringLiteral("tt") : QStringLiteral("bb");
            break;
        }
    }
    QString reason;
    m_encoderOptions = SmartCutEncoderOptions(m_video, &reason);
    if (m_encoderOptions.isEmpty())
        return reason;
    m_videoMap = QStringLiteral("0:%1").arg(videoIndex);
    // The picture is copied as it is stored; only MP4 and MOV can say how
    // it is to be turned (a phone's upright video stored sideways).
    if (m_rotation != 0 && !mp4Family)
        return QStringLiteral("the %1 container cannot keep its rotation of %2 degrees")
            .arg(QFileInfo(m_outputFile).suffix().toUpper())
            .arg(m_rotation);
    if (takes && !takes->Succeeded()) {
        // Which of them is refused is asked of each alone.
        const QString refused = ContainerRefusal(mp4Family, stopped);
        if (!refused.isEmpty() || *stopped || m_outcome == CutOutcome::Failed)
            return refused;
    }

    // The plan, and the times of the key frames and of the frames it keeps.
    struct Planned {
        std::optional<SmartCutPlan> plan;
        QVector<qint64> keyFrames, shownPts;
    };
    Planned planned;
    QVector<VideoPacket> packets;
    report = listing->Answer();
    std::size_t m = 0;
    for (;;) {
        for (;; ++m) {
            if (report.isEmpty()) {
                *stopped = m_probesStopped;
                return *stopped ? QString() : QStringLiteral("the probe could not list its frames");
            }
            bool noTimes = false;
            packets = OffTheWindow([report, &noTimes] { return ParseListing(report, &noTimes); });
            if (!self)
                return {};
            if (noTimes)
                return QStringLiteral("its frames carry no presentation times");
            if (whole || m + 1 >= std::size(margins)
                || (!packets.isEmpty() && packets.first().key
                    && double(packets.first().pts * m_tbNum) / double(m_tbDen) <= start))
                break;
            report = RunProbe(listingArguments(margins[m + 1], &whole));
            if (!self)
                return {};
        }
        // An H.264 copy starts at an IDR picture only: a recovery-point key
        // frame continues the numbering of the pictures before it, which the
        // re-encoded head cannot continue, and the decoder drops what follows.
        // The key frames the plan would copy from are looked at together, each
        // at its first packet; an open-GOP stream has no IDR picture after its
        // first, so a few are asked about, not all.
        QHash<int, bool> startsSequence;
        if (h264) {
            const QVector<int> candidates = OffTheWindow([packets, from = ticks(start), to = ticks(end)] {
                QVector<int> asked;
                PlanSmartCut(packets, from, to, false, [&](int k) {
                    if (asked.size() < kMostKeyFramesAsked)
                        asked << k;
                    return false;
                });
                return asked;
            });
            if (!self)
                return {};
            // Read in place, in order, up to the first that starts a sequence.
            bool read = true;
            for (const int k : candidates) {
                const std::optional<bool> idr = readIdr(packets[k]);
                read = read && idr.has_value();
                if (!read || (startsSequence[k] = *idr))
                    break;
            }
            if (!read)
                startsSequence.clear();
            // Otherwise by the probe: the first alone (most often an IDR
            // picture), the others together.
            for (qsizetype from = 0; !read && from < candidates.size();) {
                const qsizetype to = from == 0 ? 1 : candidates.size();
                // The first key frame's look, where it has not answered yet, is
                // taken for a yes: the parts are started meanwhile, and made
                // again in the rare case that it says otherwise.
                if (from == 0 && m_mayAssumeIdr && firstKeyLook && firstKeyLook->Running()
                    && packets[candidates[0]].pts == firstKeyPts) {
                    startsSequence[candidates[0]] = true;
                    m_pendingLook = std::move(firstKeyLook);
                    m_pendingLookPts = firstKeyPts;
                    break;
                }
                std::vector<std::unique_ptr<BesideRun>> looks;
                std::vector<BesideRun*> lookRuns;
                for (qsizetype i = from; i < to; ++i) {
                    const qint64 pts = packets[candidates[i]].pts;
                    looks.push_back(firstKeyLook && pts == firstKeyPts ? std::move(firstKeyLook) : keyFrameLook(pts));
                    lookRuns.push_back(looks.back().get());
                }
                const bool looked = WaitForAll(lookRuns, stop, kProbeWaitMs);
                if (!self)
                    return {};
                if (!looked && stop()) {
                    *stopped = true;
                    return {};
                }
                bool found = false;
                for (qsizetype i = from; i < to; ++i) {
                    const int k = candidates[i];
                    startsSequence[k] = StartsSequence(*looks[i - from], packets[k].pts, &m_inputSetIds);
                    found = found || startsSequence[k];
                }
                if (found)
                    break;
                from = to;
            }
        }
        StepDone("listing read, IDR look");
        planned = OffTheWindow([packets, from = ticks(start), to = ticks(end), h264, startsSequence, windowed] {
            Planned made;
            made.plan = PlanSmartCut(packets, from, to, !h264, [&](int k) { return !h264 || startsSequence.value(k); });
            if (windowed && !(made.plan && PlanSpansGap(packets, LargestStep(packets), *made.plan))) {
                made.plan.reset();
                return made;
            }
            for (const VideoPacket& p : packets) {
                if (p.key && !p.discard)
                    made.keyFrames << p.pts;
                if (made.plan && !p.discard && p.pts >= made.plan->firstPts && p.pts < made.plan->endPts)
                    made.shownPts << p.pts;
            }
            std::sort(made.keyFrames.begin(), made.keyFrames.end());
            std::sort(made.shownPts.begin(), made.shownPts.end());
            return made;
        });
        if (!self)
            return {};
        if (windowed && !planned.plan) {
            // The plan needs the middle: listed whole, from the same key frame.
            qCDebug(lcSteps, "the plan needs the selection's middle: listing it");
            if (m_pendingLook)
                firstKeyLook = std::move(m_pendingLook);
            windowed = false;
            report = RunProbe(listingArguments(margins[m], &whole));
            if (!self)
                return {};
            continue;
        }
        m_middleUnlisted = windowed;
        break;
    }
    const std::optional<SmartCutPlan>& plan = planned.plan;
    if (!plan) {
        Fail(QStringLiteral("The selection holds no picture of the video: nothing to cut."), {});
        return {};
    }
    m_plan = *plan;
    // The re-encoded parts' H.264 parameter sets take an id the input's own
    // do not use: every id in the output names one set throughout, in the
    // stream and in the container's copy of the first part's sets alike.
    if (h264) {
        if (m_inputSetIds.isEmpty())
            m_inputSetIds.insert(0);  // not found: the id nearly every encoder gives
        if (const int id = FreeParameterSetId(m_inputSetIds); id >= 0)
            m_encoderOptions << "-x264-params" << QStringLiteral("sps-id=%1").arg(id);
    }
    m_keyFrames = std::move(planned.keyFrames);
    m_shownPts = std::move(planned.shownPts);

    // The audio frame that covers the start: the audio starts with it.
    m_hasAudioStart = false;
    if (audioIndex >= 0) {
        const QStringList tb = audioTimeBase.split(QLatin1Char('/'));
        const double unit = tb.value(0).toDouble() / std::max(1.0, tb.value(1).toDouble());
        // The sound's packets ("packet,index,pts" in the look at the start, or
        // "pts" alone in the sound's own listing).
        const auto soundStart = [&](const QString& listed, const QString& prefix) {
            double covering = -1e300, after = 1e300;
            for (const QString& line : listed.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
                if (!line.startsWith(prefix))
                    continue;
                bool ok = false;
                const double t = double(line.mid(prefix.size()).trimmed().section(QLatin1Char(','), 0, 0).toLongLong(&ok)) * unit;
                if (!ok)
                    continue;
                if (t <= start + kTolerance)
                    covering = std::max(covering, t);
                else
                    after = std::min(after, t);
            }
            return std::pair(covering, after);
        };
        auto [covering, after] = soundStart(startLook->Answer(), QStringLiteral("packet,%1,").arg(audioIndex));
        // The look at the start ends with the first packet of any stream past
        // its end: where the picture lies far ahead of the sound in the file,
        // the sound's packets after the start may not have come. Only the
        // sound's own listing then tells.
        if (after >= 1e300) {
            report = RunProbe(soundArguments);
            if (!self)
                return {};
            if (report.isEmpty()) {
                *stopped = m_probesStopped;
                return *stopped ? QString() : QStringLiteral("the probe could not list its sound");
            }
            std::tie(covering, after) = soundStart(report, QString());
        }
        m_hasAudioStart = covering > -1e300 || after < 1e300;
        m_audioStart = covering > -1e300 ? covering : after;
    }
    StepDone("plan");
    raiseProgress(1);
    return {};
}

void SmartCutJob::RemoveAbandonedParts(const QString& folder)
{
    const QDir dir(folder);
    const QStringList found = dir.entryList({QString::fromLatin1(kPartsFolderPattern)},
                                            QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot);
    for (const QString& name : found) {
        // Only a folder with an owner's lock that no living process holds;
        // one without a lock may be another job's, just being made.
        const QString lockPath = dir.filePath(name + QLatin1Char('/') + QString::fromLatin1(kPartsOwnerFile));
        if (!QFileInfo::exists(lockPath))
            continue;
        QLockFile lock(lockPath);
        lock.setStaleLockTime(0);
        if (!lock.tryLock(0))
            continue;
        lock.unlock();
        QDir(dir.filePath(name)).removeRecursively();
    }
}

QStringList SmartCutJob::SubtitleCodecs(const QList<QPair<int, QString>>& subtitles, bool matroska)
{
    // Text subtitles go into MP4 and MOV in the form those hold; Matroska
    // holds every text form but that one, which it gets as SubRip.
    QStringList args;
    for (qsizetype k = 0; k < subtitles.size(); ++k) {
        if (!matroska)
            args << QStringLiteral("-c:s:%1").arg(k) << QStringLiteral("mov_text");
        else if (subtitles[k].second == QLatin1String("mov_text"))
            args << QStringLiteral("-c:s:%1").arg(k) << QStringLiteral("srt");
    }
    return args;
}

QStringList SmartCutJob::TakesArguments(const QList<QPair<int, QString>>& streams, bool matroska,
                                        const QString& target) const
{
    QStringList args{"-hide_banner", "-nostdin", "-v", "error", "-y", "-i", m_inputFile};
    QList<QPair<int, QString>> subtitles;
    for (const auto& s : streams) {
        args << "-map" << QStringLiteral("0:%1").arg(s.first);
        if (m_subtitleStreams.contains(s))
            subtitles << s;
    }
    args << "-c" << "copy" << SubtitleCodecs(subtitles, matroska) << "-t" << "0";
    if (matroska)
        args << "-f" << "matroska";
    args << target;
    return args;
}

QString SmartCutJob::ContainerRefusal(bool mp4Family, bool* stopped)
{
    // The sound and subtitles are copied as they are: the output's muxer is
    // asked at once, on the output's own name, whether it takes them, rather
    // than after the picture's parts have been made.
    *stopped = false;
    const auto takesInto = [&](const QList<QPair<int, QString>>& streams, bool matroska) {
        DOSOutputs* dos = runner();
        dos->ExecuteCommand(Command(EncoderPath(), TakesArguments(streams, matroska, m_outputFile)));
        *stopped = dos->WasStopped();
        if (!*stopped && !dos->WasStarted())
            Fail(ConversionError(dos->FailureMessage()), {});
        return *stopped || !dos->WasStarted() || (dos->ExitedNormally() && dos->ExitCode() == 0);
    };
    const auto takes = [&](const QList<QPair<int, QString>>& streams) { return takesInto(streams, !mp4Family); };
    const QList<QPair<int, QString>> kept = m_audioStreams + m_subtitleStreams;
    if (kept.isEmpty() || takes(kept))
        return {};
    // The muxer's complaint may name another stream than the one it refused:
    // each is asked alone.
    QStringList codecs;
    for (const auto& s : kept) {
        if (!takes({s}))
            codecs << s.second;
        if (*stopped || m_outcome == CutOutcome::Failed)
            return {};
    }
    codecs.removeDuplicates();
    return QStringLiteral("its sound or subtitles cannot be carried into the %1 file as they are: %2")
        .arg(QFileInfo(m_outputFile).suffix().toUpper(),
             codecs.isEmpty() ? QStringLiteral("not all of them together") : codecs.join(QStringLiteral(", ")));
}

QList<SmartCutJob::Step> SmartCutJob::Steps(const QTemporaryDir& folder)
{
    const QString encoder = EncoderPath();
    const auto seconds = [&](qint64 ticks) { return double(ticks * m_tbNum) / double(m_tbDen); };
    const auto relative = [&](qint64 ticks) { return seconds(ticks) - m_origin.ContainerStart(); };
    const SmartCutPlan& p = m_plan;
    const double span = seconds(p.endPts) - seconds(p.firstPts);
    QList<Step> steps;
    struct Part {
        QString file;
        qint64 from;
    };
    QList<Part> parts;
    const QStringList common{"-hide_banner", "-nostdin", "-y"};
#ifdef Q_OS_WIN
    const auto MakePipe = [](const QString&) { return false; };
#else
    const auto MakePipe = [](const QString& path) {
        return ::mkfifo(QFile::encodeName(path).constData(), 0600) == 0;
    };
#endif

    // A re-encoded part decodes from the last key frame shown at or before
    // its first frame (an open GOP's leading frames, shown before their own
    // key frame, come after that one) and drops what lies before that frame.
    // The seek aims just past that key frame, so that the demuxer lands on it
    // rather than on the one before; only a part that starts on the key frame
    // itself aims just before it.
    // It reads a little past its last frame (the encoder stops at its count,
    // the reading by time), as the encoder's input number `input`.
    struct Encode {
        QStringList input, output;
        double seconds = 0;
    };
    const auto encodePart = [&](const QString& name, qint64 from, int frames, qint64 until, const QStringList& more,
                                int input) {
        const auto after = std::upper_bound(m_keyFrames.begin(), m_keyFrames.end(), from);
        double seek = 0.0;
        if (after != m_keyFrames.begin()) {
            const qint64 key = *(after - 1);
            seek = std::max(0.0, relative(key) + (key < from ? kSeekLead : -kSeekLead));
        }
        const QString file = folder.filePath(name);
        Encode part;
        part.input = QStringList{"-noautorotate", "-ss", Secs(seek), "-t", Secs(relative(until) - seek + kEncodeReadsPast),
                                 "-i", m_inputFile};
        part.output = QStringList{"-map", QStringLiteral("%1:%2").arg(input).arg(m_videoMap.section(QLatin1Char(':'), 1))}
                      << m_encoderOptions << "-ss" << Secs(relative(from) - seek - kSeekLead) << "-frames:v"
                      << QString::number(frames) << more << "-f" << "mpegts" << file;
        part.seconds = seconds(until) - seconds(from);
        parts << Part{file, from};
        return part;
    };
    const qint64 bodyEnd = p.tailFrames > 0 ? p.tailPts : p.endPts;
    std::optional<Encode> head, tail;
    if (p.headFrames > 0) {
        // The head's decode times step back by the copied key frame's delay,
        // so the joined stream's decode times keep rising across the seam.
        QStringList more;
        if (p.bodyFrames > 0 && p.bodyDelay > 0)
            more << "-bsf:v"
                 << QStringLiteral("setts=dts=DTS-%1")
                        .arg(qint64(std::ceil(double(p.bodyDelay * m_tbNum) * 90000.0 / double(m_tbDen))));
        head = encodePart(QStringLiteral("head.ts"), p.firstPts, p.headFrames, p.bodyFrames > 0 ? p.bodyPts : p.endPts,
                          more, 0);
    }
    if (p.bodyFrames > 0) {
        // The copy keeps the input's times (in the part's 90 kHz units when
        // the filters see them) and leaves out every packet shown before the
        // key frame: those of the GOP the seek lands in, and the leading
        // frames of an open GOP, which the head has re-encoded.
        const auto mpegTicks = [&](qint64 ticks) {
            return qint64(std::llround(double(ticks * m_tbNum) * 90000.0 / double(m_tbDen)));
        };
        QStringList filters{QStringLiteral("noise=drop='lt(pts,%1)+gte(pts,%2)'")
                                .arg(mpegTicks(p.bodyPts) - kHalfMillisecond)
                                .arg(mpegTicks(bodyEnd) - kHalfMillisecond)};
        // Each copied key frame carries the parameter sets in front of it.
        if (m_video.codec == QLatin1String("h264"))
            filters << QStringLiteral("h264_mp4toannexb");
        else if (m_video.codec == QLatin1String("hevc"))
            filters << QStringLiteral("hevc_mp4toannexb");
        filters << QStringLiteral("dump_extra=freq=keyframe");
        const QString file = folder.filePath(QStringLiteral("body.ts"));
        Step step;
        // A long copy goes through a pipe straight into the join: the body's
        // packets are then written once, into the output, instead of into a
        // part first and read back (the two passes the selection's length
        // would cost twice). A short one is made beside the head's encode,
        // where it costs nothing, and an H.265 one after a re-encoded head is
        // changed in place before the join.
        const bool changedInPlace = m_video.codec == QLatin1String("hevc") && p.headFrames > 0;
        step.streamed =
            seconds(bodyEnd) - seconds(p.bodyPts) >= kStreamedBodySeconds && !changedInPlace && MakePipe(file);
        step.program = encoder;
        // It reads a little past the body's last packet (each has its decode
        // time before the body's end), and reports how many it wrote.
        step.args = QStringList(common)
                    << "-copyts" << "-ss" << Secs(relative(p.bodyPts) - kSeekLead) << "-t"
                    << Secs(seconds(bodyEnd) - seconds(p.bodyPts) + kCopyReadsPast) << "-i" << m_inputFile << "-map"
                    << m_videoMap << "-c:v" << "copy" << "-bsf:v" << filters.join(QLatin1Char(',')) << "-f" << "mpegts"
                    << file;
        step.body = true;
        step.seconds = seconds(bodyEnd) - seconds(p.bodyPts);
        step.cost = kCopyCost * step.seconds;
        step.beside = true;
        steps << step;
        parts << Part{file, p.bodyPts};
    }
    if (p.tailFrames > 0)
        tail = encodePart(QStringLiteral("tail.ts"), p.tailPts, p.tailFrames, p.endPts, {}, head ? 1 : 0);
    // The tail's few frames are encoded by the head's encoder run, as its
    // second input and output (one start of the encoder fewer), or beside
    // the copies where there is no head.
    // The head goes, off Windows, through a pipe into the join, which then
    // starts with it instead of after it; the job holds the pipe open
    // (below) until the parts the join reads after the head are ready. Not
    // with subtitles: the join opens their part at its start.
    if (head || tail) {
        Step step;
        step.program = encoder;
        step.args = QStringList(common) << (head ? head->input : tail->input) << (head && tail ? tail->input : QStringList())
                                        << (head ? head->output : tail->output) << (head && tail ? tail->output : QStringList());
        step.seconds = head ? head->seconds : tail->seconds;
        step.cost = kEncodeCost * step.seconds;
        step.beside = !head;
        if (head && m_subtitleStreams.isEmpty() && MakePipe(folder.filePath(QStringLiteral("head.ts")))) {
            step.beside = step.streamed = step.holdsJoin = true;
            step.pipe = folder.filePath(QStringLiteral("head.ts"));
        }
        steps.prepend(step);
    }

    // The sound from the audio frame that covers the start to the end: the
    // join takes it straight from the input (below).
    const double audioFrom = m_hasAudioStart ? m_audioStart : seconds(p.firstPts);
    const double endAbsolute = EndSeconds();
    const bool withSound = !m_audioStreams.isEmpty();
    // The subtitles shown in the selection, in the input's own times: one
    // shown across the start begins there, one shown across the end ends
    // there (copied as it is, it would make the file last until its own end),
    // and those over before the start are left out.
    // MP4's own subtitles stay in an MP4 part: they are copied, never
    // converted here, as the filters that trim them work on copies only.
    const bool withSubtitles = !m_subtitleStreams.isEmpty();
    const bool mp4Subtitles = std::all_of(m_subtitleStreams.begin(), m_subtitleStreams.end(),
                                          [](const auto& s) { return s.second == QLatin1String("mov_text"); });
    const QString subtitles = folder.filePath(mp4Subtitles ? QStringLiteral("subtitles.mp4") : QStringLiteral("subtitles.mks"));
    if (withSubtitles) {
        const double startAbsolute = seconds(p.firstPts);
        const double seek = std::max(0.0, startAbsolute - m_origin.ContainerStart() - kSubtitleLookBack);
        QStringList args(common);
        args << "-copyts" << "-ss" << Secs(seek) << "-i" << m_inputFile;
        for (const auto& s : m_subtitleStreams)
            args << "-map" << QStringLiteral("0:%1").arg(s.first);
        args << "-c" << "copy";
        if (!mp4Subtitles)
            args << SubtitleCodecs(m_subtitleStreams, true);
        for (qsizetype k = 0; k < m_subtitleStreams.size(); ++k) {
            const auto [num, den] = m_subtitleTimeBases.value(m_subtitleStreams[k].first, {1, 1000});
            const auto ticks = [&](double t) { return qint64(std::llround(t * double(den) / double(num))); };
            const qint64 from = ticks(startAbsolute), to = ticks(seconds(p.endPts));
            args << QStringLiteral("-bsf:s:%1").arg(k)
                 << QStringLiteral("noise=drop='lte(pts+duration\\,%1)+gte(pts\\,%2)',"
                                   "setts=pts=max(PTS\\,%1):dts=max(DTS\\,%1):"
                                   "duration=max(1\\,min(PTS+DURATION\\,%2)-max(PTS\\,%1))")
                        .arg(from)
                        .arg(to);
        }
        args << "-f" << (mp4Subtitles ? "mp4" : "matroska") << subtitles;
        Step step;
        step.program = encoder;
        step.args = args;
        step.seconds = 0;
        step.cost = kCopyCost * span;
        step.beside = true;
        steps << step;
    }

    // The join: the parts one after the other, each lasting up to the next.
    QFile listing(folder.filePath(QStringLiteral("parts.ffconcat")));
    QString text = QStringLiteral("ffconcat version 1.0\n");
    for (qsizetype i = 0; i < parts.size(); ++i) {
        const qint64 until = i + 1 < parts.size() ? parts[i + 1].from : p.endPts;
        text += ListedFile(parts[i].file) + QLatin1Char('\n')
                + QStringLiteral("duration %1\n").arg(Secs(seconds(until) - seconds(parts[i].from)));
    }
    if (!listing.open(QIODevice::WriteOnly) || listing.write(text.toUtf8()) < 0 || !listing.flush())
        return {};
    listing.close();
    QStringList args(common);
    // The picture starts as much after the sound as its first frame lies
    // after the sound's first, and the sound as much after the picture where
    // it starts later (no audio frame covers the start).
    const double soundLead = seconds(p.firstPts) - audioFrom;
    const double pictureOffset = withSound ? std::max(0.0, soundLead) : 0.0;
    m_expectedVideoDelay = pictureOffset;
    if (pictureOffset > 0)
        args << "-itsoffset" << Secs(pictureOffset);
    // With more than one input, the encoder reads each on a thread of its
    // own and hands its packets over one by one through a queue; a queue
    // that holds a second's packets, not eight, keeps the threads from
    // waking each other for every packet (a third of the join's time).
    const QStringList queue{"-thread_queue_size", QString::number(kJoinQueuePackets)};
    args << queue << "-f" << "concat" << "-safe" << "0" << "-i" << listing.fileName();
    // The sound is read from the input itself, from just before the audio
    // frame that covers the start: the seek lands on the key frame before
    // that, and the packets before the seek point are left out below. Its
    // length counts in the input's times moved by the offset.
    if (withSound) {
        const double offset = std::max(0.0, -soundLead);
        if (offset > 0)
            args << "-itsoffset" << Secs(offset);
        args << queue << "-ss" << Secs(audioFrom - m_origin.ContainerStart() - kSeekLead) << "-t"
             << Secs(endAbsolute - audioFrom + offset) << "-i" << m_inputFile;
    }
    // The subtitles keep the input's times: they move as the picture does.
    if (withSubtitles) {
        args << "-itsoffset" << QString::number(pictureOffset - seconds(p.firstPts), 'f', 6) << queue << "-i"
             << subtitles;
    }
    args << "-map" << "0:v:0";
    for (const auto& stream : m_audioStreams)
        args << "-map" << QStringLiteral("1:%1").arg(stream.first);
    if (withSubtitles)
        args << "-map" << (withSound ? "2" : "1");
    // A copy keeps what the seek lands on before the seek point unless told.
    args << "-c" << "copy" << "-copypriorss:a" << "0";
    const QString suffix = QFileInfo(m_outputFile).suffix().toLower();
    args << SubtitleCodecs(m_subtitleStreams, suffix == QLatin1String("mkv"));
    if (suffix != QLatin1String("mkv")) {
        args << "-movflags" << "+faststart" << "-video_track_timescale"
             << QString::number(m_tbNum == 1 ? m_tbDen : 90000);
        // The sample entry's own tag (avc1, hvc1) says every parameter set is
        // in it: so where the output is the input's packets alone, whose sets
        // all came with the input's entry; the copies of them sent in front of
        // each key frame are left out. A re-encoded part brings sets of its
        // own, sent in the stream (avc3, hev1).
        const bool h264 = m_video.codec == QLatin1String("h264"), hevc = m_video.codec == QLatin1String("hevc");
        const bool inputsSetsAlone = p.headFrames == 0 && p.tailFrames == 0
            && (m_codecTag == QLatin1String(h264 ? "avc1" : "hvc1"));
        if (h264 || hevc)
            args << "-tag:v" << QLatin1String(inputsSetsAlone ? (h264 ? "avc1" : "hvc1") : (h264 ? "avc3" : "hev1"));
        if (inputsSetsAlone)
            args << "-bsf:v" << QLatin1String(h264 ? "filter_units=remove_types=7|8" : "filter_units=remove_types=32|33|34");
        if (m_rotation != 0)
            args << "-metadata:s:v:0" << QStringLiteral("rotate=%1").arg(m_rotation);
    }
    args << m_outputFile;
    Step join;
    join.program = encoder;
    join.args = args;
    join.seconds = span;
    join.cost = kJoinCost * span;
    steps << join;
    return steps;
}

QString SmartCutJob::CheckOutput(bool* stopped)
{
    // Only what was made is decoded: the re-encoded parts and the copied
    // packets one GOP each side of every seam. That the copy holds every
    // packet is told by counting them, without decoding.
    *stopped = false;
    const auto seconds = [&](qint64 ticks) { return double(ticks * m_tbNum) / double(m_tbDen); };
    const SmartCutPlan& p = m_plan;
    setProgressRange(99, 0);
    QString report;
    // The copy's count of the body's packets: the planned one, or where the
    // plan listed the body's ends only, what its middle adds to it.
    if (p.bodyFrames > 0) {
        if (m_copiedPictures < p.bodyFrames || (!m_middleUnlisted && m_copiedPictures != p.bodyFrames))
            return QStringLiteral("its copied part holds %1 pictures instead of %2")
                .arg(m_copiedPictures)
                .arg(m_middleUnlisted ? QStringLiteral("at least %1").arg(p.bodyFrames) : QString::number(p.bodyFrames));
        m_plan.frames += m_copiedPictures - p.bodyFrames;
        m_plan.bodyFrames = m_copiedPictures;
    }
    // The join's own count of the picture's packets it wrote.
    if (m_joinedPictures != p.frames)
        return QStringLiteral("it holds %1 pictures instead of the %2 selected").arg(m_joinedPictures).arg(p.frames);

    // The stretches to decode, as times of the input's frames [from, to).
    const qint64 bodyEnd = p.tailFrames > 0 ? p.tailPts : p.endPts;
    const auto keyAfter = [&](qint64 t) {
        const auto k = std::upper_bound(m_keyFrames.begin(), m_keyFrames.end(), t);
        return k == m_keyFrames.end() ? p.endPts : std::min(*k, p.endPts);
    };
    const auto keyAtOrBefore = [&](qint64 t) {
        const auto k = std::upper_bound(m_keyFrames.begin(), m_keyFrames.end(), t);
        return k == m_keyFrames.begin() ? p.firstPts : std::max(*(k - 1), p.firstPts);
    };
    QList<QPair<qint64, qint64>> stretches;
    if (p.bodyFrames == 0) {
        stretches << qMakePair(p.firstPts, p.endPts);
    } else {
        // The head and the body's first GOP; the body's last GOP (with its
        // B-frames cut at the end) and the tail.
        stretches << qMakePair(p.firstPts, keyAfter(p.bodyPts));
        const qint64 lastKey = keyAtOrBefore(std::max(p.bodyPts, bodyEnd - 1));
        if (lastKey <= stretches.last().second)
            stretches.last().second = p.endPts;
        else
            stretches << qMakePair(lastKey, p.endPts);
    }
    const auto shown = [&](qint64 from, qint64 to) {
        return int(std::lower_bound(m_shownPts.begin(), m_shownPts.end(), to)
                   - std::lower_bound(m_shownPts.begin(), m_shownPts.end(), from));
    };
    // The stretches are decoded side by side, found in the output by the
    // time its picture starts after the file's start, as the join set it
    // (the sound's lead); where a stretch counts wrong, a probe says what the
    // container made of it (below).
    std::vector<std::unique_ptr<BesideRun>> decodes;
    const auto startDecodes = [&](double videoDelay) {
        decodes.clear();
        for (const auto& [from, to] : stretches) {
            // From half a frame before the stretch's key frame to half a frame
            // before its end (the file's end for the last): the joined parts'
            // times may lie a little off the input's.
            const auto halfFrameBefore = [&](qint64 t) {
                const auto k = std::lower_bound(m_shownPts.begin(), m_shownPts.end(), t);
                return k == m_shownPts.begin() ? kSeekLead : (seconds(t) - seconds(*(k - 1))) / 2.0;
            };
            const double begin = from > p.firstPts
                ? videoDelay + seconds(from) - seconds(p.firstPts) - halfFrameBefore(from)
                : 0.0;
            // The pictures' deblocking is left out: the check asks whether the
            // stream decodes and how many pictures it gives, which every other
            // stage of the decode tells; the deblocking is a fifth of its time.
            QStringList args{"-hide_banner", "-nostdin", "-v", "error", "-stats", "-skip_loop_filter", "all"};
            if (from > p.firstPts)
                args << "-ss" << Secs(begin);
            // The length counts from the first picture decoded, which is the
            // stretch's first: the picture's delay in the file is no part of it.
            if (to < p.endPts)
                args << "-t" << Secs(seconds(to) - seconds(from) - halfFrameBefore(to));
            args << "-i" << m_outputFile << "-map" << "0:v:0" << "-f" << "null" << "-";
            decodes.push_back(std::make_unique<BesideRun>(EncoderPath(), args));
        }
    };
    const QPointer<SmartCutJob> self(this);
    const auto waitForDecodes = [&](BesideRun* beside) {
        std::vector<BesideRun*> runs{beside};
        for (const auto& run : decodes)
            runs.push_back(run.get());
        if (WaitForAll(runs, [&] { return !self || m_stopRequested; }))
            return true;
        *stopped = true;
        if (self)
            raiseStatus(QStringLiteral("Cancelled"));
        return false;
    };
    // What the decodes found wrong, or empty.
    const auto judge = [&]() -> QString {
        for (qsizetype i = 0; i < stretches.size(); ++i) {
            const auto [from, to] = stretches[i];
            if (!decodes[i]->Started()) {
                Fail(ConversionError(QStringLiteral("The encoder could not be started: ") + EncoderPath()), {});
                return {};
            }
            report = decodes[i]->Output();
            if (!decodes[i]->Succeeded())
                return QStringLiteral("its picture could not be decoded:\n") + EncoderErrorLines(report);
            QStringList complaints;
            for (const QString& line :
                 report.split(QRegularExpression(QStringLiteral("[\\r\\n]+")), Qt::SkipEmptyParts)) {
                if (!line.trimmed().isEmpty() && !IsStatus(line))
                    complaints << line.trimmed();
            }
            if (!complaints.isEmpty())
                return QStringLiteral("the decoder reports errors in its picture:\n") + complaints.mid(0, 10).join('\n');
            // The decoder's own count of the pictures it made.
            const int frames = LastCount(report);
            const int expected = shown(from, to);
            if (frames != expected)
                return QStringLiteral("it shows %1 pictures instead of %2 from %3 s on")
                    .arg(frames)
                    .arg(expected)
                    .arg(seconds(from) - seconds(p.firstPts), 0, 'f', 2);
        }
        return {};
    };
    startDecodes(m_expectedVideoDelay);
    if (!waitForDecodes(nullptr))
        return {};
    QString problem = judge();
    if (problem.isEmpty() || m_outcome == CutOutcome::Failed || stretches.size() < 2)
        return problem;
    // A stretch found in the wrong place counts wrong: where the output's
    // picture starts elsewhere than the join aimed (a container of its own
    // mind), the stretches are decoded again from there before the cut
    // counts as failed.
    BesideRun starts(ProbePath(), {"-v", "error", "-select_streams", "v:0", "-show_entries",
                                   "stream=start_time:format=start_time", "-of", "json", m_outputFile});
    if (!waitForDecodes(&starts))
        return {};
    const QJsonObject info = ParseJson(starts.Answer());
    const QJsonObject stream = info.value(QLatin1String("streams")).toArray().at(0).toObject();
    // A seek into the output counts from the file's start, which the sound may set.
    const double videoDelay =
        stream.value(QLatin1String("start_time")).toString().toDouble()
        - info.value(QLatin1String("format")).toObject().value(QLatin1String("start_time")).toString().toDouble();
    if (info.isEmpty() || std::abs(videoDelay - m_expectedVideoDelay) <= kDelayTolerance)
        return problem;
    qCDebug(lcSteps, "picture starts %.6f s after the file, not %.6f s: decoding again", videoDelay,
            m_expectedVideoDelay);
    startDecodes(videoDelay);
    if (!waitForDecodes(nullptr))
        return {};
    return judge();
}

}  // namespace clip
