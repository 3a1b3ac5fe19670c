// Shared set-up of the formats panel tests: a panel with its controller and
// a preset catalogue written into a temporary program folder.
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

class FormatsFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(folder.isValid());
        Fake().folderOverride = folder.path();
        controller = std::make_unique<FormatsController>(panel, cat);
    }

    void writeFile(const QString& name, const QStringList& lines)
    {
        QFile file(folder.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write((lines.join(QLatin1String("\r\n")) + QLatin1String("\r\n")).toUtf8());
    }

    // Writes presets.xml with `rows` and loads it the way start-up does.
    void loadPresets(const QList<PresetRow>& rows)
    {
        QStringList lines{QStringLiteral("<?xml version=\"1.0\"?>"), QStringLiteral("<presets>")};
        for (const PresetRow& r : rows) {
            lines << QStringLiteral("\t<preset>") << QStringLiteral("\t\t<label>%1</label>").arg(r.label)
                  << QStringLiteral("\t\t<params>%1</params>").arg(r.params)
                  << QStringLiteral("\t\t<extension>%1</extension>").arg(r.extension)
                  << QStringLiteral("\t\t<category>%1</category>").arg(r.category) << QStringLiteral("\t</preset>");
        }
        lines << QStringLiteral("</presets>");
        writeFile(QStringLiteral("presets.xml"), lines);
        LoadPresets(cat, panel.cmbCategory);
    }

    // Writes codecs.xml with (name, description, type) triples and loads it.
    void loadCodecs(const QList<QStringList>& rows)
    {
        QStringList lines{QStringLiteral("<?xml version=\"1.0\"?>"), QStringLiteral("<codecs>")};
        for (const QStringList& r : rows) {
            lines << QStringLiteral("<codec>") << QStringLiteral("<name>%1</name>").arg(r.at(0))
                  << QStringLiteral("<description>%1</description>").arg(r.at(1))
                  << QStringLiteral("<type>%1</type>").arg(r.at(2)) << QStringLiteral("</codec>");
        }
        lines << QStringLiteral("</codecs>");
        writeFile(QStringLiteral("codecs.xml"), lines);
        LoadCodecs(cat, panel.cmbCVCodec, panel.cmbCACodec);
    }

    QTemporaryDir folder;
    FormatsPanel panel;
    Catalogues cat;
    std::unique_ptr<FormatsController> controller;
};

}  // namespace clip::test
