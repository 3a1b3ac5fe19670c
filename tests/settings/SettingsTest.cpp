// Reading stored values back, and savers racing on one hive. The window's own
// tests (tests/mainwindow) cover loading, saving and restoring the controls.
#include "RegistryTestSupport.h"

#include "settings/Settings.h"

#include <QMap>

#include <thread>

namespace clip::test {
namespace {

TEST(SettingsParsing, BooleansPositionsAndRoutes)
{
    const std::optional<bool> no;
    const struct {
        const char* text;
        std::optional<bool> value;
    } booleans[] = {{"True", true},  {"true", true},  {" FALSE ", false}, {"1", true},   {"-1", true},
                    {"0", false},    {"", no},        {"2", no},          {"yes", no},   {"-0", no}};
    for (const auto& c : booleans)
        EXPECT_EQ(ParseStoredBoolean(c.text), c.value) << c.text;

    const std::optional<int> none;
    const struct {
        const char* text;
        int count;
        std::optional<int> value;
    } positions[] = {
        {"2", 3, 2},      {"3", 3, none},     {"7", 3, none},       {"-1", 3, -1},   {"-1", 0, -1},
        {"0", 0, none},   {"-2", 3, none},    {" 1 ", 3, 1},        {"1.0", 3, none}, {"0x1", 3, none},
        {"", 3, none},    {"32767", 40000, 32767}, {"32768", 40000, none}, {"-32769", 40000, none},
        {"99999999999999999999", 3, none},
    };
    for (const auto& c : positions)
        EXPECT_EQ(ParseStoredPosition(c.text, c.count), c.value) << c.text << " of " << c.count;

    EXPECT_EQ(ParseStoredRoute("1", 2), 1);
    for (const char* bad : {"2", "-1", "", "x", "65537"})
        EXPECT_EQ(ParseStoredRoute(bad, 2), none) << bad;
}

// Controls as plain values: every value the same text (lists at position 1,
// folder options "Other folder").
class UniformControls final : public SettingsControls {
public:
    explicit UniformControls(QString text) : value(std::move(text)) {}
    bool folderOption(const QString& name) const override { return name == "optOtherFolder"; }
    void setFolderOption(const QString&, bool) override {}
    void setOutputFolderEnabled(bool) override {}
    QString text(const QString&) const override { return value; }
    void setText(const QString& name, const QString& text) override { loaded[name] = text; }
    int route() const override { return 1; }
    int routeCount() const override { return 2; }
    void setRoute(int) override {}
    void showRoutePanel(int) override {}
    int listPosition(const QString&) const override { return 1; }
    int listCount(const QString&) const override { return 3; }
    void setListPosition(const QString&, int) override {}
    void refreshDescription() override {}

    QString value;
    QMap<QString, QString> loaded;
};

// Two programs closing at once, each with its own handle on the same hive
// folder: every save is whole, and the hive still loads.
TEST_F(RegistryTest, ConcurrentSavesLeaveAHiveThatLoads)
{
    auto run = [this](QString text) {
        auto own = std::make_shared<FileHiveRegistry>(dir.path());
        const UniformControls controls(text);
        for (int i = 0; i < 6; ++i)
            SaveSettings(controls, own);
    };
    std::thread first(run, QStringLiteral("11"));
    std::thread second(run, QStringLiteral("22"));
    first.join();
    second.join();

    for (const SettingDefinition& s : PersistedSettings())
        EXPECT_NE(reg.REGGetSetting(kRoot, SettingsSection(), s.name, "<missing>"), "<missing>") << s.name.toStdString();
    UniformControls loaded({});
    LoadSettings(loaded, hive);
    ASSERT_EQ(loaded.loaded.size(), 5);
    for (const QString& text : loaded.loaded)
        EXPECT_TRUE(text == "11" || text == "22") << text.toStdString();
}

}  // namespace
}  // namespace clip::test
