// Line rules of the two catalogue readers, their failure messages and the
// codec-name lookup, on catalogues written into a temporary program folder.
#include "FormatsTestSupport.h"

#include <vector>

namespace clip {
namespace {

using namespace test;

const QString kPresetsFailure = "Error Occured while Loading Presets.\n";
const QString kCodecsFailure = "Error Occured while Loading Codecs.\n";
const QStringList kPresetsTail{"</presets>"};

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
        {"categories differing in case stay apart, in order of first appearance",
         kPresetsHead + Rec("a", "1", "x", "Web") + Rec("b", "2", "y", "web") + Rec("c", "3", "z", "Web") + kPresetsTail,
         {"a|1|x|Web", "b|2|y|web", "c|3|z|Web"}, {"Web", "web"}},
        {"fields in any order, blank lines between records, closing tags in any case",
         kPresetsHead
             + QStringList{"", "<preset>", "<category>Audio</CATEGORY>", "<extension>mp3</extension>",
                           "<params>-vn</Params>", "<label>MP3</label>", "</preset>", ""}
             + kPresetsTail,
         {"MP3|-vn|mp3|Audio"}, {"Audio"}},
        {"a capitalised opening tag is not a field; unknown tags are ignored",
         kPresetsHead
             + QStringList{"<preset>", "<Label>Wrong</Label>", "<note>x</note>", "<params>p</params>",
                           "<category>C</category>", "</preset>"}
             + kPresetsTail,
         {"|p||C"}, {"C"}},
        {"a record with an empty category is overwritten; fields not given stay",
         kPresetsHead + Rec("Old", "old", "avi", "")
             + QStringList{"<preset>", "<label>New</label>", "<params>new</params>", "<other>z</other>",
                           "<category>Cat</category>", "</preset>"}
             + kPresetsTail,
         {"New|new|avi|Cat"}, {"Cat"}},
        {"more than four field lines: the first four decide",
         kPresetsHead + Rec("First", "p", "e", "C").mid(0, 5) + QStringList{"<label>Second</label>", "</preset>"}
             + Rec("Next", "n", "mkv", "C") + kPresetsTail,
         {"First|p|e|C", "Next|n|mkv|C"}, {"C"}},
        {"fewer than four field lines swallow the next record",
         kPresetsHead + QStringList{"<preset>", "<label>Short</label>", "<params>p</params>", "<category>C</category>",
                                    "</preset>"}
             + Rec("Lost", "l", "mp4", "D") + Rec("Kept", "k", "avi", "E") + kPresetsTail,
         {"Short|p||C", "Kept|k|avi|E"}, {"C", "E"}},
        {"an indented root line opens a record and takes the next four lines",
         QStringList{"<?xml version=\"1.0\"?>", "  <presets>"} + Rec("A", "p", "e", "C") + kPresetsTail,
         {"A|p|e|"}, {""}},
        {"a line of blanks is not an empty line",
         kPresetsHead + QStringList{"   "} + Rec("A", "p", "e", "C") + kPresetsTail, {"A|p|e|"}, {""}},
        {"line feeds alone end lines too",
         kPresetsHead + Rec("A", "p", "e", "C") + Rec("B", "q", "f", "D") + kPresetsTail, {"A|p|e|C", "B|q|f|D"},
         {"C", "D"}, "\n"},
        {"a lone CR is no line end: no record, one empty entry",
         kPresetsHead + Rec("A", "p", "e", "C") + kPresetsTail, {"|||"}, {""}, "\r"},
        {"line ends only: one empty entry", {"", "", ""}, {"|||"}, {""}},
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

TEST_F(CatalogueTest, BlankPresetFileLoadsNothingSilently)
{
    QComboBox list;
    list.addItem("kept");
    int selections = 0;
    QObject::connect(&list, &QComboBox::currentIndexChanged, [&] { ++selections; });
    for (const QStringList& content : {QStringList(), QStringList{"   "}}) {
        writeFile("presets.xml", content, "\r\n", false);
        LoadPresets(cat, &list);
    }
    EXPECT_TRUE(Fake().messages.isEmpty());
    EXPECT_EQ(cat.PresetCount, 0);
    EXPECT_EQ(ItemsOf(&list), QStringList{"kept"});
    EXPECT_EQ(selections, 0);
}

TEST_F(CatalogueTest, CategoryListIsExtendedNotCleared)
{
    QComboBox list;
    list.addItems({"Earlier", "Video"});
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
        {"'>' before '<'", kPresetsHead + QStringList{"<preset>", "label>x<", "a", "b", "c", "</preset>"}, "line 4", {}},
        {"no '>' at all", kPresetsHead + QStringList{"<preset>", "<label>a</label>", "<params", "c", "d", "e"},
         "line 5", {}},
        {"known tag without its closing tag",
         kPresetsHead + Rec("A", "p", "e", "C")
             + QStringList{"<preset>", "<label>B</label>", "<params>q", "<extension>f</extension>",
                           "<category>D</category>", "</preset>"},
         "</params>", {"A|p|e|C"}},
        {"record running past the end", kPresetsHead + Rec("A", "p", "e", "C") + QStringList{"<preset>", "<label>B</label>"},
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

        ASSERT_EQ(Fake().messages.size(), 1);
        const QString text = Fake().messages.first().text;
        EXPECT_EQ(Fake().messages.first().style, 0);
        EXPECT_TRUE(text.startsWith(kPresetsFailure)) << text.toStdString();
        EXPECT_TRUE(text.mid(kPresetsFailure.size()).contains(c.cause, Qt::CaseInsensitive)) << text.toStdString();
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
    ASSERT_EQ(Fake().messages.size(), 1);
    EXPECT_TRUE(Fake().messages.first().text.startsWith(kPresetsFailure));
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
         QStringList{"  <?xml version=\"1.0\"?>  ", "   <codecs>"} + CodecRecord("v", "V", "video codec")
             + CodecRecord("a", "A", "audio codec") + QStringList{"</codecs>   "},
         2, {"V"}, {"A"}, nullptr},
        {"duplicate descriptions are listed twice",
         kCodecsHead + CodecRecord("a1", "Same", "general") + CodecRecord("a2", "Same", "general") + tail, 2,
         {"Same", "Same"}, {"Same", "Same"}, nullptr},
        {"a tab before the root line makes it a record opening that swallows the type",
         QStringList{"<?xml version=\"1.0\"?>", "\t<codecs>"} + CodecRecord("v", "V", "general") + tail, 1, {}, {},
         "video codec list is empty"},
        {"no video codec: both lists filled, then the load fails",
         kCodecsHead + CodecRecord("aac", "AAC", "audio codec") + tail, 1, {}, {"AAC"}, "video codec list is empty"},
        {"no audio codec", kCodecsHead + CodecRecord("v", "V", "video codec") + tail, 1, {"V"}, {},
         "audio codec list is empty"},
        {"record running past the end",
         kCodecsHead + CodecRecord("v", "V", "video codec") + QStringList{"<codec>", "<name>a</name>", "<type>x</type>"},
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
        if (!c.failure) {
            EXPECT_TRUE(Fake().messages.isEmpty()) << Fake().messages.value(0).text.toStdString();
            EXPECT_EQ(video.currentIndex(), 0);
            EXPECT_EQ(audio.currentIndex(), 0);
            continue;
        }
        ASSERT_EQ(Fake().messages.size(), 1);
        const QString text = Fake().messages.first().text;
        EXPECT_EQ(Fake().messages.first().style, 0);
        EXPECT_TRUE(text.startsWith(kCodecsFailure) && text.contains(c.failure)) << text.toStdString();
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

}  // namespace
}  // namespace clip
