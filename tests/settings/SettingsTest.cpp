// The rules for reading stored values back. The window's own tests
// (tests/mainwindow) cover the defaults, loading, saving and restoring the controls.
#include "settings/Settings.h"

#include <gtest/gtest.h>

namespace clip::test {
namespace {

TEST(SettingsParsing, BooleansPositionsAndRoutes)
{
    const std::optional<bool> no;
    const struct { const char* text; std::optional<bool> value; } booleans[] = {
        {"True", true}, {"true", true}, {" FALSE ", false}, {"1", true},  {"-1", true},
        {"0", false},   {"", no},       {"2", no},          {"yes", no},  {"-0", no},
    };
    for (const auto& c : booleans)
        EXPECT_EQ(ParseStoredBoolean(c.text), c.value) << c.text;

    const std::optional<int> none;
    const struct { const char* text; int count; std::optional<int> value; } positions[] = {
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

}  // namespace
}  // namespace clip::test
