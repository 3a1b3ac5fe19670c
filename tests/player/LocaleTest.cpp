#include "player/PlaybackEngine.h"
#include "player/PlayerTestSupport.h"

#include <QCoreApplication>
#include <QProcess>
#include <QProcessEnvironment>
#include <gtest/gtest.h>

#include <clocale>
#include <cstring>
#include <string>

namespace clip {
namespace {

constexpr const char* kChildFlag = "CLIPWRIGHT_LOCALE_CHILD_CLIP";
constexpr const char* kGerman = "de_DE.UTF-8";

bool GermanLocaleInstalled()
{
    const std::string saved = std::setlocale(LC_TIME, nullptr);
    const bool ok = std::setlocale(LC_TIME, kGerman) != nullptr;
    return std::setlocale(LC_TIME, saved.c_str()) && ok;
}

// Runs only inside the child started below, whose whole environment asks
// for a German locale (decimal comma). The application object has taken the
// locale from the environment; the test main then set the numeric part back
// to "C", which is undone here to stand where the program's main stands
// right after its application object exists.
TEST(LocaleChild, PlaysOnceTheNumericLocaleIsReset)
{
    const QString clipPath = qEnvironmentVariable(kChildFlag);
    if (clipPath.isEmpty())
        GTEST_SKIP() << "runs only as a child of GermanLocale.PlaybackWorksAfterTheNumericReset";

    ASSERT_STREQ(std::setlocale(LC_TIME, nullptr), kGerman);
    ASSERT_NE(std::setlocale(LC_NUMERIC, kGerman), nullptr);

    {
        PlaybackEngine engine;
        EXPECT_FALSE(engine.isValid());
        EXPECT_FALSE(engine.RenderFile(clipPath));
        EXPECT_EQ(engine.state(), PlaybackEngine::State::Empty);
    }

    EnsureCNumericLocale();
    EXPECT_STREQ(std::setlocale(LC_NUMERIC, nullptr), "C");
    // Only the numeric part changed.
    EXPECT_STREQ(std::setlocale(LC_TIME, nullptr), kGerman);

    PlaybackEngine engine;
    ASSERT_TRUE(engine.isValid());
    ASSERT_TRUE(engine.RenderFile(clipPath));
    EXPECT_NEAR(engine.Duration(), 125.5, 0.15);
    // Fractional numbers go to the player with a decimal point.
    engine.setCurrentPosition(12.6);
    ASSERT_TRUE(test::WaitUntil([&] { return !engine.isSeeking(); }));
    EXPECT_NEAR(engine.CurrentPosition(), 12.6, 1e-3);
    engine.Run();
    EXPECT_TRUE(test::WaitUntil([&] { return engine.CurrentPosition() >= 13.0; }));
}

TEST(GermanLocale, PlaybackWorksAfterTheNumericReset)
{
    if (!GermanLocaleInstalled())
        GTEST_SKIP() << kGerman << " is not installed (scripts/install-deps.sh generates it)";
    const QString clipPath = test::LongClip();
    ASSERT_FALSE(clipPath.isEmpty());

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"LANG", "LC_ALL"})
        env.insert(name, kGerman);
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert(kChildFlag, clipPath);
    QProcess child;
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(QCoreApplication::applicationFilePath(), {"--gtest_filter=LocaleChild.PlaysOnceTheNumericLocaleIsReset"});
    ASSERT_TRUE(child.waitForStarted(10000));
    ASSERT_TRUE(child.waitForFinished(60000));
    const QString output = QString::fromUtf8(child.readAll());
    EXPECT_EQ(child.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(child.exitCode(), 0) << output.toStdString();
    EXPECT_TRUE(output.contains("[  PASSED  ] 1 test") && !output.contains("[  SKIPPED ]")) << output.toStdString();
}

}  // namespace
}  // namespace clip
