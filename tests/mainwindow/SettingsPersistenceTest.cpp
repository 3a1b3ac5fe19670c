// The window's persisted settings: what a first start shows, what survives a
// restart, stored values that do not fit, "Restore Defaults", and damaged or
// shared hives. The hive lives in a temporary folder for every test.
#include "controls/MyButton.h"
#include "controls/MyFrame.h"
#include "controls/MyOption.h"
#include "formats/FormatsPanel.h"
#include "mainwindow/frmMain.h"
#include "mainwindow/frmMainSettings.h"
#include "settings/CRegister.h"
#include "settings/FileHiveRegistry.h"
#include "settings/Settings.h"
#include "support/FakeHost.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <memory>

namespace clip {
namespace {

using test::Fake;

// Three categories: A (labels A1, A2), B (B1, B2), C (C1).
const char* const kThreeCategories =
    "<?xml version=\"1.0\"?>\n<presets>\n"
    "\t<preset>\n\t\t<label>A1</label>\n\t\t<params>-c:v mpeg4</params>\n\t\t<extension>avi</extension>\n\t\t<category>Cat A</category>\n\t</preset>\n"
    "\t<preset>\n\t\t<label>A1</label>\n\t\t<params>-c:v mpeg4</params>\n\t\t<extension>mp4</extension>\n\t\t<category>Cat A</category>\n\t</preset>\n"
    "\t<preset>\n\t\t<label>A2</label>\n\t\t<params>-c:v mpeg4</params>\n\t\t<extension>mkv</extension>\n\t\t<category>Cat A</category>\n\t</preset>\n"
    "\t<preset>\n\t\t<label>B1</label>\n\t\t<params>-c:v mpeg4</params>\n\t\t<extension>mp4</extension>\n\t\t<category>Cat B</category>\n\t</preset>\n"
    "\t<preset>\n\t\t<label>B2</label>\n\t\t<params>-c:v mpeg4</params>\n\t\t<extension>avi</extension>\n\t\t<category>Cat B</category>\n\t</preset>\n"
    "\t<preset>\n\t\t<label>B2</label>\n\t\t<params>-c:v mpeg4</params>\n\t\t<extension>mkv</extension>\n\t\t<category>Cat B</category>\n\t</preset>\n"
    "\t<preset>\n\t\t<label>B2</label>\n\t\t<params>-c:v mpeg4</params>\n\t\t<extension>mov</extension>\n\t\t<category>Cat B</category>\n\t</preset>\n"
    "\t<preset>\n\t\t<label>C1</label>\n\t\t<params>-c:v flv</params>\n\t\t<extension>flv</extension>\n\t\t<category>Cat C</category>\n\t</preset>\n"
    "</presets>\n";

// True when sub-panel `index` of the route lies in front of the other one.
bool InFront(const FormatsPanel& panel, int index)
{
    const QObjectList& order = panel.frFormat[0]->parentWidget()->children();
    return order.indexOf(panel.frFormat[size_t(index)]) > order.indexOf(panel.frFormat[size_t(1 - index)]);
}

class Persistence : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        SetDefaultRegistryBackend(hive);
    }
    void TearDown() override { SetDefaultRegistryBackend(nullptr); }

    void store(const QString& name, const QString& value)
    {
        ASSERT_TRUE(reg.REGSaveSetting(kSettingsRoot, SettingsSection(), name, value));
    }
    QString stored(const QString& name)
    {
        return reg.REGGetSetting(kSettingsRoot, SettingsSection(), name, QStringLiteral("<missing>"));
    }
    // The stored data of a value, without the text rules; false when missing.
    bool rawData(const QString& name, std::vector<unsigned char>& data)
    {
        RegKey key = 0;
        if (hive->openKey(kSettingsRoot, SettingsSection().toStdString(), reg::kKeyRead, key) != reg::kSuccess)
            return false;
        std::uint32_t type = 0;
        const bool found = hive->queryValue(key, name.toStdString(), type, data) == reg::kSuccess;
        hive->closeKey(key);
        return found;
    }

