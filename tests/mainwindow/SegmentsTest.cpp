// The segment list in the window against the real playback engine: editing
// it through its controls and keys, what the cut request carries, the CSV
// lists, the list kept with its video, and playing only the kept parts.
#include "controls/MyOption.h"
#include "mainwindow/SegmentPanel.h"
#include "mainwindow/WindowTestKit.h"
#include "support/SegmentSpans.h"

#include <QTableView>
#include <QTest>

namespace clip {
namespace {

using test::Ctl;
using test::Fake;
using test::WaitFor;
using test::Spans;
using test::SpansOf;

class Segments : public test::WindowTest {
protected:
    void SetUp() override
    {
        WindowTest::SetUp(), w->show();  // the window's keys need it shown
        test::ClipRecipe recipe;  // 4 s at 25 fps, no sound: exactly 4 s long
        recipe.audioCodec.clear(), recipe.baseName = "segments";
        m_clip = test::CopyClipTo(test::MakeClip(recipe), dir.path(), "talk.mp4");
        test::LoadForCutting(*w, m_clip);
    }
    SegmentPanel& Panel() { return *Ctl<SegmentPanel>(w, "frSegments"); }
    Spans Listed() { return SpansOf(Panel().List().segments()); }
    void Click(const char* name) { Ctl<QAbstractButton>(w, name)->click(); }
    void Add(qint32 start, qint32 end) { test::Select(*w, start, end), Click("cmdAddSegment"); }
    void Reopen(const QString& path)
    {
        w->OpenVideoFile(path);
        ASSERT_TRUE(WaitFor([&] { return w->IsVideoLoaded(); }));
    }

