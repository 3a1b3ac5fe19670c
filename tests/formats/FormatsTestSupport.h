// Shared set-up of the formats tests: catalogues written into a temporary
// program folder, and a panel with its controller.
#pragma once

#include "formats/Catalogue.h"
#include "formats/FormatsController.h"
#include "formats/FormatsPanel.h"

#include "support/FakeHost.h"

#include <QComboBox>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <memory>

namespace clip::test {

struct PresetRow {
    QString label, params, extension, category;
};

inline QStringList ItemsOf(const QComboBox* list)
{
    QStringList items;
    for (int k = 0; k < list->count(); ++k)
        items << list->itemText(k);
    return items;
}

// Selects the item with exactly `text`; fails the test when there is none.
inline void Pick(QComboBox* list, const QString& text)
{
    const int index = list->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive);
    ASSERT_GE(index, 0) << text.toStdString() << " is not in " << list->objectName().toStdString();
    list->setCurrentIndex(index);
}

// Record lines as a hand-edited catalogue has them (field lines indented).
inline QStringList PresetRecord(const PresetRow& r)
{
    return {"\t<preset>", "\t\t<label>" + r.label + "</label>", "\t\t<params>" + r.params + "</params>",
            "\t\t<extension>" + r.extension + "</extension>", "\t\t<category>" + r.category + "</category>",
            "\t</preset>"};
}
inline QStringList CodecRecord(const QString& name, const QString& description, const QString& type)
{
    return {"<codec>", "\t<name>" + name + "</name>", "\t<description>" + description + "</description>",
            "\t<type>" + type + "</type>", "</codec>"};
}
inline const QStringList kPresetsHead{"<?xml version=\"1.0\"?>", "<presets>"};
inline const QStringList kCodecsHead{"<?xml version=\"1.0\"?>", "<codecs>"};

class FormatsFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(folder.isValid());
        resetHost();
        controller = std::make_unique<FormatsController>(panel, cat);
    }
    void resetHost()
    {
        Fake().reset();
        Fake().folderOverride = folder.path();
    }

    // Writes `lines` into the program folder, each ended by `eol` (the last
    // one only when `lastEnded`).
    void writeFile(const QString& name, const QStringList& lines, const QString& eol = "\r\n", bool lastEnded = true)
    {
        QFile file(folder.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write((lines.join(eol) + (lastEnded ? eol : QString())).toUtf8());
    }

    // Writes presets.xml with `rows` and loads it the way start-up does.
    void loadPresets(const QList<PresetRow>& rows)
    {
        QStringList lines = kPresetsHead;
        for (const PresetRow& r : rows)
            lines << PresetRecord(r);
        writeFile("presets.xml", lines << "</presets>");
        LoadPresets(cat, panel.cmbCategory);
    }

    // Writes codecs.xml with (name, description, type) triples and loads it.
    void loadCodecs(const QList<QStringList>& rows)
    {
        QStringList lines = kCodecsHead;
        for (const QStringList& r : rows)
            lines << CodecRecord(r.at(0), r.at(1), r.at(2));
        writeFile("codecs.xml", lines << "</codecs>");
        LoadCodecs(cat, panel.cmbCVCodec, panel.cmbCACodec);
    }

    QTemporaryDir folder;
    FormatsPanel panel;
    Catalogues cat;
    std::unique_ptr<FormatsController> controller;
};

}  // namespace clip::test