    // Points the program's folder at one whose preset catalogue has three
    // categories.
    void useThreeCategories()
    {
        const QString folder = dir.filePath("program");
        ASSERT_TRUE(QDir().mkpath(folder));
        QFile presets(folder + "/presets.xml");
        ASSERT_TRUE(presets.open(QIODevice::WriteOnly));
        presets.write(kThreeCategories);
        presets.close();
        ASSERT_TRUE(QFile::copy(QCoreApplication::applicationDirPath() + "/codecs.xml", folder + "/codecs.xml"));
        Fake().folderOverride = folder;
    }

    QTemporaryDir dir;
    std::shared_ptr<FileHiveRegistry> hive = std::make_shared<FileHiveRegistry>(dir.filePath("hive"));
    CRegister reg{hive};
};

void ExpectDefaults(const frmMain& w)
{
    const FormatsPanel& f = *w.frFormats;
    EXPECT_TRUE(w.optOtherFolder->isChecked());
    EXPECT_FALSE(w.optSameFolder->isChecked());
    EXPECT_EQ(w.txtOutPath->text(), DefaultOutputFolder());
    EXPECT_TRUE(w.txtOutPath->isEnabled());
    EXPECT_TRUE(w.cmdBrowse->isEnabled());
    EXPECT_TRUE(f.optFormat[0]->isChecked());
    EXPECT_TRUE(InFront(f, 0));
    EXPECT_EQ(f.cmbCustContainer->currentText(), "AVI");
    EXPECT_EQ(f.cmbCASmapleRate->currentText(), "22.05 KHz");
    EXPECT_EQ(f.cmbCVSize->currentText(), "[As Input]");
    EXPECT_EQ(f.cmbCVAspect->currentText(), "[As Input]");
    EXPECT_EQ(f.txtCABirate->text(), "64");
    EXPECT_EQ(f.txtChannels->text(), "2");
    EXPECT_EQ(f.txtCVBitrate->text(), "320");
    EXPECT_EQ(f.txtFrameRate->text(), "25");
    for (const QComboBox* list : {f.cmbCategory, f.cmbCACodec, f.cmbCVCodec}) {
        if (list->count() > 1) {
            EXPECT_EQ(list->currentIndex(), 1) << list->objectName().toStdString();
        }
    }
}

TEST_F(Persistence, FirstStartShowsTheDefaults)
{
    frmMain w;
    ExpectDefaults(w);
    EXPECT_TRUE(Fake().messages.isEmpty());
    // The summary describes the restored preset choice.
    const FormatsPanel& f = *w.frFormats;
    EXPECT_EQ(w.lblFormat->text(), "Category:" + f.cmbCategory->currentText() + ", Codec:\"" +
                                       f.cmbOutVCodec->currentText() + "\", Container:\"" +
                                       f.cmbOutFormat->currentText() + "\"");
    // Starting writes nothing: the key appears at the first close.
    EXPECT_EQ(stored("optFormat"), "<missing>");
    w.close();
    EXPECT_EQ(stored("optFormat"), "0");
    EXPECT_EQ(stored("txtOutPath"), DefaultOutputFolder());
}

