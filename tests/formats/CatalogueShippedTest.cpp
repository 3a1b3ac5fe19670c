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

namespace clip {
namespace {

using namespace test;

QStringList streamTypes(const QString& path)
{
    QString output;
    RunProgram(FfprobePath(),
               {"-v", "error", "-show_entries", "stream=codec_type", "-of", "csv=p=0", path}, &output);
    return output.split(QRegularExpression(QStringLiteral("[\\s,]+")), Qt::SkipEmptyParts);
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
    // screen recordings have; stream copies are left out for it (whether a
    // container takes the input's codecs is the input's business).
    ClipRecipe odd;
    odd.width = 161;
    odd.height = 121;
    odd.fps = 30;
    odd.container = "mkv";
    odd.videoCodec = "ffv1";
    odd.audioCodec = "libmp3lame";
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
        EXPECT_FALSE(choices.contains(p.Category + '|' + p.Label + '|' + p.Extension));
        choices.insert(p.Category + '|' + p.Label + '|' + p.Extension);

        // The cut appends the selection and the overwrite flag; the preset
        // must not bring its own.
        const QStringList params = QProcess::splitCommand(p.Params);
        for (const char* own : {"-i", "-ss", "-t", "-to", "-y", "-n"})
            EXPECT_FALSE(params.contains(QLatin1String(own))) << own;

        for (const ClipRecipe* recipe : {&plain, &odd}) {
            if (recipe == &odd && p.Params.contains("copy"))
                continue;
            const QString clip = MakeClip(*recipe);
            ASSERT_FALSE(clip.isEmpty());
            SCOPED_TRACE(clip.toStdString());
            const QString target =
                out.filePath(QStringLiteral("preset%1-%2.%3").arg(i).arg(recipe->width).arg(p.Extension));
            // As a cut runs it: the start before the input, the length after it.
            QString log;
            const int code = RunProgram(FfmpegPath(),
                                        QStringList{"-nostdin", "-hide_banner", "-ss", "1", "-i", clip} + params
                                            + QStringList{"-t", "2", "-y", target},
                                        &log);
            ASSERT_EQ(code, 0) << log.right(1500).toStdString();
            QString errors;
            EXPECT_TRUE(DecodesCleanly(target, &errors)) << errors.toStdString();
            const double duration = ProbeDuration(target);
            if (params.contains("copy")) {
                // A copy starts at the key frame at or before the start (0 s
                // here), never after it: it holds the whole selection and at
                // most the two seconds before the next key frame more.
                EXPECT_GE(duration, 1.95);
                EXPECT_LE(duration, 3.3);
            } else {
                // Containers add a little: codec priming (AAC, MP3, Opus),
                // packet padding (WMV) and pack timing (DVD, VCD) stay well
                // under 0.2 s; a preset that ignored the selection would give
                // 3 s.
                EXPECT_NEAR(duration, 2.0, 0.2);
            }

            const QStringList types = streamTypes(target);
            EXPECT_EQ(types.contains("video"), !params.contains("-vn")) << types.join(' ').toStdString();
            EXPECT_EQ(types.contains("audio"), !params.contains("-an")) << types.join(' ').toStdString();
        }
    }
}

TEST(ShippedCatalogues, EveryCodecIsOneTheEncoderHas)
{
    Catalogues cat;
    QComboBox cmbCVCodec;
    QComboBox cmbCACodec;
    LoadCodecs(cat, &cmbCVCodec, &cmbCACodec);
    ASSERT_TRUE(Fake().messages.isEmpty()) << Fake().messages.value(0).text.toStdString();
    ASSERT_GE(cmbCVCodec.count(), 10);
    ASSERT_GE(cmbCACodec.count(), 10);

    // " V....D libx264   libx264 H.264 ..." : kind letter, flags, name.
    QString list;
    ASSERT_EQ(RunProgram(FfmpegPath(), {"-hide_banner", "-encoders"}, &list), 0);
    QHash<QString, QChar> kinds;
    const QRegularExpression row(QStringLiteral("^ ([VAS])\\S{5} (\\S+)"), QRegularExpression::MultilineOption);
    for (auto it = row.globalMatch(list); it.hasNext();) {
        const auto m = it.next();
        kinds.insert(m.captured(2), m.captured(1).at(0));
    }
    ASSERT_TRUE(kinds.contains("libx264"));

    QSet<QString> descriptions;
    for (int i = 0; i < cat.CodecCount; ++i) {
        const CodecEntry& c = cat.Codecs.at(i);
        SCOPED_TRACE((c.Name + " / " + c.Description).toStdString());
        // A repeated description would hide every later codec behind the first.
        EXPECT_FALSE(descriptions.contains(c.Description));
        descriptions.insert(c.Description);
        EXPECT_EQ(GetCodecName(cat, c.Description), c.Name);
        if (c.Type == "general") {
            // Stream copy is the one choice that serves both lists; it is not
            // an encoder, so it is proven below by a real run.
            EXPECT_EQ(c.Name, "copy");
        } else if (c.Type == "video codec") {
            EXPECT_EQ(kinds.value(c.Name), QChar('V'));
        } else {
            EXPECT_EQ(c.Type, "audio codec");
            EXPECT_EQ(kinds.value(c.Name), QChar('A'));
        }
    }

    // The custom route with the general codec in both lists: every option the
    // custom panel writes, around "-acodec copy" and "-vcodec copy", with the
    // start on a key frame.
    ClipRecipe recipe;
    recipe.extraOutputArgs = {"-g", "25"};
    const QString clip = MakeClip(recipe);
    QTemporaryDir out;
    const QString target = out.filePath("copied.MP4");
    QString log;
    ASSERT_EQ(RunProgram(FfmpegPath(),
                         {"-nostdin", "-ss", "1", "-i", clip, "-ar", "44100", "-ab", "128000", "-acodec", "copy", "-ac",
                          "2", "-vcodec", "copy", "-b", "320000", "-r", "25", "-t", "2", "-y", target},
                         &log),
              0)
        << log.toStdString();
    EXPECT_TRUE(DecodesCleanly(target));
    EXPECT_NEAR(ProbeDuration(target), 2.0, 0.2);
}

}  // namespace
}  // namespace clip
