// The persisted settings over a file hive, with the controls played by a
// small recording model: the order of the values, their defaults, the rules
// for stored values that do not fit, the list cascade, and concurrent savers.
#include "RegistryTestSupport.h"

#include "settings/Settings.h"

#include <QDir>
#include <QFile>
#include <QMap>
#include <QRegularExpression>
#include <QStringList>

#include <thread>

namespace clip::test {
namespace {

const QString kSection = SettingsSection();

// The controls as plain values. Choosing category n refills the preset codec
// list with n + 2 entries and selects its first one, as the panel's cascade
// does; every call is logged.
class ModelControls final : public SettingsControls {
public:
    ModelControls()
    {
        counts = {{"cmbCategory", 3},  {"cmbOutVCodec", 2},    {"cmbOutFormat", 2},
                  {"cmbCustContainer", 10}, {"cmbCACodec", 4}, {"cmbCASmapleRate", 9},
                  {"cmbCVCodec", 4},   {"cmbCVSize", 29},      {"cmbCVAspect", 5}};
        for (auto it = counts.cbegin(); it != counts.cend(); ++it)
            positions[it.key()] = 0;
        for (const char* name : {"txtOutPath", "txtCABirate", "txtChannels", "txtCVBitrate", "txtFrameRate"})
            texts[name] = "initial";
    }

    bool folderOption(const QString& name) const override { return (name == "optSameFolder") == sameFolder; }
    void setFolderOption(const QString& name, bool value) override
    {
        log << name + "=" + BooleanText(value);
        sameFolder = (name == "optSameFolder") == value;
    }
    void setOutputFolderEnabled(bool enabled) override
    {
        log << QStringLiteral("enabled=") + BooleanText(enabled);
        folderEnabled = enabled;
    }
    QString text(const QString& name) const override { return texts.value(name); }
    void setText(const QString& name, const QString& text) override
    {
        log << name;
        texts[name] = text;
    }
    int route() const override { return routeIndex; }
    int routeCount() const override { return 2; }
    void setRoute(int index) override
    {
        log << QStringLiteral("route=%1").arg(index);
        routeIndex = index;
    }
    void showRoutePanel(int index) override
    {
        log << QStringLiteral("panel=%1").arg(index);
        panel = index;
    }
    int listPosition(const QString& name) const override { return positions.value(name); }
    int listCount(const QString& name) const override { return counts.value(name); }
    void setListPosition(const QString& name, int position) override
    {
        log << QStringLiteral("%1=%2").arg(name).arg(position);
        positions[name] = position;
        if (name == "cmbCategory") {
            counts["cmbOutVCodec"] = position + 2;
            positions["cmbOutVCodec"] = 0;
        }
    }
    void refreshDescription() override { log << QStringLiteral("describe"); }