TEST_F(Persistence, EveryControlSurvivesARestart)
{
    struct Chosen {
        QString outPath = QDir::toNativeSeparators(QDir::tempPath() + "/Mes \"clips\" $HOME");
        int category = -1, codec = -1, format = -1;
        int container = 4, audio = -1, rate = 7, video = -1, size = 27, aspect = 3;
    } chosen;
    {
        frmMain w;
        FormatsPanel& f = *w.frFormats;
        w.optSameFolder->click();
        w.txtOutPath->setText(chosen.outPath);
        f.optFormat[1]->click();
        // The last entry of each catalogue list, each chosen after the one
        // it depends on.
        f.cmbCategory->setCurrentIndex(f.cmbCategory->count() - 1);
        f.cmbOutVCodec->setCurrentIndex(f.cmbOutVCodec->count() - 1);
        f.cmbOutFormat->setCurrentIndex(f.cmbOutFormat->count() - 1);
        chosen.category = f.cmbCategory->currentIndex();
        chosen.codec = f.cmbOutVCodec->currentIndex();
        chosen.format = f.cmbOutFormat->currentIndex();
        f.cmbCustContainer->setCurrentIndex(chosen.container);
        chosen.audio = f.cmbCACodec->count() - 1;
        f.cmbCACodec->setCurrentIndex(chosen.audio);
        f.cmbCASmapleRate->setCurrentIndex(chosen.rate);
        chosen.video = f.cmbCVCodec->count() - 1;
        f.cmbCVCodec->setCurrentIndex(chosen.video);
        f.cmbCVSize->setCurrentIndex(chosen.size);
        f.cmbCVAspect->setCurrentIndex(chosen.aspect);
        f.txtCABirate->setText("128");
        f.txtChannels->setText("6");
        f.txtCVBitrate->setText("1500");
        f.txtFrameRate->setText("29.9");
        ASSERT_TRUE(w.close());
        EXPECT_EQ(w.DebugSteps.last(), "SaveSettings");
    }
    ASSERT_GT(chosen.category, 0);  // the shipped catalogue has several

    frmMain w;
    const FormatsPanel& f = *w.frFormats;
    EXPECT_TRUE(w.optSameFolder->isChecked());
    EXPECT_FALSE(w.optOtherFolder->isChecked());
    EXPECT_EQ(w.txtOutPath->text(), chosen.outPath);
    EXPECT_FALSE(w.txtOutPath->isEnabled());
    EXPECT_FALSE(w.cmdBrowse->isEnabled());
    EXPECT_TRUE(f.optFormat[1]->isChecked());
    EXPECT_TRUE(InFront(f, 1));
    EXPECT_EQ(f.cmbCategory->currentIndex(), chosen.category);
    EXPECT_EQ(f.cmbOutVCodec->currentIndex(), chosen.codec);
    EXPECT_EQ(f.cmbOutFormat->currentIndex(), chosen.format);
    EXPECT_EQ(f.cmbCustContainer->currentText(), "FLV");
    EXPECT_EQ(f.cmbCACodec->currentIndex(), chosen.audio);
    EXPECT_EQ(f.cmbCASmapleRate->currentText(), "44.1 KHz");
    EXPECT_EQ(f.cmbCVCodec->currentIndex(), chosen.video);
    EXPECT_EQ(f.cmbCVSize->currentIndex(), chosen.size);
    EXPECT_EQ(f.cmbCVAspect->currentText(), "1.3333");
    EXPECT_EQ(f.txtCABirate->text(), "128");
    EXPECT_EQ(f.txtChannels->text(), "6");
    EXPECT_EQ(f.txtCVBitrate->text(), "1500");
    EXPECT_EQ(f.txtFrameRate->text(), "29.9");
    EXPECT_EQ(w.lblFormat->text(), "Container:FLV, Video Codec:\"" + f.cmbCVCodec->currentText() +
                                       "\", Audio Codec:\"" + f.cmbCACodec->currentText() + "\"");
    EXPECT_TRUE(Fake().messages.isEmpty());
}

TEST_F(Persistence, ClosingWritesAllSeventeenValuesEvenUnchanged)
{
    frmMain w;
    w.close();
    for (const SettingDefinition& s : PersistedSettings()) {
        std::vector<unsigned char> data;
        EXPECT_TRUE(rawData(s.name, data)) << s.name.toStdString();
    }
    EXPECT_EQ(PersistedSettings().size(), 17u);
    EXPECT_EQ(stored("optOtherFolder"), "True");
    EXPECT_EQ(stored("optSameFolder"), "False");
    EXPECT_EQ(stored("cmbCustContainer"), "2");
    EXPECT_EQ(stored("cmbCASmapleRate"), "4");
    EXPECT_EQ(stored("txtFrameRate"), "25");
}

TEST_F(Persistence, StoredSameFolderDisablesThePathAndItsButton)
{
    store("optSameFolder", "True");
    frmMain w;
    EXPECT_TRUE(w.optSameFolder->isChecked());
    EXPECT_FALSE(w.optOtherFolder->isChecked());
    EXPECT_FALSE(w.txtOutPath->isEnabled());
    EXPECT_FALSE(w.cmdBrowse->isEnabled());
}

