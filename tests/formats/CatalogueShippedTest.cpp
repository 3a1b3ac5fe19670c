// The catalogues we ship, loaded from the program's folder and run through
// the real encoder the way a cut runs them.
#include "formats/Catalogue.h"

#include "support/FakeHost.h"
#include "support/TestClips.h"

#include <QComboBox>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <tuple>

namespace clip {
namespace {

using namespace test;

// Cuts seconds 1 to 3 of `clip` as a job does (the start before the input)
// and checks that the result decodes cleanly; the duration and the stream
// kinds of the result, or -1 when the cut failed.
double Cut(const QString& clip, const QStringList& params, const QString& target, QStringList* streams)
{
    QString log;
    const int code = RunProgram(FfmpegPath(),
                                QStringList{"-nostdin", "-hide_banner", "-ss", "1", "-i", clip} + params
                                    + QStringList{"-t", "2", "-y", target},
                                &log);
    EXPECT_EQ(code, 0) << log.right(1500).toStdString();
    EXPECT_TRUE(DecodesCleanly(target, &log)) << log.toStdString();
    RunProgram(FfprobePath(),
               {"-v", "error", "-show_entries", "stream=codec_type:format=duration", "-of", "csv=p=0", target}, &log);
    *streams = log.split(QRegularExpression("[\\s,]+"), Qt::SkipEmptyParts);
    return code == 0 && !streams->isEmpty() ? streams->takeLast().toDouble() : -1;
}

TEST(ShippedCatalogues, EveryPresetCutsAPlayableFileOfTheSelectedLength)
{
    Catalogues cat;
    QComboBox cmbCategory;
    LoadPresets(cat, &cmbCategory);
    ASSERT_TRUE(Fake().messages.isEmpty()) << Fake().messages.value(0).text.toStdString();
    ASSERT_GE(cat.PresetCount, 25);
    EXPECT_GE(cmbCategory.count(), 5);

    // Key frames every two seconds: a cut from 1 s starts between two of them.
    ClipRecipe plain;
    plain.extraOutputArgs = {"-g", "50"};
    // Odd picture sizes, NTSC frame rate and another audio codec, as users'
    // screen recordings have (stream copies keep whatever the input has).
    ClipRecipe odd = plain;
    std::tie(odd.width, odd.height, odd.fps, odd.container, odd.videoCodec, odd.audioCodec) =
        std::tuple(161, 121, 30, "mkv", "ffv1", "libmp3lame");
    odd.extraOutputArgs = {"-r", "30000/1001"};
    QTemporaryDir out;
    ASSERT_TRUE(out.isValid());

    QSet<QString> choices;
    for (int i = 0; i < cat.PresetCount; ++i) {
        const PresetEntry& p = cat.Presets.at(i);
        SCOPED_TRACE((p.Category + " / " + p.Label + " / " + p.Extension + ": " + p.Params).toStdString());
        for (const QString& field : {p.Label, p.Params, p.Extension, p.Category})
            EXPECT_EQ(field, field.trimmed());
        EXPECT_FALSE(p.Label.isEmpty() || p.Params.isEmpty() || p.Extension.isEmpty());
        // A second preset with the same three choices could never be picked.
        const QString choice = p.Category + '|' + p.Label + '|' + p.Extension;
        EXPECT_FALSE(choices.contains(choice));
        choices.insert(choice);
        // The cut appends the selection and the overwrite flag; the preset must not bring its own.
        const QStringList params = QProcess::splitCommand(p.Params);
        for (const char* own : {"-i", "-ss", "-t", "-to", "-y", "-n"})
            EXPECT_FALSE(params.contains(own)) << own;

        for (const ClipRecipe* recipe : {&plain, &odd}) {
            const bool copy = params.contains("copy");
            if (recipe == &odd && copy)
                continue;
            const QString clip = MakeClip(*recipe);
            ASSERT_FALSE(clip.isEmpty());
            SCOPED_TRACE(clip.toStdString());
            QStringList streams;
            const double duration =
                Cut(clip, params, out.filePath(QString("preset%1-%2.%3").arg(i).arg(recipe->width).arg(p.Extension)),
                    &streams);
            if (copy) {
                // A copy starts at the key frame at or before the start (0 s here), never after it: it holds
                // the whole selection and at most the two seconds before the next key frame more.
                EXPECT_GE(duration, 1.95);
                EXPECT_LE(duration, 3.3);
            } else {
                // Codec priming, packet padding and pack timing stay well under 0.2 s; a preset that
                // ignored the selection would give 3 s.
                EXPECT_NEAR(duration, 2.0, 0.2);
            }
            EXPECT_EQ(streams.contains("video"), !params.contains("-vn")) << streams.join(' ').toStdString();
            EXPECT_EQ(streams.contains("audio"), !params.contains("-an")) << streams.join(' ').toStdString();
        }
    }
}

TEST(ShippedCatalogues, EveryCodecIsOneTheEncoderHas)
{
    Catalogues cat;
    QComboBox cmbCVCodec, cmbCACodec;
    LoadCodecs(cat, &cmbCVCodec, &cmbCACodec);
    ASSERT_TRUE(Fake().messages.isEmpty()) << Fake().messages.value(0).text.toStdString();
    ASSERT_GE(cmbCVCodec.count(), 10);
    ASSERT_GE(cmbCACodec.count(), 10);

    // " V....D libx264   libx264 H.264 ..." : kind letter, flags, name.
    QString list;
    ASSERT_EQ(RunProgram(FfmpegPath(), {"-hide_banner", "-encoders"}, &list), 0);
    QHash<QString, QString> kinds;
    const QRegularExpression row("^ ([VAS])\\S{5} (\\S+)", QRegularExpression::MultilineOption);
    for (auto it = row.globalMatch(list); it.hasNext();) {
        const auto m = it.next();
        kinds.insert(m.captured(2), m.captured(1));
    }
    ASSERT_EQ(kinds.value("libx264"), "V");

    const QHash<QString, QString> kindOfType{{"video codec", "V"}, {"audio codec", "A"}};
    QSet<QString> descriptions;
    for (int i = 0; i < cat.CodecCount; ++i) {
        const CodecEntry& c = cat.Codecs.at(i);
        SCOPED_TRACE((c.Name + " / " + c.Description + " / " + c.Type).toStdString());
        // A repeated description would hide every later codec behind the first.
        EXPECT_FALSE(descriptions.contains(c.Description));
        descriptions.insert(c.Description);
        EXPECT_EQ(GetCodecName(cat, c.Description), c.Name);
        // Stream copy, proven by the run below, is the one choice that serves both lists.
        if (c.Type == "general")
            EXPECT_EQ(c.Name, "copy");
        else
            EXPECT_EQ(kinds.value(c.Name), kindOfType.value(c.Type, "?"));
    }

    // The custom route with the general codec in both lists, around every
    // option the custom panel writes, with the start on a key frame.
    ClipRecipe recipe;
    recipe.extraOutputArgs = {"-g", "25"};
    QTemporaryDir out;
    QStringList streams;
    EXPECT_NEAR(Cut(MakeClip(recipe),
                    {"-ar", "44100", "-ab", "128000", "-acodec", "copy", "-ac", "2", "-vcodec", "copy", "-b", "320000",
                     "-r", "25"},
                    out.filePath("copied.MP4"), &streams),
                2.0, 0.2);
}

}  // namespace
}  // namespace clip
