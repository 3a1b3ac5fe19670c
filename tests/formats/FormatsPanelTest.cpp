// The formats panel: its fixed lists, the preset cascades, the key filters of
// the number boxes, the closing check, the route choice and the summary.
#include "FormatsTestSupport.h"

#include "controls/MyOption.h"

#include <QLineEdit>
#include <QtTest/QTest>

namespace clip {
namespace {

using namespace test;
using FormatsPanelTest = FormatsFixture;

const QList<QStringList> kCascade{
    Preset("H.264", "-c:v libx264 -crf 20", "mp4", "Video"), Preset("H.264", "-c:v libx264", "mkv", "Video"),
    Preset("VP9", "-c:v libvpx-vp9", "webm", "Video"),
    Preset("H.264", "-c:v libx264 -crf 30", "mp4", "Video"),  // same label and container again
    Preset("VP9", "-c:v libvpx-vp9 -b:v 1M", "mkv", "Video"), Preset("MP3", "-vn -c:a libmp3lame", "mp3", "Audio"),
    Preset("H.264", "-c:v libx264", "mov", "Audio"),
    Preset("Lower", "-c:v mpeg4", "avi", "video"),  // a category differing only in case
};

// Saved settings are list positions: the fixed lists keep this content and order.
TEST_F(FormatsPanelTest, FixedListsHoldTheirItemsInOrder)
{
    EXPECT_EQ(ItemsOf(panel.cmbCustContainer), QString("WMV ASF AVI MOV FLV MPG MPEG MP4 RM yuv").split(' '));
    EXPECT_EQ(ItemsOf(panel.cmbCVAspect), QString("[As Input]|4:3|16:9|1.3333|1.7777").split('|'));
    EXPECT_EQ(ItemsOf(panel.cmbCASmapleRate),
              QString("8 KHz|11.025 KHz|12 KHz|16 KHz|22.05 KHz|24 KHz|32 KHz|44.1 KHz|48 KHz").split('|'));
    EXPECT_EQ(ItemsOf(panel.cmbCVSize),
              QString("[As Input]|sqcif(128x96)|qcif(176x144)|cif(352x288)|4cif(704x576)|qqvga(160x120)|qvga(320x240)|"
                      "vga(640x480)|svga(800x600)|xga(1024x768)|uxga(1600x1200)|qxga(2048x1536)|sxga(1280x1024)|"
                      "qsxga(2560x2048) |hsxga(5120x4096)|wvga(852x480)|wxga(1366x768) |wsxga(1600x1024)|"
                      "wuxga(1920x1200)|woxga(2560x1600)|wqsxga(3200x2048) |wquxga(3840x2400)|whsxga(6400x4096)|"
                      "whuxga(7680x4800)|cga(320x200)|ega(640x350)|hd480(852x480)|hd720(1280x720) |hd1080(1920x1080)")
                  .split('|'));
}

TEST_F(FormatsPanelTest, EachChoiceRebuildsTheListsAfterIt)
{
    load("presets", kCascade);
    EXPECT_EQ(ItemsOf(panel.cmbCategory), (QStringList{"Video", "Audio", "video"}));
    QComboBox *const category = panel.cmbCategory, *const label = panel.cmbOutVCodec;
    const struct { QComboBox* list; QString pick; QStringList labels, containers; } steps[] = {
        {nullptr, "", {"H.264", "VP9"}, {"mp4", "mkv"}},  {label, "VP9", {"H.264", "VP9"}, {"webm", "mkv"}},
        {category, "Audio", {"MP3", "H.264"}, {"mp3"}},  {label, "H.264", {"MP3", "H.264"}, {"mov"}},
        {category, "video", {"Lower"}, {"avi"}},         {category, "Video", {"H.264", "VP9"}, {"mp4", "mkv"}},
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
    panel.cmbCategory->clear();  // no selection left: nothing to cascade from, and no crash
    EXPECT_EQ(ItemsOf(label), (QStringList{"H.264", "VP9"}));
    EXPECT_TRUE(Fake().messages.isEmpty());
}

TEST_F(FormatsPanelTest, NumberBoxesTakeOnlyTheirDigitsUpToTheirLimit)
{
    QLineEdit *const ch = panel.txtChannels, *const fr = panel.txtFrameRate, *const ab = panel.txtCABirate,
                     *const vb = panel.txtCVBitrate;
    const struct { QLineEdit* box; QString typed, expected; } cases[] = {
        {ch, "0", ""},        {ch, "23", "2"},       {ch, "a-9", "9"},      {fr, "29.0", "29."},
        {fr, "2.5.1", "2.51"}, {fr, "1234567890", "123456789"},            {fr, "23.976", "23.976"},
        {fr, "+-,e 1", "1"},  {ab, "12805", "1280"}, {ab, "6x4.", "64"},   {vb, "0320", "0320"},
        {vb, "99999", "9999"},
    };
    for (const auto& c : cases) {
        c.box->clear();
        QTest::keyClicks(c.box, c.typed);
        EXPECT_EQ(c.box->text(), c.expected) << c.box->objectName().toStdString() << " typed " << c.typed.toStdString();
    }
    // A full box keeps even a selection; Backspace and the arrows still work.
    ab->setText("1280");
    ab->selectAll();
    QTest::keyClicks(ab, "5");
    EXPECT_EQ(ab->text(), "1280");
    QTest::keyClick(ab, Qt::Key_Backspace);
    EXPECT_EQ(ab->text(), "");
    fr->clear();
    QTest::keyClicks(fr, "25");
    for (Qt::Key key : {Qt::Key_Left, Qt::Key_Delete, Qt::Key_Home})
        QTest::keyClick(fr, key);
    EXPECT_EQ(fr->text(), "2");
}

TEST_F(FormatsPanelTest, ClosingCheckReportsTheFirstEmptyBoxInOrder)
{
    const QString tail = " Field in the custom Format can not be empty.";
    const struct { QString channels, frameRate, audio, video, message; } cases[] = {
        {"", "", "", "", "Channels" + tail},          {"", "25", "64", "320", "Channels" + tail},
        {"2", "", "", "", "Frame Rate" + tail},       {"2", "25", "", "", "Audio Bitrate" + tail},
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
            EXPECT_EQ(controller.CheckBeforeClose(), c.message.isEmpty());
            ASSERT_EQ(Fake().messages.size(), c.message.isEmpty() ? 0 : 1);
            if (!c.message.isEmpty()) {
                EXPECT_EQ(Fake().messages.at(0).text, c.message);
                EXPECT_EQ(Fake().messages.at(0).style, 48);
            }
        }
    }
}

TEST_F(FormatsPanelTest, OptionShowsItsSubPanelAndTheSummaryDescribesIt)
{
    const auto inFront = [&](int index) {
        const QObjectList& stack = panel.frFormat[index]->parentWidget()->children();
        return stack.indexOf(panel.frFormat[index]) > stack.indexOf(panel.frFormat[1 - index]);
    };
    load("presets", kCascade);
    load("codecs", {Codec("libx264", "H.264 / AVC", "video codec"), Codec("copy", "Copy \"as is\"", "general")});
    Pick(panel.cmbOutVCodec, "VP9");
    Pick(panel.cmbOutFormat, "mkv");
    EXPECT_EQ(FormatDescription(panel), "Category:Video, Codec:\"VP9\", Container:\"mkv\"");
    panel.optFormat[1]->click();
    EXPECT_TRUE(inFront(1) && !panel.optFormat[0]->isChecked());
    Pick(panel.cmbCustContainer, "yuv");
    Pick(panel.cmbCACodec, "Copy \"as is\"");
    EXPECT_EQ(FormatDescription(panel), "Container:yuv, Video Codec:\"H.264 / AVC\", Audio Codec:\"Copy \"as is\"\"");
    panel.optFormat[0]->setChecked(true);  // as the settings restore sets it
    EXPECT_TRUE(inFront(0));
    EXPECT_EQ(panel.cmbOutVCodec->currentText(), "VP9") << "the other route's choices stay";
}

}  // namespace
}  // namespace clip