// The two stored folder options, whatever the pair held before: exactly one
// is chosen afterwards, and the value loaded last decides.
TEST_F(Persistence, FolderOptionsLoadDeterministically)
{
    const struct {
        const char* other;
        const char* same;
        bool sameBefore;
        bool sameAfter;
    } cases[] = {
        {"True", "False", true, false},  {"False", "True", false, true}, {"True", "True", false, true},
        {"False", "False", true, false}, {"False", "False", false, false}, {"-1", "0", true, false},
        {"false", "x", false, true},     {"x", "FALSE", true, false},    {"x", "x", true, true},
        {"x", "x", false, false},
    };
    frmMain w;
    frmMainSettingsControls controls(w);
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.other) + "/" + c.same + (c.sameBefore ? " from same" : " from other"));
        store("optOtherFolder", c.other);
        store("optSameFolder", c.same);
        (c.sameBefore ? w.optSameFolder : w.optOtherFolder)->setChecked(true);
        LoadSettings(controls);
        EXPECT_EQ(w.optSameFolder->isChecked(), c.sameAfter);
        EXPECT_EQ(w.optOtherFolder->isChecked(), !c.sameAfter);
        EXPECT_EQ(w.txtOutPath->isEnabled(), !c.sameAfter);
        EXPECT_EQ(w.cmdBrowse->isEnabled(), !c.sameAfter);
    }
}

TEST_F(Persistence, PresetListsAreRestoredCategoryThenCodecThenContainer)
{
    useThreeCategories();
    store("cmbCategory", "1");
    store("cmbOutVCodec", "1");
    store("cmbOutFormat", "2");
    frmMain w;
    const FormatsPanel& f = *w.frFormats;
    EXPECT_EQ(f.cmbCategory->currentText(), "Cat B");
    EXPECT_EQ(f.cmbOutVCodec->currentText(), "B2");
    ASSERT_EQ(f.cmbOutFormat->count(), 3);
    EXPECT_EQ(f.cmbOutFormat->currentText(), "mov");
    EXPECT_EQ(w.lblFormat->text(), "Category:Cat B, Codec:\"B2\", Container:\"mov\"");
}

TEST_F(Persistence, CategoryBeyondTheListIsSkippedAndLoadingGoesOn)
{
    useThreeCategories();
    store("cmbCategory", "7");
    store("cmbOutVCodec", "1");
    store("cmbOutFormat", "1");  // A2 has one container only
    store("cmbCVSize", "5");
    store("txtChannels", "4");
    frmMain w;
    const FormatsPanel& f = *w.frFormats;
    ASSERT_EQ(f.cmbCategory->count(), 3);
    EXPECT_EQ(f.cmbCategory->currentText(), "Cat A");
    EXPECT_EQ(f.cmbOutVCodec->currentText(), "A2");
    EXPECT_EQ(f.cmbOutFormat->currentText(), "mkv");
    EXPECT_EQ(f.cmbCVSize->currentText(), "qqvga(160x120)");
    EXPECT_EQ(f.txtChannels->text(), "4");
    EXPECT_TRUE(Fake().messages.isEmpty());
}

TEST_F(Persistence, StoredCustomRouteChoosesItAndBringsItsPanelToTheFront)
{
    store("optFormat", "1");
    frmMain w;
    EXPECT_TRUE(w.frFormats->optFormat[1]->isChecked());
    EXPECT_FALSE(w.frFormats->optFormat[0]->isChecked());
    EXPECT_TRUE(InFront(*w.frFormats, 1));
    EXPECT_TRUE(w.lblFormat->text().startsWith("Container:AVI, Video Codec:")) << w.lblFormat->text().toStdString();

    // A route that names no option leaves the route as it was.
    store("optFormat", "2");
    frmMain again;
    EXPECT_TRUE(again.frFormats->optFormat[0]->isChecked());
    EXPECT_TRUE(InFront(*again.frFormats, 0));
}

