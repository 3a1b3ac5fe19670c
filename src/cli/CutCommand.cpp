#include "cli/CutCommand.h"

#include "cli/ConsoleHost.h"
#include "cli/CutArguments.h"
#include "cli/SavedFormat.h"
#include "common/ConsoleText.h"
#include "common/MediaTime.h"
#include "cut/CutController.h"
#include "formats/Catalogue.h"
#include "platform/EndRequests.h"
#include "segments/SegmentCsv.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>
#include <cstdio>
#include <unistd.h>

namespace clip {

namespace {

// The named format "CATEGORY/LABEL/EXTENSION" (the three texts may hold "/"
// themselves: the whole text is compared).
const PresetEntry* PresetNamed(const Catalogues& catalogues, const QString& name)
{
    for (int i = 0; i < catalogues.PresetCount; ++i) {
        const PresetEntry& preset = catalogues.Presets.at(i);
        if (preset.Category + QLatin1Char('/') + preset.Label + QLatin1Char('/') + preset.Extension == name)
            return &preset;
    }
    return nullptr;
}

// The smart cut into `extension`, if the catalogue has one.
const PresetEntry* SmartCutInto(const Catalogues& catalogues, const QString& extension)
{
    for (int i = 0; i < catalogues.PresetCount; ++i) {
        const PresetEntry& preset = catalogues.Presets.at(i);
        if (preset.CutMode == QLatin1String(kSmartCutMode) && preset.Extension.compare(extension, Qt::CaseInsensitive) == 0)
            return &preset;
    }
    return nullptr;
}

FormatChoice ChoiceOf(const PresetEntry& preset)
{
    return FormatChoice::Preset(preset.Category, preset.Label, preset.Extension);
}

// One input's end, as --json reports it and the exit status counts it.
struct InputReport {
    QString input, outcome = QStringLiteral("failed"), message;
    QStringList outputs;
    double selectionSeconds = 0.0;
};

class CutRun {
public:
    CutRun(const CutArguments& arguments, const Catalogues& catalogues, ConsoleHost& host,
           std::optional<FormatChoice> saved, std::vector<Segment> segments)
        : m_arguments(arguments), m_catalogues(catalogues), m_host(host), m_controller(catalogues), m_saved(saved),
          m_segments(std::move(segments))
    {
        m_showProgress = ::isatty(STDERR_FILENO) == 1;
        QObject::connect(&m_controller, &CutController::progress, &m_controller, [this](int percent) {
            if (m_showProgress)
                PrintText(stderr, QStringLiteral("\r%1: %2 %").arg(m_current).arg(percent, 3));
        });
        // Ctrl+C, a termination: the running cut stops as a Stop would stop it.
        QObject::connect(&m_endRequests, &EndRequests::received, &m_controller, [this] {
            m_interrupted = true;
            m_controller.Stop();
        });
    }

