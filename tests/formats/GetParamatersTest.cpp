// The encoder argument builder: every custom choice reaches the file the
// real encoder writes; bitrates in the user's notation; failures and unsafe
// input give nothing; the first matching preset wins.
#include "FormatsTestSupport.h"

#include "controls/MyOption.h"
#include "formats/GetParamaters.h"

#include "support/TestClips.h"

#include <QFileInfo>
#include <QLineEdit>
#include <QLocale>
#include <QProcess>
#include <QRegularExpression>

namespace clip {
namespace {

using namespace test;

const QString kIn = "[As Input]";

// The custom route over the shipped catalogues, with a first run's choices.
class GetParamatersCustom : public ::testing::Test {
protected:
    void SetUp() override
    {
        LoadPresets(cat, panel.cmbCategory);
        LoadCodecs(cat, panel.cmbCVCodec, panel.cmbCACodec);
        ASSERT_TRUE(Fake().messages.isEmpty());
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

    FormatsPanel panel;
    Catalogues cat;
    FormatsController controller{panel, cat};
};

TEST_F(GetParamatersCustom, EveryChoiceReachesTheCutFile)
{
    const QString clip = MakeClip(ClipRecipe{});
    QTemporaryDir out;
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
        const QString params = GetParamaters(panel, cat, 1, 3), path = out.filePath("out." + choice[0]);
        ASSERT_FALSE(params.isEmpty());
        QString report;
        ASSERT_EQ(RunProgram(FfmpegPath(), QStringList{"-nostdin", "-ss", "1", "-i", clip}
                                               + QProcess::splitCommand(params + " -y") + QStringList{path}, &report),
                  0) << report.toStdString();
        if (choice[0] == "yuv") {  // pictures only: 2 s at 25 fps of 160x120 4:2:0
            EXPECT_EQ(QFileInfo(path).size(), 50 * 160 * 120 * 3 / 2);
            continue;
        }
        EXPECT_TRUE(DecodesCleanly(path, &report)) << report.toStdString();
        EXPECT_NEAR(ProbeDuration(path), 2.0, 0.25);
        const auto probe = [&](const char* kind, const char* entries) {
            RunProgram(FfprobePath(), {"-v", "error", "-select_streams", kind, "-show_entries", entries, "-of", "csv=p=0",
                                       path}, &report);
            return report.simplified().remove(QRegularExpression(",+$"));  // some containers add an empty field
        };
        EXPECT_EQ((probe("v", "stream=codec_name,width,height,r_frame_rate") + " "
                   + probe("a", "stream=codec_name,sample_rate,channels")).toStdString(), streams.toStdString());
    }
}

TEST_F(GetParamatersCustom, BitratesReadInTheUsersLocaleOrPlainDigitsRoundingHalvesToEven)
{
    const std::tuple<QLocale::Language, const char*, const char*, const char*> cases[] = {
        {QLocale::C, " 96 ", "0320", "-ab 96000 |-b 320000 "}, {QLocale::C, "64.5", "65.5", "-ab 64000 |-b 66000 "},
        {QLocale::German, "64,5", "1.000", "-ab 64000 |-b 1000000 "},  // the German point groups thousands
        {QLocale::German, "65.5", "1,5", "-ab 66000 |-b 2000 "},       // not German: plain digits
    };
    for (const auto& [language, audio, video, expected] : cases) {
        QLocale::setDefault(QLocale(language));
        panel.txtCABirate->setText(audio);
        panel.txtCVBitrate->setText(video);
        const QString params = GetParamaters(panel, cat, 0, 5);
        for (const QString& part : QString(expected).split('|'))
            EXPECT_TRUE(params.contains(part)) << params.toStdString();
    }
    EXPECT_TRUE(Fake().messages.isEmpty());
}

TEST_F(GetParamatersCustom, FailuresAndUnsafeInputAreReportedOnceAndGiveNothing)
{
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
        Fake().messages.clear();
        const QString kept = c.box ? c.box->text() : kIn;
        c.box ? c.box->setText(c.text) : Pick(panel.cmbCVSize, c.text);
        EXPECT_EQ(GetParamaters(panel, cat, 10, 40), QString());
        ASSERT_EQ(Fake().messages.size(), 1);
        const QString text = Fake().messages.at(0).text;
        EXPECT_TRUE(text.startsWith("Error occured while getting paramters\r\n") && text.contains(c.cause))
            << text.toStdString();
        EXPECT_EQ(Fake().messages.at(0).style, 16);
        c.box ? c.box->setText(kept) : Pick(panel.cmbCVSize, kept);
    }
}

using GetParamatersPreset = FormatsFixture;

TEST_F(GetParamatersPreset, FirstMatchingPresetWinsVerbatimAndNoMatchGivesNothing)
{
    EXPECT_EQ(GetParamaters(panel, cat, 0, 5), QString()) << "nothing loaded, as after a failed load";
    load("presets", {Preset("H.264", "-c:v libx264 -crf 20 ", "mp4", "Video"), Preset("H.264", "-crf 30", "mkv", "Video"),
                     Preset("H.264", "-crf 40", "mp4", "Video"), Preset("H.264", "-c:v libx265", "mp4", "Other")});
    EXPECT_EQ(GetParamaters(panel, cat, 0, 5), "-c:v libx264 -crf 20  -t 5");
    Pick(panel.cmbOutFormat, "mkv");
    EXPECT_EQ(GetParamaters(panel, cat, 7, 9), "-crf 30 -t 2");
    Pick(panel.cmbCategory, "Other");
    EXPECT_EQ(GetParamaters(panel, cat, 7, 9), "-c:v libx265 -t 2");
    panel.cmbOutFormat->addItem("avi");
    Pick(panel.cmbOutFormat, "avi");
    EXPECT_EQ(GetParamaters(panel, cat, 7, 9), QString());
    EXPECT_TRUE(Fake().messages.isEmpty());
}

}  // namespace
}  // namespace clip
