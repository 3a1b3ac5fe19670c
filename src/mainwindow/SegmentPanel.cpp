#include "mainwindow/SegmentPanel.h"

#include "common/HostServices.h"
#include "common/SecondsToTime.h"
#include "controls/MyButton.h"
#include "controls/MyOption.h"
#include "segments/SegmentCsv.h"
#include "segments/SegmentStore.h"

#include <QAbstractTableModel>
#include <QButtonGroup>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QTableView>
#include <QVBoxLayout>

namespace clip {

namespace {

// Always with milliseconds, so the column's times line up.
QString TableTime(qint64 milliseconds)
{
    const QString text = MillisecondsToTime(milliseconds);
    return text.contains(QLatin1Char('.')) ? text : text + QStringLiteral(".000");
}

QString TimeText(double seconds) { return TableTime(MediaMilliseconds(seconds)); }

const QStringList kListFilter{QStringLiteral("Segment Lists (*.csv)|*.csv"), QStringLiteral("All Files(*.*)|*.*")};

// A button or an option with its object name and the accessible texts
// screen readers give it (its caption is its name).
template <typename Control>
Control* MakeControl(const QString& caption, const QString& name, const QString& description, QWidget* parent)
{
    auto* control = new Control(caption, parent);
    control->setObjectName(name);
    control->setAccessibleName(caption);
    control->setAccessibleDescription(description);
    return control;
}

}  // namespace

// The list as a table: start, end and length as the window's labels show
// times; the label, which may be edited.
class SegmentTableModel : public QAbstractTableModel {
public:
    enum Column { StartColumn, EndColumn, LengthColumn, LabelColumn, ColumnCount };

    SegmentTableModel(SegmentPanel& panel, QObject* parent) : QAbstractTableModel(parent), m_panel(panel) {}

    int rowCount(const QModelIndex& parent) const override { return parent.isValid() ? 0 : m_panel.List().size(); }
    int columnCount(const QModelIndex& parent) const override { return parent.isValid() ? 0 : ColumnCount; }

    QVariant data(const QModelIndex& index, int role) const override
    {
        if (!index.isValid() || index.row() >= m_panel.List().size())
            return {};
        const Segment& s = m_panel.List().at(index.row());
        if (role == Qt::TextAlignmentRole)
            return index.column() == LabelColumn ? QVariant() : QVariant(Qt::AlignRight | Qt::AlignVCenter);
        if (role == Qt::ToolTipRole)
            return s.label.isEmpty() ? QVariant() : QVariant(s.label);
        if (role != Qt::DisplayRole && role != Qt::EditRole && role != Qt::AccessibleTextRole)
            return {};
        switch (index.column()) {
        case StartColumn: return TimeText(s.start);
        case EndColumn: return TimeText(s.end);
        case LengthColumn: return TableTime(MediaMilliseconds(s.end) - MediaMilliseconds(s.start));
        default: return s.label;
        }
    }

    QVariant headerData(int section, Qt::Orientation orientation, int role) const override
    {
        if (role != Qt::DisplayRole)
            return {};
        if (orientation == Qt::Vertical)
            return section + 1;
        static const char* const names[] = {"Start", "End", "Length", "Label"};
        return section >= 0 && section < ColumnCount ? QString::fromLatin1(names[section]) : QVariant();
    }

    Qt::ItemFlags flags(const QModelIndex& index) const override
    {
        const Qt::ItemFlags base = QAbstractTableModel::flags(index);
        return index.column() == LabelColumn ? base | Qt::ItemIsEditable : base;
    }

    bool setData(const QModelIndex& index, const QVariant& value, int role) override
    {
        if (role != Qt::EditRole || index.column() != LabelColumn || index.row() >= m_panel.List().size())
            return false;
        m_panel.Relabel(index.row(), value.toString());
        emit dataChanged(index, index);
        return true;
    }

