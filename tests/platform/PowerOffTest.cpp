// Power-off off Windows: every mode reaches the login manager through the
// seam, which the tests replace before anything is asked for. The real seam
// refuses to act while CLIPWRIGHT_TESTING is set, which this file sets
// before any test runs.
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

class PowerOffTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(RunningUnderTests());
        SetLoginManagerInvoker([this](const LoginManagerCall& call) {
            calls.push_back(call);
            return accept;
        });
    }
    // The real seam stays refused (testing variable), never reachable here.
    void TearDown() override { SetLoginManagerInvoker([](const LoginManagerCall&) { return false; }); }

    std::vector<LoginManagerCall> calls;
    bool accept = true;
};

TEST_F(PowerOffTest, EachKnownModeMakesOneNonInteractiveCall)
{
    const struct {
        int mode;
        LoginManagerCall expected;
    } cases[] = {
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
}

TEST_F(PowerOffTest, AnyOtherModeDoesNothing)
{
    for (int mode : {-1, 3, 4, 5, 6, 7, 9, 12, 16, 0x7fffffff})
        EXPECT_FALSE(ShutdownComputer(mode)) << mode;
    EXPECT_TRUE(calls.empty());
}

TEST_F(PowerOffTest, ARefusalIsReportedAsFailure)
{
    accept = false;
    EXPECT_FALSE(ShutdownComputer(8));
    EXPECT_EQ(calls.size(), 1u);
}

TEST_F(PowerOffTest, ReplacingTheSeamHandsBackThePreviousOne)
{
    int otherCalls = 0;
    LoginManagerInvoker previous = SetLoginManagerInvoker([&](const LoginManagerCall&) {
        ++otherCalls;
        return true;
    });
    ASSERT_TRUE(previous);
    ShutdownComputer(2);
    EXPECT_EQ(otherCalls, 1);
    EXPECT_TRUE(calls.empty());
    SetLoginManagerInvoker(previous);
    ShutdownComputer(2);
    EXPECT_EQ(calls.size(), 1u);
}

TEST(PowerOffGuard, TheRealBusCallRefusesWhileTesting)
{
    ASSERT_TRUE(RunningUnderTests());
    // A harmless query, so that even a broken guard could do no harm.
    EXPECT_FALSE(CallLoginManagerOverDBus({"CanPowerOff", "", false}));
}

}  // namespace
}  // namespace clip::platform

#endif
