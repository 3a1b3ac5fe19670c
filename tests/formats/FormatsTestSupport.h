// Shared set-up of the formats tests: catalogues written into a temporary
// program folder or the shipped ones, a panel with its controller, and a cut
// by the real encoder as a job runs it.
#pragma once

#include "formats/Catalogue.h"
#include "formats/FormatsController.h"
#include "formats/FormatsPanel.h"

#include "support/FakeHost.h"
#include "support/TestClips.h"

#include <QComboBox>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace clip::test {

inline QStringList ItemsOf(const QComboBox* list)
{
    QStringList items;
    for (int k = 0; k < list->count(); ++k) items << list->itemText(k);
    return items;
}

// Selects the item with exactly `text`; fails the test when there is none.
inline void Pick(QComboBox* list, const QString& text)
{
    const int index = list->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive);
    ASSERT_GE(index, 0) << text.toStdString() << " is not in " << list->objectName().toStdString();
    list->setCurrentIndex(index);
}

// Catalogue records as a hand-edited file has them.
inline QStringList Preset(const QString& label, const QString& params, const QString& ext, const QString& category)
{
    return {"\t<preset>", "\t\t<label>" + label + "</label>", "\t\t<params>" + params + "</params>",
            "\t\t<extension>" + ext + "</extension>", "\t\t<category>" + category + "</category>", "\t</preset>"};
}
inline QStringList Codec(const QString& name, const QString& description, const QString& type)
{
    return {"<codec>", "\t<name>" + name + "</name>", "\t<description>" + description + "</description>",
            "\t<type>" + type + "</type>", "</codec>"};
}

// Runs the encoder on `clip` from second 1 with `options` (which bring the length) into `target`, as a job
// does; its exit code, its report in `log`.
inline int Cut(const QString& clip, const QStringList& options, const QString& target, QString* log)
{
    return RunProgram(FfmpegPath(), QStringList{"-nostdin", "-ss", "1", "-i", clip} + options + QStringList{"-y", target},
                      log);
}

// What the probe reports of `path` for `args` ("-show_entries ..."), as CSV on one line.
inline QString Probe(const QString& path, const QStringList& args)
{
    return ProbeCsv(path, args).simplified().remove(QRegularExpression(",+$"));  // some containers add an empty field
}

class FormatsFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(folder.isValid());
        Fake().folderOverride = folder.path();
    }
    // Writes `lines` into the program folder, each but the last ended by `eol`.
    void writeFile(const QString& name, const QStringList& lines, const QString& eol = "\r\n", bool lastEnded = true)
    {
        WriteFile(folder.filePath(name), (lines.join(eol) + (lastEnded ? eol : QString())).toUtf8());
    }
    // Writes presets.xml or codecs.xml with `records` and loads it as start-up does.
    void load(const QString& root, const QList<QStringList>& records)
    {
        QStringList lines{"<?xml version=\"1.0\"?>", "<" + root + ">"};
        for (const QStringList& r : records)
            lines << r;
        writeFile(root + ".xml", lines << "</" + root + ">");
        root == "presets" ? LoadPresets(cat, panel.cmbCategory) : LoadCodecs(cat, panel.cmbCVCodec, panel.cmbCACodec);
    }
    // Loads the catalogues we ship, from the program's folder.
    void loadShipped()
    {
        Fake().folderOverride.clear();
        LoadPresets(cat, panel.cmbCategory);
        LoadCodecs(cat, panel.cmbCVCodec, panel.cmbCACodec);
        ASSERT_TRUE(Fake().messages.isEmpty()) << Fake().messages.value(0).text.toStdString();
    }

    QTemporaryDir folder;
    FormatsPanel panel;
    Catalogues cat;
    FormatsController controller{panel, cat};
};

}  // namespace clip::test