    void Reset() { beginResetModel(), endResetModel(); }

private:
    SegmentPanel& m_panel;
};

SegmentPanel::SegmentPanel(QWidget* parent) : QScrollArea(parent)
{
    setObjectName(QStringLiteral("frSegments"));
    setFrameShape(QFrame::NoFrame);
    setFocusPolicy(Qt::NoFocus);  // its controls take the focus, not the area
    setWidgetResizable(true);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // The panel's gradient shows through.
    setAutoFillBackground(false);
    viewport()->setAutoFillBackground(false);
    m_model = new SegmentTableModel(*this, this);
    buildControls();
}

SegmentPanel::~SegmentPanel()
{
    // The table reads the list through its model to the end: it goes
    // before the list does.
    delete takeWidget();
}

void SegmentPanel::buildControls()
{
    auto* content = new QWidget(this);
    content->setObjectName(QStringLiteral("SegmentControls"));
    auto* column = new QVBoxLayout(content);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(4);

    tblSegments = new QTableView(content);
    tblSegments->setObjectName(QStringLiteral("tblSegments"));
    tblSegments->setModel(m_model);
    tblSegments->setAccessibleName(QStringLiteral("Segments"));
    tblSegments->setAccessibleDescription(
        QStringLiteral("The parts of the video to keep or cut out; Enter or a double click takes a segment back "
                       "for editing, Delete removes it, F2 edits its label"));
    tblSegments->setSelectionBehavior(QAbstractItemView::SelectRows);
    tblSegments->setSelectionMode(QAbstractItemView::SingleSelection);
    // A double click takes the segment back; the label is edited with F2 or
    // a click on the selected row.
    tblSegments->setEditTriggers(QAbstractItemView::EditKeyPressed | QAbstractItemView::SelectedClicked);
    tblSegments->setTabKeyNavigation(false);
    tblSegments->verticalHeader()->hide();
    // A little smaller than the window's text: three times and a label fit
    // the column at the window's smallest size.
    QFont small = tblSegments->font();
    small.setPointSizeF(small.pointSizeF() * 0.9);
    tblSegments->setFont(small);
    tblSegments->horizontalHeader()->setFont(small);
    const int rowHeight = QFontMetrics(small).height() + 4;
    tblSegments->verticalHeader()->setDefaultSectionSize(rowHeight);
    QHeaderView* header = tblSegments->horizontalHeader();
    for (int c = 0; c < SegmentTableModel::LabelColumn; ++c)
        header->setSectionResizeMode(c, QHeaderView::ResizeToContents);
    // The label fills what the times leave, but stays wide enough to read;
    // at the window's smallest size the table then scrolls sideways to it.
    header->setStretchLastSection(true);
    header->resizeSection(SegmentTableModel::LabelColumn, QFontMetrics(small).horizontalAdvance(QStringLiteral("Label")) * 3);
    header->setHighlightSections(false);
    tblSegments->setMinimumHeight(rowHeight * 4 + 4);  // the header and three segments
    {
        QPalette pal = tblSegments->palette();
        pal.setColor(QPalette::Base, QColor(0xF8, 0xF9, 0xFF));
        tblSegments->setPalette(pal);
    }
    tblSegments->installEventFilter(this);
    column->addWidget(tblSegments, 1);

    auto* buttons = new QGridLayout;
    buttons->setSpacing(4);
    cmdAddSegment = MakeControl<MyButton>(QStringLiteral("Add Segment"), QStringLiteral("cmdAddSegment"),
                               QStringLiteral("Add the marked part as a segment (key A)"), content);
    cmdUpdateSegment = MakeControl<MyButton>(QStringLiteral("Update Segment"), QStringLiteral("cmdUpdateSegment"),
                                  QStringLiteral("Put the edited marks back into the segment taken back"), content);
    cmdRemoveSegment = MakeControl<MyButton>(QStringLiteral("Remove Segment"), QStringLiteral("cmdRemoveSegment"),
                                  QStringLiteral("Remove the chosen segment (Delete)"), content);
    cmdPlaySegments = MakeControl<MyButton>(QStringLiteral("Play Segments"), QStringLiteral("cmdPlaySegments"),
                                 QStringLiteral("Play only what the cut keeps"), content);
    buttons->addWidget(cmdAddSegment, 0, 0);
    buttons->addWidget(cmdUpdateSegment, 0, 1);
    buttons->addWidget(cmdRemoveSegment, 1, 0);
    buttons->addWidget(cmdPlaySegments, 1, 1);
    column->addLayout(buttons);

    const struct {
        MyOption** slot;
        const char* caption;
        const char* name;
        const char* description;
    } options[] = {
        {&optKeepSegments, "Keep the segments", "optKeepSegments", "The cut keeps the segments"},
        {&optCutSegments, "Cut the segments out", "optCutSegments", "The cut keeps everything but the segments"},
        {&optFilePerSegment, "One file per segment", "optFilePerSegment", "Each kept part becomes a file of its own"},
        {&optJoinSegments, "Join into one file", "optJoinSegments", "The kept parts are joined into one file"},
    };
    for (const auto& o : options) {
        *o.slot = MakeControl<MyOption>(QString::fromLatin1(o.caption), QString::fromLatin1(o.name),
                             QString::fromLatin1(o.description), content);
        column->addWidget(*o.slot);
    }
    // Each pair is a button group of its own (siblings would otherwise be
    // one group of four). Plain options under the window's panel would also
    // lose their Tab stop whenever a folder option takes the focus: the
    // toolkit looks for an option's fellows among all the options below its
    // parent, not only its siblings.
    for (const auto& [first, second] : {std::pair{optKeepSegments, optCutSegments}, {optFilePerSegment, optJoinSegments}}) {
        auto* group = new QButtonGroup(this);
        group->addButton(first), group->addButton(second);
        connect(group, &QButtonGroup::buttonToggled, this, &SegmentPanel::MakeCheckedOptionsTabStops);
    }
    optKeepSegments->setChecked(true), optJoinSegments->setChecked(true);

    auto* lists = new QHBoxLayout;
    lists->setSpacing(4);
    cmdImportList = MakeControl<MyButton>(QStringLiteral("Import List..."), QStringLiteral("cmdImportList"),
                               QStringLiteral("Replace the segments with a list read from a CSV file"), content);
    cmdExportList = MakeControl<MyButton>(QStringLiteral("Export List..."), QStringLiteral("cmdExportList"),
                               QStringLiteral("Write the segments to a CSV file"), content);
    lists->addWidget(cmdImportList);
    lists->addWidget(cmdExportList);
    lists->addStretch(1);
    column->addLayout(lists);
    setWidget(content);
    content->setAutoFillBackground(false);  // setWidget turns it on

    connect(cmdAddSegment, &QAbstractButton::clicked, this, &SegmentPanel::cmdAddSegment_Click);
    connect(cmdUpdateSegment, &QAbstractButton::clicked, this, &SegmentPanel::cmdUpdateSegment_Click);
    connect(cmdRemoveSegment, &QAbstractButton::clicked, this, &SegmentPanel::cmdRemoveSegment_Click);
    connect(cmdExportList, &QAbstractButton::clicked, this, &SegmentPanel::cmdExportList_Click);
    connect(cmdImportList, &QAbstractButton::clicked, this, &SegmentPanel::cmdImportList_Click);
    connect(cmdPlaySegments, &QAbstractButton::clicked, this, [this] {
        if (m_list.isEmpty())
            Tell(QStringLiteral("There are no segments to play. Mark a part and press \"Add Segment\" first."));
        else if (m_window.playSegments)
            m_window.playSegments();
    });
    // Not `activated`: where the desktop activates on a single click, a
    // click that only chooses a row would move the preview.
    connect(tblSegments, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex& index) {
        EditSegment(index.row());
    });
    Refresh(-1);
}