    InputReport Cut(const QString& input)
    {
        InputReport report;
        report.input = input;
        m_current = QFileInfo(input).fileName();
        m_host.takeLastMessage();
        FormatChoice format;
        if (!m_arguments.preset.isEmpty()) {
            format = ChoiceOf(*PresetNamed(m_catalogues, m_arguments.preset));
        } else if (!m_arguments.smart) {
            format = *m_saved;
        } else {
            const QString into =
                m_arguments.smartContainer.isEmpty() ? QFileInfo(input).suffix().toLower() : m_arguments.smartContainer;
            const PresetEntry* smart = SmartCutInto(m_catalogues, into);
            if (!smart) {
                report.message = QStringLiteral("There is no smart cut into %1 files; choose one with --smart mp4|mkv|mov.")
                                     .arg(into.isEmpty() ? QStringLiteral("such") : into);
                return report;
            }
            format = ChoiceOf(*smart);
        }

        // Absolute from here on: a name such as "-x.mp4" is never read as an
        // option by the encoder or its probe.
        const QString path = QFileInfo(input).absoluteFilePath();
        CVideoConv probe;
        QObject::connect(&m_endRequests, &EndRequests::received, &probe, [&probe] { probe.StopConversion(); });
        // One short probe tells the length (needed for an end not given, and
        // to keep a given one inside the video, as the window's end mark is)
        // and, answered, that the file can be read; without an answer the
        // encoder's own reading decides.
        const std::optional<double> length =
            QFileInfo(path).isFile() ? probe.ProbePositionLength(path) : std::nullopt;
        if (!length && (!QFileInfo(path).isFile() || !probe.IsFileSupported(path))) {
            report.message = m_interrupted ? QString() : m_host.takeLastMessage();
            if (report.message.isEmpty())
                report.message = QStringLiteral("File is not supported");
            report.outcome = m_interrupted ? QStringLiteral("stopped") : report.outcome;
            return report;
        }
        CutRequest request;
        request.input = path;
        request.format = format;
        if (!m_arguments.outputDir.isEmpty())
            request.output = OutputFolderRule{false, QDir(m_arguments.outputDir).absolutePath()};
        if (!Select(request, length, report))
            return report;
        const CutResult result = m_controller.Run(request);
        if (m_showProgress)
            PrintText(stderr, QStringLiteral("\r\033[K"));
        switch (result.outcome) {
        case CutOutcome::Succeeded:
            report.outcome = QStringLiteral("succeeded");
            report.outputs = result.outputFiles.isEmpty() ? QStringList{result.outputFile} : result.outputFiles;
            break;
        case CutOutcome::Stopped: report.outcome = QStringLiteral("stopped"); break;
        default:
            // A refusal, a failure, or the offered re-encode declined (its
            // question is the reason).
            report.message = !result.message.isEmpty() ? result.message : m_host.takeLastQuestion();
            if (report.message.isEmpty())
                report.message = QStringLiteral("The cut was not made.");
            if (!result.details.isEmpty())
                m_details = result.details;
            break;
        }
        return report;
    }

