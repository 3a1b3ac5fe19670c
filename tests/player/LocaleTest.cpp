// The program's start under a German locale (decimal comma): libmpv refuses
// to start until the numeric locale is "C" again, and then plays. Runs in a
// child process whose whole environment asks for that locale.
#include "player/PlayerTestSupport.h"

#include <QProcess>
#include <gtest/gtest.h>

#include <clocale>

namespace clip {
namespace {

constexpr const char* kChildFlag = "CLIPWRIGHT_LOCALE_CHILD_CLIP";
constexpr const char* kGerman = "de_DE.UTF-8";

TEST(LocaleChild, PlaysOnceTheNumericLocaleIsReset)
{
    const QString clipPath = qEnvironmentVariable(kChildFlag);
    if (clipPath.isEmpty())
        GTEST_SKIP() << "runs only as a child of GermanLocale.PlaybackWorksAfterTheNumericReset";
    // Where the program's main stands right after its application object exists.
    ASSERT_NE(std::setlocale(LC_NUMERIC, kGerman), nullptr);
    for (const bool reset : {false, true}) {  // without the reset the engine does not start; with it, it plays
        SCOPED_TRACE(reset);
        if (reset)
            EnsureCNumericLocale();
        EXPECT_STREQ(std::setlocale(LC_TIME, nullptr), kGerman);  // only the numeric part changes
        PlaybackEngine engine;
        EXPECT_TRUE(engine.isValid() == reset && test::LoadAndWait(engine, clipPath) == reset);
        if (!reset)
            continue;
        // Fractional numbers reach the player with a decimal point.
        engine.setCurrentPosition(12.6);
        ASSERT_TRUE(test::WaitUntil([&] { return !engine.isSeeking(); }));
        EXPECT_NEAR(engine.CurrentPosition(), 12.6, 1e-3);
    }
}

TEST(GermanLocale, PlaybackWorksAfterTheNumericReset)
{
    const std::string saved = std::setlocale(LC_TIME, nullptr);
    const bool installed = std::setlocale(LC_TIME, kGerman) != nullptr;
    std::setlocale(LC_TIME, saved.c_str());
    if (!installed)
        GTEST_SKIP() << kGerman << " is not installed (scripts/install-deps.sh generates it)";
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("LANG", kGerman), env.insert("LC_ALL", kGerman), env.insert(kChildFlag, test::LongClip());
    QProcess child;
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(QCoreApplication::applicationFilePath(), {"--gtest_filter=LocaleChild.*"});
    ASSERT_TRUE(child.waitForFinished(60000));
    const QString output = QString::fromUtf8(child.readAll());
    EXPECT_TRUE(child.exitCode() == 0 && output.contains("[  PASSED  ] 1 test") && !output.contains("SKIPPED"))
        << output.toStdString();
}

}  // namespace
}  // namespace clip