QList<QWidget*> SegmentPanel::TabOrder() const
{
    return {tblSegments,     cmdAddSegment,     cmdUpdateSegment, cmdRemoveSegment, cmdPlaySegments, optKeepSegments,
            optCutSegments, optFilePerSegment, optJoinSegments,  cmdImportList,    cmdExportList};
}

void SegmentPanel::MakeCheckedOptionsTabStops()
{
    // As the toolkit does once the focus has been in a group: its checked
    // option is its one Tab stop.
    for (MyOption* option : {optKeepSegments, optCutSegments, optFilePerSegment, optJoinSegments})
        option->setFocusPolicy(option->isChecked() ? Qt::StrongFocus : Qt::FocusPolicy(Qt::StrongFocus & ~Qt::TabFocus));
}

SegmentMode SegmentPanel::Mode() const
{
    return optCutSegments->isChecked() ? SegmentMode::CutOut : SegmentMode::Keep;
}

SegmentExport SegmentPanel::ExportAs() const
{
    return optFilePerSegment->isChecked() ? SegmentExport::OneFilePerSegment : SegmentExport::Join;
}

std::vector<Segment> SegmentPanel::Parts(double videoLength) const
{
    return m_list.isEmpty() ? std::vector<Segment>() : KeptParts(m_list.segments(), Mode(), videoLength);
}

