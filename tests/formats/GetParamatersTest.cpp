// The encoder argument builder: both routes, every optional option, the
// failures it reports, and its results run through the real encoder for
// each custom container.
#include "FormatsTestSupport.h"

#include "controls/MyOption.h"
#include "formats/GetParamaters.h"

#include "support/TestClips.h"

#include <QFileInfo>
#include <QLineEdit>
#include <QLocale>
#include <QProcess>

#include <vector>

namespace clip {
namespace {

using namespace test;

const QString kFailure = "Error occured while getting paramters\r\n";
const QString kIn = "[As Input]";

class GetParamatersCustom : public FormatsFixture {
protected:
    void SetUp() override
    {
        FormatsFixture::SetUp();
        loadCodecs({{"libx264", "H.264", "video codec"}, {" mpeg4 ", "MPEG-4", "video codec"},
                    {"aac", "AAC", "audio codec"}, {"copy", "Copy", "general"}});
        ASSERT_TRUE(Fake().messages.isEmpty());
        panel.optFormat[1]->click();
        // The example choice: codecs no entry has, sizes as input.
        panel.cmbCVCodec->addItem("Unknown video");
        panel.cmbCACodec->addItem("Unknown audio");
        Pick(panel.cmbCVCodec, "Unknown video");
        Pick(panel.cmbCACodec, "Unknown audio");
        Pick(panel.cmbCASmapleRate, "22.05 KHz");
        panel.txtCABirate->setText("64");
        panel.txtChannels->setText("2");
        panel.txtCVBitrate->setText("320");
        panel.txtFrameRate->setText("25");
    }
    void TearDown() override { QLocale::setDefault(QLocale::c()); }
};

TEST_F(GetParamatersCustom, BuildsTheExampleAndPutsEveryChoiceInItsPlace)
{
    struct Case {
        const char* name;
        QString rate, audio, audioCodec, channels, videoCodec, video, size, aspect, frameRate;
        qint32 start, end;
        QString expected;
    };
    const QString ua = "Unknown audio", uv = "Unknown video";
    const std::vector<Case> cases{
        {"the example: codecs not found, the length only", "22.05 KHz", "64", ua, "2", uv, "320", kIn, kIn, "25", 10, 40,
         "-ar 22050 -ab 64000 -ac 2 -b 320000 -r 25 -t 30"},
        {"both codecs found, names trimmed", "44.1 KHz", "128", "AAC", "2", "MPEG-4", "320", kIn, kIn, "25", 0, 5,
         "-ar 44100 -ab 128000 -acodec aac -ac 2 -vcodec mpeg4 -b 320000 -r 25 -t 5"},
        {"general codec in both", "48 KHz", "64", "Copy", "1", "Copy", "320", kIn, kIn, "25", 3, 4,
         "-ar 48000 -ab 64000 -acodec copy -ac 1 -vcodec copy -b 320000 -r 25 -t 1"},
        {"size with a trailing blank, ratio aspect, fractional rate", "11.025 KHz", "64", ua, "2", uv, "320",
         "wxga(1366x768) ", "4:3", "23.976", 0, 5,
         "-ar 11025 -ab 64000 -ac 2 -b 320000 -s wxga -aspect 4:3 -r 23.976 -t 5"},
        {"zeros", "24 KHz", "0", ua, "2", uv, "0", kIn, kIn, "0", 0, 5, "-ar 24000 -ab 0 -ac 2 -b 0 -r 0 -t 5"},
        {"blanks around a bitrate, leading zero", "32 KHz", " 96 ", ua, "2", uv, "0320", kIn, kIn, "25", 0, 5,
         "-ar 32000 -ab 96000 -ac 2 -b 320000 -r 25 -t 5"},
        {"largest bitrate that fits", "22.05 KHz", "2147483", ua, "2", uv, "9999", kIn, kIn, "25", 100, 2147483647,
         "-ar 22050 -ab 2147483000 -ac 2 -b 9999000 -r 25 -t 2147483547"},
        {"fraction rounds half to even", "22.05 KHz", "64.5", ua, "2", uv, "65.5", kIn, kIn, "25", 0, 5,
         "-ar 22050 -ab 64000 -ac 2 -b 66000 -r 25 -t 5"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Fake().messages.clear();
        Pick(panel.cmbCASmapleRate, c.rate);
        Pick(panel.cmbCACodec, c.audioCodec);
        Pick(panel.cmbCVCodec, c.videoCodec);
        Pick(panel.cmbCVSize, c.size);
        Pick(panel.cmbCVAspect, c.aspect);
        panel.txtCABirate->setText(c.audio);
        panel.txtChannels->setText(c.channels);
        panel.txtCVBitrate->setText(c.video);
        panel.txtFrameRate->setText(c.frameRate);
        EXPECT_EQ(GetParamaters(panel, cat, c.start, c.end), c.expected);
        EXPECT_TRUE(Fake().messages.isEmpty());
    }
}

TEST_F(GetParamatersCustom, BitratesReadInTheUsersLocaleAndInPlainDigits)
{
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    const QString cases[][3] = {
        {"64", "320", "-ab 64000 -ac 2 -b 320000 "},
        {"64,5", "1.000", "-ab 64000 -ac 2 -b 1000000 "},  // the German point groups thousands
        {"65.5", "1,5", "-ab 66000 -ac 2 -b 2000 "},       // not a German number: read as plain digits
    };
    for (const auto& [audio, video, expected] : cases) {
        panel.txtCABirate->setText(audio);
        panel.txtCVBitrate->setText(video);
        EXPECT_TRUE(GetParamaters(panel, cat, 0, 5).contains(expected)) << GetParamaters(panel, cat, 0, 5).toStdString();
    }
    EXPECT_TRUE(Fake().messages.isEmpty());
}

TEST_F(GetParamatersCustom, FailuresAndUnsafeInputAreReportedOnceAndGiveNothing)
{
    panel.cmbCVSize->addItem("vga");
    const struct {
        QLineEdit* box;  // nullptr: the size list
        QString text, cause;
    } cases[] = {
        {panel.txtCABirate, "", "audio bitrate is empty"},
        {panel.txtCABirate, "sixty-four", "\"sixty-four\" is not a number"},
        {panel.txtCVBitrate, "320k", "\"320k\" is not a number"},
        {panel.txtCABirate, "2147484", "too large"},  // the product passes 32 bits
        {panel.txtCVBitrate, "1e12", "too large"},
        {panel.txtFrameRate, "25 -f mp4", "single value"},
        {panel.txtFrameRate, "25\"", "single value"},
        {panel.txtFrameRate, "25\t", "single value"},
        {panel.txtFrameRate, "", "frame rate is empty"},
        {panel.txtChannels, "2 -map 0:a", "single value"},
        {panel.txtChannels, "", "channel count is empty"},
        {nullptr, "vga", "The video size \"vga\""},  // no "(" before the abbreviation
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text.toStdString());
        Fake().messages.clear();
        const QString kept = c.box ? c.box->text() : kIn;
        c.box ? c.box->setText(c.text) : Pick(panel.cmbCVSize, c.text);
        EXPECT_EQ(GetParamaters(panel, cat, 10, 40), QString());
        ASSERT_EQ(Fake().messages.size(), 1);
        const QString text = Fake().messages.at(0).text;
        EXPECT_TRUE(text.startsWith(kFailure) && text.contains(c.cause)) << text.toStdString();
        EXPECT_EQ(Fake().messages.at(0).style, 16);
        EXPECT_EQ(c.box ? c.box->text() : panel.cmbCVSize->currentText(), c.text);  // no control is changed
        c.box ? c.box->setText(kept) : Pick(panel.cmbCVSize, kept);
    }
}

// ---------------------------------------------------------------- presets

using GetParamatersPreset = FormatsFixture;

TEST_F(GetParamatersPreset, FirstMatchingPresetWinsAndItsOptionsStandVerbatim)
{
    loadPresets({{"H.264", "-c:v libx264 -crf 20 ", "mp4", "Video"},
                 {"H.264", "-c:v libx264 -crf 30", "mkv", "Video"},
                 {"H.264", "-c:v libx264 -crf 40", "mp4", "Video"},
                 {"H.264", "-c:v libx265", "mp4", "Other"}});
    EXPECT_EQ(GetParamaters(panel, cat, 0, 5), "-c:v libx264 -crf 20  -t 5");
    Pick(panel.cmbOutFormat, "mkv");
    EXPECT_EQ(GetParamaters(panel, cat, 7, 9), "-c:v libx264 -crf 30 -t 2");
    Pick(panel.cmbCategory, "Other");
    EXPECT_EQ(GetParamaters(panel, cat, 7, 9), "-c:v libx265 -t 2");
    panel.cmbOutFormat->addItem("avi");  // a combination no preset has
    Pick(panel.cmbOutFormat, "avi");
    EXPECT_EQ(GetParamaters(panel, cat, 7, 9), QString());
    EXPECT_TRUE(Fake().messages.isEmpty());
}

TEST_F(GetParamatersPreset, EmptyOrRecordlessCatalogues)
{
    EXPECT_EQ(GetParamaters(panel, cat, 0, 5), QString());  // nothing loaded, as after a failed load
    loadPresets({});  // without records: one empty item in every list, matched by one empty preset
    for (const QComboBox* list : {panel.cmbCategory, panel.cmbOutVCodec, panel.cmbOutFormat})
        EXPECT_EQ(ItemsOf(list), QStringList{""}) << list->objectName().toStdString();
    ASSERT_EQ(cat.PresetCount, 1);
    EXPECT_EQ(GetParamaters(panel, cat, 12, 20), " -t 8");
    EXPECT_TRUE(Fake().messages.isEmpty());
}

// ---------------------------------------------------------------- real encoder

// Custom choices cut by the real encoder, with the shipped catalogues.
class GetParamatersEncoder : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(out.isValid());
        LoadPresets(cat, panel.cmbCategory);  // the shipped catalogues beside the test program
        LoadCodecs(cat, panel.cmbCVCodec, panel.cmbCACodec);
        ASSERT_TRUE(Fake().messages.isEmpty());
        clip = MakeClip(ClipRecipe{});
        ASSERT_FALSE(clip.isEmpty());
        panel.optFormat[1]->click();
        // The stored defaults of a first run.
        for (auto [list, position] : {std::pair{panel.cmbCustContainer, 2}, {panel.cmbCACodec, 1},
                                      {panel.cmbCASmapleRate, 4}, {panel.cmbCVCodec, 1}})
            list->setCurrentIndex(position);
        panel.txtCABirate->setText("64");
        panel.txtChannels->setText("2");
        panel.txtCVBitrate->setText("320");
        panel.txtFrameRate->setText("25");
    }

