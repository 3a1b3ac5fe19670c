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
    {"H.264", "-c:v libx264 -crf 20", "mp4", "Video"},
    {"H.264", "-c:v libx264 -crf 20", "mkv", "Video"},
    {"VP9", "-c:v libvpx-vp9", "webm", "Video"},
    {"H.264", "-c:v libx264 -crf 30", "mp4", "Video"},  // same label and container again
    {"VP9", "-c:v libvpx-vp9 -b:v 1M", "mkv", "Video"},
    {"MP3", "-vn -c:a libmp3lame", "mp3", "Audio"},
    {"H.264", "-c:v libx264", "mov", "Audio"},
    {"Lower", "-c:v mpeg4", "avi", "video"},  // a category differing only in case
};

using FormatsCascade = FormatsFixture;

TEST_F(FormatsCascade, LoadingFillsTheFirstCategoryAndItsFirstLabel)
{
    QSignalSpy labelChanges(panel.cmbOutVCodec, &QComboBox::currentIndexChanged);
    loadPresets(kCascadeRows);
    ASSERT_TRUE(Fake().messages.isEmpty());
    EXPECT_EQ(ItemsOf(panel.cmbCategory), (QStringList{"Video", "Audio", "video"}));
    EXPECT_EQ(ItemsOf(panel.cmbOutVCodec), (QStringList{"H.264", "VP9"}));
    // The containers of the first label only, each once.
    EXPECT_EQ(ItemsOf(panel.cmbOutFormat), (QStringList{"mp4", "mkv"}));
    EXPECT_EQ(panel.cmbOutVCodec->currentIndex(), 0);
    EXPECT_EQ(panel.cmbOutFormat->currentIndex(), 0);
    // Rebuilding the label list reports one selection, of its first item.
    ASSERT_EQ(labelChanges.count(), 1);
    EXPECT_EQ(labelChanges.at(0).at(0).toInt(), 0);
}

TEST_F(FormatsCascade, ChoicesRebuildTheListsAfterThem)
{
    loadPresets(kCascadeRows);
    struct Step {
        const char* list;  // "category" or "label"
        QString pick;
        QStringList labels;
        QStringList containers;
    };
    const std::vector<Step> steps{
        {"label", "VP9", {"H.264", "VP9"}, {"webm", "mkv"}},
        {"category", "Audio", {"MP3", "H.264"}, {"mp3"}},
        {"label", "H.264", {"MP3", "H.264"}, {"mov"}},
        {"category", "video", {"Lower"}, {"avi"}},
        {"category", "Video", {"H.264", "VP9"}, {"mp4", "mkv"}},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.pick.toStdString());
        QComboBox* list = QString::fromLatin1(step.list) == "category" ? panel.cmbCategory : panel.cmbOutVCodec;
        Pick(list, step.pick);
        EXPECT_EQ(ItemsOf(panel.cmbOutVCodec), step.labels);
        EXPECT_EQ(ItemsOf(panel.cmbOutFormat), step.containers);
        EXPECT_EQ(panel.cmbOutFormat->currentIndex(), 0);
        EXPECT_EQ(panel.cmbOutVCodec->currentText(),
                  QString::fromLatin1(step.list) == "label" ? step.pick : step.labels.first());
    }
    EXPECT_TRUE(Fake().messages.isEmpty());
}

TEST_F(FormatsCascade, CatalogueWithoutRecordsGivesOneEmptyItemEverywhere)
{
    writeFile("presets.xml", {"<?xml version=\"1.0\"?>", "<presets>", "</presets>"});
    LoadPresets(cat, panel.cmbCategory);
    EXPECT_EQ(ItemsOf(panel.cmbCategory), QStringList{""});
    EXPECT_EQ(ItemsOf(panel.cmbOutVCodec), QStringList{""});
    EXPECT_EQ(ItemsOf(panel.cmbOutFormat), QStringList{""});
}

TEST_F(FormatsCascade, ClearingAListRunsNoCascade)
{
    loadPresets(kCascadeRows);
    panel.cmbCategory->clear();  // index -1: nothing to cascade from
    EXPECT_EQ(ItemsOf(panel.cmbOutVCodec), (QStringList{"H.264", "VP9"}));
    panel.cmbOutVCodec->clear();
    EXPECT_EQ(ItemsOf(panel.cmbOutFormat), (QStringList{"mp4", "mkv"}));
}

// ---------------------------------------------------------------- route

using FormatsRoute = FormatsFixture;

int StackPosition(const MyFrame* frame)
{
    return int(frame->parentWidget()->children().indexOf(const_cast<MyFrame*>(frame)));
}

bool InFront(const FormatsPanel& panel, int index)
{
    return StackPosition(panel.frFormat[index]) > StackPosition(panel.frFormat[1 - index]);
}

