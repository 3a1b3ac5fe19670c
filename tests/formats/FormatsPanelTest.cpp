// The formats panel: the catalogue readers on files written into a temporary
// program folder, its fixed lists, the preset cascades, the key filters of
// the number boxes and the preset a choice gives, the closing check, the
// route choice and the summary.
#include "FormatsTestSupport.h"

#include "controls/MyOption.h"
#include "formats/GetParamaters.h"

#include <QLineEdit>
#include <QtTest/QTest>

namespace clip {
namespace {

using namespace test;
using FormatsPanelTest = FormatsFixture;

const QList<QStringList> kCascade{
    Preset("H.264", "-c:v libx264 -crf 20 ", "mp4", "Video"), Preset("H.264", "-c:v libx264", "mkv", "Video"),
    Preset("VP9", "-c:v libvpx-vp9", "webm", "Video"),
    Preset("H.264", "-c:v libx264 -crf 30", "mp4", "Video"),  // same label and container again
    Preset("VP9", "-c:v libvpx-vp9 -b:v 1M", "mkv", "Video"), Preset("MP3", "-vn -c:a libmp3lame", "mp3", "Audio"),
    Preset("H.264", "-c:v libx264", "mov", "Audio"),
    Preset("Lower", "-c:v mpeg4", "avi", "video"),  // a category differing only in case
};

const QStringList kPresetsHead{"<?xml version=\"1.0\"?>", "<presets>"};

// The one message shown, if `cause`: "Error Occured while Loading <what>." with the cause in what follows.
void ExpectOneFailure(const QString& what, const char* cause)
{
    const QString text = Fake().messages.value(0).text;
    ASSERT_EQ(Fake().messages.size(), cause ? 1 : 0) << text.toStdString();
    EXPECT_TRUE(!cause || (text.startsWith("Error Occured while Loading " + what + ".\n") && text.contains(cause, Qt::CaseInsensitive)))
        << text.toStdString();
    Fake().messages.clear();
}

TEST_F(FormatsPanelTest, CataloguesLoadFromAnyEditorsFileOrFailWithTheirCause)
{
    const struct { const char* name; QStringList lines; QString eol; QStringList entries; const char* cause; } cases[] = {
        {"fields verbatim, one category", kPresetsHead + Preset(" H.264 ", " -vn ", "mp4", "Video")
             + Preset("MP3", "-vn", "mp3", "Video") + QStringList{"</presets>"}, "\r\n",
         {" H.264 | -vn |mp4|Video", "MP3|-vn|mp3|Video"}, nullptr},
        {"line feeds alone, fields in any order, closing tags in any case",
         kPresetsHead + QString("<preset>|<category>Audio</CATEGORY>|<extension>mp3</extension>|<params>-vn</Params>|"
                                "<label>MP3</label>|</preset>|</presets>").split('|'), "\n", {"MP3|-vn|mp3|Audio"}, nullptr},
        {"missing file", {}, "\r\n", {}, "was not found"},
        {"nothing between the root lines", kPresetsHead + QStringList{"</presets>"}, "\r\n", {}, "lists no presets"},
        {"root opened and closed on one line", {"<presets></presets>"}, "\r\n", {}, "lists no presets"},
        {"blanks only", {"   "}, "\r\n", {}, "lists no presets"},
        {"record running past the end", kPresetsHead + Preset("A", "p", "e", "C") + QStringList{"<preset>"}, "\r\n",
         {"A|p|e|C"}, "runs past the end"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QFile::remove(folder.filePath("presets.xml"));
        if (!c.lines.isEmpty())
            writeFile("presets.xml", c.lines, c.eol, !c.cause);
        Catalogues fresh;
        QComboBox list;
        LoadPresets(fresh, &list);
        QStringList entries;
        for (const PresetEntry& p : fresh.Presets.mid(0, fresh.PresetCount))
            entries << QStringList{p.Label, p.Params, p.Extension, p.Category}.join('|');
        EXPECT_EQ(entries, c.entries);
        EXPECT_EQ(list.count(), c.cause ? 0 : 1);
        ExpectOneFailure("Presets", c.cause);
    }
    load("codecs", {Codec("aac", "AAC", "audio codec")});
    ExpectOneFailure("Codecs", "video codec list is empty");
}

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

// Each choice rebuilds the lists after it; the first preset matching the three choices gives the options verbatim.
TEST_F(FormatsPanelTest, EachChoiceRebuildsTheListsAfterItPicksTheFirstMatchingPresetAndShowsInTheSummary)
{
    EXPECT_EQ(GetParamaters(panel.Choice(), cat, 0, 5), QString()) << "nothing loaded, as after a failed load";
    load("presets", kCascade);
    EXPECT_EQ(ItemsOf(panel.cmbCategory), (QStringList{"Video", "Audio", "video"}));
    QComboBox *const category = panel.cmbCategory, *const label = panel.cmbOutVCodec;
    const struct { QComboBox* list; QString pick; QStringList labels, containers; QString params; } steps[] = {
        {nullptr, "", {"H.264", "VP9"}, {"mp4", "mkv"}, "-c:v libx264 -crf 20  -t 5"},
        {label, "VP9", {"H.264", "VP9"}, {"webm", "mkv"}, "-c:v libvpx-vp9 -t 5"},
        {category, "Audio", {"MP3", "H.264"}, {"mp3"}, "-vn -c:a libmp3lame -t 5"},
        {label, "H.264", {"MP3", "H.264"}, {"mov"}, "-c:v libx264 -t 5"},
        {category, "video", {"Lower"}, {"avi"}, "-c:v mpeg4 -t 5"},
        {category, "Video", {"H.264", "VP9"}, {"mp4", "mkv"}, "-c:v libx264 -crf 20  -t 5"},
        {label, "VP9", {"H.264", "VP9"}, {"webm", "mkv"}, "-c:v libvpx-vp9 -t 5"},
    };
    QList<FormatChoice> shown;
    for (const auto& step : steps) {
        SCOPED_TRACE(step.pick.toStdString());
        if (step.list)
            Pick(step.list, step.pick);
        shown << panel.Choice();
        EXPECT_EQ(ItemsOf(label), step.labels);
        EXPECT_EQ(ItemsOf(panel.cmbOutFormat), step.containers);
        EXPECT_EQ(panel.cmbOutFormat->currentIndex(), 0);
        EXPECT_EQ(label->currentText(), step.list == label ? step.pick : step.labels.first());
        EXPECT_EQ(GetParamaters(panel.Choice(), cat, 0, 5), step.params);
    }
    EXPECT_EQ(FormatDescription(panel), "Category:Video, Codec:\"VP9\", Container:\"webm\"");
    for (const FormatChoice& choice : shown)  // a choice shown again: the category's cascade first, then its picks
        EXPECT_TRUE(panel.Restore(choice) && panel.Choice() == choice) << choice.category.toStdString();
    panel.cmbOutFormat->addItem("avi");
    Pick(panel.cmbOutFormat, "avi");
    EXPECT_EQ(GetParamaters(panel.Choice(), cat, 7, 9), QString()) << "no preset matches";
    panel.cmbCategory->clear();  // no selection left: nothing to cascade from, and no crash
    EXPECT_EQ(ItemsOf(label), (QStringList{"H.264", "VP9"}));
    EXPECT_TRUE(Fake().messages.isEmpty());
    // The custom route: its sub-panel in front, its own summary; the presets' choices stay for the way back.
    const auto inFront = [&](int index) {
        const QObjectList& stack = panel.frFormat[index]->parentWidget()->children();
        return stack.indexOf(panel.frFormat[index]) > stack.indexOf(panel.frFormat[1 - index]);
    };
    load("codecs", {Codec("libx264", "H.264 / AVC", "video codec"), Codec("copy", "Copy \"as is\"", "general"),
                    Codec("x", "Odd", "Video Codec")});  // general codecs join both lists, unknown types none
    EXPECT_EQ(ItemsOf(panel.cmbCVCodec) + ItemsOf(panel.cmbCACodec),
              (QStringList{"H.264 / AVC", "Copy \"as is\"", "Copy \"as is\""}));
    panel.optFormat[1]->click();
    Pick(panel.cmbCustContainer, "yuv");
    Pick(panel.cmbCACodec, "Copy \"as is\"");
    EXPECT_EQ(FormatDescription(panel), "Container:yuv, Video Codec:\"H.264 / AVC\", Audio Codec:\"Copy \"as is\"\"");
    EXPECT_TRUE(inFront(1) && !panel.optFormat[0]->isChecked());
    panel.optFormat[0]->setChecked(true);  // as the settings restore sets it
    EXPECT_TRUE(inFront(0) && panel.cmbOutVCodec->currentText() == "VP9");
}

TEST_F(FormatsPanelTest, NumberBoxesTakeOnlyTheirDigitsUpToTheirLimit)
{
    QLineEdit *const ch = panel.txtChannels, *const fr = panel.txtFrameRate, *const ab = panel.txtCABirate,
                     *const vb = panel.txtCVBitrate;
    const struct { QLineEdit* box; QString typed, expected; } cases[] = {
        {ch, "0", ""},        {ch, "23", "2"},       {ch, "a-9", "9"},      {fr, "29.0", "29."},
        {fr, "2.5.1", "2.51"}, {fr, "1234567890", "123456789"},            {fr, "23.976", "23.976"},
        {fr, "+-,e 1", "1"},  {ab, "12805", "1280"}, {ab, "6x4.", "64"},   {vb, "99999", "9999"},
        {vb, "0320", "0320"},
    };
    for (const auto& c : cases) {
        c.box->clear();
        QTest::keyClicks(c.box, c.typed);
        EXPECT_EQ(c.box->text(), c.expected) << c.box->objectName().toStdString() << " typed " << c.typed.toStdString();
    }
    // Editing keys still work in a full box.
    for (Qt::Key key : {Qt::Key_Left, Qt::Key_Delete, Qt::Key_Home, Qt::Key_Delete, Qt::Key_End, Qt::Key_Backspace})
        QTest::keyClick(vb, key);
    EXPECT_EQ(vb->text(), "3");
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
            for (const auto& [box, text] : {std::pair{panel.txtChannels, c.channels}, {panel.txtFrameRate, c.frameRate},
                                            {panel.txtCABirate, c.audio}, {panel.txtCVBitrate, c.video}})
                box->setText(text);
            EXPECT_EQ(controller.CheckBeforeClose(), c.message.isEmpty());
            ASSERT_EQ(Fake().messages.size(), c.message.isEmpty() ? 0 : 1);
            EXPECT_TRUE(c.message.isEmpty() || (Fake().messages[0].text == c.message && Fake().messages[0].style == 48));
            Fake().messages.clear();
        }
    }
}

}  // namespace
}  // namespace clip
