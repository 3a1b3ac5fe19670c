// The formats panel on the window: its cascades run from start-up on, and
// "Save && Close" checks, slides the panel down and writes the summary.
#include "mainwindow/WindowTestKit.h"

namespace clip {
namespace {

using test::Fake;

class FormatsWiring : public test::HiveTest {};

QStringList Items(const QComboBox* list)
{
    QStringList items;
    for (int k = 0; k < list->count(); ++k)
        items << list->itemText(k);
    return items;
}

TEST_F(FormatsWiring, StartUpSelectionsAlreadyRanTheCascade)
{
    frmMain w;
    const FormatsPanel& f = *w.frFormats;
    QStringList labels, containers;
    for (const PresetEntry& p : w.Tables.Presets.mid(0, w.Tables.PresetCount)) {
        if (p.Category != f.cmbCategory->currentText())
            continue;
        if (!labels.contains(p.Label))
            labels << p.Label;
        if (p.Label == f.cmbOutVCodec->currentText() && !containers.contains(p.Extension))
            containers << p.Extension;
    }
    ASSERT_FALSE(containers.isEmpty());
    EXPECT_EQ(Items(f.cmbOutVCodec), labels);
    EXPECT_EQ(Items(f.cmbOutFormat), containers);
}

TEST_F(FormatsWiring, SaveAndCloseChecksSlidesDownAndDescribes)
{
    frmMain w;
    FormatsPanel& f = *w.frFormats;
    auto slide = [&] {
        while (w.tmrAnimate->isActive())
            w.tmrAnimate_Timer();
    };
    w.cmdChangeFormat_Click();
    slide();
    ASSERT_EQ(w.panelTopTwips(w.frFormats), frmMain::kPanelRestTopTwips);
    w.lblFormat->setText("before");

    // Refused: the panel stays up and the summary stays.
    f.txtFrameRate->clear();
    f.cmdHide->click();
    ASSERT_EQ(Fake().messages.size(), 1);
    EXPECT_EQ(Fake().messages.at(0).text, "Frame Rate Field in the custom Format can not be empty.");
    EXPECT_EQ(Fake().messages.at(0).style, 48);
    EXPECT_FALSE(w.tmrAnimate->isActive());
    EXPECT_EQ(w.lblFormat->text(), "before");

    // Accepted with the presets route.
    f.txtFrameRate->setText("25");
    f.optFormat[0]->click();
    f.cmdHide->click();
    EXPECT_EQ(Fake().messages.size(), 1);
    EXPECT_EQ(w.AnimMode, "Edit Frame 2 Down");
    EXPECT_EQ(w.lblFormat->text(), "Category:" + f.cmbCategory->currentText() + ", Codec:\""
                                       + f.cmbOutVCodec->currentText() + "\", Container:\""
                                       + f.cmbOutFormat->currentText() + "\"");
    slide();
    EXPECT_EQ(w.panelTopTwips(w.frFormats), w.windowHeightTwips());

    // The custom route, with a text that would read as markup.
    f.optFormat[1]->click();
    test::Pick(f.cmbCACodec, "<b>bold</b>");
    f.cmdHide->click();
    EXPECT_EQ(w.lblFormat->text(), "Container:" + f.cmbCustContainer->currentText() + ", Video Codec:\""
                                       + f.cmbCVCodec->currentText() + "\", Audio Codec:\"<b>bold</b>\"");
    EXPECT_EQ(w.lblFormat->textFormat(), Qt::PlainText);
}

}  // namespace
}  // namespace clip