QString SegmentPanel::NothingLeft(double videoLength) const
{
    if (m_list.isEmpty() || !Parts(videoLength).empty())
        return {};
    return Mode() == SegmentMode::CutOut
               ? QStringLiteral("The segments cover the whole video, so cutting them out leaves nothing to keep. "
                                "Remove a segment, or choose \"Keep the segments\".")
               : QStringLiteral("The segments lie outside the video, so there is nothing to keep. Remove them and "
                                "add the parts to keep again.");
}

// ------------------------------------------------------------- the list

void SegmentPanel::Tell(const QString& message) const { Host().messageBox(message, MsgExclamation); }

std::optional<Segment> SegmentPanel::MarksOrTell() const
{
    std::optional<Segment> marks = m_window.marks ? m_window.marks() : std::nullopt;
    if (!marks)
        Host().messageBox(QStringLiteral("No video file loaded"), MsgInformation);
    return marks;
}

void SegmentPanel::Refresh(int row)
{
    m_model->Reset();
    if (row >= 0 && row < m_list.size())
        tblSegments->selectRow(row);
    if (m_edited && std::find(m_list.segments().begin(), m_list.segments().end(), *m_edited) == m_list.segments().end())
        m_edited.reset();
    cmdUpdateSegment->setEnabled(m_edited.has_value());
}

void SegmentPanel::cmdAddSegment_Click()
{
    const std::optional<Segment> marks = MarksOrTell();
    if (!marks)
        return;
    QString error;
    const int row = m_list.Add(*marks, &error);
    if (row < 0) {
        Tell(error);
        return;
    }
    Refresh(row);
    // The marks are free for the next segment.
    if (m_window.clearMarks)
        m_window.clearMarks();
}

void SegmentPanel::EditSegment(int row)
{
    if (row < 0 || row >= m_list.size())
        return;
    m_edited = m_list.at(row);
    cmdUpdateSegment->setEnabled(true);
    if (m_window.editMarks)
        m_window.editMarks(*m_edited);
}

void SegmentPanel::cmdUpdateSegment_Click()
{
    if (!m_edited)
        return;
    const auto& segments = m_list.segments();
    const auto found = std::find(segments.begin(), segments.end(), *m_edited);
    const std::optional<Segment> marks = MarksOrTell();
    if (!marks)
        return;
    QString error;
    const int row = found == segments.end()
                        ? -1
                        : m_list.Replace(int(found - segments.begin()), {marks->start, marks->end, m_edited->label},
                                         &error);
    if (row < 0) {
        Tell(found == segments.end() ? QStringLiteral("The segment no longer exists.") : error);
        return;
    }
    m_edited.reset();
    Refresh(row);
    if (m_window.clearMarks)
        m_window.clearMarks();
}

