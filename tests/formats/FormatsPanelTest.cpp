// The formats panel's behaviour: the preset cascades, the route choice, the
// key filters of the number boxes, the closing check and the summary.
#include "FormatsTestSupport.h"

#include "controls/MyFrame.h"
#include "controls/MyOption.h"
#include "formats/KeyFilters.h"

#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QLineEdit>
#include <QSignalSpy>
#include <QtTest/QTest>

#include <vector>

namespace clip {
namespace {

using namespace test;

const QList<PresetRow> kCascadeRows{
    {"H.264", "-c:v libx264 -crf 20", "mp4", "Video"},     {"H.264", "-c:v libx264 -crf 20", "mkv", "Video"},
    {"VP9", "-c:v libvpx-vp9", "webm", "Video"},
    {"H.264", "-c:v libx264 -crf 30", "mp4", "Video"},  // same label and container again
    {"VP9", "-c:v libvpx-vp9 -b:v 1M", "mkv", "Video"},    {"MP3", "-vn -c:a libmp3lame", "mp3", "Audio"},
    {"H.264", "-c:v libx264", "mov", "Audio"},
    {"Lower", "-c:v mpeg4", "avi", "video"},  // a category differing only in case
};

using FormatsCascade = FormatsFixture;
using FormatsPanelTest = FormatsFixture;

TEST_F(FormatsCascade, LoadingAndEachChoiceRebuildTheListsAfterThem)
{
    QSignalSpy labelChanges(panel.cmbOutVCodec, &QComboBox::currentIndexChanged);
    loadPresets(kCascadeRows);
    EXPECT_EQ(ItemsOf(panel.cmbCategory), (QStringList{"Video", "Audio", "video"}));
    // Rebuilding the label list reports one selection, of its first item.
    ASSERT_EQ(labelChanges.count(), 1);
    EXPECT_EQ(labelChanges.at(0).at(0).toInt(), 0);

    QComboBox* const category = panel.cmbCategory;
    QComboBox* const label = panel.cmbOutVCodec;
    const struct {
        QComboBox* list;  // nullptr: the state after loading
        QString pick;
        QStringList labels, containers;  // containers of the selected label, each once
    } steps[] = {
        {nullptr, "", {"H.264", "VP9"}, {"mp4", "mkv"}},   {label, "VP9", {"H.264", "VP9"}, {"webm", "mkv"}},
        {category, "Audio", {"MP3", "H.264"}, {"mp3"}},   {label, "H.264", {"MP3", "H.264"}, {"mov"}},
        {category, "video", {"Lower"}, {"avi"}},          {category, "Video", {"H.264", "VP9"}, {"mp4", "mkv"}},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.pick.toStdString());
        if (step.list)
            Pick(step.list, step.pick);
        EXPECT_EQ(ItemsOf(label), step.labels);
        EXPECT_EQ(ItemsOf(panel.cmbOutFormat), step.containers);
        EXPECT_EQ(panel.cmbOutFormat->currentIndex(), 0);
        EXPECT_EQ(label->currentText(), step.list == label ? step.pick : step.labels.first());
    }
    EXPECT_TRUE(Fake().messages.isEmpty());
}

TEST_F(FormatsCascade, ClearingAListRunsNoCascade)
{
    loadPresets(kCascadeRows);
    panel.cmbCategory->clear();  // index -1: nothing to cascade from
    EXPECT_EQ(ItemsOf(panel.cmbOutVCodec), (QStringList{"H.264", "VP9"}));
    panel.cmbOutVCodec->clear();
    EXPECT_EQ(ItemsOf(panel.cmbOutFormat), (QStringList{"mp4", "mkv"}));
}

TEST_F(FormatsPanelTest, OptionBringsItsSubPanelToTheFrontAndKeepsValues)
{
    const auto inFront = [&](int index) {
        const QObjectList& stack = panel.frFormat[index]->parentWidget()->children();
        return stack.indexOf(panel.frFormat[index]) > stack.indexOf(panel.frFormat[1 - index]);
    };
    loadPresets(kCascadeRows);
    Pick(panel.cmbCategory, "Audio");
    panel.txtCVBitrate->setText("512");
    Pick(panel.cmbCustContainer, "MOV");
    ASSERT_TRUE(inFront(0));
    for (int route : {1, 0}) {
        panel.optFormat[route]->click();
        EXPECT_TRUE(panel.optFormat[route]->isChecked());
        EXPECT_FALSE(panel.optFormat[1 - route]->isChecked());
        EXPECT_TRUE(inFront(route));
    }
    EXPECT_EQ(panel.cmbCategory->currentText(), "Audio");
    EXPECT_EQ(ItemsOf(panel.cmbOutVCodec), (QStringList{"MP3", "H.264"}));
    EXPECT_EQ(panel.txtCVBitrate->text(), "512");
    EXPECT_EQ(panel.cmbCustContainer->currentText(), "MOV");
    // A route set by code (the settings restore) shows its sub-panel too.
    panel.optFormat[1]->setChecked(true);
    EXPECT_TRUE(inFront(1));
}

// ---------------------------------------------------------------- key filters

using FormatsKeys = FormatsFixture;

TEST_F(FormatsKeys, TypedTextIsFilteredByBox)
{
    QLineEdit *const ch = panel.txtChannels, *const fr = panel.txtFrameRate, *const ab = panel.txtCABirate,
                     *const vb = panel.txtCVBitrate;
    const struct {
        QLineEdit* box;
        QString typed, expected;
    } cases[] = {
        {ch, "0", ""},          {ch, "23", "2"},         {ch, "a-9", "9"},        {fr, "25.5", "25.5"},
        {fr, "29.0", "29."},    {fr, "2.5.1", "2.51"},   {fr, "30.50", "30.5"},   {fr, "0.5", "0.5"},
        {fr, "1234567890", "123456789"},                 {fr, "23.976", "23.976"}, {fr, "+-,e 1", "1"},
        {ab, "1280", "1280"},   {ab, "12805", "1280"},   {ab, "6x4.", "64"},      {vb, "0320", "0320"},
        {vb, "99999", "9999"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.box->objectName().toStdString() + " typed " + c.typed.toStdString());
        c.box->clear();
        QTest::keyClicks(c.box, c.typed);
        EXPECT_EQ(c.box->text(), c.expected);
    }
    // Digits of other scripts are not digits here.
    panel.txtCVBitrate->clear();
    QKeyEvent arabicThree(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(QChar(0x0663)));
    QApplication::sendEvent(panel.txtCVBitrate, &arabicThree);
    EXPECT_EQ(panel.txtCVBitrate->text(), "");
}

TEST_F(FormatsKeys, LimitHoldsWithSelectionAndBackspaceAndEnterBelowIt)
{
    QLineEdit* edit = panel.txtCABirate;
    QTest::keyClicks(edit, "1280");
    edit->selectAll();
    QTest::keyClicks(edit, "5");  // the box is full: even a selection is not replaced
    EXPECT_EQ(edit->text(), "1280");
    QTest::keyClick(edit, Qt::Key_Backspace);  // at the limit, removes the selection
    EXPECT_EQ(edit->text(), "");

    QTest::keyClicks(panel.txtChannels, "7");
    QTest::keyClick(panel.txtChannels, Qt::Key_Backspace);
    QTest::keyClicks(panel.txtChannels, "3");
    EXPECT_EQ(panel.txtChannels->text(), "3");

    // Enter passes below the limit only.
    QSignalSpy returns(panel.txtCVBitrate, &QLineEdit::returnPressed);
    QTest::keyClicks(panel.txtCVBitrate, "320");
    QTest::keyClick(panel.txtCVBitrate, Qt::Key_Return);
    QTest::keyClicks(panel.txtCVBitrate, "0");
    QTest::keyClick(panel.txtCVBitrate, Qt::Key_Enter);
    EXPECT_EQ(returns.count(), 1);
    EXPECT_EQ(panel.txtCVBitrate->text(), "3200");
}

// Counts the key presses that got past the filters.
class KeySpy : public QObject {
public:
    int passed = 0;
    bool eventFilter(QObject*, QEvent* event) override
    {
        passed += event->type() == QEvent::KeyPress;
        return false;
    }
};

TEST_F(FormatsKeys, NavigationAndEditingKeysReachTheBox)
{
    QLineEdit* edit = panel.txtFrameRate;
    KeySpy spy;
    // The newest filter runs first: a second frame-rate filter decides
    // before the spy sees what got through.
    edit->installEventFilter(&spy);
    NumberKeyFilter::Install(edit, NumberKeyFilter::Kind::FrameRate);
    const std::pair<Qt::Key, const char*> keys[] = {  // with what some keyboards attach to the key
        {Qt::Key_Tab, "\t"}, {Qt::Key_Backtab, ""}, {Qt::Key_Delete, "\x7f"}, {Qt::Key_Escape, "\x1b"},
        {Qt::Key_Left, ""},  {Qt::Key_Right, ""},   {Qt::Key_Home, ""},       {Qt::Key_End, ""}, {Qt::Key_F5, ""}};
    for (const auto& [key, text] : keys) {
        spy.passed = 0;
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, QString::fromLatin1(text));
        QApplication::sendEvent(edit, &press);
        EXPECT_EQ(spy.passed, 1) << int(key);
    }
}

