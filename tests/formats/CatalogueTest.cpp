// The two catalogue readers on files written into a temporary program
// folder (line rules, failure messages), then the catalogues we ship, run
// through the real encoder as a cut runs them.
#include "FormatsTestSupport.h"

#include "support/TestClips.h"

#include <QProcess>
#include <QRegularExpression>
#include <QSet>

#include <cmath>
#include <tuple>

namespace clip {
namespace {

using namespace test;
using CatalogueTest = FormatsFixture;

const QStringList kPresetsHead{"<?xml version=\"1.0\"?>", "<presets>"};

QStringList EntriesOf(const Catalogues& cat)
{
    QStringList entries;
    for (int i = 0; i < cat.PresetCount; ++i)
        entries << QStringList{cat.Presets[i].Label, cat.Presets[i].Params, cat.Presets[i].Extension,
                               cat.Presets[i].Category}.join('|');
    return entries;
}

// The one message shown: `first` as its first line, `cause` in what follows.
void ExpectOneFailure(const QString& first, const char* cause)
{
    ASSERT_EQ(Fake().messages.size(), 1);
    const QString text = Fake().messages.first().text;
    EXPECT_TRUE(text.startsWith(first + "\n") && text.contains(cause, Qt::CaseInsensitive)) << text.toStdString();
    Fake().messages.clear();
}

TEST_F(CatalogueTest, RecordsLoadFromAnyEditorsFileOrFailWithTheirCause)
{
    const struct { const char* name; QStringList lines; QString eol; QStringList entries; const char* cause; } cases[] = {
        {"fields verbatim, one category", kPresetsHead + Preset("H.264", "-c:v libx264", "mp4", "Video")
             + Preset("  Spaced  ", " -vn ", "mp3", "Video") + QStringList{"</presets>"}, "\r\n",
         {"H.264|-c:v libx264|mp4|Video", "  Spaced  | -vn |mp3|Video"}, nullptr},
        {"line feeds alone, fields in any order, closing tags in any case",
         kPresetsHead + QString("<preset>|<category>Audio</CATEGORY>|<extension>mp3</extension>|<params>-vn</Params>|"
                                "<label>MP3</label>|</preset>|</presets>").split('|'), "\n", {"MP3|-vn|mp3|Audio"}, nullptr},
        {"missing file", {}, "\r\n", {}, "was not found"},
        {"'>' before '<'", kPresetsHead + QString("<preset>|label>x<|a|b|c|</preset>").split('|'), "\r\n", {}, "line 4"},
        {"known tag without its closing tag", kPresetsHead + Preset("A", "p", "e", "C")
             + QString("<preset>|<label>B</label>|<params>q|<extension>f</extension>|<category>D</category>").split('|'),
         "\r\n", {"A|p|e|C"}, "</params>"},
        {"record running past the end", kPresetsHead + Preset("A", "p", "e", "C") + QStringList{"<preset>"}, "\r\n", {"A|p|e|C"},
         "runs past the end"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QFile::remove(folder.filePath("presets.xml"));
        if (!c.lines.isEmpty())
            writeFile("presets.xml", c.lines, c.eol, !c.cause);
        Catalogues fresh;
        QComboBox list;
        int selections = 0;
        QObject::connect(&list, &QComboBox::currentIndexChanged, [&] { ++selections; });
        LoadPresets(fresh, &list);
        EXPECT_EQ(EntriesOf(fresh), c.entries);
        if (c.cause) {
            ExpectOneFailure("Error Occured while Loading Presets.", c.cause);
            EXPECT_EQ(list.count(), 0);
        } else {
            EXPECT_TRUE(Fake().messages.isEmpty()) << Fake().messages.value(0).text.toStdString();
            EXPECT_EQ(list.count(), 1);
            EXPECT_EQ(selections, 1) << "one selection, once the list is complete, runs the cascade";
        }
    }
    // The codecs still load after a failed preset load; general codecs join both lists, unknown types none.
    load("codecs", {Codec("libx264", "H.264", "video codec"), Codec("copy", "Copy", "general"),
                    Codec("aac", "AAC", "audio codec"), Codec("x", "Odd", "Video Codec")});
    EXPECT_EQ(ItemsOf(panel.cmbCVCodec) + ItemsOf(panel.cmbCACodec), QString("H.264 Copy Copy AAC").split(' '));
    EXPECT_TRUE(Fake().messages.isEmpty());
    writeFile("codecs.xml", QStringList{"<codecs>"} + Codec("aac", "AAC", "audio codec") + QStringList{"</codecs>"});
    Catalogues fresh;
    LoadCodecs(fresh, panel.cmbCVCodec, panel.cmbCACodec);
    ExpectOneFailure("Error Occured while Loading Codecs.", "video codec list is empty");
}

// ---------------------------------------------------------------- shipped catalogues

// Cuts seconds 1 to 3 of `clip` as a job does (the start before the input),
// checks that the result decodes cleanly; its duration (-1 when the cut
// failed) and the kinds of its streams.
double Cut(const QString& clip, const QStringList& params, const QString& target, QStringList* streams)
{
    QString log;
    const int code = RunProgram(FfmpegPath(), QStringList{"-nostdin", "-ss", "1", "-i", clip} + params
                                                  + QStringList{"-t", "2", "-y", target}, &log);
    EXPECT_EQ(code, 0) << log.right(1500).toStdString();
    EXPECT_TRUE(DecodesCleanly(target, &log)) << log.toStdString();
    RunProgram(FfprobePath(), {"-v", "error", "-show_entries", "stream=codec_type:format=duration", "-of", "csv=p=0",
                               target}, &log);
    *streams = log.split(QRegularExpression("[\\s,]+"), Qt::SkipEmptyParts);
    return code == 0 && !streams->isEmpty() ? streams->takeLast().toDouble() : -1;
}

TEST(ShippedCatalogues, EveryPresetCutsAPlayableFileOfTheSelectedLength)
{
    Catalogues cat;
    QComboBox categories;
    LoadPresets(cat, &categories);
    ASSERT_TRUE(Fake().messages.isEmpty()) << Fake().messages.value(0).text.toStdString();
    ASSERT_GE(cat.PresetCount, 25);
    // Key frames every two seconds, so a cut from 1 s starts between two; and
    // a screen recording's odd size, NTSC rate and other audio codec.
    ClipRecipe plain;
    plain.extraOutputArgs = {"-g", "50"};
    ClipRecipe odd = plain;
    std::tie(odd.width, odd.height, odd.container, odd.videoCodec, odd.audioCodec) =
        std::tuple(161, 121, "mkv", "ffv1", "libmp3lame");
    odd.extraOutputArgs << "-r" << "30000/1001";
    QTemporaryDir out;
    QSet<QString> choices;
    for (int i = 0; i < cat.PresetCount; ++i) {
        const PresetEntry& p = cat.Presets.at(i);
        SCOPED_TRACE((p.Category + " / " + p.Label + " / " + p.Extension + ": " + p.Params).toStdString());
        EXPECT_FALSE(p.Label.isEmpty() || p.Params.isEmpty() || p.Extension.isEmpty());
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
            QStringList streams;
            const double duration = Cut(MakeClip(*recipe), params,
                                        out.filePath(QString("%1-%2.%3").arg(i).arg(recipe->width).arg(p.Extension)),
                                        &streams);
            // A copy starts at the key frame before the start (0 s here): the whole selection and at most
            // the two seconds before the next key frame more. A preset ignoring the selection gives 3 s.
            EXPECT_TRUE(copy ? duration >= 1.95 && duration <= 3.3 : std::abs(duration - 2.0) <= 0.2) << duration;
            EXPECT_EQ(streams.contains("video"), !params.contains("-vn")) << streams.join(' ').toStdString();
            EXPECT_EQ(streams.contains("audio"), !params.contains("-an")) << streams.join(' ').toStdString();
        }
    }
}

TEST(ShippedCatalogues, EveryCodecIsOneTheEncoderHas)
{
    Catalogues cat;
    QComboBox video, audio;
    LoadCodecs(cat, &video, &audio);
    ASSERT_TRUE(Fake().messages.isEmpty()) << Fake().messages.value(0).text.toStdString();
    ASSERT_GE(video.count() + audio.count(), 20);
    QString list;  // " V....D libx264   libx264 H.264 ...": kind letter, flags, name
    ASSERT_EQ(RunProgram(FfmpegPath(), {"-hide_banner", "-encoders"}, &list), 0);
    QHash<QString, QString> kinds;
    const QRegularExpression row("^ ([VAS])\\S{5} (\\S+)", QRegularExpression::MultilineOption);
    for (auto it = row.globalMatch(list); it.hasNext();) {
        const auto m = it.next();
        kinds.insert(m.captured(2), m.captured(1));
    }
    const QHash<QString, QString> kindOfType{{"video codec", "V"}, {"audio codec", "A"}, {"general", "copy"}};
    QSet<QString> descriptions;
    for (int i = 0; i < cat.CodecCount; ++i) {
        const CodecEntry& c = cat.Codecs.at(i);
        SCOPED_TRACE((c.Name + " / " + c.Description + " / " + c.Type).toStdString());
        EXPECT_FALSE(descriptions.contains(c.Description)) << "would hide every later codec behind the first";
        descriptions.insert(c.Description);
        EXPECT_EQ(GetCodecName(cat, c.Description), c.Name);
        EXPECT_EQ(c.Type == "general" ? c.Name : kinds.value(c.Name), kindOfType.value(c.Type));
    }
}

}  // namespace
}  // namespace clip
