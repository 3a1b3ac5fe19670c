// The main of the Windows layer's tests. The run is marked as a test run
// before anything else, so the platform layer refuses the real power-off
// whatever a test forgets to replace.
#include "platform/TestingGuard.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

int main(int argc, char** argv)
{
    const std::string mark = std::string(clip::platform::kTestingVariable) + "=1";
    _putenv(mark.c_str());
    if (!clip::platform::RunningUnderTests())
        return 2;
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
