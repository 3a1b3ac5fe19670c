// The window cuts exactly the part it has marked: the start of the
// selection reaches the job (which seeks to it in the input), the length
// the encoder options, and the result holds the same pictures and sound as a
// cut that decodes the input from its beginning.
#include "controls/MyButton.h"
#include "controls/MyOption.h"
#include "controls/MyProgressBar.h"
#include "engine/CVideoConv.h"
#include "formats/FormatsPanel.h"
#include "mainwindow/frmMain.h"
#include "settings/FileHiveRegistry.h"
#include "settings/RegistryBackend.h"
#include "slider/Slider.h"
#include "support/FakeHost.h"
#include "support/TestClips.h"

#include <QComboBox>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace clip {
namespace {

using test::Fake;

std::vector<std::string> FrameHashes(const QString& path)
{
    QString output;
    EXPECT_EQ(test::RunProgram(test::FfmpegPath(), {"-nostdin", "-v", "error", "-i", path, "-f", "framemd5", "-"},
                               &output),
              0)
        << output.toStdString();
    std::vector<std::string> lines;
    for (const QString& line : output.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        if (!line.startsWith(QLatin1Char('#')))
            lines.push_back(line.trimmed().toStdString());
    }
    return lines;
}

TEST(CutSelection, WindowCutsExactlyTheMarkedPartWithTheStartBeforeTheInput)
{
    QTemporaryDir hive, work;
    ASSERT_TRUE(hive.isValid() && work.isValid());
    SetDefaultRegistryBackend(std::make_shared<FileHiveRegistry>(hive.path()));

    // Key frames every two seconds, so the marks fall between them.
    test::ClipRecipe recipe;
    recipe.seconds = 8;
    recipe.container = "mkv";
    recipe.audioCodec = "pcm_s16le";
    recipe.extraOutputArgs = {"-g", "50"};
    recipe.baseName = "marks";
    const QString source = test::MakeClip(recipe);
    ASSERT_FALSE(source.isEmpty());
    const QString input = test::CopyClipTo(source, work.path(), "marks.mkv");

    {
        frmMain w;
        w.OpenVideoFile(input);
        ASSERT_FALSE(w.NoVideoLoaded);
        w.cmdStop_Click();
        w.optSameFolder->setChecked(true);
        // A lossless preset of the test's own, so that equal pictures and
        // samples give equal checksums.
        w.Tables.Presets.resize(w.Tables.PresetCount);
        w.Tables.Presets.append({"Exact", "-c:v ffv1 -c:a pcm_s16le", "mkv", "Test Jobs"});
        ++w.Tables.PresetCount;
        FormatsPanel* p = w.frFormats;
        p->optFormat[0]->setChecked(true);
        p->cmbCategory->addItem("Test Jobs");
        p->cmbCategory->setCurrentText("Test Jobs");
        p->cmbOutVCodec->addItem("Exact");
        p->cmbOutVCodec->setCurrentText("Exact");
        p->cmbOutFormat->addItem("mkv");
        p->cmbOutFormat->setCurrentText("mkv");

        struct Case {
            qint32 start, end;
        };
        for (const Case c : {Case{3, 5}, Case{0, 2}, Case{5, 8}}) {
            SCOPED_TRACE(testing::Message() << c.start << ".." << c.end);
            Fake().messages.clear();
            w.Slider->setSelectStart(c.start);
            w.Slider->setSelectEnd(c.end);
            w.cmdConvert->click();
            ASSERT_TRUE(Fake().messages.isEmpty()) << Fake().messages.value(0).text.toStdString();
            ASSERT_TRUE(w.cConvert && w.cConvert->Succeeded());
            EXPECT_EQ(w.cConvert->StartTime(), c.start);
            EXPECT_EQ(w.progress->Value(), 100);

            const QString reference = work.filePath(QStringLiteral("reference%1.mkv").arg(c.start));
            QString log;
            ASSERT_EQ(test::RunProgram(test::FfmpegPath(),
                                       {"-nostdin", "-i", input, "-ss", QString::number(c.start), "-t",
                                        QString::number(c.end - c.start), "-c:v", "ffv1", "-c:a", "pcm_s16le", "-y",
                                        reference},
                                       &log),
                      0)
                << log.toStdString();
            const std::vector<std::string> expected = FrameHashes(reference);
            EXPECT_GE(expected.size(), size_t(25 * (c.end - c.start)));
            EXPECT_EQ(FrameHashes(w.cConvert->OutputFile()), expected);
        }
    }
    SetDefaultRegistryBackend(nullptr);
}

}  // namespace
}  // namespace clip
