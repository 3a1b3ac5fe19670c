#pragma once

#include "segments/Segment.h"

#include <QList>
#include <QScrollArea>
#include <QString>

#include <functional>
#include <optional>
#include <vector>

class QTableView;

namespace clip {

class MyButton;
class MyOption;
class SegmentTableModel;

// The window's segment list: the table (start, end, length, label), the
// buttons that add, take back, update and remove segments, the choice of
// keeping or cutting them out and of one file each or one joined file,
// "Play Segments", and the list's CSV export and import. It keeps the list
// in time order and free of overlaps (SegmentList), tells the user why a
// change is refused, and keeps each video's list with the video
// (SegmentStore). What it needs of the window (the marks, the preview) it
// asks through `Window`. A scroll area: at the window's smallest size its
// lower rows scroll into view (Tab brings them there too).
class SegmentPanel : public QScrollArea {
    Q_OBJECT
public:
    // What the panel asks of the window around it.
    struct Window {
        // The marked part as the cut would take it; nothing while no video
        // is loaded.
        std::function<std::optional<Segment>()> marks;
        std::function<void()> clearMarks;
        // Seeks to the segment's start and puts its marks back.
        std::function<void(const Segment&)> editMarks;
        std::function<void()> playSegments;
    };

    explicit SegmentPanel(QWidget* parent = nullptr);
    ~SegmentPanel() override;
    void SetWindow(Window window) { m_window = std::move(window); }
    // The panel's controls in Tab order, top to bottom.
    QList<QWidget*> TabOrder() const;

    const SegmentList& List() const { return m_list; }
    SegmentMode Mode() const;
    SegmentExport ExportAs() const;
    // What a cut writes: KeptParts of the list; empty without segments.
    std::vector<Segment> Parts(double videoLength) const;
    // Why the segments give nothing to write (they cut out the whole video):
    // the text the user is shown; empty when there are none, or parts.
    QString NothingLeft(double videoLength) const;

    // ---- Handlers ----
    void cmdAddSegment_Click();
    // A double click (or Enter) on a segment: its marks go back to the
    // window for editing, until "Update Segment" puts them back.
    void EditSegment(int row);
    void cmdUpdateSegment_Click();
    void cmdRemoveSegment_Click();
    void cmdExportList_Click();
    void cmdImportList_Click();
    void Relabel(int row, const QString& label);

    // ---- Kept with the video ----
    // The video's own list comes back (or none); the previous one was kept.
    void VideoOpened(const QString& path);
    // Keeps the list of the current video, then shows none.
    void VideoClosed();
    // Keeps the list of the current video now (a cut starts, the window closes).
    void Keep() const;

protected:
    // In the table, Delete removes the current segment and Enter takes it back.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildControls();
    // The table shows the list anew, with `row` current (-1: none).
    void Refresh(int row);
    std::optional<Segment> MarksOrTell() const;
    void MakeCheckedOptionsTabStops();
    void Tell(const QString& message) const;

    Window m_window;
    SegmentList m_list;
    SegmentTableModel* m_model = nullptr;
    // The segment taken back for editing, as it was then.
    std::optional<Segment> m_edited;
    QString m_video;  // whose list this is

    QTableView* tblSegments = nullptr;
    MyButton* cmdAddSegment = nullptr;
    MyButton* cmdUpdateSegment = nullptr;
    MyButton* cmdRemoveSegment = nullptr;
    MyButton* cmdPlaySegments = nullptr;
    MyOption* optKeepSegments = nullptr;
    MyOption* optCutSegments = nullptr;
    MyOption* optFilePerSegment = nullptr;
    MyOption* optJoinSegments = nullptr;
    MyButton* cmdExportList = nullptr;
    MyButton* cmdImportList = nullptr;
};

}  // namespace clip