    QString m_clip;
};

// Key A adds the marks and frees them; an overlapping or empty segment is
// refused with the list's reason; Enter (or a double click) takes a segment
// back (seek, marks) for "Update Segment", whose overlap is refused too;
// Delete removes.
TEST_F(Segments, AddRefuseTakeBackUpdateAndRemoveThroughTheControls)
{
    test::Select(*w, 3, 4), QTest::keyClick(w.get(), Qt::Key_A);
    test::Select(*w, 1, 2), QTest::keyClick(w.get(), Qt::Key_A);
    EXPECT_EQ(Listed(), (Spans{{1, 2}, {3, 4}}));
    EXPECT_TRUE(Ctl<Slider>(w, "Slider")->SelectStart() == 0 && Ctl<Slider>(w, "Slider")->SelectEnd() == 0);
    for (const auto& [start, end, reason] : {std::tuple{0, 2, "would overlap"}, std::tuple{2, 2, "end must come after"}}) {
        Fake().messages.clear(), Add(start, end);
        ASSERT_EQ(Fake().messages.size(), 1);
        EXPECT_TRUE(Fake().messages[0].text.contains(reason) && Fake().messages[0].style == MsgExclamation);
        EXPECT_EQ(Listed(), (Spans{{1, 2}, {3, 4}}));
    }
    auto* table = Ctl<QTableView>(w, "tblSegments");
    QAbstractItemModel* model = table->model();
    EXPECT_EQ(QStringList({model->index(1, 0).data().toString(), model->index(1, 1).data().toString(), model->index(1, 2).data().toString()}),
              QStringList({"00:00:03.000", "00:00:04.000", "00:00:01.000"}));
    model->setData(model->index(1, 3), "Outro");
    table->setFocus(), table->selectRow(1), QTest::keyClick(table, Qt::Key_Return);  // as a double click does
    EXPECT_TRUE(Engine().CurrentPosition() == 3.0 && w->SelectionStartSeconds() == 3.0 && w->SelectionEndSeconds() == 4.0);
    EXPECT_TRUE(Ctl<QLabel>(w, "lblEndSelect")->text() == "00:00:04" && Ctl<QWidget>(w, "cmdUpdateSegment")->isEnabled());
    Fake().messages.clear(), test::Select(*w, 1, 4), Click("cmdUpdateSegment");
    EXPECT_TRUE(Fake().messages.size() == 1 && Listed() == (Spans{{1, 2}, {3, 4}}));
    test::Select(*w, 2, 3), Click("cmdUpdateSegment");
    EXPECT_TRUE(Listed() == (Spans{{1, 2}, {2, 3}}) && Panel().List().at(1).label == "Outro");
    EXPECT_FALSE(Ctl<QWidget>(w, "cmdUpdateSegment")->isEnabled());
    table->selectRow(0), QTest::keyClick(table, Qt::Key_Delete);
    EXPECT_EQ(Listed(), (Spans{{2, 3}}));
}

// Without segments the marks are the selection; with them the request
// carries the kept parts (kept, or the rest) and how they are written; when
// cutting out leaves nothing, Start refuses before anything runs.
TEST_F(Segments, TheRequestCarriesTheKeptPartsAndNothingLeftIsRefused)
{
    test::Select(*w, 1, 3);
    CutRequest request = w->CurrentCutRequest();
    EXPECT_TRUE(request.parts.empty() && request.start == 1 && request.end == 3);
    Add(1, 2), Add(3, 4);
    request = w->CurrentCutRequest();
    EXPECT_TRUE(SpansOf(request.parts) == (Spans{{1, 2}, {3, 4}}) && request.exportAs == SegmentExport::Join);
    EXPECT_TRUE(request.start == 1 && request.end == 4 && CutController::Refusal(request).message.isEmpty());  // the marks were freed
    Click("optCutSegments"), Click("optFilePerSegment");
    request = w->CurrentCutRequest();
    EXPECT_TRUE(SpansOf(request.parts) == (Spans{{0, 1}, {2, 3}}) && request.exportAs == SegmentExport::OneFilePerSegment);
    EXPECT_EQ(request.parts[1].label, "Part 2");
    Add(0, 1), Add(2, 3), Fake().messages.clear();
    Click("cmdConvert");
    ASSERT_EQ(Fake().messages.size(), 1);
    EXPECT_TRUE(Fake().messages[0].text.contains("leaves nothing to keep") && !w->IsConverting());
    EXPECT_EQ(QDir(dir.path()).entryList({"talk*"}, QDir::Files), QStringList{"talk.mp4"});
}

// A list exported as CSV comes back the same; a file with a bad line names
// the line and leaves the list as it was.
TEST_F(Segments, ListsGoOutAsCsvAndComeBackAndABadLineChangesNothing)
{
    Add(1, 2), Add(3, 4);
    Ctl<QTableView>(w, "tblSegments")->model()->setData(Ctl<QTableView>(w, "tblSegments")->model()->index(0, 3), "Intro, \"cold\"");
    const std::vector<Segment> made = Panel().List().segments();
    Fake().dialogAnswers << InDir("list.csv"), Click("cmdExportList");
    test::WriteFile(InDir("bad.csv"), "start,end,label\n0,1,a\n2,zwei,b\n");
    Fake().dialogAnswers << InDir("bad.csv"), Click("cmdImportList");
    ASSERT_EQ(Fake().messages.size(), 1);
    EXPECT_TRUE(Fake().messages[0].text.contains("Line 3") && Panel().List().segments() == made) << Fake().messages[0].text.toStdString();
    Ctl<QTableView>(w, "tblSegments")->selectRow(0), Click("cmdRemoveSegment");
    Fake().dialogAnswers << InDir("list.csv"), Click("cmdImportList");
    EXPECT_EQ(Panel().List().segments(), made);
}

// The list, its labels and both choices come back when the same file is
// opened again (after another video, after the window closed); a file changed
// since, at the same path, starts with none.
TEST_F(Segments, AListComesBackWithItsOwnUnchangedVideoOnly)
{
    const QString other = test::CopyClipTo(m_clip, dir.path(), "other.mp4");
    Add(1, 2), Ctl<QTableView>(w, "tblSegments")->model()->setData(Ctl<QTableView>(w, "tblSegments")->model()->index(0, 3), "Intro");
    Click("optCutSegments"), Click("optFilePerSegment");
    Reopen(other);
    EXPECT_TRUE(Panel().List().isEmpty());
    Reopen(m_clip);
    EXPECT_TRUE(Panel().List().segments() == (std::vector<Segment>{{1, 2, "Intro"}}) && Panel().Mode() == SegmentMode::CutOut && Panel().ExportAs() == SegmentExport::OneFilePerSegment);
    ASSERT_TRUE(w->close());
    w = std::make_unique<frmMain>(), w->show(), Reopen(m_clip);
    EXPECT_EQ(Listed(), (Spans{{1, 2}}));
    Reopen(other);
    QFile video(m_clip);
    ASSERT_TRUE(video.open(QIODevice::ReadWrite) && video.setFileTime(QDateTime::currentDateTime().addSecs(60), QFileDevice::FileModificationTime));
    video.close(), Reopen(m_clip);
    EXPECT_TRUE(Panel().List().isEmpty());
}

// "Play Segments" plays the first part, jumps over the gap, plays the second
// and pauses at its end.
TEST_F(Segments, PlaySegmentsJumpsOverWhatIsNotKept)
{
    Add(0, 1), Add(2, 3);
    std::vector<double> seen;
    test::Poller poller([&] { return seen.push_back(Engine().CurrentPosition()), false; });
    Click("cmdPlaySegments");
    EXPECT_EQ(Ctl<MyButton>(w, "cmdPlay")->text(), "Pause");
    ASSERT_TRUE(WaitFor([&] { return Ctl<MyButton>(w, "cmdPlay")->text() == "Play"; }));
    EXPECT_TRUE(std::none_of(seen.begin(), seen.end(), [](double t) { return t > 1.5 && t < 1.95; }));
    EXPECT_TRUE(std::any_of(seen.begin(), seen.end(), [](double t) { return t > 2.2 && t < 2.8; }));
    EXPECT_TRUE(Engine().state() == PlaybackEngine::State::Paused && Engine().CurrentPosition() >= 2.99 && Engine().CurrentPosition() < 3.5)
        << Engine().CurrentPosition();
}

}  // namespace
}  // namespace clip