TEST_F(FormatsKeys, CtrlVIsRefusedButTheContextMenuPasteIsNot)
{
    QClipboard* clipboard = QApplication::clipboard();
    clipboard->setText("25 -f mp4");
    QTest::keyClick(panel.txtFrameRate, Qt::Key_V, Qt::ControlModifier);
    QKeyEvent ctrlV(QEvent::KeyPress, Qt::Key_V, Qt::ControlModifier, "\x16");  // as a real keyboard sends it
    QApplication::sendEvent(panel.txtFrameRate, &ctrlV);
    QTest::keyClick(panel.txtFrameRate, Qt::Key_Insert, Qt::ShiftModifier);
    EXPECT_EQ(panel.txtFrameRate->text(), "");

    panel.txtFrameRate->paste();  // what the context menu's Paste runs
    EXPECT_EQ(panel.txtFrameRate->text(), clipboard->text());

    // Copy and Select All change nothing and are left alone.
    panel.txtCABirate->setText("64");
    QTest::keyClick(panel.txtCABirate, Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(panel.txtCABirate->selectedText(), "64");
    QTest::keyClick(panel.txtCABirate, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(clipboard->text(), "64");
}

// ---------------------------------------------------------------- closing check and summary

TEST_F(FormatsPanelTest, ClosingCheckReportsTheFirstEmptyBoxInOrder)
{
    const QString tail = " Field in the custom Format can not be empty.";
    const struct {
        QString channels, frameRate, audio, video, message;  // empty message: the panel may close
    } cases[] = {
        {"", "", "", "", "Channels" + tail},        {"", "25", "64", "320", "Channels" + tail},
        {"2", "", "", "", "Frame Rate" + tail},     {"2", "25", "", "", "Audio Bitrate" + tail},
        {"2", "25", "64", "", "Video Bitrate" + tail}, {"2", "25", "64", "320", ""},
        {"2", "0", "0", "0", ""},  // only emptiness is checked here
    };
    for (int route : {0, 1}) {
        panel.optFormat[route]->click();
        for (const auto& c : cases) {
            SCOPED_TRACE(QString("route %1: %2|%3|%4|%5").arg(route).arg(c.channels, c.frameRate, c.audio, c.video)
                             .toStdString());
            Fake().messages.clear();
            panel.txtChannels->setText(c.channels);
            panel.txtFrameRate->setText(c.frameRate);
            panel.txtCABirate->setText(c.audio);
            panel.txtCVBitrate->setText(c.video);
            EXPECT_EQ(controller->CheckBeforeClose(), c.message.isEmpty());
            if (c.message.isEmpty()) {
                EXPECT_TRUE(Fake().messages.isEmpty());
                continue;
            }
            ASSERT_EQ(Fake().messages.size(), 1);
            EXPECT_EQ(Fake().messages.at(0).text, c.message);
            EXPECT_EQ(Fake().messages.at(0).style, 48);
        }
    }
}

TEST_F(FormatsPanelTest, SummaryDescribesTheSelectedRoute)
{
    loadPresets(kCascadeRows);
    loadCodecs({{"libx264", "H.264 / AVC", "video codec"}, {"aac", "AAC", "audio codec"},
                {"copy", "Copy \"as is\"", "general"}});
    Pick(panel.cmbOutVCodec, "VP9");
    Pick(panel.cmbOutFormat, "mkv");
    EXPECT_EQ(FormatDescription(panel), "Category:Video, Codec:\"VP9\", Container:\"mkv\"");

    panel.optFormat[1]->click();
    Pick(panel.cmbCustContainer, "yuv");
    Pick(panel.cmbCACodec, "Copy \"as is\"");
    EXPECT_EQ(FormatDescription(panel), "Container:yuv, Video Codec:\"H.264 / AVC\", Audio Codec:\"Copy \"as is\"\"");
}

}  // namespace
}  // namespace clip
