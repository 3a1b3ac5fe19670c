// The command line's default format is the one the window saved: read back
// without a window, it names the same preset for every preset the window can
// save, and nothing for the custom route.
#include "cli/SavedFormat.h"
#include "formats/FormatsPanel.h"
#include "mainwindow/WindowTestKit.h"

namespace clip {
namespace {

class SavedFormat : public test::WindowTest {};

TEST_F(SavedFormat, EveryPresetTheWindowSavesIsReadBackAlike)
{
    FormatsPanel& panel = *test::Ctl<FormatsPanel>(*w, "frFormats");
    const Catalogues& catalogues = w->Catalogue();
    int checked = 0;
    for (int i = catalogues.PresetCount - 1; i >= 0; --i) {  // from the end: every list moves away from its first entry
        const PresetEntry& p = catalogues.Presets.at(i);
        if (p.Category.isEmpty())
            continue;
        test::ChoosePreset(*w, p.Category, p.Label, p.Extension);
        ASSERT_TRUE(w->SaveSettings());
        const std::optional<FormatChoice> saved = SavedPresetChoice(catalogues, hive);
        ASSERT_TRUE(saved) << p.Label.toStdString();
        EXPECT_EQ(*saved, FormatChoice::Preset(p.Category, p.Label, p.Extension)) << saved->label.toStdString();
        ++checked;
    }
    EXPECT_GT(checked, 10);
    panel.optFormat[1]->click();
    ASSERT_TRUE(w->SaveSettings());
    EXPECT_FALSE(SavedPresetChoice(catalogues, hive));
}

}  // namespace
}  // namespace clip
