// The formats panel on the window: its cascades run from start-up on, and
// "Save && Close" checks, slides the panel down and writes the summary.
#include "controls/MyButton.h"
#include "controls/MyOption.h"
#include "formats/FormatsController.h"
#include "formats/FormatsPanel.h"
#include "mainwindow/frmMain.h"
#include "settings/FileHiveRegistry.h"
#include "settings/RegistryBackend.h"
#include "support/FakeHost.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

#include <memory>

namespace clip {
namespace {

using test::Fake;

class FormatsWiring : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        SetDefaultRegistryBackend(std::make_shared<FileHiveRegistry>(dir.filePath("hive")));
        w = std::make_unique<frmMain>();
        ASSERT_TRUE(Fake().messages.isEmpty());
        ASSERT_NE(w->Formats, nullptr);
    }
    void TearDown() override
    {
        w.reset();
        SetDefaultRegistryBackend(nullptr);
    }

    QTemporaryDir dir;
    std::unique_ptr<frmMain> w;
};

TEST_F(FormatsWiring, StartUpSelectionsAlreadyRanTheCascade)
{
    // The lists hold what the cascade gives for the category and label shown.
    FormatsPanel& f = *w->frFormats;
    QStringList labels, containers;
    for (int i = 0; i < w->Tables.PresetCount; ++i) {
        const PresetEntry& p = w->Tables.Presets.at(i);
        if (p.Category == f.cmbCategory->currentText() && !labels.contains(p.Label))
            labels << p.Label;
        if (p.Category == f.cmbCategory->currentText() && p.Label == f.cmbOutVCodec->currentText()
            && !containers.contains(p.Extension))
            containers << p.Extension;
    }
    ASSERT_FALSE(containers.isEmpty());
    for (auto [list, items] : {std::pair{f.cmbOutVCodec, labels}, {f.cmbOutFormat, containers}}) {
        QStringList shown;
        for (int k = 0; k < list->count(); ++k)
            shown << list->itemText(k);
        EXPECT_EQ(shown, items);
    }
}

TEST_F(FormatsWiring, SaveAndCloseChecksSlidesDownAndDescribes)
{
    FormatsPanel& f = *w->frFormats;
    w->cmdChangeFormat_Click();
    while (w->tmrAnimate->isActive())
        w->tmrAnimate_Timer();
    ASSERT_EQ(w->panelTopTwips(w->frFormats), frmMain::kPanelRestTopTwips);
    w->lblFormat->setText("before");

    // Refused: the panel stays up and the summary stays.
    f.txtFrameRate->clear();
    f.cmdHide->click();
    ASSERT_EQ(Fake().messages.size(), 1);
    EXPECT_EQ(Fake().messages.at(0).text, "Frame Rate Field in the custom Format can not be empty.");
    EXPECT_EQ(Fake().messages.at(0).style, 48);
    EXPECT_FALSE(w->tmrAnimate->isActive());
    EXPECT_EQ(w->lblFormat->text(), "before");

    // Accepted with the presets route.
    f.txtFrameRate->setText("25");
    f.optFormat[0]->click();
    f.cmdHide->click();
    EXPECT_EQ(Fake().messages.size(), 1);
    EXPECT_TRUE(w->tmrAnimate->isActive());
    EXPECT_EQ(w->AnimMode, "Edit Frame 2 Down");
    EXPECT_EQ(w->AnimStep, 500);
    EXPECT_EQ(w->lblFormat->text(), "Category:" + f.cmbCategory->currentText() + ", Codec:\""
                                        + f.cmbOutVCodec->currentText() + "\", Container:\""
                                        + f.cmbOutFormat->currentText() + "\"");
    while (w->tmrAnimate->isActive())
        w->tmrAnimate_Timer();
    EXPECT_EQ(w->panelTopTwips(w->frFormats), w->windowHeightTwips());

    // The custom route, with a text that would read as markup.
    f.optFormat[1]->click();
    f.cmbCACodec->addItem("<b>bold</b>");
    f.cmbCACodec->setCurrentIndex(f.cmbCACodec->count() - 1);
    f.cmdHide->click();
    EXPECT_EQ(w->lblFormat->text(), "Container:" + f.cmbCustContainer->currentText() + ", Video Codec:\""
                                        + f.cmbCVCodec->currentText() + "\", Audio Codec:\"<b>bold</b>\"");
    EXPECT_EQ(w->lblFormat->textFormat(), Qt::PlainText);
}

}  // namespace
}  // namespace clip
