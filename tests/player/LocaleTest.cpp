// The program's start under a German locale (decimal comma): libmpv refuses
// to start until the numeric locale is "C" again, and then plays. The test
// runs itself again as a child whose whole environment asks for that locale.
#include "player/PlayerTestSupport.h"

#include <QProcess>
#include <gtest/gtest.h>

#include <clocale>

namespace clip {
namespace {

constexpr const char* kGerman = "de_DE.UTF-8";

TEST(GermanLocale, PlaybackWorksAfterTheNumericReset)
{
    const QString clipPath = qEnvironmentVariable("CLIPWRIGHT_LOCALE_CHILD_CLIP");
    if (clipPath.isEmpty()) {
        const std::string saved = std::setlocale(LC_TIME, nullptr);
        if (!std::setlocale(LC_TIME, kGerman))
            GTEST_SKIP() << kGerman << " is not installed (scripts/install-deps.sh generates it)";
        std::setlocale(LC_TIME, saved.c_str());
        QProcess child;
        test::StartSelf(child, "GermanLocale.*",
                        {{"LANG", kGerman}, {"LC_ALL", kGerman}, {"CLIPWRIGHT_LOCALE_CHILD_CLIP", test::LongClip()}});
        ASSERT_TRUE(child.waitForFinished(60000));
        const QString output = QString::fromUtf8(child.readAll());
        EXPECT_TRUE(child.exitCode() == 0 && output.contains("[  PASSED  ] 1 test")) << output.toStdString();
        return;
    }
    // Where the program's main stands right after its application object exists.
    ASSERT_NE(std::setlocale(LC_NUMERIC, kGerman), nullptr);
    for (const bool reset : {false, true}) {  // without the reset the engine does not start; with it, it plays
        SCOPED_TRACE(reset);
        if (reset)
            EnsureCNumericLocale();
        EXPECT_STREQ(std::setlocale(LC_TIME, nullptr), kGerman);  // only the numeric part changes
        PlaybackEngine engine;
        EXPECT_TRUE(engine.isValid() == reset && test::LoadAndWait(engine, clipPath) == reset);
        if (reset) {  // fractional numbers reach the player with a decimal point
            engine.setCurrentPosition(12.6);
            ASSERT_TRUE(test::WaitFor([&] { return !engine.isSeeking(); }));
            EXPECT_NEAR(engine.CurrentPosition(), 12.6, 1e-3);
        }
    }
}

}  // namespace
}  // namespace clip