void SegmentPanel::cmdRemoveSegment_Click()
{
    const int row = tblSegments->currentIndex().isValid() ? tblSegments->currentIndex().row() : -1;
    if (row < 0 || row >= m_list.size())
        return;
    m_list.Remove(row);
    Refresh(std::min(row, m_list.size() - 1));
}

void SegmentPanel::Relabel(int row, const QString& label)
{
    if (row < 0 || row >= m_list.size())
        return;
    Segment relabelled = m_list.at(row);
    const bool edited = m_edited && *m_edited == relabelled;
    relabelled.label = label;
    // Same times: the segment keeps its place, and the check passes.
    if (m_list.Replace(row, relabelled, nullptr) >= 0 && edited)
        m_edited = relabelled;
}

bool SegmentPanel::eventFilter(QObject* watched, QEvent* event)
{
    // A label being edited has the keys to itself; these are the table's own.
    if (watched == tblSegments && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        const int row = tblSegments->currentIndex().isValid() ? tblSegments->currentIndex().row() : -1;
        if (key == Qt::Key_Delete)
            cmdRemoveSegment_Click();
        else if (key == Qt::Key_Return || key == Qt::Key_Enter)
            EditSegment(row);
        else
            return QScrollArea::eventFilter(watched, event);
        return true;
    }
    return QScrollArea::eventFilter(watched, event);
}

// ------------------------------------------------------------ CSV lists

void SegmentPanel::cmdExportList_Click()
{
    if (m_list.isEmpty()) {
        Tell(QStringLiteral("There are no segments to export."));
        return;
    }
    const QFileInfo video(m_video);
    const QString suggested =
        m_video.isEmpty() ? QStringLiteral("segments.csv") : video.dir().filePath(video.completeBaseName() + ".csv");
    const QString path = Host().saveFileDialog(window(), QStringLiteral("Export List"), kListFilter, suggested);
    if (path.isEmpty())
        return;
    QString error;
    if (!WriteSegmentsCsvFile(path, m_list.segments(), &error))
        Host().messageBox(error, MsgCritical);
}

void SegmentPanel::cmdImportList_Click()
{
    const QString path = Host().openFileDialog(window(), QStringLiteral("Import List"), kListFilter);
    if (path.isEmpty())
        return;
    // Nothing of the list changes unless the whole file is sound.
    const SegmentCsvRead read = ReadSegmentsCsvFile(path);
    QString error = read.error;
    SegmentList imported;
    if (read.ok() && imported.Assign(read.segments, &error)) {
        m_list = imported;
        Refresh(m_list.isEmpty() ? -1 : 0);
    } else {
        Tell(QStringLiteral("The list %1 cannot be imported:\n%2").arg(QFileInfo(path).fileName(), error));
    }
}

// ------------------------------------------------------- kept with the video

void SegmentPanel::VideoOpened(const QString& path)
{
    m_video = path;
    m_list.Clear();
    m_edited.reset();
    if (const std::optional<SavedSegments> saved = SegmentStore().Load(path)) {
        QString error;
        m_list.Assign(saved->segments, &error);
        (saved->mode == SegmentMode::CutOut ? optCutSegments : optKeepSegments)->setChecked(true);
        (saved->exportAs == SegmentExport::Join ? optJoinSegments : optFilePerSegment)->setChecked(true);
    }
    Refresh(-1);
}

void SegmentPanel::VideoClosed()
{
    Keep();
    m_video.clear();
    m_list.Clear();
    m_edited.reset();
    Refresh(-1);
}

void SegmentPanel::Keep() const
{
    const SegmentStore store;
    if (m_video.isEmpty() || store.folder().isEmpty())
        return;
    if (!store.Save(m_video, {m_list.segments(), Mode(), ExportAs()}))
        qWarning("Clipwright: the segment list of %s could not be kept", qPrintable(m_video));
}

}  // namespace clip