    bool sameFolder = false;
    bool folderEnabled = true;
    int routeIndex = 0;
    int panel = 0;
    QMap<QString, int> counts;
    QMap<QString, int> positions;
    QMap<QString, QString> texts;
    QStringList log;
};

class SettingsTest : public RegistryTest {
protected:
    void store(const QString& name, const QString& value)
    {
        ASSERT_TRUE(reg.REGSaveSetting(kRoot, kSection, name, value));
    }
    QString stored(const QString& name) { return reg.REGGetSetting(kRoot, kSection, name, "<missing>"); }
};

TEST_F(SettingsTest, FirstLoadGivesEveryDefaultInOrder)
{
    ModelControls c;
    LoadSettings(c, hive);
    // Category 1 refills the codec list with three entries, so codec 1 fits;
    // the container list keeps two entries, so format 1 fits too.
    EXPECT_EQ(c.log, (QStringList{"optOtherFolder=True", "optSameFolder=False", "txtOutPath", "enabled=True",
                                  "route=0", "panel=0", "cmbCategory=1", "cmbOutVCodec=1", "cmbOutFormat=1",
                                  "cmbCustContainer=2", "cmbCACodec=1", "cmbCASmapleRate=4", "cmbCVCodec=1",
                                  "cmbCVSize=0", "cmbCVAspect=0", "txtCABirate", "txtChannels", "txtCVBitrate",
                                  "txtFrameRate", "describe"}));
    EXPECT_FALSE(c.sameFolder);
    EXPECT_EQ(c.texts["txtOutPath"], DefaultOutputFolder());
    EXPECT_EQ(c.texts["txtCABirate"], "64");
    EXPECT_EQ(c.texts["txtChannels"], "2");
    EXPECT_EQ(c.texts["txtCVBitrate"], "320");
    EXPECT_EQ(c.texts["txtFrameRate"], "25");
    // Loading writes nothing.
    EXPECT_FALSE(keyExists(kSection.toStdString()));
}

TEST(SettingsDefaults, OutputFolderIsTheVideosFolderWithNativeSeparators)
{
    const QString folder = DefaultOutputFolder();
#ifdef Q_OS_WIN
    EXPECT_EQ(folder, "C:\\Cut Files");
#else
    EXPECT_TRUE(folder.endsWith(QDir::toNativeSeparators("/Cut Files"))) << folder.toStdString();
    EXPECT_TRUE(QDir::isAbsolutePath(folder)) << folder.toStdString();
    EXPECT_FALSE(folder.contains('\\'));
#endif
}

TEST(SettingsParsing, Booleans)
{
    const struct {
        const char* text;
        std::optional<bool> value;
    } cases[] = {
        {"True", true},   {"true", true},   {"TRUE", true},          {" False ", false}, {"false", false},
        {"1", true},      {"-1", true},     {"0", false},            {"", std::nullopt}, {"2", std::nullopt},
        {"yes", std::nullopt}, {"Tru", std::nullopt}, {"True1", std::nullopt}, {"-0", std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ParseStoredBoolean(c.text), c.value) << c.text;
}

TEST(SettingsParsing, ListPositionsFitSixteenBitsAndTheList)
{
    const struct {
        const char* text;
        int count;
        std::optional<int> value;
    } cases[] = {
        {"0", 3, 0},          {"2", 3, 2},           {"3", 3, std::nullopt},  {"7", 3, std::nullopt},
        {"-1", 3, -1},        {"-1", 0, -1},         {"0", 0, std::nullopt},  {"-2", 3, std::nullopt},
        {" 1 ", 3, 1},        {"+1", 3, 1},          {"1.0", 3, std::nullopt}, {"1e0", 3, std::nullopt},
        {"0x1", 3, std::nullopt}, {"", 3, std::nullopt}, {"abc", 3, std::nullopt}, {"- 1", 3, std::nullopt},
        {"32767", 40000, 32767}, {"32768", 40000, std::nullopt}, {"-32769", 40000, std::nullopt},
        {"99999999999999999999", 3, std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ParseStoredPosition(c.text, c.count), c.value) << c.text << " of " << c.count;
}

TEST(SettingsParsing, Routes)
{
    EXPECT_EQ(ParseStoredRoute("0", 2), 0);
    EXPECT_EQ(ParseStoredRoute("1", 2), 1);
    for (const char* bad : {"2", "-1", "", "x", "1.5", "65537"})
        EXPECT_EQ(ParseStoredRoute(bad, 2), std::nullopt) << bad;
}

// One bad stored value at a time: its control keeps what it had, and every
// later value is still loaded.
TEST_F(SettingsTest, BadStoredValueLeavesItsControlAndLoadingGoesOn)
{
    const struct {
        const char* name;
        const char* value;
    } cases[] = {
        {"optOtherFolder", "maybe"}, {"optSameFolder", "2"},    {"optFormat", "2"},
        {"optFormat", "-1"},         {"optFormat", "one"},      {"cmbCategory", "7"},
        {"cmbCategory", "-2"},       {"cmbOutVCodec", "40000"}, {"cmbOutFormat", "2"},
        {"cmbCustContainer", "10"},  {"cmbCASmapleRate", "x"},  {"cmbCVAspect", "5"},
    };
    for (const auto& bad : cases) {
        reg.REGDeleteSetting(kRoot, kSection);
        store("optOtherFolder", "False");
        store("optSameFolder", "True");
        store("optFormat", "1");
        store("cmbCVSize", "28");
        store("txtFrameRate", "29.97");
        store(bad.name, bad.value);

        ModelControls c;
        c.sameFolder = true;  // what the window held before
        c.routeIndex = 1;
        c.panel = 1;
        c.positions["cmbOutFormat"] = 1;
        c.positions["cmbCVAspect"] = 4;
        const ModelControls before = c;
        LoadSettings(c, hive);

        const QString name = bad.name;
        SCOPED_TRACE(bad.name + std::string("=") + bad.value);
        EXPECT_FALSE(c.log.contains(name + "=True") || c.log.contains(name + "=False"));
        if (name == "optFormat") {
            EXPECT_EQ(c.routeIndex, before.routeIndex);
            EXPECT_EQ(c.panel, before.panel);
            EXPECT_FALSE(c.log.filter("route=").size() || c.log.filter("panel=").size());
        }
        if (name.startsWith("cmb")) {
            EXPECT_TRUE(c.log.filter(QRegularExpression("^" + name + "=")).isEmpty()) << c.log.join(' ').toStdString();
            if (name != "cmbOutVCodec") {  // refilled by the category
                EXPECT_EQ(c.positions[name], before.positions[name]);
            }
        }
        // The steps after it all ran.
        EXPECT_EQ(c.positions["cmbCVSize"], 28);
        EXPECT_EQ(c.texts["txtFrameRate"], "29.97");
        EXPECT_EQ(c.log.last(), "describe");
    }
}

TEST_F(SettingsTest, CodecPositionIsCheckedAgainstTheListTheCategoryRefilled)
{
    // Before the category is set the codec list has two entries; category 2
    // refills it with four, so codec 3 fits then.
    store("cmbCategory", "2");
    store("cmbOutVCodec", "3");
    ModelControls c;
    LoadSettings(c, hive);
    EXPECT_EQ(c.positions["cmbCategory"], 2);
    EXPECT_EQ(c.positions["cmbOutVCodec"], 3);
    EXPECT_LT(c.log.indexOf("cmbCategory=2"), c.log.indexOf("cmbOutVCodec=3"));
}

TEST_F(SettingsTest, SaveWritesAllSeventeenValuesAsTheControlsHoldThem)
{
    ModelControls c;
    c.sameFolder = true;
    c.routeIndex = 1;
    c.positions["cmbCategory"] = -1;
    c.positions["cmbCVSize"] = 28;
    c.texts["txtOutPath"] = "C:\\Cut Files";
    c.texts["txtChannels"] = "";
    SaveSettings(c, hive);

    int count = 0;
    for (const SettingDefinition& s : PersistedSettings()) {
        std::uint32_t type = 0;
        std::vector<unsigned char> data;
        EXPECT_TRUE(rawValue(kSection.toStdString(), s.name.toStdString(), type, data)) << s.name.toStdString();
        EXPECT_EQ(type, reg::kRegSz);
        ++count;
    }
    EXPECT_EQ(count, 17);
    EXPECT_EQ(stored("optOtherFolder"), "False");
    EXPECT_EQ(stored("optSameFolder"), "True");
    EXPECT_EQ(stored("optFormat"), "1");
    EXPECT_EQ(stored("cmbCategory"), "-1");
    EXPECT_EQ(stored("cmbCVSize"), "28");
    EXPECT_EQ(stored("txtOutPath"), "C:\\Cut Files");
    EXPECT_EQ(stored("txtCABirate"), "initial");
    // An empty box is a value without data, which reads back as its default.
    std::uint32_t type = 0;
    std::vector<unsigned char> data{1};
    ASSERT_TRUE(rawValue(kSection.toStdString(), "txtChannels", type, data));
    EXPECT_TRUE(data.empty());
    ModelControls again;
    LoadSettings(again, hive);
    EXPECT_EQ(again.texts["txtChannels"], "2");
    EXPECT_EQ(again.positions["cmbCategory"], -1);
    EXPECT_EQ(again.routeIndex, 1);
    EXPECT_TRUE(again.sameFolder);
    EXPECT_FALSE(again.folderEnabled);
}

TEST_F(SettingsTest, RestoreDefaultsForgetsTheKeyAndLoadsTheDefaults)
{
    store("optSameFolder", "True");
    store("optOtherFolder", "False");
    store("txtOutPath", "/elsewhere");
    store("cmbCVSize", "3");
    ModelControls c;
    LoadSettings(c, hive);
    ASSERT_TRUE(c.sameFolder);
    ASSERT_FALSE(c.folderEnabled);

    RestoreDefaultSettings(c, hive);
    EXPECT_FALSE(keyExists(kSection.toStdString()));
    EXPECT_FALSE(c.sameFolder);
    EXPECT_TRUE(c.folderEnabled);
    EXPECT_EQ(c.texts["txtOutPath"], DefaultOutputFolder());
    EXPECT_EQ(c.positions["cmbCVSize"], 0);
}

TEST_F(SettingsTest, DamagedOrUnreadableHiveGivesTheDefaults)
{
    store("txtFrameRate", "50");
    const QString file = hive->hiveFile(kRoot);
    for (const QByteArray& garbage : {QByteArray("{\"not\": \"a hive\""), QByteArray("\x00\xff\x13garbage", 10),
                                      QByteArray()}) {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(garbage);
        f.close();
        ModelControls c;
        LoadSettings(c, hive);
        EXPECT_EQ(c.texts["txtFrameRate"], "25");
        EXPECT_EQ(c.positions["cmbCustContainer"], 2);
    }
    // The next save replaces the damaged file with a sound one.
    ModelControls c;
    c.texts["txtFrameRate"] = "12";
    SaveSettings(c, hive);
    ModelControls again;
    LoadSettings(again, hive);
    EXPECT_EQ(again.texts["txtFrameRate"], "12");

    // A hive in a place that cannot even be created.
    auto nowhere = std::make_shared<FileHiveRegistry>(file + "/below-a-file");
    SaveSettings(c, nowhere);
    ModelControls fresh;
    LoadSettings(fresh, nowhere);
    EXPECT_EQ(fresh.texts["txtFrameRate"], "25");
}

// Two programs closing at once, each with its own view of the same hive
// folder: the hive stays readable and every value is one of the two saves.
TEST_F(SettingsTest, ConcurrentSavesLeaveAHiveThatLoads)
{
    ModelControls a;
    ModelControls b;
    a.texts["txtFrameRate"] = "11";
    b.texts["txtFrameRate"] = "22";
    a.positions["cmbCVSize"] = 1;
    b.positions["cmbCVSize"] = 2;
    auto run = [&](const ModelControls& c) {
        auto own = std::make_shared<FileHiveRegistry>(dir.path());
        for (int i = 0; i < 6; ++i)
            SaveSettings(c, own);
    };
    std::thread first(run, std::cref(a));
    std::thread second(run, std::cref(b));
    first.join();
    second.join();

    for (const SettingDefinition& s : PersistedSettings())
        EXPECT_NE(stored(s.name), "<missing>") << s.name.toStdString();
    ModelControls loaded;
    LoadSettings(loaded, hive);
    EXPECT_TRUE(loaded.texts["txtFrameRate"] == "11" || loaded.texts["txtFrameRate"] == "22");
    EXPECT_TRUE(loaded.positions["cmbCVSize"] == 1 || loaded.positions["cmbCVSize"] == 2);
}

}  // namespace
}  // namespace clip::test
