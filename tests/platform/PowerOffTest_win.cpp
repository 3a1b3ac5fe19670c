// Power-off on Windows: the flags of each mode reach the ExitWindowsEx seam,
// which the tests replace; the system's own is refused while
// CLIPWRIGHT_TESTING is set.
#include "platform/PowerOff.h"
#include "platform/PowerOff_win.h"
#include "platform/TestingGuard.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <utility>
#include <vector>

namespace clip::platform {
namespace {

const bool kTestingSet = [] {
    _putenv("CLIPWRIGHT_TESTING=1");
    return true;
}();

std::vector<std::pair<unsigned int, unsigned long>> g_requests;
int g_answer = 1;

int RecordExitWindows(unsigned int flags, unsigned long reason)
{
    g_requests.emplace_back(flags, reason);
    return g_answer;
}

class PowerOffTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(RunningUnderTests());
        g_requests.clear();
        g_answer = 1;
        SetExitWindowsFunction(&RecordExitWindows);
    }
    void TearDown() override { SetExitWindowsFunction(&RecordExitWindows); }
};

TEST_F(PowerOffTest, EachKnownModeSendsItsFlagsAndAllBitsReason)
{
    const std::pair<int, unsigned int> cases[] = {{0, 4u}, {1, 5u}, {2, 7u}, {8, 12u}};
    for (const auto& [mode, flags] : cases) {
        g_requests.clear();
        EXPECT_TRUE(ShutdownComputer(mode)) << mode;
        ASSERT_EQ(g_requests.size(), 1u) << mode;
        EXPECT_EQ(g_requests.front().first, flags) << mode;
        EXPECT_EQ(g_requests.front().second, 0xFFFFFFFFul) << mode;
    }
}

TEST_F(PowerOffTest, AnyOtherModeDoesNothing)
{
    for (int mode : {-1, 3, 4, 5, 6, 7, 9, 12, 16})
        EXPECT_FALSE(ShutdownComputer(mode)) << mode;
    EXPECT_TRUE(g_requests.empty());
}

TEST_F(PowerOffTest, ARefusalIsReportedAsFailure)
{
    g_answer = 0;
    EXPECT_FALSE(ShutdownComputer(8));
    EXPECT_EQ(g_requests.size(), 1u);
}

}  // namespace
}  // namespace clip::platform
