// Line rules of the two catalogue readers, their failure messages and the
// codec-name lookup, on catalogues written into a temporary program folder;
// then the catalogues we ship, run through the real encoder as a cut runs them.
#include "FormatsTestSupport.h"

#include "support/TestClips.h"

#include <QProcess>
#include <QRegularExpression>
#include <QSet>

#include <tuple>
#include <vector>

namespace clip {
namespace {

using namespace test;

const QString kPresetsFailure = "Error Occured while Loading Presets.\n";
const QString kCodecsFailure = "Error Occured while Loading Codecs.\n";
const QStringList kPresetsTail{"</presets>"};

// File lines written as one string, '|' ending each.
QStringList L(const char* lines)
{
    return QString::fromLatin1(lines).split('|');
}

QStringList Rec(const QString& label, const QString& params, const QString& ext, const QString& category)
{
    return PresetRecord({label, params, ext, category});
}

// The counted entries as "label|params|extension|category".
QStringList EntriesOf(const Catalogues& cat)
{
    QStringList entries;
    for (int i = 0; i < cat.PresetCount; ++i) {
        const PresetEntry& p = cat.Presets.at(i);
        entries << QStringList{p.Label, p.Params, p.Extension, p.Category}.join('|');
    }
    return entries;
}

// The one message shown: `first` as its first line, `cause` in what follows.
void ExpectOneFailure(const QString& first, const char* cause)
{
    ASSERT_EQ(Fake().messages.size(), 1);
    const QString text = Fake().messages.first().text;
    EXPECT_EQ(Fake().messages.first().style, 0);
    EXPECT_TRUE(text.startsWith(first) && text.mid(first.size()).contains(cause, Qt::CaseInsensitive))
        << text.toStdString();
}

using CatalogueTest = FormatsFixture;

TEST_F(CatalogueTest, PresetLayoutRulesAndTheirConsequences)
{
    struct Case {
        const char* name;
        QStringList lines, entries, categories;
        QString eol = "\r\n";
    };
    const std::vector<Case> cases{
        {"two records, one category, fields verbatim",
         kPresetsHead + Rec("H.264", "-c:v libx264 -crf 23", "mp4", "Video") + Rec("  Spaced  ", " -vn ", "mp3", "Video")
             + kPresetsTail,
         {"H.264|-c:v libx264 -crf 23|mp4|Video", "  Spaced  | -vn |mp3|Video"}, {"Video"}},
        {"fields in any order, blank lines between records, closing tags in any case",
         kPresetsHead + L("|<preset>|<category>Audio</CATEGORY>|<extension>mp3</extension>|<params>-vn</Params>|"
                          "<label>MP3</label>|</preset>|") + kPresetsTail,
         {"MP3|-vn|mp3|Audio"}, {"Audio"}},
        {"a capitalised opening tag is not a field; unknown tags are ignored",
         kPresetsHead + L("<preset>|<Label>Wrong</Label>|<note>x</note>|<params>p</params>|<category>C</category>|"
                          "</preset>") + kPresetsTail,
         {"|p||C"}, {"C"}},
        {"a record with an empty category is overwritten; fields not given stay",
         kPresetsHead + Rec("Old", "old", "avi", "")
             + L("<preset>|<label>New</label>|<params>new</params>|<other>z</other>|<category>Cat</category>|</preset>")
             + kPresetsTail,
         {"New|new|avi|Cat"}, {"Cat"}},
        {"more than four field lines: the first four decide",
         kPresetsHead + Rec("First", "p", "e", "C").mid(0, 5) + L("<label>Second</label>|</preset>")
             + Rec("Next", "n", "mkv", "C") + kPresetsTail,
         {"First|p|e|C", "Next|n|mkv|C"}, {"C"}},
        {"fewer than four field lines swallow the next record",
         kPresetsHead + L("<preset>|<label>Short</label>|<params>p</params>|<category>C</category>|</preset>")
             + Rec("Lost", "l", "mp4", "D") + Rec("Kept", "k", "avi", "E") + kPresetsTail,
         {"Short|p||C", "Kept|k|avi|E"}, {"C", "E"}},
        {"an indented root line opens a record and takes the next four lines",
         L("<?xml version=\"1.0\"?>|  <presets>") + Rec("A", "p", "e", "C") + kPresetsTail,
         {"A|p|e|"}, {""}},
        {"a line of blanks is not an empty line",
         kPresetsHead + L("   ") + Rec("A", "p", "e", "C") + kPresetsTail, {"A|p|e|"}, {""}},
        {"line feeds alone end lines too",
         kPresetsHead + Rec("A", "p", "e", "C") + Rec("B", "q", "f", "D") + kPresetsTail, {"A|p|e|C", "B|q|f|D"},
         {"C", "D"}, "\n"},
        {"a lone CR is no line end: no record, one empty entry",
         kPresetsHead + Rec("A", "p", "e", "C") + kPresetsTail, {"|||"}, {""}, "\r"},
        {"line ends only: one empty entry", L("||"), {"|||"}, {""}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        resetHost();
        writeFile("presets.xml", c.lines, c.eol);
        Catalogues fresh;
        QComboBox list;
        int selections = 0;
        QStringList itemsWhenSelected;
        QObject::connect(&list, &QComboBox::currentIndexChanged, [&](int index) {
            ++selections;
            EXPECT_EQ(index, 0);
            itemsWhenSelected = ItemsOf(&list);
        });

        LoadPresets(fresh, &list);

        EXPECT_TRUE(Fake().messages.isEmpty()) << Fake().messages.value(0).text.toStdString();
        EXPECT_EQ(EntriesOf(fresh), c.entries);
        EXPECT_EQ(ItemsOf(&list), c.categories);
        // Exactly one selection, made once the list is complete, runs the cascade.
        EXPECT_EQ(selections, 1);
        EXPECT_EQ(itemsWhenSelected, c.categories);
    }
}

TEST_F(CatalogueTest, BlankFileLoadsNothingSilentlyAndTheCategoryListIsExtendedNotCleared)
{
    QComboBox list;
    list.addItems({"Earlier", "Video"});
    int selections = 0;
    QObject::connect(&list, &QComboBox::currentIndexChanged, [&] { ++selections; });
    for (const char* blank : {"", "   "}) {
        writeFile("presets.xml", L(blank), "\r\n", false);
        LoadPresets(cat, &list);
    }
    EXPECT_TRUE(Fake().messages.isEmpty());
    EXPECT_EQ(cat.PresetCount, 0);
    EXPECT_EQ(selections, 0);
    writeFile("presets.xml", kPresetsHead + Rec("a", "1", "x", "Video") + Rec("b", "2", "y", "Audio") + kPresetsTail);
    LoadPresets(cat, &list);
    EXPECT_EQ(ItemsOf(&list), (QStringList{"Earlier", "Video", "Audio"}));
    EXPECT_EQ(list.currentIndex(), 0);
}

TEST_F(CatalogueTest, PresetFailuresEndTheLoadWithTheirCause)
{
    struct Case {
        const char* name;
        QStringList lines;  // empty: no file at all
        const char* cause;  // a part of the description after the first line
        QStringList entries;  // what was read before the failure stays
    };
    const std::vector<Case> cases{
        {"missing file", {}, "was not found", {}},
        {"'>' before '<'", kPresetsHead + L("<preset>|label>x<|a|b|c|</preset>"), "line 4", {}},
        {"no '>' at all", kPresetsHead + L("<preset>|<label>a</label>|<params|c|d|e"), "line 5", {}},
        {"known tag without its closing tag",
         kPresetsHead + Rec("A", "p", "e", "C")
             + L("<preset>|<label>B</label>|<params>q|<extension>f</extension>|<category>D</category>|</preset>"),
         "</params>", {"A|p|e|C"}},
        {"record running past the end", kPresetsHead + Rec("A", "p", "e", "C") + L("<preset>|<label>B</label>"),
         "runs past the end", {"A|p|e|C"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        resetHost();
        QFile::remove(folder.filePath("presets.xml"));
        if (!c.lines.isEmpty())
            writeFile("presets.xml", c.lines, "\r\n", false);
        Catalogues fresh;
        QComboBox list;

        LoadPresets(fresh, &list);

        ExpectOneFailure(kPresetsFailure, c.cause);
        EXPECT_EQ(EntriesOf(fresh), c.entries);
        EXPECT_EQ(list.count(), 0);
    }
}

TEST_F(CatalogueTest, CodecsLoadAfterAFailedPresetLoad)
{
    QComboBox categories, video, audio;
    writeFile("codecs.xml", kCodecsHead + CodecRecord("libx264", "H.264", "video codec")
                                + CodecRecord("aac", "AAC", "audio codec") + QStringList{"</codecs>"});
    LoadPresets(cat, &categories);
    LoadCodecs(cat, &video, &audio);
    ExpectOneFailure(kPresetsFailure, "was not found");
    EXPECT_EQ(categories.count(), 0);
    EXPECT_EQ(cat.CodecCount, 2);
    EXPECT_EQ(video.currentText(), "H.264");
    EXPECT_EQ(audio.currentText(), "AAC");
}

TEST_F(CatalogueTest, CodecLayoutRulesListsAndFailures)
{
    struct Case {
        const char* name;
        QStringList lines;
        int count;
        QStringList video, audio;
        const char* failure;  // nullptr: loads without a message
    };
    const QStringList tail{"</codecs>"};
    const std::vector<Case> cases{
        {"general codecs go into both lists in file order; unknown types into none",
         kCodecsHead + CodecRecord("libx264", "H.264", "video codec") + CodecRecord("copy", "Copy", "general")
             + CodecRecord("aac", "AAC", "audio codec") + CodecRecord("x", "Odd", "Video Codec")
             + CodecRecord("mp2", "MP2", "audio codec") + tail,
         5, {"H.264", "Copy"}, {"Copy", "AAC", "MP2"}, nullptr},
        {"root lines with blanks around them are still root lines",
         L("  <?xml version=\"1.0\"?>  |   <codecs>") + CodecRecord("v", "V", "video codec")
             + CodecRecord("a", "A", "audio codec") + L("</codecs>   "),
         2, {"V"}, {"A"}, nullptr},
        {"duplicate descriptions are listed twice",
         kCodecsHead + CodecRecord("a1", "Same", "general") + CodecRecord("a2", "Same", "general") + tail, 2,
         {"Same", "Same"}, {"Same", "Same"}, nullptr},
        {"a tab before the root line makes it a record opening that swallows the type",
         L("<?xml version=\"1.0\"?>|\t<codecs>") + CodecRecord("v", "V", "general") + tail, 1, {}, {},
         "video codec list is empty"},
        {"no video codec: both lists filled, then the load fails",
         kCodecsHead + CodecRecord("aac", "AAC", "audio codec") + tail, 1, {}, {"AAC"}, "video codec list is empty"},
        {"no audio codec", kCodecsHead + CodecRecord("v", "V", "video codec") + tail, 1, {"V"}, {},
         "audio codec list is empty"},
        {"record running past the end",
         kCodecsHead + CodecRecord("v", "V", "video codec") + L("<codec>|<name>a</name>|<type>x</type>"),
         1, {"stale"}, {}, "runs past the end"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        resetHost();
        writeFile("codecs.xml", c.lines, "\r\n", false);
        Catalogues fresh;
        QComboBox video, audio;
        video.addItem("stale");  // cleared only by a load that gets past the walk

        LoadCodecs(fresh, &video, &audio);

        EXPECT_EQ(fresh.CodecCount, c.count);
        EXPECT_EQ(ItemsOf(&video), c.video);
        EXPECT_EQ(ItemsOf(&audio), c.audio);
        if (c.failure) {
            ExpectOneFailure(kCodecsFailure, c.failure);
        } else {
            EXPECT_TRUE(Fake().messages.isEmpty()) << Fake().messages.value(0).text.toStdString();
            EXPECT_EQ(video.currentIndex(), 0);
            EXPECT_EQ(audio.currentIndex(), 0);
        }
    }
}

TEST_F(CatalogueTest, GetCodecNameFindsTheFirstExactDescription)
{
    cat.Codecs = {{"  libx264 ", "H.264", "video codec"},
                  {"libx265", "H.264", "video codec"},
                  {"aac", "AAC", "audio codec"},
                  {"\tmp2", "MP2", "audio codec"},
                  {"hidden", "Beyond the count", "audio codec"}};
    cat.CodecCount = 4;
    const std::vector<std::pair<QString, QString>> cases{
        {"H.264", "libx264"}, {"AAC", "aac"}, {"aac", ""}, {"AAC ", ""},
        {"MP2", "\tmp2"},  // only blanks are trimmed
        {"Beyond the count", ""}, {"", ""},
    };
    for (const auto& [description, name] : cases)
        EXPECT_EQ(GetCodecName(cat, description), name) << description.toStdString();
}

// ---------------------------------------------------------------- shipped catalogues

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
