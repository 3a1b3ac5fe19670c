// Line rules of the two catalogue readers, their failure messages and the
// codec-name lookup, on catalogues written by the tests into a temporary
// program folder.
#include "formats/Catalogue.h"

#include "support/FakeHost.h"

#include <QComboBox>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <vector>

namespace clip {
namespace {

using test::Fake;

const QString kPresetsFailure = QStringLiteral("Error Occured while Loading Presets.\n");
const QString kCodecsFailure = QStringLiteral("Error Occured while Loading Codecs.\n");

QStringList itemsOf(const QComboBox& list)
{
    QStringList items;
    for (int k = 0; k < list.count(); ++k)
        items << list.itemText(k);
    return items;
}

class CatalogueTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(folder.isValid());
        Fake().folderOverride = folder.path();
    }

    void write(const QString& name, const QByteArray& bytes)
    {
        QFile file(folder.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
    }
    void writeLines(const QString& name, const QStringList& lines, const char* eol = "\r\n")
    {
        write(name, (lines.join(QLatin1String(eol)) + QLatin1String(eol)).toUtf8());
    }

    QTemporaryDir folder;
    Catalogues cat;
    QComboBox cmbCategory;
    QComboBox cmbCVCodec;
    QComboBox cmbCACodec;
};

QStringList presetRecord(const QString& label, const QString& params, const QString& ext, const QString& category)
{
    return {QStringLiteral("  <preset>"), QStringLiteral("    <label>%1</label>").arg(label),
            QStringLiteral("    <params>%1</params>").arg(params),
            QStringLiteral("    <extension>%1</extension>").arg(ext),
            QStringLiteral("    <category>%1</category>").arg(category), QStringLiteral("  </preset>")};
}

QStringList codecRecord(const QString& name, const QString& description, const QString& type)
{
    return {QStringLiteral("<codec>"), QStringLiteral("\t<name>%1</name>").arg(name),
            QStringLiteral("\t<description>%1</description>").arg(description),
            QStringLiteral("\t<type>%1</type>").arg(type), QStringLiteral("</codec>")};
}

const QStringList kPresetsHead{QStringLiteral("<?xml version=\"1.0\"?>"), QStringLiteral("<presets>")};
const QStringList kPresetsTail{QStringLiteral("</presets>")};

struct PresetCase {
    const char* name;
    QStringList lines;
    const char* eol;
    std::vector<PresetEntry> entries;  // the counted entries, in order
    QStringList categories;
};

TEST_F(CatalogueTest, PresetLayoutRulesAndTheirConsequences)
{
    const std::vector<PresetCase> cases{
        {"two records, one category, fields verbatim",
         kPresetsHead + presetRecord("H.264", "-c:v libx264 -crf 23", "mp4", "Video")
             + presetRecord("  Spaced  ", " -vn ", "mp3", "Video") + kPresetsTail,
         "\r\n",
         {{"H.264", "-c:v libx264 -crf 23", "mp4", "Video"}, {"  Spaced  ", " -vn ", "mp3", "Video"}},
         {"Video"}},
        {"categories differing in case stay apart, in order of first appearance",
         kPresetsHead + presetRecord("a", "1", "x", "Web") + presetRecord("b", "2", "y", "web")
             + presetRecord("c", "3", "z", "Web") + kPresetsTail,
         "\r\n",
         {{"a", "1", "x", "Web"}, {"b", "2", "y", "web"}, {"c", "3", "z", "Web"}},
         {"Web", "web"}},
        {"fields in any order, blank lines between records, upper-case closing tag",
         kPresetsHead
             + QStringList{"", "<preset>", "<category>Audio</CATEGORY>", "<extension>mp3</extension>",
                           "<params>-vn</Params>", "<label>MP3</label>", "</preset>", ""}
             + kPresetsTail,
         "\r\n",
         {{"MP3", "-vn", "mp3", "Audio"}},
         {"Audio"}},
        {"a capitalised opening tag is not a field; unknown tags are ignored",
         kPresetsHead
             + QStringList{"<preset>", "<Label>Wrong</Label>", "<note>x</note>", "<params>p</params>",
                           "<category>C</category>", "</preset>"}
             + kPresetsTail,
         "\r\n",
         {{"", "p", "", "C"}},
         {"C"}},
        {"a record without category is overwritten; fields not given stay",
         kPresetsHead
             + QStringList{"<preset>", "<label>Old</label>", "<params>old</params>", "<extension>avi</extension>",
                           "<category></category>", "</preset>"}
             + QStringList{"<preset>", "<label>New</label>", "<params>new</params>", "<other>z</other>",
                           "<category>Cat</category>", "</preset>"}
             + kPresetsTail,
         "\r\n",
         {{"New", "new", "avi", "Cat"}},
         {"Cat"}},
        {"more than four field lines: the first four decide",
         kPresetsHead
             + QStringList{"<preset>", "<label>First</label>", "<params>p</params>", "<extension>e</extension>",
                           "<category>C</category>", "<label>Second</label>", "<label>Third</label>", "</preset>"}
             + presetRecord("Next", "n", "mkv", "C") + kPresetsTail,
         "\r\n",
         {{"First", "p", "e", "C"}, {"Next", "n", "mkv", "C"}},
         {"C"}},
        {"fewer than four field lines swallow the next record",
         kPresetsHead
             + QStringList{"<preset>", "<label>Short</label>", "<params>p</params>", "<category>C</category>",
                           "</preset>"}
             + presetRecord("Lost", "l", "mp4", "D") + presetRecord("Kept", "k", "avi", "E") + kPresetsTail,
         "\r\n",
         {{"Short", "p", "", "C"}, {"Kept", "k", "avi", "E"}},
         {"C", "E"}},
        {"an indented root line opens a record and takes the next four lines",
         QStringList{"<?xml version=\"1.0\"?>", "  <presets>"} + presetRecord("A", "p", "e", "C") + kPresetsTail,
         "\r\n",
         {{"A", "p", "e", ""}},
         {""}},
        {"line feeds alone end lines too",
         kPresetsHead + presetRecord("A", "p", "e", "C") + presetRecord("B", "q", "f", "D") + kPresetsTail,
         "\n",
         {{"A", "p", "e", "C"}, {"B", "q", "f", "D"}},
         {"C", "D"}},
        {"a lone CR is no line end: no record, one empty entry",
         kPresetsHead + presetRecord("A", "p", "e", "C") + kPresetsTail,
         "\r",
         {{"", "", "", ""}},
         {""}},
        {"line ends only: one empty entry",
         QStringList{"", "", ""},
         "\r\n",
         {{"", "", "", ""}},
         {""}},
        {"a line of blanks is not an empty line",
         kPresetsHead + QStringList{"   "} + presetRecord("A", "p", "e", "C") + kPresetsTail,
         "\r\n",
         {{"A", "p", "e", ""}},
         {""}},
    };

    for (const PresetCase& c : cases) {
        SCOPED_TRACE(c.name);
        Fake().reset();
        Fake().folderOverride = folder.path();
        writeLines(QStringLiteral("presets.xml"), c.lines, c.eol);
        Catalogues fresh;
        QComboBox list;
        int selections = 0;
        QStringList itemsWhenSelected;
        QObject::connect(&list, &QComboBox::currentIndexChanged, [&](int index) {
            ++selections;
            EXPECT_EQ(index, 0);
            itemsWhenSelected = itemsOf(list);
        });

        LoadPresets(fresh, &list);

        EXPECT_TRUE(Fake().messages.isEmpty()) << Fake().messages.value(0).text.toStdString();
        ASSERT_EQ(fresh.PresetCount, int(c.entries.size()));
        for (int i = 0; i < fresh.PresetCount; ++i) {
            SCOPED_TRACE(i);
            EXPECT_EQ(fresh.Presets[i].Label, c.entries[i].Label);
            EXPECT_EQ(fresh.Presets[i].Params, c.entries[i].Params);
            EXPECT_EQ(fresh.Presets[i].Extension, c.entries[i].Extension);
            EXPECT_EQ(fresh.Presets[i].Category, c.entries[i].Category);
        }
        EXPECT_EQ(itemsOf(list), c.categories);
        EXPECT_EQ(list.currentIndex(), 0);
        // Exactly one selection, made once the list is complete, runs the cascade.
        EXPECT_EQ(selections, 1);
        EXPECT_EQ(itemsWhenSelected, c.categories);
    }
}

TEST_F(CatalogueTest, BlankPresetFileLoadsNothingSilently)
{
    cmbCategory.addItem(QStringLiteral("kept"));
    int selections = 0;
    QObject::connect(&cmbCategory, &QComboBox::currentIndexChanged, [&] { ++selections; });
    for (const QByteArray& content : {QByteArray(), QByteArray("   ")}) {
        write(QStringLiteral("presets.xml"), content);
        LoadPresets(cat, &cmbCategory);
    }
    EXPECT_TRUE(Fake().messages.isEmpty());
    EXPECT_EQ(cat.PresetCount, 0);
    EXPECT_EQ(itemsOf(cmbCategory), QStringList{QStringLiteral("kept")});
    EXPECT_EQ(selections, 0);
}

TEST_F(CatalogueTest, CategoryListIsExtendedNotCleared)
{
    cmbCategory.addItem(QStringLiteral("Earlier"));
    cmbCategory.addItem(QStringLiteral("Video"));
    writeLines(QStringLiteral("presets.xml"),
               kPresetsHead + presetRecord("a", "1", "x", "Video") + presetRecord("b", "2", "y", "Audio")
                   + kPresetsTail);
    LoadPresets(cat, &cmbCategory);
    EXPECT_EQ(itemsOf(cmbCategory), (QStringList{"Earlier", "Video", "Audio"}));
    EXPECT_EQ(cmbCategory.currentIndex(), 0);
}

struct FailureCase {
    const char* name;
    QStringList lines;        // empty: no file at all
    const char* cause;        // a part of the description after the first line
    int countAfter;           // PresetCount without its final increment
};

TEST_F(CatalogueTest, PresetFailuresEndTheLoadWithTheirCause)
{
    const std::vector<FailureCase> cases{
        {"missing file", {}, "was not found", 0},
        {"'>' before '<'", kPresetsHead + QStringList{"<preset>", "label>x<", "a", "b", "c", "</preset>"}, "line 4", 0},
        {"no '>' at all", kPresetsHead + QStringList{"<preset>", "<label>a</label>", "<params", "c", "d", "e"},
         "line 5", 0},
        {"known tag without its closing tag",
         kPresetsHead + presetRecord("A", "p", "e", "C")
             + QStringList{"<preset>", "<label>B</label>", "<params>q", "<extension>f</extension>",
                           "<category>D</category>", "</preset>"},
         "</params>", 1},
        {"record running past the end",
         kPresetsHead + presetRecord("A", "p", "e", "C") + QStringList{"<preset>", "<label>B</label>"},
         "runs past the end", 1},
    };
    for (const FailureCase& c : cases) {
        SCOPED_TRACE(c.name);
        Fake().reset();
        Fake().folderOverride = folder.path();
        QFile::remove(folder.filePath(QStringLiteral("presets.xml")));
        if (!c.lines.isEmpty())  // no line end after the last line
            write(QStringLiteral("presets.xml"), c.lines.join(QLatin1String("\r\n")).toUtf8());
        Catalogues fresh;
        QComboBox list;

        LoadPresets(fresh, &list);

        ASSERT_EQ(Fake().messages.size(), 1);
        const auto& message = Fake().messages.first();
        EXPECT_EQ(message.style, 0);
        EXPECT_TRUE(message.text.startsWith(kPresetsFailure)) << message.text.toStdString();
        EXPECT_TRUE(message.text.mid(kPresetsFailure.size()).contains(QLatin1String(c.cause), Qt::CaseInsensitive))
            << message.text.toStdString();
        EXPECT_EQ(fresh.PresetCount, c.countAfter);
        EXPECT_EQ(list.count(), 0);
        if (c.countAfter > 0) {
            EXPECT_EQ(fresh.Presets[0].Label, QStringLiteral("A"));  // what was read stays
        }
    }
}

TEST_F(CatalogueTest, CodecsLoadAfterAFailedPresetLoad)
{
    writeLines(QStringLiteral("codecs.xml"),
               QStringList{"<?xml version=\"1.0\"?>", "<codecs>"} + codecRecord("libx264", "H.264", "video codec")
                   + codecRecord("aac", "AAC", "audio codec") + QStringList{"</codecs>"});
    LoadPresets(cat, &cmbCategory);
    LoadCodecs(cat, &cmbCVCodec, &cmbCACodec);
    ASSERT_EQ(Fake().messages.size(), 1);
    EXPECT_TRUE(Fake().messages.first().text.startsWith(kPresetsFailure));
    EXPECT_EQ(cmbCategory.count(), 0);
    EXPECT_EQ(cat.CodecCount, 2);
    EXPECT_EQ(cmbCVCodec.currentText(), QStringLiteral("H.264"));
    EXPECT_EQ(cmbCACodec.currentText(), QStringLiteral("AAC"));
}

struct CodecCase {
    const char* name;
    QStringList lines;
    int count;
    QStringList video;
    QStringList audio;
    const char* failure;  // nullptr: loads without a message
};

TEST_F(CatalogueTest, CodecLayoutRulesListsAndFailures)
{
    const QStringList head{"<?xml version=\"1.0\"?>", "<codecs>"};
    const QStringList tail{"</codecs>"};
    const std::vector<CodecCase> cases{
        {"general codecs go into both lists in file order; unknown types into none",
         head + codecRecord("libx264", "H.264", "video codec") + codecRecord("copy", "Copy", "general")
             + codecRecord("aac", "AAC", "audio codec") + codecRecord("x", "Odd", "Video Codec")
             + codecRecord("mp2", "MP2", "audio codec") + tail,
         5, {"H.264", "Copy"}, {"Copy", "AAC", "MP2"}, nullptr},
        {"root lines with blanks around them are still root lines",
         QStringList{"  <?xml version=\"1.0\"?>  ", "   <codecs>"} + codecRecord("v", "V", "video codec")
             + codecRecord("a", "A", "audio codec") + QStringList{"</codecs>   "},
         2, {"V"}, {"A"}, nullptr},
        {"duplicate descriptions are listed twice",
         head + codecRecord("a1", "Same", "general") + codecRecord("a2", "Same", "general") + tail,
         2, {"Same", "Same"}, {"Same", "Same"}, nullptr},
        {"a tab before the root line makes it a record opening that swallows the type",
         QStringList{"<?xml version=\"1.0\"?>", "\t<codecs>"} + codecRecord("v", "V", "general") + tail,
         1, {}, {}, "video codec list is empty"},
        {"no video codec: both lists filled, then the load fails",
         head + codecRecord("aac", "AAC", "audio codec") + tail,
         1, {}, {"AAC"}, "video codec list is empty"},
        {"no audio codec",
         head + codecRecord("v", "V", "video codec") + tail,
         1, {"V"}, {}, "audio codec list is empty"},
        {"record running past the end",
         head + codecRecord("v", "V", "video codec") + QStringList{"<codec>", "<name>a</name>", "<type>x</type>"},
         1, {"stale"}, {}, "runs past the end"},
    };
    for (const CodecCase& c : cases) {
        SCOPED_TRACE(c.name);
        Fake().reset();
        Fake().folderOverride = folder.path();
        write(QStringLiteral("codecs.xml"), c.lines.join(QLatin1String("\r\n")).toUtf8());
        Catalogues fresh;
        QComboBox video;
        QComboBox audio;
        video.addItem(QStringLiteral("stale"));  // cleared only by a load that gets past the walk

        LoadCodecs(fresh, &video, &audio);

        EXPECT_EQ(fresh.CodecCount, c.count);
        EXPECT_EQ(itemsOf(video), c.video);
        EXPECT_EQ(itemsOf(audio), c.audio);
        if (!c.failure) {
            EXPECT_TRUE(Fake().messages.isEmpty()) << Fake().messages.value(0).text.toStdString();
            EXPECT_EQ(video.currentIndex(), 0);
            EXPECT_EQ(audio.currentIndex(), 0);
        } else {
            ASSERT_EQ(Fake().messages.size(), 1);
            EXPECT_EQ(Fake().messages.first().style, 0);
            EXPECT_TRUE(Fake().messages.first().text.startsWith(kCodecsFailure));
            EXPECT_TRUE(Fake().messages.first().text.contains(QLatin1String(c.failure)))
                << Fake().messages.first().text.toStdString();
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
    for (const auto& [description, name] : cases) {
        SCOPED_TRACE(description.toStdString());
        EXPECT_EQ(GetCodecName(cat, description), name);
    }
}

}  // namespace
}  // namespace clip