TEST_F(FormatsRoute, OptionBringsItsSubPanelToTheFrontAndKeepsValues)
{
    loadPresets(kCascadeRows);
    Pick(panel.cmbCategory, "Audio");
    panel.txtCVBitrate->setText("512");
    Pick(panel.cmbCustContainer, "MOV");
    ASSERT_TRUE(InFront(panel, 0));

    panel.optFormat[1]->click();
    EXPECT_TRUE(panel.optFormat[1]->isChecked());
    EXPECT_TRUE(InFront(panel, 1));
    panel.optFormat[0]->click();
    EXPECT_TRUE(panel.optFormat[0]->isChecked());
    EXPECT_TRUE(InFront(panel, 0));

    EXPECT_EQ(panel.cmbCategory->currentText(), "Audio");
    EXPECT_EQ(ItemsOf(panel.cmbOutVCodec), (QStringList{"MP3", "H.264"}));
    EXPECT_EQ(panel.txtCVBitrate->text(), "512");
    EXPECT_EQ(panel.cmbCustContainer->currentText(), "MOV");

    // A route set by code (the settings restore) shows its sub-panel too.
    panel.optFormat[1]->setChecked(true);
    EXPECT_TRUE(InFront(panel, 1));
}

// ---------------------------------------------------------------- key filters

// Records the key presses that got past the filters.
class KeySpy : public QObject {
public:
    int passed = 0;
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::KeyPress)
            ++passed;
        return false;
    }
};

class FormatsKeys : public FormatsFixture {
protected:
    QLineEdit* box(const char* name) const { return panel.findChild<QLineEdit*>(QString::fromLatin1(name)); }
};

TEST_F(FormatsKeys, TypedTextIsFilteredByBox)
{
    struct Case {
        const char* box;
        QString start;
        QString typed;
        QString expected;
    };
    const std::vector<Case> cases{
        {"txtChannels", "", "0", ""},
        {"txtChannels", "", "23", "2"},
        {"txtChannels", "", "a-9", "9"},
        {"txtFrameRate", "", "25.5", "25.5"},
        {"txtFrameRate", "", "29.0", "29."},
        {"txtFrameRate", "", "2.5.1", "2.51"},
        {"txtFrameRate", "", "30.50", "30.5"},
        {"txtFrameRate", "", "0.5", "0.5"},
        {"txtFrameRate", "", "1234567890", "123456789"},
        {"txtFrameRate", "", "23.976", "23.976"},
        {"txtFrameRate", "", "+-,e 1", "1"},
        {"txtCABirate", "", "1280", "1280"},
        {"txtCABirate", "", "12805", "1280"},
        {"txtCABirate", "", "6x4.", "64"},
        {"txtCVBitrate", "", "0320", "0320"},
        {"txtCVBitrate", "", "99999", "9999"},
    };
    for (const Case& c : cases) {
        QLineEdit* edit = box(c.box);
        SCOPED_TRACE(std::string(c.box) + " typed " + c.typed.toStdString());
        edit->setText(c.start);
        QTest::keyClicks(edit, c.typed);
        EXPECT_EQ(edit->text(), c.expected);
    }
    // Digits of other scripts are not digits here.
    panel.txtCVBitrate->clear();
    QKeyEvent arabicThree(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(QChar(0x0663)));
    QApplication::sendEvent(panel.txtCVBitrate, &arabicThree);
    EXPECT_EQ(panel.txtCVBitrate->text(), "");
}

TEST_F(FormatsKeys, LimitHoldsWithSelectionAndBackspaceAlwaysWorks)
{
    QLineEdit* edit = panel.txtCABirate;
    QTest::keyClicks(edit, "1280");
    edit->selectAll();
    QTest::keyClicks(edit, "5");  // the box is full: even a selection is not replaced
    EXPECT_EQ(edit->text(), "1280");
    QTest::keyClick(edit, Qt::Key_Backspace);  // removes the selection
    EXPECT_EQ(edit->text(), "");

    QTest::keyClicks(panel.txtChannels, "7");
    QTest::keyClick(panel.txtChannels, Qt::Key_Backspace);
    QTest::keyClicks(panel.txtChannels, "3");
    EXPECT_EQ(panel.txtChannels->text(), "3");
}

TEST_F(FormatsKeys, EnterPassesBelowTheLimitOnly)
{
    QSignalSpy returns(panel.txtCVBitrate, &QLineEdit::returnPressed);
    QTest::keyClicks(panel.txtCVBitrate, "320");
    QTest::keyClick(panel.txtCVBitrate, Qt::Key_Return);
    EXPECT_EQ(returns.count(), 1);
    QTest::keyClicks(panel.txtCVBitrate, "0");
    QTest::keyClick(panel.txtCVBitrate, Qt::Key_Enter);
    EXPECT_EQ(returns.count(), 1);
    EXPECT_EQ(panel.txtCVBitrate->text(), "3200");
}