    // Selects the codec the catalogue names `name`.
    void pickCodec(QComboBox* list, const QString& name)
    {
        for (int k = 0; k < list->count(); ++k) {
            if (GetCodecName(cat, list->itemText(k)) == name)
                return list->setCurrentIndex(k);
        }
        ADD_FAILURE() << name.toStdString() << " is not in the shipped catalogue";
    }

    // Cuts seconds 1 to 3 into out.<container> the way a job does (the start
    // before the input); the encoder's exit code.
    int cut(QString* outPath, QString* report)
    {
        const QString params = GetParamaters(panel, cat, 1, 3);
        EXPECT_FALSE(params.isEmpty());
        EXPECT_TRUE(Fake().messages.isEmpty());
        *outPath = out.filePath("out." + panel.cmbCustContainer->currentText());
        return RunProgram(FfmpegPath(),
                          QStringList{"-nostdin", "-ss", "1", "-i", clip} + QProcess::splitCommand(params + " -y")
                              + QStringList{*outPath},
                          report, 60000);
    }

    QTemporaryDir out;
    FormatsPanel panel;
    Catalogues cat;
    FormatsController controller{panel, cat};
    QString clip;
};

TEST_F(GetParamatersEncoder, DefaultAndEachContainerCutPlayableFilesOrGiveAClearRefusal)
{
    EXPECT_EQ(GetParamaters(panel, cat, 1, 3),
              "-ar 22050 -ab 64000 -acodec libmp3lame -ac 2 -vcodec mpeg4 -b 320000 -r 25 -t 2");
    EXPECT_EQ(panel.cmbCustContainer->currentText(), "AVI");
    struct Case {
        QString container, video, audio, rate, channels, size, aspect, frameRate;
        const char* refusal;  // a part of the encoder's report; nullptr when the cut must play
    };
    const std::vector<Case> cases{
        {"AVI", "mpeg4", "libmp3lame", "22.05 KHz", "2", kIn, kIn, "25", nullptr},  // the default choice
        {"WMV", "wmv2", "wmav2", "22.05 KHz", "2", kIn, kIn, "25", nullptr},
        {"ASF", "msmpeg4", "wmav1", "22.05 KHz", "2", kIn, "4:3", "25", nullptr},
        {"AVI", "libx264", "libmp3lame", "44.1 KHz", "2", "qvga(320x240)", kIn, "25", nullptr},
        {"MOV", "mpeg4", "alac", "48 KHz", "2", kIn, "16:9", "29.97", nullptr},
        {"FLV", "flv", "libmp3lame", "11.025 KHz", "1", "qqvga(160x120)", kIn, "25", nullptr},
        {"MPG", "mpeg2video", "mp2", "48 KHz", "2", kIn, kIn, "25", nullptr},
        {"MPEG", "mpeg1video", "mp2", "44.1 KHz", "2", "sqcif(128x96)", kIn, "25", nullptr},
        {"MP4", "libx264", "aac", "22.05 KHz", "2", "qvga(320x240)", "1.7777", "23.976", nullptr},
        {"RM", "rv20", "ac3", "48 KHz", "2", kIn, kIn, "25", nullptr},
        {"RM", "rv20", "real_144", "8 KHz", "1", kIn, kIn, "25", nullptr},
        // RealMedia's AC-3 takes 32, 44.1 or 48 kHz only; RealAudio 1.0 is mono.
        {"RM", "rv20", "ac3", "22.05 KHz", "2", kIn, kIn, "25", "sample rate"},
        {"RM", "rv20", "real_144", "8 KHz", "2", kIn, kIn, "25", "channel layout"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE((c.container + " " + c.video + " " + c.audio + " " + c.rate).toStdString());
        Pick(panel.cmbCustContainer, c.container);
        pickCodec(panel.cmbCVCodec, c.video);
        pickCodec(panel.cmbCACodec, c.audio);
        Pick(panel.cmbCASmapleRate, c.rate);
        Pick(panel.cmbCVSize, c.size);
        Pick(panel.cmbCVAspect, c.aspect);
        panel.txtFrameRate->setText(c.frameRate);
        panel.txtChannels->setText(c.channels);
        QString path, report, errors;
        const int code = cut(&path, &report);
        if (c.refusal) {
            EXPECT_GT(code, 0) << report.toStdString();  // a clean failure, not a crash or a hang (-1)
            EXPECT_TRUE(report.contains(c.refusal, Qt::CaseInsensitive)) << report.toStdString();
            continue;
        }
        ASSERT_EQ(code, 0) << report.toStdString();
        EXPECT_TRUE(DecodesCleanly(path, &errors)) << errors.toStdString();
        EXPECT_NEAR(ProbeDuration(path), 2.0, 0.25);
    }
}

TEST_F(GetParamatersEncoder, RawYuvHoldsThePicturesOnly)
{
    Pick(panel.cmbCustContainer, "yuv");
    pickCodec(panel.cmbCVCodec, "rawvideo");
    QString path, report;
    ASSERT_EQ(cut(&path, &report), 0) << report.toStdString();
    // No size, rate or sound in the file: 2 s at 25 fps of 160x120 4:2:0
    // pictures, which decode when the reader is told what they are.
    EXPECT_EQ(QFileInfo(path).size(), 50 * 160 * 120 * 3 / 2);
    EXPECT_EQ(RunProgram(FfmpegPath(), {"-v", "error", "-f", "rawvideo", "-pix_fmt", "yuv420p", "-s", "160x120", "-i",
                                        path, "-f", "null", "-"},
                         &report),
              0)
        << report.toStdString();
}

}  // namespace
}  // namespace clip
