// The shipped catalogues and cuts by the real encoder: every codec is one the
// encoder has, every preset gives a playable file of the selected length,
// every custom choice reaches the file. And the custom route's bitrates in
// the user's notation, and its failures and unsafe input giving nothing.
#include "FormatsTestSupport.h"

#include "controls/MyOption.h"
#include "formats/GetParamaters.h"

#include <QFileInfo>
#include <QLineEdit>
#include <QLocale>
#include <QProcess>
#include <QSet>

#include <cmath>
#include <tuple>

namespace clip {
namespace {

using namespace test;
using ShippedCatalogues = FormatsFixture;

// Every codec is one the encoder has, under a description of its own.
TEST_F(ShippedCatalogues, EveryCodecIsOneTheEncoderHasAndEveryPresetCutsAPlayableFileOfTheSelectedLength)
{
    loadShipped();
    ASSERT_GE(cat.CodecCount, 20);
    QString list;  // " V....D libx264   libx264 H.264 ...": kind letter, flags, name
    ASSERT_EQ(RunProgram(FfmpegPath(), {"-hide_banner", "-encoders"}, &list), 0);
    QSet<QString> descriptions;
    for (const CodecEntry& c : cat.Codecs.mid(0, cat.CodecCount)) {
        const QString kind = c.Type == "video codec" ? "V" : c.Type == "audio codec" ? "A" : "unknown";
        EXPECT_TRUE(c.Type == "general" ? c.Name == "copy"
                                        : list.contains(QRegularExpression("^ " + kind + "\\S{5} " + c.Name + " ",
                                                                           QRegularExpression::MultilineOption)))
            << (c.Name + " / " + c.Type).toStdString();
        EXPECT_FALSE(descriptions.contains(c.Description)) << "would hide every later codec behind the first";
        descriptions.insert(c.Description);
    }
    // Every preset, on a clip with key frames every two seconds (a cut from 1 s starts between two) and on a
    // screen recording's odd size, NTSC rate and other audio codec.
    ASSERT_GE(cat.PresetCount, 25);
    ClipRecipe plain;
    plain.extraOutputArgs = {"-g", "50"};
    ClipRecipe odd = plain;
    std::tie(odd.width, odd.height, odd.container, odd.videoCodec, odd.audioCodec) =
        std::tuple(161, 121, "mkv", "ffv1", "libmp3lame");
    odd.extraOutputArgs << "-r" << "30000/1001";
    QSet<QString> choices;
    for (int i = 0; i < cat.PresetCount; ++i) {
        const PresetEntry& p = cat.Presets.at(i);
        SCOPED_TRACE((p.Category + " / " + p.Label + " / " + p.Extension + ": " + p.Params).toStdString());
        EXPECT_FALSE(p.Label.isEmpty() || p.Params.isEmpty() || p.Extension.isEmpty());
        EXPECT_EQ(p.CutMode == kSmartCutMode, p.Label.startsWith("Smart Cut")) << "the optional element is read";
        const QString choice = p.Category + '|' + p.Label + '|' + p.Extension;
        EXPECT_FALSE(choices.contains(choice)) << "a second preset for one choice could never be picked";
        choices.insert(choice);
        const QStringList params = QProcess::splitCommand(p.Params);
        for (const char* own : {"-i", "-ss", "-t", "-to", "-y", "-n"})
            EXPECT_FALSE(params.contains(own)) << own << ": the cut brings its own";
        const bool copy = params.contains("copy");
        for (const ClipRecipe* recipe : {&plain, &odd}) {
            if (recipe == &odd && copy)
                continue;
            const QString target = folder.filePath(QString("%1-%2.%3").arg(i).arg(recipe->width).arg(p.Extension));
            QString log;
            EXPECT_EQ(Cut(MakeClip(*recipe), params + QStringList{"-t", "2"}, target, &log), 0) << log.right(1500).toStdString();
            EXPECT_TRUE(DecodesCleanly(target, &log)) << log.toStdString();
            // A copy starts at the key frame before the start (0 s here): the whole selection and at most
            // the two seconds before the next key frame more. A preset ignoring the selection gives 3 s.
            const double duration = ProbeDuration(target);
            EXPECT_TRUE(copy ? duration >= 1.95 && duration <= 3.3 : std::abs(duration - 2.0) <= 0.2) << duration;
            const QString streams = Probe(target, {"-show_entries", "stream=codec_type"});
            EXPECT_EQ(streams.contains("video"), !params.contains("-vn")) << streams.toStdString();
            EXPECT_EQ(streams.contains("audio"), !params.contains("-an")) << streams.toStdString();
        }
    }
}

const QString kIn = "[As Input]";

// The custom route over the shipped catalogues, with a first run's choices.
class GetParamatersCustom : public FormatsFixture {
protected:
    void SetUp() override
    {
        FormatsFixture::SetUp();
        loadShipped();
        panel.optFormat[1]->click();
        choose({"AVI", "mpeg4", "libmp3lame", "22.05 KHz", "2", kIn, kIn, "25"});
        panel.txtCABirate->setText("64");
        panel.txtCVBitrate->setText("320");
    }
    void TearDown() override { QLocale::setDefault(QLocale::c()); }
    // container, video and audio codec (the encoder's names), rate, channels, size, aspect, frame rate
    void choose(const QStringList& c)
    {
        Pick(panel.cmbCustContainer, c[0]);
        for (const auto& [list, name] : {std::pair{panel.cmbCVCodec, c[1]}, {panel.cmbCACodec, c[2]}}) {
            int k = list->count() - 1;
            while (k >= 0 && GetCodecName(cat, list->itemText(k)) != name)
                --k;
            ASSERT_GE(k, 0) << name.toStdString() << " is not in the shipped catalogue";
            list->setCurrentIndex(k);
        }
        Pick(panel.cmbCASmapleRate, c[3]);
        panel.txtChannels->setText(c[4]);
        Pick(panel.cmbCVSize, c[5]);
        Pick(panel.cmbCVAspect, c[6]);
        panel.txtFrameRate->setText(c[7]);
    }
};

TEST_F(GetParamatersCustom, EveryChoiceReachesTheCutFile)
{
    const QString clip = MakeClip(ClipRecipe{});
    // The streams as the probe reports them: codec,width,height,frame rate and codec,sampling rate,channels.
    const std::pair<QStringList, QString> cases[] = {
        {{"AVI", "mpeg4", "libmp3lame", "22.05 KHz", "2", kIn, kIn, "25"}, "mpeg4,160,120,25/1 mp3,22050,2"},
        {{"WMV", "wmv2", "wmav2", "44.1 KHz", "1", "qqvga(160x120)", kIn, "25"}, "wmv2,160,120,25/1 wmav2,44100,1"},
        {{"ASF", "msmpeg4", "wmav1", "22.05 KHz", "2", "cif(352x288)", "16:9", "25"}, "msmpeg4v3,352,288,25/1 wmav1,22050,2"},
        {{"MOV", "mpeg4", "alac", "48 KHz", "2", kIn, "16:9", "29.97"}, "mpeg4,160,120,2997/100 alac,48000,2"},
        {{"FLV", "flv", "libmp3lame", "11.025 KHz", "1", "qvga(320x240)", kIn, "25"}, "flv1,320,240,25/1 mp3,11025,1"},
        {{"MPG", "mpeg2video", "mp2", "48 KHz", "2", kIn, "4:3", "25"}, "mpeg2video,160,120,25/1 mp2,48000,2"},
        {{"MPEG", "mpeg1video", "mp2", "44.1 KHz", "2", "sqcif(128x96)", kIn, "25"}, "mpeg1video,128,96,25/1 mp2,44100,2"},
        {{"MP4", "libx264", "aac", "22.05 KHz", "2", "wxga(1366x768) ", "16:9", "23.976"},
         "h264,1366,768,2997/125 aac,22050,2"},
        {{"RM", "rv20", "ac3", "48 KHz", "2", kIn, kIn, "25"}, "rv20,160,120,25/1 ac3,48000,2"},
        {{"RM", "rv20", "real_144", "8 KHz", "1", kIn, kIn, "25"}, "rv20,160,120,25/1 ra_144,8000,1"},
        {{"yuv", "rawvideo", "aac", "22.05 KHz", "2", kIn, kIn, "25"}, ""},
    };
    for (const auto& [choice, streams] : cases) {
        SCOPED_TRACE(choice.join(' ').toStdString());
        choose(choice);
        const QString params = GetParamaters(panel.Choice(), cat, 1, 3), path = folder.filePath("out." + choice[0]);
        ASSERT_FALSE(params.isEmpty());
        QString report;
        ASSERT_EQ(Cut(clip, QProcess::splitCommand(params), path, &report), 0) << report.toStdString();
        if (choice[0] == "yuv") {  // pictures only: 2 s at 25 fps of 160x120 4:2:0
            EXPECT_EQ(QFileInfo(path).size(), 50 * 160 * 120 * 3 / 2);
            continue;
        }
        EXPECT_TRUE(DecodesCleanly(path, &report)) << report.toStdString();
        EXPECT_NEAR(ProbeDuration(path), 2.0, 0.25);
        EXPECT_EQ((Probe(path, {"-select_streams", "v", "-show_entries", "stream=codec_name,width,height,r_frame_rate"})
                   + " " + Probe(path, {"-select_streams", "a", "-show_entries", "stream=codec_name,sample_rate,channels"}))
                      .toStdString(), streams.toStdString());
    }
}

// Bitrates read in the user's locale or as plain digits, halves to even; failures and unsafe input are reported
// once and give nothing.
TEST_F(GetParamatersCustom, BitratesInTheUsersNotationFailuresAndUnsafeInputGiveNothing)
{
    const std::tuple<QLocale::Language, const char*, const char*, const char*> bitrates[] = {
        {QLocale::C, " 96 ", "0320", "-ab 96000 |-b 320000 "}, {QLocale::C, "64.5", "65.5", "-ab 64000 |-b 66000 "},
        {QLocale::German, "64,5", "1.000", "-ab 64000 |-b 1000000 "},  // the German point groups thousands
        {QLocale::German, "65.5", "1,5", "-ab 66000 |-b 2000 "},       // not German: plain digits
    };
    for (const auto& [language, audio, video, expected] : bitrates) {
        QLocale::setDefault(QLocale(language));
        panel.txtCABirate->setText(audio), panel.txtCVBitrate->setText(video);
        const QString params = GetParamaters(panel.Choice(), cat, 0, 5);
        for (const QString& part : QString(expected).split('|'))
            EXPECT_TRUE(params.contains(part)) << params.toStdString();
    }
    ASSERT_TRUE(Fake().messages.isEmpty());
    panel.cmbCVSize->addItem("vga");
    const struct { QLineEdit* box; QString text, cause; } cases[] = {  // box nullptr: the size list
        {panel.txtCABirate, "", "audio bitrate is empty"},        {panel.txtCVBitrate, "320k", "\"320k\" is not a number"},
        {panel.txtCABirate, "2147484", "too large"},              {panel.txtCVBitrate, "1e12", "too large"},
        {panel.txtFrameRate, "25 -f mp4", "single value"},        {panel.txtFrameRate, "25\"", "single value"},
        {panel.txtFrameRate, "", "frame rate is empty"},          {panel.txtChannels, "2 -map 0:a", "single value"},
        {nullptr, "vga", "The video size \"vga\""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text.toStdString());
        const QString kept = c.box ? c.box->text() : kIn;
        c.box ? c.box->setText(c.text) : Pick(panel.cmbCVSize, c.text);
        EXPECT_EQ(GetParamaters(panel.Choice(), cat, 10, 40), QString());
        ASSERT_EQ(Fake().messages.size(), 1);
        const auto [text, style] = std::pair(Fake().messages.at(0).text, Fake().messages.at(0).style);
        EXPECT_TRUE(style == 16 && text.startsWith("Error occured while getting paramters\r\n") && text.contains(c.cause))
            << text.toStdString();
        c.box ? c.box->setText(kept) : Pick(panel.cmbCVSize, kept);
        Fake().messages.clear();
    }
}

}  // namespace
}  // namespace clip