    bool Interrupted() const { return m_interrupted; }

private:
    // What of the video of `length` seconds (empty: unknown) `request` cuts:
    // --from/--to, or the parts of the segment list. False with the reason
    // in `report` when nothing can be cut.
    bool Select(CutRequest& request, const std::optional<double>& length, InputReport& report) const
    {
        if (!m_segments.empty()) {
            if (!length) {
                report.message = QStringLiteral("The video's length could not be read, which a segment list needs.");
                return false;
            }
            request.parts = KeptParts(m_segments, m_arguments.cutOut ? SegmentMode::CutOut : SegmentMode::Keep, *length);
            request.exportAs = m_arguments.join ? SegmentExport::Join : SegmentExport::OneFilePerSegment;
            if (request.parts.empty()) {
                report.message = m_arguments.cutOut
                                     ? QStringLiteral("The segments cover the whole video; nothing is left to keep.")
                                     : QStringLiteral("Every segment lies past the video's end (%1 s).").arg(*length, 0, 'f', 3);
                return false;
            }
            request.start = request.parts.front().start;
            request.end = request.parts.back().end;
            for (const Segment& part : request.parts)
                report.selectionSeconds += part.length();
            return true;
        }
        const double start = m_arguments.from.value_or(0.0);
        double end = m_arguments.to.value_or(length.value_or(0.0));
        if (length && end > *length)
            end = *length;  // as the window's end mark stops at the video's end
        if (!length && !m_arguments.to) {
            report.message = QStringLiteral("The video's length could not be read; give the end with --to.");
            return false;
        }
        if (end <= start) {
            report.message = QStringLiteral("The part from %1 s lies past the video's end (%2 s).")
                                 .arg(start, 0, 'f', 3)
                                 .arg(end, 0, 'f', 3);
            return false;
        }
        request.start = start;
        request.end = end;
        report.selectionSeconds = end - start;
        return true;
    }

public:
    QString TakeDetails() { return std::exchange(m_details, QString()); }

private:
    const CutArguments& m_arguments;
    const Catalogues& m_catalogues;
    ConsoleHost& m_host;
    CutController m_controller;
    std::optional<FormatChoice> m_saved;  // the window's last named format
    std::vector<Segment> m_segments;      // --segments' list; empty without one
    EndRequests m_endRequests;
    QString m_current;
    QString m_details;
    bool m_showProgress = false;
    bool m_interrupted = false;
};

}  // namespace

int RunCutCommand(const QStringList& arguments)
{
    const auto read = ReadCutArguments(arguments);
    if (const auto* error = std::get_if<UsageError>(&read)) {
        PrintText(stderr, QStringLiteral("clipwright: %1\n%2").arg(error->reason, CutUsage()));
        return 2;
    }
    const CutArguments& cut = std::get<CutArguments>(read);
    if (cut.help) {
        PrintText(stdout, CutUsage());
        return 0;
    }
    auto* host = dynamic_cast<ConsoleHost*>(&Host());
    if (!host)
        return 1;
    Catalogues catalogues;
    if (!ReadPresets(catalogues))
        return 1;  // the host has said why
    if (!cut.preset.isEmpty() && !PresetNamed(catalogues, cut.preset)) {
        PrintText(stderr, QStringLiteral("clipwright: --preset: there is no named format \"%1\"; 'clipwright presets' lists them.\n")
                          .arg(cut.preset));
        return 2;
    }
    std::optional<FormatChoice> saved;
    if (cut.preset.isEmpty() && !cut.smart) {
        saved = SavedPresetChoice(catalogues);
        if (!saved) {
            PrintText(stderr, QStringLiteral("clipwright: the window's last format is a custom one, which the command line "
                                         "does not take; choose one with --preset or --smart.\n"));
            return 2;
        }
    }
    host->setAnswer(cut.ifNotSmart == NotSmartChoice::Reencode);
    std::vector<Segment> segments;
    if (!cut.segmentsFile.isEmpty()) {
        const SegmentCsvRead list = ReadSegmentsCsvFile(cut.segmentsFile);
        if (!list.ok() || list.segments.empty()) {
            PrintText(stderr, QStringLiteral("clipwright: --segments %1: %2\n")
                              .arg(cut.segmentsFile, list.ok() ? QStringLiteral("the list holds no segment.") : list.error));
            return 2;
        }
        segments = list.segments;
    }

    CutRun run(cut, catalogues, *host, saved, std::move(segments));
    bool anyFailed = false;
    for (const QString& input : cut.inputs) {
        if (run.Interrupted())
            break;
        QElapsedTimer wall;
        wall.start();
        const InputReport report = run.Cut(input);
        anyFailed = anyFailed || report.outcome == QLatin1String("failed");
        if (cut.json) {
            QJsonObject object{{QStringLiteral("input"), report.input},
                               {QStringLiteral("output"), report.outputs.isEmpty() ? QJsonValue() : QJsonValue(report.outputs.first())},
                               {QStringLiteral("outputs"), QJsonArray::fromStringList(report.outputs)},
                               {QStringLiteral("outcome"), report.outcome},
                               {QStringLiteral("selection_seconds"), std::round(report.selectionSeconds * 1000.0) / 1000.0},
                               {QStringLiteral("wall_seconds"), double(wall.elapsed()) / 1000.0}};
            if (!report.message.isEmpty())
                object.insert(QStringLiteral("message"), report.message);
            PrintText(stdout, QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact)) + QLatin1Char('\n'));
        } else if (!report.outputs.isEmpty()) {
            PrintText(stdout, report.outputs.join(QLatin1Char('\n')) + QLatin1Char('\n'));
        }
        if (!report.message.isEmpty()) {
            const QString details = run.TakeDetails();
            PrintText(stderr, QStringLiteral("clipwright: %1: %2\n%3").arg(input, report.message,
                                                                     details.isEmpty() ? QString() : details.trimmed() + QLatin1Char('\n')));
        }
    }
    if (run.Interrupted())
        return 130;
    return anyFailed ? 1 : 0;
}

}  // namespace clip