TEST_F(Persistence, ListWithoutSelectionIsStoredAsMinusOneAndComesBackSo)
{
    {
        frmMain w;
        w.frFormats->cmbCVAspect->setCurrentIndex(-1);
        w.frFormats->cmbCASmapleRate->setCurrentIndex(-1);
        w.close();
    }
    EXPECT_EQ(stored("cmbCVAspect"), "-1");
    EXPECT_EQ(stored("cmbCASmapleRate"), "-1");
    frmMain w;
    EXPECT_EQ(w.frFormats->cmbCVAspect->currentIndex(), -1);
    EXPECT_EQ(w.frFormats->cmbCASmapleRate->currentIndex(), -1);
    EXPECT_EQ(w.frFormats->cmbCustContainer->currentIndex(), 2);
}

TEST_F(Persistence, RestoreDefaultsResetsEveryControlAndForgetsTheKey)
{
    store("optOtherFolder", "False");
    store("optSameFolder", "True");
    store("txtOutPath", "/srv/clips");
    store("optFormat", "1");
    store("cmbCustContainer", "7");
    store("cmbCASmapleRate", "0");
    store("cmbCVSize", "3");
    store("cmbCVAspect", "2");
    store("txtCABirate", "96");
    store("txtChannels", "1");
    store("txtCVBitrate", "800");
    store("txtFrameRate", "50");
    frmMain w;
    ASSERT_TRUE(w.optSameFolder->isChecked());
    ASSERT_EQ(w.txtOutPath->text(), "/srv/clips");
    ASSERT_FALSE(w.cmdBrowse->isEnabled());

    w.frFormats->cmdDefaults->click();
    ExpectDefaults(w);
    EXPECT_EQ(stored("txtOutPath"), "<missing>");
    EXPECT_TRUE(Fake().messages.isEmpty());
    // The defaults reach the hive at the next close.
    w.close();
    EXPECT_EQ(stored("optSameFolder"), "False");
    EXPECT_EQ(stored("txtOutPath"), DefaultOutputFolder());
}

TEST_F(Persistence, EmptyBoxesAreStoredWithoutDataAndComeBackAsDefaults)
{
    {
        frmMain w;
        w.txtOutPath->clear();
        w.frFormats->txtChannels->clear();
        w.frFormats->txtFrameRate->clear();
        w.close();
    }
    for (const char* name : {"txtOutPath", "txtChannels", "txtFrameRate"}) {
        std::vector<unsigned char> data{1};
        ASSERT_TRUE(rawData(name, data)) << name;
        EXPECT_TRUE(data.empty()) << name;
    }
    frmMain w;
    EXPECT_EQ(w.txtOutPath->text(), DefaultOutputFolder());
    EXPECT_EQ(w.frFormats->txtChannels->text(), "2");
    EXPECT_EQ(w.frFormats->txtFrameRate->text(), "25");
}

TEST_F(Persistence, DamagedHiveStartsWithDefaultsAndIsReplacedAtClose)
{
    store("txtFrameRate", "50");
    QFile file(hive->hiveFile(kSettingsRoot));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write("{\"values\": [ {\"name\": 7, \"data\": ");  // cut short
    file.close();
    {
        frmMain w;
        ExpectDefaults(w);
        EXPECT_TRUE(Fake().messages.isEmpty());
        w.frFormats->txtFrameRate->setText("12");
        w.close();
    }
    frmMain w;
    EXPECT_EQ(w.frFormats->txtFrameRate->text(), "12");
}

TEST_F(Persistence, TwoWindowsClosingLeaveAHiveThatLoads)
{
    {
        frmMain first;
        frmMain second;
        first.frFormats->txtFrameRate->setText("11");
        first.optSameFolder->click();
        second.frFormats->txtFrameRate->setText("22");
        second.frFormats->cmbCVSize->setCurrentIndex(9);
        first.close();
        second.close();
    }
    frmMain w;
    // The window closed last wrote every value last.
    EXPECT_EQ(w.frFormats->txtFrameRate->text(), "22");
    EXPECT_EQ(w.frFormats->cmbCVSize->currentIndex(), 9);
    EXPECT_TRUE(w.optOtherFolder->isChecked());
    EXPECT_TRUE(Fake().messages.isEmpty());
}

}  // namespace
}  // namespace clip
