// The window's persisted settings: what a first start shows, what survives a
// restart, stored values that do not fit, "Restore Defaults", and damaged or
// shared hives.
#include "controls/MyFrame.h"
#include "mainwindow/WindowTestKit.h"
#include "mainwindow/frmMainSettings.h"
#include "settings/CRegister.h"
#include "settings/Settings.h"

namespace clip {
namespace {

using test::Fake;

// True when sub-panel `index` of the route lies in front of the other one.
bool InFront(const FormatsPanel& panel, int index)
{
    const QObjectList& order = panel.frFormat[0]->parentWidget()->children();
    return order.indexOf(panel.frFormat[size_t(index)]) > order.indexOf(panel.frFormat[size_t(1 - index)]);
}

QStringList Texts(const FormatsPanel& f)
{
    return {f.txtCABirate->text(), f.txtChannels->text(), f.txtCVBitrate->text(), f.txtFrameRate->text()};
}

class Persistence : public test::HiveTest {
protected:
    void store(const QString& name, const QString& value)
    {
        ASSERT_TRUE(reg.REGSaveSetting(kSettingsRoot, SettingsSection(), name, value));
    }
    QString stored(const QString& name)
    {
        return reg.REGGetSetting(kSettingsRoot, SettingsSection(), name, "<missing>");
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

    // A program folder whose preset catalogue has three categories: A (A1:
    // avi, mp4; A2: mkv), B (B1: mp4; B2: avi, mkv, mov), C (C1: flv).
    void useThreeCategories()
    {
        const QString folder = InDir("program");
        ASSERT_TRUE(QDir().mkpath(folder));
        QByteArray text = "<?xml version=\"1.0\"?>\n<presets>\n";
        for (const char* p : {"A1 avi A", "A1 mp4 A", "A2 mkv A", "B1 mp4 B", "B2 avi B", "B2 mkv B", "B2 mov B",
                              "C1 flv C"}) {
            const QList<QByteArray> f = QByteArray(p).split(' ');
            text += "\t<preset>\n\t\t<label>" + f[0] + "</label>\n\t\t<params>-c:v mpeg4</params>\n\t\t<extension>"
                    + f[1] + "</extension>\n\t\t<category>Cat " + f[2] + "</category>\n\t</preset>\n";
        }
        QFile presets(folder + "/presets.xml");
        ASSERT_TRUE(presets.open(QIODevice::WriteOnly) && presets.write(text + "</presets>\n") > 0);
        presets.close();
        ASSERT_TRUE(QFile::copy(QCoreApplication::applicationDirPath() + "/codecs.xml", folder + "/codecs.xml"));
        Fake().folderOverride = folder;
    }

    CRegister reg{hive};
};

void ExpectDefaults(const frmMain& w)
{
    const FormatsPanel& f = *w.frFormats;
    EXPECT_TRUE(w.optOtherFolder->isChecked() && !w.optSameFolder->isChecked());
    EXPECT_EQ(w.txtOutPath->text(), DefaultOutputFolder());
    EXPECT_TRUE(w.txtOutPath->isEnabled() && w.cmdBrowse->isEnabled());
    EXPECT_TRUE(f.optFormat[0]->isChecked() && InFront(f, 0));
    EXPECT_EQ(f.cmbCustContainer->currentText(), "AVI");
    EXPECT_EQ(f.cmbCASmapleRate->currentText(), "22.05 KHz");
    EXPECT_EQ(QList<int>({f.cmbCVSize->currentIndex(), f.cmbCVAspect->currentIndex(), f.cmbCategory->currentIndex(),
                          f.cmbCVCodec->currentIndex(), f.cmbCACodec->currentIndex()}),
              QList<int>({0, 0, 1, 1, 1}));
    EXPECT_EQ(Texts(f), QStringList({"64", "2", "320", "25"}));
}

TEST_F(Persistence, FirstStartShowsTheDefaultsAndTheFirstCloseWritesAllValues)
{
    frmMain w;
    ExpectDefaults(w);
    EXPECT_EQ(stored("optFormat"), "<missing>");  // starting writes nothing
    w.close();
    EXPECT_EQ(PersistedSettings().size(), 17u);
    for (const SettingDefinition& s : PersistedSettings())
        EXPECT_NE(stored(s.name), "<missing>") << s.name.toStdString();
    EXPECT_EQ(QStringList({stored("optOtherFolder"), stored("optSameFolder"), stored("txtOutPath"),
                           stored("cmbCustContainer"), stored("cmbCASmapleRate")}),
              QStringList({"True", "False", DefaultOutputFolder(), "2", "4"}));
    EXPECT_TRUE(Fake().messages.isEmpty());
}

TEST_F(Persistence, EveryControlSurvivesARestart)
{
    const QString path = QDir::toNativeSeparators(QDir::tempPath() + "/Mes \"clips\" $HOME");
    auto lists = [](const FormatsPanel& f) {
        // Each after the ones it depends on.
        return QList<QComboBox*>{f.cmbCategory, f.cmbOutVCodec, f.cmbOutFormat, f.cmbCustContainer, f.cmbCACodec,
                                 f.cmbCASmapleRate, f.cmbCVCodec, f.cmbCVSize, f.cmbCVAspect};
    };
    QList<int> positions;
    {
        frmMain w;
        FormatsPanel& f = *w.frFormats;
        w.optSameFolder->click();
        w.txtOutPath->setText(path);
        f.optFormat[1]->click();
        for (QComboBox* list : lists(f)) {
            list->setCurrentIndex(list->count() - 1);
            positions << list->currentIndex();
        }
        f.txtCABirate->setText("128");
        f.txtChannels->setText("6");
        f.txtCVBitrate->setText("1500");
        f.txtFrameRate->setText("29.9");
        ASSERT_TRUE(w.close());
    }
    ASSERT_GT(positions[0], 1);  // the shipped catalogue has several categories

    frmMain w;
    const FormatsPanel& f = *w.frFormats;
    EXPECT_TRUE(w.optSameFolder->isChecked() && !w.optOtherFolder->isChecked());
    EXPECT_EQ(w.txtOutPath->text(), path);
    EXPECT_FALSE(w.txtOutPath->isEnabled() || w.cmdBrowse->isEnabled());
    EXPECT_TRUE(f.optFormat[1]->isChecked() && InFront(f, 1));
    QList<int> restored;
    for (QComboBox* list : lists(f))
        restored << list->currentIndex();
    EXPECT_EQ(restored, positions);
    EXPECT_EQ(Texts(f), QStringList({"128", "6", "1500", "29.9"}));
    EXPECT_EQ(w.lblFormat->text(), "Container:yuv, Video Codec:\"" + f.cmbCVCodec->currentText()
                                       + "\", Audio Codec:\"" + f.cmbCACodec->currentText() + "\"");
}

// Whatever the pair of folder options held before, exactly one is chosen
// afterwards, the value loaded last decides, and the path and its button
// serve "Other folder" only.
TEST_F(Persistence, FolderOptionsLoadDeterministically)
{
    const struct {
        const char *other, *same;
        bool sameBefore, sameAfter;
    } cases[] = {
        {"False", "True", false, true}, {"True", "True", false, true}, {"False", "False", true, false},
        {"-1", "0", true, false},       {"false", "x", false, true},   {"x", "FALSE", true, false},
        {"x", "x", true, true},
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

TEST_F(Persistence, PresetListsRestoreInCascadeOrderAndBadValuesAreSkipped)
{
    useThreeCategories();
    // Category, then codec, then container: "mov" exists for B2 only.
    store("cmbCategory", "1");
    store("cmbOutVCodec", "1");
    store("cmbOutFormat", "2");
    {
        frmMain w;
        EXPECT_EQ(w.lblFormat->text(), "Category:Cat B, Codec:\"B2\", Container:\"mov\"");
    }
    // Values that fit no control leave it as it was; the later ones load.
    const char* values[][2] = {{"cmbCategory", "7"},    {"cmbOutFormat", "1"},    {"cmbCustContainer", "10"},
                               {"cmbCASmapleRate", "x"}, {"cmbCVSize", "40000"},   {"cmbCVAspect", "-2"},
                               {"optFormat", "2"},       {"txtChannels", "4"}};
    for (const auto& v : values)
        store(v[0], v[1]);
    frmMain w;
    const FormatsPanel& f = *w.frFormats;
    EXPECT_EQ(f.cmbCategory->count(), 3);
    EXPECT_EQ(f.cmbCategory->currentText(), "Cat A");
    EXPECT_EQ(f.cmbOutVCodec->currentText(), "A2");
    EXPECT_EQ(f.cmbOutFormat->currentText(), "mkv");  // A2 has one container only
    for (const QComboBox* list : {f.cmbCustContainer, f.cmbCASmapleRate, f.cmbCVSize, f.cmbCVAspect})
        EXPECT_EQ(list->currentIndex(), 0) << list->objectName().toStdString();
    EXPECT_TRUE(f.optFormat[0]->isChecked() && InFront(f, 0));
    EXPECT_EQ(f.txtChannels->text(), "4");
    EXPECT_TRUE(Fake().messages.isEmpty());
}

TEST_F(Persistence, RestoreDefaultsResetsEveryControlAndForgetsTheKey)
{
    const char* values[][2] = {{"optOtherFolder", "False"}, {"optSameFolder", "True"}, {"txtOutPath", "/srv/clips"},
                               {"optFormat", "1"},          {"cmbCustContainer", "7"}, {"cmbCASmapleRate", "0"},
                               {"cmbCVSize", "3"},          {"cmbCVAspect", "2"},      {"txtCABirate", "96"},
                               {"txtChannels", "1"},        {"txtCVBitrate", "800"},   {"txtFrameRate", "50"}};
    for (const auto& v : values)
        store(v[0], v[1]);
    frmMain w;
    ASSERT_EQ(w.txtOutPath->text(), "/srv/clips");
    ASSERT_FALSE(w.cmdBrowse->isEnabled());
    ASSERT_TRUE(w.frFormats->optFormat[1]->isChecked() && InFront(*w.frFormats, 1));
    ASSERT_EQ(Texts(*w.frFormats), QStringList({"96", "1", "800", "50"}));

    w.frFormats->cmdDefaults->click();
    ExpectDefaults(w);
    EXPECT_EQ(stored("txtOutPath"), "<missing>");
    w.close();  // the defaults reach the hive at the next close
    EXPECT_EQ(stored("optSameFolder"), "False");
    EXPECT_EQ(stored("txtOutPath"), DefaultOutputFolder());
}

TEST_F(Persistence, EmptyBoxesAndListsWithoutSelectionSurviveARestart)
{
    {
        frmMain w;
        w.txtOutPath->clear();
        w.frFormats->txtChannels->clear();
        w.frFormats->cmbCVAspect->setCurrentIndex(-1);
        w.close();
    }
    // An empty text is a value without data, which reads back as its default.
    for (const char* name : {"txtOutPath", "txtChannels"}) {
        std::vector<unsigned char> data{1};
        ASSERT_TRUE(rawData(name, data)) << name;
        EXPECT_TRUE(data.empty()) << name;
    }
    EXPECT_EQ(stored("cmbCVAspect"), "-1");
    frmMain w;
    EXPECT_EQ(w.txtOutPath->text(), DefaultOutputFolder());
    EXPECT_EQ(w.frFormats->txtChannels->text(), "2");
    EXPECT_EQ(w.frFormats->cmbCVAspect->currentIndex(), -1);
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
        frmMain first, second;
        first.frFormats->txtFrameRate->setText("11");
        first.optSameFolder->click();
        second.frFormats->cmbCVSize->setCurrentIndex(9);
        first.close();
        second.close();
    }
    frmMain w;  // the window closed last wrote every value last
    EXPECT_EQ(w.frFormats->txtFrameRate->text(), "25");
    EXPECT_EQ(w.frFormats->cmbCVSize->currentIndex(), 9);
    EXPECT_TRUE(w.optOtherFolder->isChecked());
}

}  // namespace
}  // namespace clip
