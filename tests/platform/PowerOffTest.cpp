// Power-off off Windows: every mode reaches the login manager through the
// seam, replaced before anything is asked for. The real seam refuses to act
// while the testing variable is set, which this file sets before any test.
#ifndef _WIN32

#include "platform/PowerOff.h"
#include "platform/PowerOff_posix.h"
#include "platform/TestingGuard.h"

#include <QByteArray>
#include <QtGlobal>
#include <gtest/gtest.h>

#include <vector>

namespace clip::platform {
namespace {

const bool kTestingSet = [] {
    qputenv(kTestingVariable, "1");
    return true;
}();

TEST(PowerOff, KnownModesMakeOneNonInteractiveCallOthersNoneAndARefusalFails)
{
    ASSERT_TRUE(RunningUnderTests());
    static std::vector<LoginManagerCall> calls;
    static bool accept = true;
    SetLoginManagerInvoker([](const LoginManagerCall& call) {
        calls.push_back(call);
        return accept;
    });
    const struct { int mode; LoginManagerCall expected; } cases[] = {
        {0, {"TerminateSession", "auto", false}},
        {1, {"PowerOff", "", false}},
        {2, {"Reboot", "", false}},
        {8, {"PowerOff", "", false}},
    };
    for (const auto& c : cases) {
        calls.clear();
        EXPECT_TRUE(ShutdownComputer(c.mode)) << c.mode;
        ASSERT_EQ(calls.size(), 1u) << c.mode;
        EXPECT_EQ(calls.front(), c.expected) << c.mode << " -> " << calls.front().method;
    }
    calls.clear();
    for (int mode : {-1, 3, 4, 5, 6, 7, 9, 12, 16, 0x7fffffff})
        EXPECT_FALSE(ShutdownComputer(mode)) << mode;
    EXPECT_TRUE(calls.empty());

    accept = false;
    EXPECT_FALSE(ShutdownComputer(8));
    EXPECT_EQ(calls.size(), 1u);
}

TEST(PowerOff, TheRealBusCallRefusesWhileTesting)
{
    ASSERT_TRUE(RunningUnderTests());
    // A harmless query, so that even a broken guard could do no harm.
    EXPECT_FALSE(CallLoginManagerOverDBus({"CanPowerOff", "", false}));
}

}  // namespace
}  // namespace clip::platform

#endif
