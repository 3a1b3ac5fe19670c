#pragma once

#include "engine/CVideoConv.h"

#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

class QTemporaryDir;

namespace clip {

// One stretch of an export: [start, end) as positions of the input (a
// made part's: its picture's length in `end`, from 0), and the name of its
// chapter.
struct JoinSpan {
    double start = 0.0;
    double end = 0.0;
    QString label;
};

// Several stretches written one after the other into one output, in one
// encoder run, with one chapter per stretch where the container keeps
// chapters (MKV, MP4, MOV). The bar runs over the output's whole length,
// and the outcome and its checks are a plain cut's (CVideoConv).
//
// - Reencode: each stretch read exactly from its first frame to the frame
//   before its end (the encoder's own exact seek and length where the input
//   seeks exactly, its trim filters otherwise) and joined inside the filter
//   graph, ahead of the format's own picture and sound filters: the output
//   holds exactly the marked frames.
// - CopyInput: the input's packets copied, each stretch from the key frame
//   at or before its start up to its end (concat listing with in and out
//   points).
// - JoinFiles: files made for the stretches (smart cuts) joined as they
//   are, each lasting its picture's length, so the sound of each follows
//   its picture across every join.
class SegmentsJob : public CVideoConv {
    Q_OBJECT

public:
    enum class Route { Reencode, CopyInput, JoinFiles };

    explicit SegmentsJob(QObject* parent = nullptr);
    ~SegmentsJob() override;

    void setRoute(Route route) { m_route = route; }
    // The stretches, in output order (JoinFiles: one per file).
    void setSpans(std::vector<JoinSpan> spans) { m_spans = std::move(spans); }
    // JoinFiles: the made files, one per stretch.
    void setFiles(const QStringList& files) { m_files = files; }
    // JoinFiles: how many pictures the files hold together; the join must
    // write exactly these (0: not checked).
    void setExpectedPictures(int pictures) { m_expectedPictures = pictures; }
    // False: no chapters, whatever the container (a step on the way).
    void setChapters(bool chapters) { m_withChapters = chapters; }

    void StartConversion() override;

    // The encoder options of a format with what a joined run replaces taken
    // out: its length ("-t"), and its picture and sound filters, returned in
    // `videoFilter` and `audioFilter` for the graph to end with.
    static QStringList WithoutLengthAndFilters(const QStringList& options, QString* videoFilter, QString* audioFilter);
    // A chapter listing (the encoder's metadata format) for stretches of
    // `seconds` each, named by `labels`.
    static QString ChapterListing(const std::vector<double>& seconds, const QStringList& labels);
    // True when `extension`'s container keeps chapters.
    static bool KeepsChapters(const QString& extension);

protected:
    QStringList BuildArguments() const override;

private:
    // Writes the listing and chapters the run reads; a failure's cause, or empty.
    QString Prepare();
    // Each route's part of it, with the parts' lengths in the output (for the chapters).
    QString PrepareReencode(std::vector<double>* lengths);
    QString PrepareCopy(std::vector<double>* lengths);
    QString PrepareJoin(const QString& extension, std::vector<double>* lengths);
    QString WriteFile(const QString& name, const QString& text, QString* path);

    Route m_route = Route::Reencode;
    std::vector<JoinSpan> m_spans;
    QStringList m_files;
    std::unique_ptr<QTemporaryDir> m_folder;
    QString m_listing, m_chapters;
    QString m_graph;
    QStringList m_outputOptions;
    bool m_video = true, m_audio = true;
    bool m_withChapters = true;
    int m_expectedPictures = 0;
};

}  // namespace clip
