#include "settings/Settings.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace clip {
namespace {

// Points the home folder (and the desktop's folder settings) at a temporary
// folder for the duration of a test.
class ScopedHome {
public:
    explicit ScopedHome(const QString& home)
        : m_home(qgetenv("HOME")), m_config(qgetenv("XDG_CONFIG_HOME"))
    {
        qputenv("HOME", home.toUtf8());
        qputenv("XDG_CONFIG_HOME", (home + "/.config").toUtf8());
    }
    ~ScopedHome()
    {
        qputenv("HOME", m_home);
        qputenv("XDG_CONFIG_HOME", m_config);
    }

private:
    QByteArray m_home;
    QByteArray m_config;
};

TEST(DefaultOutputFolder, LiesInAFolderThatExistsSoItCanBeCreated)
{
    QTemporaryDir home;
    ScopedHome scoped(home.path());
    // No videos folder yet: the default goes straight under the home folder.
    EXPECT_EQ(DefaultOutputFolder(), QDir::toNativeSeparators(home.path() + "/Cut Files"));
    ASSERT_TRUE(QDir(home.path()).mkdir("Videos"));
    EXPECT_EQ(DefaultOutputFolder(), QDir::toNativeSeparators(home.path() + "/Videos/Cut Files"));
}

}  // namespace
}  // namespace clip