TEST_F(FormatsKeys, NavigationAndEditingKeysReachTheBox)
{
    QLineEdit* edit = panel.txtFrameRate;
    KeySpy spy;
    // The newest filter runs first: a second frame-rate filter decides
    // before the spy sees what got through.
    edit->installEventFilter(&spy);
    NumberKeyFilter::Install(edit, NumberKeyFilter::Kind::FrameRate);

    const struct {
        Qt::Key key;
        const char* text;  // what some keyboards attach to the key
    } keys[] = {
        {Qt::Key_Tab, "\t"}, {Qt::Key_Backtab, ""}, {Qt::Key_Delete, "\x7f"}, {Qt::Key_Escape, "\x1b"},
        {Qt::Key_Left, ""},  {Qt::Key_Right, ""},   {Qt::Key_Home, ""},       {Qt::Key_End, ""},
        {Qt::Key_F5, ""},
    };
    for (const auto& k : keys) {
        SCOPED_TRACE(int(k.key));
        spy.passed = 0;
        QKeyEvent press(QEvent::KeyPress, k.key, Qt::NoModifier, QString::fromLatin1(k.text));
        QApplication::sendEvent(edit, &press);
        EXPECT_EQ(spy.passed, 1);
    }

    edit->setText("123456789");
    QTest::keyClick(edit, Qt::Key_Home);
    QTest::keyClick(edit, Qt::Key_Delete);
    QTest::keyClick(edit, Qt::Key_End);
    QTest::keyClick(edit, Qt::Key_Left);
    QTest::keyClicks(edit, "0");
    EXPECT_EQ(edit->text(), "23456780" "9");
}

TEST_F(FormatsKeys, CtrlVIsRefusedButTheContextMenuPasteIsNot)
{
    QClipboard* clipboard = QApplication::clipboard();
    clipboard->setText("25 -f mp4");
    QTest::keyClick(panel.txtFrameRate, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(panel.txtFrameRate->text(), "");
    {
        // The control character a real keyboard sends with Ctrl+V.
        QKeyEvent press(QEvent::KeyPress, Qt::Key_V, Qt::ControlModifier, QStringLiteral("\x16"));
        QApplication::sendEvent(panel.txtFrameRate, &press);
        EXPECT_EQ(panel.txtFrameRate->text(), "");
    }
    QTest::keyClick(panel.txtFrameRate, Qt::Key_Insert, Qt::ShiftModifier);
    EXPECT_EQ(panel.txtFrameRate->text(), "");

    // The context menu's Paste runs the box's paste directly.
    panel.txtFrameRate->paste();
    EXPECT_EQ(panel.txtFrameRate->text(), clipboard->text());

    // Copy and Select All change nothing and are left alone.
    panel.txtCABirate->setText("64");
    QTest::keyClick(panel.txtCABirate, Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(panel.txtCABirate->selectedText(), "64");
    QTest::keyClick(panel.txtCABirate, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(clipboard->text(), "64");
}

// ---------------------------------------------------------------- closing check

using FormatsClosing = FormatsFixture;

TEST_F(FormatsClosing, FirstEmptyBoxIsReportedInOrder)
{
    struct Case {
        QString channels, frameRate, audio, video;
        const char* message;  // nullptr: the panel may close
    };
    const std::vector<Case> cases{
        {"", "", "", "", "Channels Field in the custom Format can not be empty."},
        {"", "25", "64", "320", "Channels Field in the custom Format can not be empty."},
        {"2", "", "", "", "Frame Rate Field in the custom Format can not be empty."},
        {"2", "25", "", "", "Audio Bitrate Field in the custom Format can not be empty."},
        {"2", "25", "64", "", "Video Bitrate Field in the custom Format can not be empty."},
        {"2", "25", "64", "320", nullptr},
        {"2", "0", "0", "0", nullptr},  // only emptiness is checked here
    };
    for (int route : {0, 1}) {
        panel.optFormat[route]->click();
        for (const Case& c : cases) {
            SCOPED_TRACE(route);
            SCOPED_TRACE((c.channels + "|" + c.frameRate + "|" + c.audio + "|" + c.video).toStdString());
            Fake().messages.clear();
            panel.txtChannels->setText(c.channels);
            panel.txtFrameRate->setText(c.frameRate);
            panel.txtCABirate->setText(c.audio);
            panel.txtCVBitrate->setText(c.video);
            EXPECT_EQ(controller->CheckBeforeClose(), c.message == nullptr);
            if (c.message) {
                ASSERT_EQ(Fake().messages.size(), 1);
                EXPECT_EQ(Fake().messages.at(0).text, QString::fromLatin1(c.message));
                EXPECT_EQ(Fake().messages.at(0).style, 48);
            } else {
                EXPECT_TRUE(Fake().messages.isEmpty());
            }
        }
    }
}

// ---------------------------------------------------------------- summary

using FormatsSummary = FormatsFixture;

TEST_F(FormatsSummary, DescribesTheSelectedRoute)
{
    loadPresets(kCascadeRows);
    loadCodecs({{"libx264", "H.264 / AVC", "video codec"}, {"aac", "AAC", "audio codec"},
                {"copy", "Copy \"as is\"", "general"}});
    Pick(panel.cmbCategory, "Video");
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
