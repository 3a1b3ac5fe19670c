#include "engine/SmartCutCheck.h"

#include "engine/ChildRuns.h"
#include "engine/EncoderRunner.h"
#include "engine/ProbeRun.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QRegularExpression>

#include <algorithm>
#include <cmath>
#include <memory>
#include <optional>
#include <vector>

namespace clip {

namespace {

// How far the picture's start in the output may lie off the one the join
// aimed at for the check's decodes to find their stretches: far below the
// half frame they allow either side.
constexpr double kDelayTolerance = 0.002;

}  // namespace

namespace {

// What the decodes and counts found wrong with the output, or empty; Stopped
// or Failed where they could not tell.
StageEnd FindProblem(SmartCutInput& in, const MadeCounts& made, const std::function<bool()>& stop, QString* problem)
{
    const QString encoder = EncoderProgram();
    // Only what was made is decoded: the re-encoded parts and the copied
    // packets one GOP each side of every seam. That the copy holds every
    // packet is told by counting them, without decoding.
    const auto seconds = [&](qint64 ticks) { return double(ticks * in.tbNum) / double(in.tbDen); };
    const SmartCutPlan& p = in.plan;
    QString report;
    // The copy's count of the body's packets: the planned one, or where the
    // plan listed the body's ends only, what its middle adds to it.
    if (p.bodyFrames > 0) {
        if (made.copied < p.bodyFrames || (!in.middleUnlisted && made.copied != p.bodyFrames)) {
            *problem = QStringLiteral("its copied part holds %1 pictures instead of %2")
                .arg(made.copied)
                .arg(in.middleUnlisted ? QStringLiteral("at least %1").arg(p.bodyFrames) : QString::number(p.bodyFrames));
            return StageEnd::Done();
        }
        in.plan.frames += made.copied - p.bodyFrames;
        in.plan.bodyFrames = made.copied;
    }
    // The join's own count of the picture's packets it wrote.
    if (made.joined != p.frames) {
        *problem = QStringLiteral("it holds %1 pictures instead of the %2 selected").arg(made.joined).arg(p.frames);
        return StageEnd::Done();
    }

    // The stretches to decode, as times of the input's frames [from, to).
    const qint64 bodyEnd = p.tailFrames > 0 ? p.tailPts : p.endPts;
    const auto keyAfter = [&](qint64 t) {
        const auto k = std::upper_bound(in.keyFrames.begin(), in.keyFrames.end(), t);
        return k == in.keyFrames.end() ? p.endPts : std::min(*k, p.endPts);
    };
    const auto keyAtOrBefore = [&](qint64 t) {
        const auto k = std::upper_bound(in.keyFrames.begin(), in.keyFrames.end(), t);
        return k == in.keyFrames.begin() ? p.firstPts : std::max(*(k - 1), p.firstPts);
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
        return int(std::lower_bound(in.shownPts.begin(), in.shownPts.end(), to)
                   - std::lower_bound(in.shownPts.begin(), in.shownPts.end(), from));
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
                const auto k = std::lower_bound(in.shownPts.begin(), in.shownPts.end(), t);
                return k == in.shownPts.begin() ? kSeekLead : (seconds(t) - seconds(*(k - 1))) / 2.0;
            };
            const double begin = from > p.firstPts
                ? videoDelay + seconds(from) - seconds(p.firstPts) - halfFrameBefore(from)
                : 0.0;
            // The pictures' deblocking is left out: the check asks whether the
            // stream decodes and how many pictures it gives, which every other
            // stage of the decode tells; the deblocking is a fifth of its time.
            QStringList args{"-hide_banner", "-nostdin", "-v", "error", "-stats", "-skip_loop_filter", "all"};
            // Two stretches side by side keep the cores busy one thread each;
            // the threads a decoder starts for a few dozen pictures only
            // cost processor time the encoder could use.
            if (stretches.size() > 1)
                args << "-threads" << "1";
            if (from > p.firstPts)
                args << "-ss" << Secs(begin);
            // The length counts from the first picture decoded, which is the
            // stretch's first: the picture's delay in the file is no part of it.
            if (to < p.endPts)
                args << "-t" << Secs(seconds(to) - seconds(from) - halfFrameBefore(to));
            args << "-i" << in.output << "-map" << "0:v:0" << "-f" << "null" << "-";
            decodes.push_back(std::make_unique<BesideRun>(encoder, args));
        }
    };
    const auto waitForDecodes = [&](BesideRun* beside) {
        std::vector<BesideRun*> runs{beside};
        for (const auto& run : decodes)
            runs.push_back(run.get());
        return WaitForAll(runs, stop);
    };
    std::optional<StageEnd> failed;
    // What the decodes found wrong, or empty.
    const auto judge = [&]() -> QString {
        for (qsizetype i = 0; i < stretches.size(); ++i) {
            const auto [from, to] = stretches[i];
            if (!decodes[i]->Started()) {
                failed = StageEnd::Fail(ConversionError(in.input, QStringLiteral("The encoder could not be started: ") + encoder));
                return {};
            }
            report = decodes[i]->Output();
            if (!decodes[i]->Succeeded())
                return QStringLiteral("its picture could not be decoded:\n") + EncoderRunner::ErrorLines(report);
            QStringList complaints;
            for (const QString& line :
                 report.split(QRegularExpression(QStringLiteral("[\\r\\n]+")), Qt::SkipEmptyParts)) {
                if (!line.trimmed().isEmpty() && !EncoderRunner::IsStatusLine(line))
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
    startDecodes(made.videoDelay);
    if (!waitForDecodes(nullptr))
        return StageEnd::Stop();
    *problem = judge();
    if (problem->isEmpty() || failed || stretches.size() < 2)
        return failed.value_or(StageEnd::Done());
    // A stretch found in the wrong place counts wrong: where the output's
    // picture starts elsewhere than the join aimed (a container of its own
    // mind), the stretches are decoded again from there before the cut
    // counts as failed.
    BesideRun starts(ProbeProgram(), {"-v", "error", "-select_streams", "v:0", "-show_entries",
                                   "stream=start_time:format=start_time", "-of", "json", in.output});
    if (!waitForDecodes(&starts))
        return StageEnd::Stop();
    const QJsonObject info = ParseJson(starts.Answer());
    const QJsonObject stream = info.value(QLatin1String("streams")).toArray().at(0).toObject();
    // A seek into the output counts from the file's start, which the sound may set.
    const double videoDelay =
        stream.value(QLatin1String("start_time")).toString().toDouble()
        - info.value(QLatin1String("format")).toObject().value(QLatin1String("start_time")).toString().toDouble();
    if (info.isEmpty() || std::abs(videoDelay - made.videoDelay) <= kDelayTolerance)
        return StageEnd::Done();
    qCDebug(lcSmartCutSteps, "picture starts %.6f s after the file, not %.6f s: decoding again", videoDelay,
            made.videoDelay);
    startDecodes(videoDelay);
    if (!waitForDecodes(nullptr))
        return StageEnd::Stop();
    *problem = judge();
    return failed.value_or(StageEnd::Done());
}

}  // namespace

StageEnd CheckSmartCut(SmartCutInput& in, const MadeCounts& made, const std::function<bool()>& stop)
{
    QString problem;
    const StageEnd found = FindProblem(in, made, stop, &problem);
    if (found.IsDone() && !problem.isEmpty())
        return StageEnd::Fail(QStringLiteral("The cut produced no usable video: ") + problem);
    return found;
}


}  // namespace clip
